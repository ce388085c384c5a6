// Renders the advanced window whose last search round could leave through no adapter, and the
// dialog of its "Add by address":
//   kestrova_reach_shots <output folder> [languages]   gives adv_main_noadapter_<code>.png and
// adv_add_address_<code>.png (languages: comma-separated codes, default all five). The window's
// engine runs on loopback sockets with an adapter list of the tool's own that is empty, so
// nothing is ever sent.
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include <stdlib.h>

#include <cstdio>

#include "gui/app/app_fixture.h"
#include "net/discovery/discovery_engine.h"
#include "ui/app/main_form.h"
#include "ui/discovery/add_address.h"
#include "ui/setup/adv_main.h"

namespace {

class NoAdapters : public kestrova::AdapterPaths {
 public:
  std::vector<kestrova::SendAdapter> Adapters() override { return {}; }
  bool SendVia(kestrova::UdpSocket&, const kestrova::SendAdapter&, const std::string&, uint16_t,
               std::span<const uint8_t>) override {
    return false;
  }
};

}  // namespace

int main(int argc, char** argv) {
  ::setenv("KESTROVA_DISCOVERY", "off", 1);  // the main window's own advanced window stays off
  QApplication app(argc, argv);
  const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/screenshots");
  QDir().mkpath(out);
  const QStringList langs =
      (argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("en,cn,b5,pl,kr")).split(',');
  NoAdapters paths;
  for (const QString& lang : langs) {
    const std::string code = lang.toStdString();
    kestrova::testing::TempFolders folders;
    kestrova::testing::TempFolders::Write(folders.UserDir() / "option.ini", "[Global]\r\nlan=" + code + "\r\n");
    kestrova::TfrmMain main;  // settles the language
    kestrova::DiscoveryConfig cfg;
    cfg.bindAddress = "127.0.0.1";
    cfg.preferredPorts = {0, 0, 0, 0, 0};
    cfg.family9LocalPort = 0;
    cfg.receiveBufferBytes = 0;
    cfg.adapterPaths = &paths;
    kestrova::TfrmAdv_Main w(nullptr, std::make_unique<kestrova::DiscoveryEngine>(cfg), true);
    w.Timer1()->stop();
    kestrova::TNET_CARD pc;  // the same adapter on every machine
    pc.Desc = "eth0";
    pc.IP = "192.168.1.5";
    pc.NetMask = "255.255.255.0";
    pc.Gateway = "192.168.1.1";
    w.SetNetCards({pc});
    w.resize(652, 402);
    w.show();
    w.Timer1Timer();
    QApplication::processEvents();
    auto* line = w.findChild<QLabel*>(QStringLiteral("lblSendState"));
    if (!line || !line->isVisible()) {
      std::fprintf(stderr, "the status line is not shown\n");
      return 1;
    }
    const QString file =
        QDir(out).filePath(QStringLiteral("adv_main_noadapter_%1.png").arg(QString::fromStdString(code)));
    if (!w.grab().save(file)) {
      std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
      return 1;
    }
    std::printf("%s\n", qPrintable(file));
    w.FormClose();

    kestrova::TfrmAddAddress dlg;
    dlg.SetAddresses({"172.16.9.102", "10.20.0.64"});
    dlg.edAddress->setText(QStringLiteral("172.16.9.104"));
    dlg.show();
    QApplication::processEvents();
    const QString dialog =
        QDir(out).filePath(QStringLiteral("adv_add_address_%1.png").arg(QString::fromStdString(code)));
    if (!dlg.grab().save(dialog)) return 1;
    std::printf("%s\n", qPrintable(dialog));
  }
  return 0;
}
