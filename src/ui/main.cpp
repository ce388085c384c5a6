// Program entry: the application object, the main window (the only window created here), the
// message loop.
#include <QApplication>

#include "ui/app/main_form.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("kestrova"));
  kestrova::TfrmMain frmMain;
  if (!frmMain.Started()) return 0;
  frmMain.show();
  return app.exec();
}
