// Message boxes with the Windows flag values the program's callers pass: 16 stop icon,
// 32 question icon, 48 warning icon, 64 information icon; buttons 0 OK, 1 OK/Cancel,
// 3 Yes/No/Cancel, 4 Yes/No (36, 52 and 292 are Yes/No with an icon); 256 makes the second
// button the default. Results: 1 OK, 2 Cancel, 6 Yes, 7 No.
#pragma once

#include <functional>
#include <string>

#include <QString>

class QWidget;

namespace kestrova {

enum : int {
  MB_OK = 0, MB_OKCANCEL = 1, MB_YESNOCANCEL = 3, MB_YESNO = 4,
  MB_ICONSTOP = 16, MB_ICONQUESTION = 32, MB_ICONWARNING = 48, MB_ICONINFORMATION = 64,
  MB_DEFBUTTON2 = 256,
};
enum : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

// A box with the texts LoadStr(textKey) and LoadStr(captionKey).
int LangMessageBox(const std::string& textKey, const std::string& captionKey, int flags);
// A box with the texts as given (already looked up and formatted).
int ShowMessageBox(const QString& text, const QString& caption, int flags, QWidget* parent = nullptr);

// Test hook: when set, no box is shown; the hook gets the texts and flags and returns the
// button "pressed".
struct MessageBoxCall {
  QString text;
  QString caption;
  int flags = 0;
};
void SetMessageBoxHook(std::function<int(const MessageBoxCall&)> hook);

}  // namespace kestrova
