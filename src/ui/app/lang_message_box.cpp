#include "ui/app/lang_message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include "core/i18n/lang.h"
#include "ui/i18n/apply_strings.h"

namespace kestrova {

namespace {

std::function<int(const MessageBoxCall&)>& Hook() {
  static std::function<int(const MessageBoxCall&)> hook;
  return hook;
}

}  // namespace

void SetMessageBoxHook(std::function<int(const MessageBoxCall&)> hook) { Hook() = std::move(hook); }

int ShowMessageBox(const QString& text, const QString& caption, int flags, QWidget* parent) {
  if (Hook()) return Hook()({text, caption, flags});

  QMessageBox box(parent ? parent : QApplication::activeWindow());
  box.setWindowTitle(caption);
  // Texts may carry a camera's or a service's words: never markup.
  box.setTextFormat(Qt::PlainText);
  box.setText(text);
  switch (flags & 0xF0) {
    case MB_ICONSTOP: box.setIcon(QMessageBox::Critical); break;
    case MB_ICONQUESTION: box.setIcon(QMessageBox::Question); break;
    case MB_ICONWARNING: box.setIcon(QMessageBox::Warning); break;
    case MB_ICONINFORMATION: box.setIcon(QMessageBox::Information); break;
    default: box.setIcon(QMessageBox::NoIcon); break;
  }
  struct Btn {
    QMessageBox::StandardButton qt;
    int result;
  };
  std::vector<Btn> buttons;
  switch (flags & 0x0F) {
    case MB_OKCANCEL: buttons = {{QMessageBox::Ok, IDOK}, {QMessageBox::Cancel, IDCANCEL}}; break;
    case MB_YESNOCANCEL:
      buttons = {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}, {QMessageBox::Cancel, IDCANCEL}};
      break;
    case MB_YESNO: buttons = {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}}; break;
    default: buttons = {{QMessageBox::Ok, IDOK}}; break;
  }
  QMessageBox::StandardButtons set;
  for (const Btn& b : buttons) set |= b.qt;
  box.setStandardButtons(set);
  const std::size_t def = ((flags & 0xF00) == MB_DEFBUTTON2 && buttons.size() > 1) ? 1 : 0;
  box.setDefaultButton(buttons[def].qt);
  // Escape: Cancel when there is one, else No, else OK.
  box.setEscapeButton(buttons.back().qt);
  box.setFont(LangQFont(CurrentLanguage(), box.font()));
  box.exec();
  QAbstractButton* clicked = box.clickedButton();
  for (const Btn& b : buttons)
    if (clicked == box.button(b.qt)) return b.result;
  return (flags & 0x0F) == MB_OK ? IDOK : (flags & 0x0F) == MB_YESNO ? IDNO : IDCANCEL;
}

int LangMessageBox(const std::string& textKey, const std::string& captionKey, int flags) {
  return ShowMessageBox(LangText(LoadStr(textKey)), LangText(LoadStr(captionKey)), flags);
}

}  // namespace kestrova
