// What the router commands of kestrova-cli share: message texts of the language files carried
// in the program, and the router list of the program folder.
#pragma once

#include <string>
#include <vector>

#include "core/router/router_list.h"

namespace kestrova::cli {

// The message of key in language lang (section StrRes of the embedded file; "" when absent).
std::string MessageText(const std::string& lang, const std::string& key);
// Prints "KEY<TAB>text" on stdout.
void PrintMessage(const std::string& lang, const std::string& key);
// A language code of the embedded files (en, cn, b5, pl, kr, or a name they go by), canonical;
// "" for any other text.
std::string LanguageOption(const std::string& code);
// The usable routers of Router/Router.ini in the language, as the window's combo lists them
// (the list is downloaded when missing), the built-in router first when its plug-in is there.
// false when there is no list and no built-in router.
bool RouterCombo(const std::string& lang, std::vector<router::TRouter>& routers);

}  // namespace kestrova::cli
