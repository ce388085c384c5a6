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

// The usable language files for the language combo: the files whose names match "*.l*" in the
// folder of LangFilePath() (not recursive), sorted by name, keeping those whose section Global
// has a non-empty key "Name_" + CurrentLanguage().
std::vector<std::filesystem::path> UsableLanguageFiles();

// Language codes compare without regard to case ("CN" names the same file as "cn"): a code
// that names one of the embedded files the way its file spells it, any other code as it stands.
std::string CanonicalLanguageCode(const std::string& code);

// The legacy (ANSI) code page a language's texts are written in on a camera that does not use
// UTF-8, by the name the platform's codecs know it: GBK for cn, Big5 for b5, CP949 for kr,
// windows-1250 for pl and windows-1252 for en and every other code.
std::string LegacyCodePage(const std::string& code);

std::string CurrentLanguage();
// Sets the code as it stands, apart from its case (start-up takes a stored code unchecked).
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
// The callback runs with lock B held and the file open (opened on first use). Lock B is
// recursive and the file stays alive for the whole callback, even if it calls SetLanguage.
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

// The OEM code page that stands for a POSIX locale name (the value of LC_ALL, LC_MESSAGES or
// LANG, such as "zh_CN.UTF-8"): zh_CN/zh_SG/zh 936, zh_TW/zh_HK/zh_MO 950, ja 932, fr_CA 863,
// it 1144, es 1145, anything else 437.
int OemCodePageFromLocale(const std::string& localeName);

// Writes the embedded files into LanguageDir on construction and removes them on destruction,
// unless another instance still uses the folder. The folder is per user and never followed
// through a symbolic link.
//
// languageDir is created with mode 0700 (missing parents too). It is used only when it is a
// real directory (not a symbolic link) owned by the current user; otherwise a fresh private
// folder made by mkdtemp under the temporary directory is used instead, and Dir() tells which.
// Every instance holds a shared lock on a lock file inside the folder; the ending instance
// removes the folder only when it can take that lock exclusively, that is when no other
// instance uses it. The files are replaced atomically, so a running instance never reads a
// half-written file. The constructor also calls SetLanguageLocation(Dir(), programBaseName).
class TStrRes {
 public:
  explicit TStrRes(const std::filesystem::path& languageDir, const std::string& programBaseName);
  ~TStrRes();
  TStrRes(const TStrRes&) = delete;
  TStrRes& operator=(const TStrRes&) = delete;
  // True when the folder is in use and every embedded file was written.
  bool Ok() const { return ok_; }
  // The folder actually used (languageDir, or the fall-back folder); empty when none could be made.
  const std::filesystem::path& Dir() const { return dir_; }

 private:
  bool OpenFolder(const std::filesystem::path& dir, bool mayCreate);
  void WriteFiles(const std::string& programBaseName);

  std::filesystem::path dir_;
  bool ok_ = false;
  int dirFd_ = -1;
  int lockFd_ = -1;
};

}  // namespace kestrova
