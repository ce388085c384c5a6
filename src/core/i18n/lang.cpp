#include "core/i18n/lang.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <system_error>
#include <unordered_map>

namespace kestrova {

namespace {

// Where the files are and which language is current. Lock order: B, then A, then this one.
struct Location {
  std::mutex m;
  std::filesystem::path dir;
  std::string base = "kestrova";
  std::string current = "en";
};

Location& Loc() {
  static Location* l = new Location;  // lives until the process ends
  return *l;
}

// Lock A with the message cache. generation changes whenever the cache is emptied, so that a
// text read from the file of a previous language is not stored afterwards.
struct MessageCache {
  std::mutex a;
  std::unordered_map<std::string, std::string> texts;  // key lower-cased
  unsigned long generation = 0;
};

MessageCache& Cache() {
  static MessageCache* c = new MessageCache;
  return *c;
}

// Lock B with the open language file.
struct OpenFile {
  std::recursive_mutex b;
  std::shared_ptr<const TIniFile> ini;
};

OpenFile& Open() {
  static OpenFile* o = new OpenFile;
  return *o;
}

std::string LowerAscii(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

// A code names a file in the language folder only; anything that could lead elsewhere names none.
bool UsableCode(const std::string& code) {
  return code.find_first_of(std::string("/\\\0", 3)) == std::string::npos && code != "." && code != "..";
}

std::filesystem::path FileFor(const Location& l, const std::string& code) {
  if (!UsableCode(code) || l.dir.empty()) return {};
  return l.dir / (l.base + ".l" + CanonicalLanguageCode(code));
}

bool FileExists(const std::filesystem::path& p) {
  std::error_code ec;
  return !p.empty() && std::filesystem::is_regular_file(p, ec);
}

void ReplaceAll(std::string& s, std::string_view from, std::string_view to) {
  std::string out;
  std::size_t pos = 0;
  for (;;) {
    std::size_t hit = s.find(from, pos);
    if (hit == std::string::npos) break;
    out.append(s, pos, hit - pos);
    out.append(to);
    pos = hit + from.size();
  }
  if (pos == 0) return;
  out.append(s, pos, std::string::npos);
  s = std::move(out);
}

// Releases the open file, empties the cache and sets the code, all at once for other threads.
void SwitchTo(const std::string& code) {
  OpenFile& o = Open();
  std::lock_guard<std::recursive_mutex> lb(o.b);
  o.ini.reset();
  MessageCache& c = Cache();
  std::lock_guard<std::mutex> la(c.a);
  c.texts.clear();
  ++c.generation;
  Location& l = Loc();
  std::lock_guard<std::mutex> ll(l.m);
  l.current = CanonicalLanguageCode(code);
}

}  // namespace

std::string CanonicalLanguageCode(const std::string& code) {
  const std::string lower = LowerAscii(code);
  for (const auto& f : EmbeddedLanguageFiles())
    if (LowerAscii(f.code) == lower) return f.code;
  return code;
}

std::string LegacyCodePage(const std::string& code) {
  const std::string c = LowerAscii(code);
  if (c == "cn") return "GBK";
  if (c == "b5") return "Big5";
  if (c == "kr") return "CP949";
  if (c == "pl") return "windows-1250";
  return "windows-1252";
}

void SetLanguageLocation(const std::filesystem::path& languageDir, const std::string& programBaseName) {
  {
    Location& l = Loc();
    std::lock_guard<std::mutex> ll(l.m);
    l.dir = languageDir;
    l.base = programBaseName;
  }
  SwitchTo(CurrentLanguage());
}

std::filesystem::path LanguageDir() {
  Location& l = Loc();
  std::lock_guard<std::mutex> ll(l.m);
  return l.dir;
}

std::filesystem::path LangFileFor(const std::string& code) {
  Location& l = Loc();
  std::lock_guard<std::mutex> ll(l.m);
  return FileFor(l, code);
}

std::filesystem::path LangFilePath() {
  Location& l = Loc();
  std::lock_guard<std::mutex> ll(l.m);
  return FileFor(l, l.current);
}

std::vector<std::filesystem::path> UsableLanguageFiles() {
  std::vector<std::filesystem::path> files;
  std::filesystem::path current = LangFilePath();
  if (current.empty()) return files;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(current.parent_path(), ec), end; !ec && it != end; it.increment(ec)) {
    std::string name = it->path().filename().string();
    std::size_t dot = name.find(".l");
    if (dot != std::string::npos && it->is_regular_file(ec)) files.push_back(it->path());
  }
  std::sort(files.begin(), files.end());
  const std::string key = "Name_" + CurrentLanguage();
  std::erase_if(files, [&](const std::filesystem::path& p) { return TIniFile(p).ReadString("Global", key, "").empty(); });
  return files;
}

std::string CurrentLanguage() {
  Location& l = Loc();
  std::lock_guard<std::mutex> ll(l.m);
  return l.current;
}

void SetCurrentLanguage(const std::string& code) { SwitchTo(code); }

void SetLanguage(const std::string& code) {
  SwitchTo(FileExists(LangFileFor(code)) ? code : std::string("en"));
}

std::string ApplyEscapes(std::string text) {
  ReplaceAll(text, "$b", " ");
  ReplaceAll(text, "$c", "=");
  ReplaceAll(text, "$n", "\r\n");
  ReplaceAll(text, "$$", "$");
  ReplaceAll(text, "$t", "\t");
  return text;
}

std::string ReadEscaped(const TIniFile& ini, std::string_view section, std::string_view key, std::string_view def) {
  return ApplyEscapes(ini.ReadString(section, key, def));
}

std::string LoadStr(const std::string& key) {
  MessageCache& c = Cache();
  std::string lower = LowerAscii(key);
  unsigned long generation;
  std::filesystem::path file;
  {
    std::lock_guard<std::mutex> la(c.a);
    auto it = c.texts.find(lower);
    if (it != c.texts.end() && !it->second.empty()) return it->second;
    generation = c.generation;
    file = LangFilePath();
  }
  if (key.empty()) return {};
  TIniFile ini(file);
  std::string text = ReadEscaped(ini, "StrRes", key, "");
  if (!text.empty()) {
    std::lock_guard<std::mutex> la(c.a);
    if (c.generation == generation) c.texts[lower] = text;
  }
  return text;
}

std::string ReadFormString(const std::string& section, const std::string& key) {
  if (section.empty() || key.empty()) return {};
  TIniFile ini(LangFilePath());
  return ReadEscaped(ini, section, key, "");
}

void WithOpenLangFile(const std::function<void(const TIniFile&)>& fn) {
  OpenFile& o = Open();
  std::lock_guard<std::recursive_mutex> lb(o.b);
  if (!o.ini) o.ini = std::make_shared<const TIniFile>(LangFilePath());
  std::shared_ptr<const TIniFile> keep = o.ini;
  fn(*keep);
}

void ApplyLangFont(const std::string& code, LangFont& font) {
  font.charset = 1;
  bool cjk = true;
  if (code == "cn") {
    font.face = "\xE5\xAE\x8B\xE4\xBD\x93";  // 宋体
    font.charset = 134;
  } else if (code == "b5") {
    font.face = "PMingLiU";
    font.charset = 136;
  } else if (code == "jp") {
    font.face = "MS Mincho";
    font.charset = 128;
  } else {
    font.face = "Tahoma";
    font.charset = 1;
    cjk = false;
  }
  if (cjk && font.size == 8) font.size = 9;
  if (!cjk && font.size == 9) font.size = 8;
}

std::string DefaultLanguage(int oemCodePage) {
  switch (oemCodePage) {
    case 863: return "fr";
    case 932: return "jp";
    case 936: return "cn";
    case 950: return "b5";
    case 1144: return "Ita";
    case 1145: return "spa";
    default: return "en";
  }
}

int OemCodePageFromLocale(const std::string& localeName) {
  // language[_territory][.codeset][@modifier]; "-" is taken like "_".
  std::string name = localeName.substr(0, localeName.find_first_of(".@"));
  std::string lang, region;
  std::size_t sep = name.find_first_of("_-");
  lang = LowerAscii(name.substr(0, sep));
  if (sep != std::string::npos) region = LowerAscii(name.substr(sep + 1));
  if (lang == "zh") {
    if (region == "tw" || region == "hk" || region == "mo" || region == "hant" ||
        region.rfind("hant", 0) == 0)
      return 950;
    return 936;
  }
  if (lang == "ja") return 932;
  if (lang == "fr" && region == "ca") return 863;
  if (lang == "it") return 1144;
  if (lang == "es") return 1145;
  return 437;
}

}  // namespace kestrova
