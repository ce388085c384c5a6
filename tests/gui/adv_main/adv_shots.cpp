// Renders the main window showing the advanced window with cameras listed:
//   kestrova_adv_shots <output folder> [languages]   gives adv_main_list_<code>.png and
// adv_main_other_<code>.png (the second tab), then adv_main_f<family>_<code>.png with a camera of
// each family selected (languages: comma-separated codes, default "en").
// Discovery stays off, whatever KESTROVA_DISCOVERY says; the cameras are handed to the engine
// as its receive paths do.
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>

#include <stdlib.h>

#include <cstdio>

#include "gui/adv_main/adv_fixture.h"
#include "gui/app/app_fixture.h"
#include "net/discovery/discovery_engine.h"
#include "ui/app/main_form.h"
#include "ui/setup/adv_main.h"

int main(int argc, char** argv) {
  // Rendering only, also when run by hand on a display (where discovery would start): the
  // advanced window must never broadcast.
  ::setenv("KESTROVA_DISCOVERY", "off", 1);
  QApplication app(argc, argv);
  const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/screenshots");
  QDir().mkpath(out);
  const QStringList langs = (argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("en")).split(',');
  for (const QString& lang : langs) {
    const std::string code = lang.toStdString();
    kestrova::testing::TempFolders folders;
    kestrova::testing::TempFolders::Write(folders.UserDir() / "option.ini",
                                          "[Global]\r\nlan=" + code + "\r\n[DevFind]\r\nadvmode=1\r\n");
    kestrova::TfrmMain w;
    w.show();
    auto* adv = static_cast<kestrova::TfrmAdv_Main*>(w.ShowPage(QStringLiteral("TfrmAdv_Main")));
    if (!adv) return 1;
    if (adv->Timer1()->isActive()) {
      std::fprintf(stderr, "the advanced window started discovery\n");
      return 1;
    }
    kestrova::TNET_CARD pc;
    pc.Desc = "eth0";
    pc.IP = "192.168.1.5";
    pc.NetMask = "255.255.255.0";
    pc.Gateway = "192.168.1.1";
    adv->SetNetCards({pc});
    auto cams = kestrova::testing::SampleCameras();
    cams.push_back(kestrova::testing::SampleCamera(8, "0011aabbccdd", "Yard", "192.168.1.50", 88));
    cams.push_back(kestrova::testing::SampleCamera(2, "ID0000000002", "Hall", "10.1.1.77"));
    cams.push_back(kestrova::testing::SampleCamera(4, "00-40-8c-11-22-33", "Shop DVR", "192.168.1.64"));
    cams.back().DataPort = 8000;
    cams[2].DDnsServer = "ns1.example.net:8080";  // family 9: an outer address
    cams[2].DDnsUser = "t9001";
    for (const auto& d : cams) adv->Engine().PostRecord(d);
    adv->Engine().ProcessPending();
    QApplication::processEvents();
    const QString file = QDir(out).filePath(QStringLiteral("adv_main_list_%1.png").arg(QString::fromStdString(code)));
    if (!w.grab().save(file)) {
      std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
      return 1;
    }
    std::printf("%s\n", qPrintable(file));
    auto* tabs = adv->findChild<QTabWidget*>(QStringLiteral("PageControl1"));
    if (tabs) {
      tabs->setCurrentIndex(1);
      QApplication::processEvents();
      const QString other =
          QDir(out).filePath(QStringLiteral("adv_main_other_%1.png").arg(QString::fromStdString(code)));
      if (!w.grab().save(other)) return 1;
      std::printf("%s\n", qPrintable(other));
      tabs->setCurrentIndex(0);
    }
    auto* list = adv->findChild<QTreeWidget*>(QStringLiteral("ListView"));
    for (int family : {2, 4, 5, 8, 9}) {
      for (int r = 0; list && r < adv->Devices().Count(); ++r) {
        if (adv->Devices().DeviceAt(r).DevType != family) continue;
        list->setCurrentItem(list->topLevelItem(r));
        break;
      }
      QApplication::processEvents();
      const QString shot = QDir(out).filePath(
          QStringLiteral("adv_main_f%1_%2.png").arg(family).arg(QString::fromStdString(code)));
      if (!w.grab().save(shot)) return 1;
      std::printf("%s\n", qPrintable(shot));
    }
  }
  return 0;
}
