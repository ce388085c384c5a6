// Renders the wireless step for a camera of each family in every language:
//   kestrova_set_wifi_shots <output folder>
// gives wizard_setwifi_f<family>_<code>.png (family 2 on its WEP network with the WEP fields,
// family 5 on an encrypted network with its share key, family 8 after choosing "Home Net",
// family 9 as read) and wizard_setwifi_ok_<code>.png after a camera came back. The cameras are
// fakes on 127.0.0.1 (wifi_cameras.h); nothing leaves the host.
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>

#include <stdlib.h>

#include <cstdio>

#include "gui/app/save_shot.h"
#include "gui/wizard/wifi_cameras.h"
#include "gui/wizard/wizard_fixture.h"
#include "net/cgi/device_series.h"
#include "net/ctp/ctp_socket.h"
#include "ui/app/lang_message_box.h"
#include "ui/setup/esy_set_wifi.h"

using namespace kestrova;
using namespace kestrova::testing;

namespace {

int failures = 0;

void Save(WizardWindow& ww, const QString& dir, const QString& name, const char* code) {
  if (!SaveShot(ww.w, dir, QStringLiteral("wizard_setwifi_") + name, code)) ++failures;
}

TfrmEsy_SetWIFI* Open(WizardWindow& ww, const TDevInfo& cam, const char* password) {
  return ShowWiFiStep(ww, cam, password, [](int, const std::string&, const std::string&, const QString&) { return 0; });
}

}  // namespace

int main(int argc, char** argv) {
  ::setenv("KESTROVA_DISCOVERY", "off", 1);  // rendering only: nothing broadcasts
  QApplication app(argc, argv);
  const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/screenshots");
  QDir().mkpath(out);
  test::NoProxyForLoopback();
  SetMessageBoxHook([](const MessageBoxCall& c) {
    std::fprintf(stderr, "unexpected message: %s\n", qPrintable(c.text));
    ++failures;
    return IDOK;
  });
  DeviceSeries().NetConfig().ScanResultDelayMs = 0;

  for (const char* code : {"en", "cn", "b5", "pl", "kr"}) {
    WizardWindow ww(code);
    WebWiFiCamera f2(2), f8(8, "Cafe", 0), f9(9, "Home Net", 4);
    CtpWiFiCamera f5;

    TfrmEsy_SetWIFI* page = Open(ww, WizardCamera(2, "MOI0A1B2C3D4", "127.0.0.1", f2.http.Port()), "pw");
    if (page->lstWiFi->count() != 3) std::fprintf(stderr, "family 2: %d networks\n", page->lstWiFi->count()), ++failures;
    Save(ww, out, "f2", code);

    page = Open(ww, WizardCamera(8, "001e2f405060", "127.0.0.1", f8.http.Port()), "pw");
    page->lstWiFi->setCurrentRow(0);
    page->lstWiFiClick();
    page->edtShareKey->setText(QStringLiteral("homekey123"));
    Save(ww, out, "f8", code);

    page = Open(ww, WizardCamera(9, "00:1A:2B:3C:4D:5E", "127.0.0.1", f9.http.Port()), "pw");
    Save(ww, out, "f9", code);
    page->BitBtn2Click();
    if (f9.sets != 1) std::fprintf(stderr, "family 9: no settings sent\n"), ++failures;
    Save(ww, out, "ok", code);

    // Last: once a CTP camera was shown the check box stays hidden for the run.
    page = Open(ww, WizardCamera(5, "00:21:6B:10:20:30", "127.0.0.1", f5.ctp.server.Port()), "vemra");
    Save(ww, out, "f5", code);
    CtpPoolClear();
  }
  SetMessageBoxHook(nullptr);
  return failures == 0 ? 0 : 1;
}
