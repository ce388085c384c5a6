// Renders the main window with the mode page in each language to PNG files:
//   kestrova_app_shots <output folder>
// gives main_<code>.png (the mode page), linksource_<code>.png and esy_line_<code>.png for
// en, cn, b5, pl and kr.
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTimer>

#include <stdlib.h>

#include <cstdio>

#include "gui/app/app_fixture.h"
#include "ui/app/main_form.h"
#include "ui/setup/adv_main.h"

int main(int argc, char** argv) {
  // Rendering only: the advanced window behind the mode page must not broadcast.
  ::setenv("KESTROVA_DISCOVERY", "off", 1);
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
    if (auto* adv = static_cast<kestrova::TfrmAdv_Main*>(w.FindPage(QStringLiteral("TfrmAdv_Main")));
        adv && adv->Timer1()->isActive()) {
      std::fprintf(stderr, "the advanced window started discovery\n");
      return 1;
    }
    const QString file = QDir(out).filePath(QStringLiteral("main_%1.png").arg(QString::fromLatin1(code)));
    auto save = [&](const QString& f) {
      QApplication::processEvents();
      if (!w.grab().save(f)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(f));
        ++failures;
      } else {
        std::printf("%s\n", qPrintable(f));
      }
    };
    save(file);
    // the two static steps
    for (const char* page : {"TfrmLinkSource", "TfrmEsy_Line"}) {
      w.ShowPage(QString::fromLatin1(page));
      save(QDir(out).filePath(QStringLiteral("%1_%2.png").arg(QString::fromLatin1(page).mid(4).toLower(),
                                                                 QString::fromLatin1(code))));
    }
  }
  return failures == 0 ? 0 : 1;
}
