// Language files and string lookup. The five language files are carried inside the program,
// written to the language folder at start (TStrRes) and read with the INI rules.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "core/settings/ini_file.h"

namespace kestrova {

// The embedded language files: code ("en", "cn", "b5", "pl", "kr") and UTF-8 INI bytes.
struct EmbeddedLangFile { const char* code; std::string_view bytes; };
const std::vector<EmbeddedLangFile>& EmbeddedLanguageFiles();

// Where the files live: LanguageDir and the program's base name ("kestrova" gives
// kestrova.len, kestrova.lcn ...). Set once at start before any lookup.
void SetLanguageLocation(const std::filesystem::path& languageDir, const std::string& programBaseName);
std::filesystem::path LanguageDir();
std::filesystem::path LangFileFor(const std::string& code);
std::filesystem::path LangFilePath();  // file of CurrentLanguage()

std::string CurrentLanguage();
// Sets the code as it stands (start-up takes a stored code unchecked).
void SetCurrentLanguage(const std::string& code);
// Releases the open language file, empties the message cache, sets the code; falls back to
// "en" when the code has no file.
void SetLanguage(const std::string& code);

// The five escapes, in their order: $b space, $c "=", $n CR LF, $$ "$", $t TAB.
std::string ApplyEscapes(std::string text);
std::string ReadEscaped(const TIniFile& ini, std::string_view section, std::string_view key, std::string_view def);

// Message of key from section StrRes of the current file; thread-safe cache (lock A),
// an empty text is never cached.
std::string LoadStr(const std::string& key);
// Opens the current file afresh, ReadEscaped(section, key, ""); empty section or key gives "".
std::string ReadFormString(const std::string& section, const std::string& key);

// The open language file used by ApplyStrings and the language combo, under lock B.
// The callback runs with lock B held and the file open (opened on first use).
void WithOpenLangFile(const std::function<void(const TIniFile&)>& fn);

// Font choice per language: face by code, the 8/9 size rule. Faces are the logical names;
// the UI maps them onto the families the platform has.
struct LangFont {
  std::string face;
  int charset = 1;
  int size = 8;
};
void ApplyLangFont(const std::string& code, LangFont& font);

// Language code for an OEM code page: 863 fr, 932 jp, 936 cn, 950 b5, 1144 Ita, 1145 spa, else en.
std::string DefaultLanguage(int oemCodePage);

// Writes the embedded files into LanguageDir on construction and removes them on destruction,
// unless another instance still uses the folder. The folder is per user and never followed
// through a symbolic link.
class TStrRes {
 public:
  explicit TStrRes(const std::filesystem::path& languageDir, const std::string& programBaseName);
  ~TStrRes();
  TStrRes(const TStrRes&) = delete;
  TStrRes& operator=(const TStrRes&) = delete;
  bool Ok() const { return ok_; }

 private:
  std::filesystem::path dir_;
  bool ok_ = false;
  int lockFd_ = -1;
};

}  // namespace kestrova
