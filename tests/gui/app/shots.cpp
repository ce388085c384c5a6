// Renders the main window with the mode page in each language to PNG files:
//   kestrova_app_shots <output folder>
// gives main_en.png, main_cn.png, main_b5.png, main_pl.png, main_kr.png.
#include <QApplication>
#include <QDir>
#include <QPixmap>

#include <cstdio>

#include "gui/app/app_fixture.h"
#include "ui/app/main_form.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/screenshots");
  QDir().mkpath(out);
  int failures = 0;
  for (const char* code : {"en", "cn", "b5", "pl", "kr"}) {
    kestrova::testing::TempFolders folders;
    kestrova::testing::TempFolders::Write(folders.UserDir() / "option.ini",
                                          std::string("[Global]\r\nlan=") + code + "\r\n");
    kestrova::TfrmMain w;
    w.show();
    QApplication::processEvents();
    const QString file = QDir(out).filePath(QStringLiteral("main_%1.png").arg(QString::fromLatin1(code)));
    if (!w.grab().save(file)) {
      std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
      ++failures;
    } else {
      std::printf("%s\n", qPrintable(file));
    }
  }
  return failures == 0 ? 0 : 1;
}
