// The running program's executable and its folder. Every file beside the program (Config.ini,
// the machine option.ini, Router/, 286/) is looked for in ProgramDir(), which the environment
// variable KESTROVA_PROGRAM_DIR replaces.
#pragma once

#include <filesystem>

namespace kestrova {

// Full path of the running executable; empty when the platform does not tell.
std::filesystem::path ExecutablePath();
// KESTROVA_PROGRAM_DIR when it is set and not empty, else the executable's folder.
std::filesystem::path ProgramDir();

}  // namespace kestrova
