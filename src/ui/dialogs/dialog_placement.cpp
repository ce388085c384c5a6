#include "ui/dialogs/dialog_placement.h"

#include <QWidget>

#include "ui/app/global.h"
#include "ui/app/main_form.h"

namespace kestrova {

void CenterOnMainWindow(QWidget* dialog) {
  QWidget* main = MainForm();
  if (!dialog || !main || !main->isVisible()) return;
  QRect frame = main->frameGeometry();
  QSize size = dialog->frameGeometry().size();
  dialog->move(frame.center().x() - size.width() / 2, frame.center().y() - size.height() / 2);
}

}  // namespace kestrova
