// Rules of the application shell that need no window: the per-language help address, the list
// of usable language files, the start-up language.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace kestrova {

// The "Online CD" address for a language: unchanged for "cn"; otherwise every "_cn." becomes
// "_" + language (trimmed) + ".".
std::string OnlineCdAddress(const std::string& value, const std::string& language);

// Language code of a language file: its extension without the leading ".l" ("x/kestrova.len"
// gives "en"); "" when the extension does not start with ".l".
std::string LanguageCodeOfFile(const std::filesystem::path& file);

// The usable language files of a folder: the files whose extension starts with ".l", in name
// order, keeping only those whose section Global has a non-empty "Name_" + currentLanguage.
std::vector<std::filesystem::path> ListLanguageFiles(const std::filesystem::path& dir,
                                                     const std::string& currentLanguage);

// The language at start: a stored code as it stands; without one the default language, or "en"
// when hasFile says the default has no file.
std::string StartLanguage(const std::string& stored, const std::string& defaultLanguage,
                          const std::function<bool(const std::string&)>& hasFile);

}  // namespace kestrova
