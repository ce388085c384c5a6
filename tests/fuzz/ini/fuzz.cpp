// Feeds arbitrary bytes to the INI reader: every section and key it reports must be readable,
// values must respect the length limit, and the saved text must read back the same.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/settings/ini_file.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  kestrova::TIniFile ini = kestrova::TIniFile::FromText(text);
  kestrova::TIniFile again = kestrova::TIniFile::FromText(ini.ToText());

  for (const std::string& section : ini.ReadSections()) {
    Check(ini.SectionExists(section));
    for (const std::string& key : ini.ReadSection(section)) {
      Check(ini.ValueExists(section, key));
      std::string value = ini.ReadString(section, key, "");
      Check(value.size() <= 2047);
      Check(again.ReadString(section, key, "<none>") == value);
      (void)ini.ReadInteger(section, key, 0);
      (void)ini.ReadBool(section, key, false);
    }
  }
  Check(again.ReadSections() == ini.ReadSections());

  // The keys the program itself reads.
  (void)ini.ReadString("Global", "lan", "");
  (void)ini.ReadBool("DevFind", "advmode", false);
  (void)ini.ReadString("StrRes", "IDS_WZ", "");
  (void)ini.ReadString("LINK", "OnlineCD", "");

  // A write on top of whatever was parsed reads back.
  if (ini.WriteString("Global", "lan", "en")) Check(ini.ReadString("global", "LAN", "") == "en");
  return 0;
}
