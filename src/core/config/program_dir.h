// The program folder: where the files beside the program are looked for (Config.ini, the
// machine option.ini, Router/, 286/). Pure path rules; reading the environment and the running
// executable's path is net/platform's part (ProgramDir()).
#pragma once

#include <filesystem>
#include <string_view>

namespace kestrova {

// The environment variable that replaces the executable's folder, for the app and
// kestrova-cli alike (tests and the demo point it at a folder of their own).
inline constexpr const char* kProgramDirVariable = "KESTROVA_PROGRAM_DIR";

// `override` when it is not empty (the variable's value as it stands), else the folder that
// holds `executable`; "." when neither names a folder.
std::filesystem::path ResolveProgramDir(std::string_view override, const std::filesystem::path& executable);

}  // namespace kestrova
