// Renders the wizard pages the easy mode reaches after the static steps, in English and Korean:
//   kestrova_wizard_shots <output folder>
// gives wizard_<page>_<code>.png: the device selection (empty and with cameras), the address
// step while it configures, while it checks, when the camera answers, when it does not, when
// the proposed address is in use and when the camera did not come back, and the later steps.
// The cameras and their answers are made up here; nothing leaves the process.
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPixmap>
#include <QTimer>

#include <stdlib.h>

#include <atomic>
#include <cstdio>

#include "core/i18n/lang.h"
#include "gui/app/save_shot.h"
#include "gui/wizard/wizard_fixture.h"
#include "ui/i18n/apply_strings.h"

using namespace kestrova;
using namespace kestrova::testing;

namespace {

int failures = 0;

void Save(WizardWindow& ww, const QString& dir, const QString& name, const char* code) {
  if (!SaveShot(ww.w, dir, QStringLiteral("wizard_") + name, code)) ++failures;
}

QString Msg(const char* key) { return LangText(LoadStr(key)); }

void Fail(const char* what) {
  std::fprintf(stderr, "%s\n", what);
  ++failures;
}

}  // namespace

int main(int argc, char** argv) {
  ::setenv("KESTROVA_DISCOVERY", "off", 1);  // rendering only: nothing broadcasts
  QApplication app(argc, argv);
  const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/screenshots");
  QDir().mkpath(out);

  for (const char* code : {"en", "kr"}) {
    SetTimeScale(0.001);
    WizardWindow ww(code);
    ww.Show("TfrmEsy_DevList");
    Save(ww, out, "devlist_empty", code);

    TDevInfo factory = WizardCamera(5, "00:1A:2B:3C:4D:5E", "192.168.1.126", 81);
    factory.DDnsUser = "E5B0002";
    TDevInfo porch = WizardCamera(2, "MOI0A1B2C3D4", "192.168.1.88");
    porch.DDnsUser = "F2A0001";
    TDevInfo living = WizardCamera(8, "001e2f405060", "192.168.0.103");
    living.DDnsUser = "H8C0003";
    TDevInfo office = WizardCamera(9, "00:1A:2B:3C:4D:60", "192.168.0.104", 8080);
    office.DDnsUser = "T9D0004";
    for (const TDevInfo& d : {factory, porch, living, office}) ww.Listed(d);
    ww.devList->Timer1Timer(true);
    Save(ww, out, "devlist", code);

    // The factory camera: configuring, checking, done.
    std::atomic<bool> checking{false}, release{false};
    ww.apply = [&](const TDevInfo&, const TDevInfo& neu) {
      Save(ww, out, "setip_configuring", code);
      QTimer::singleShot(2, ww.adv, [&ww, neu] { ww.Listed(neu); });
      return true;
    };
    ww.setIp->SetCheck([&](int, const std::string&) {
      checking = true;
      for (int i = 0; i < 5000 && !release; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      return 1;
    });
    if (!ww.Choose(factory.MAC)) Fail("the factory camera could not be chosen");
    if (!PumpUntil([&] { return checking.load(); })) Fail("no check started");
    Save(ww, out, "setip_checking", code);
    release = true;
    if (!PumpUntil([&] { return ww.setIp->lblOK->isVisible(); })) Fail("no success shown");
    Save(ww, out, "setip_ok", code);

    // The later steps have pictures of their own: the wireless step's from set_wifi_shots
    // (against cameras on 127.0.0.1), the remote-access steps' from tests/gui/remote.

    // A camera that comes back but does not answer.
    ww.setIp->SetCheck([](int, const std::string&) { return 0; });
    ww.apply = [&ww](const TDevInfo&, const TDevInfo& neu) {
      QTimer::singleShot(2, ww.adv, [&ww, neu] { ww.Listed(neu); });
      return true;
    };
    if (!ww.Choose(porch.MAC)) Fail("the porch camera could not be chosen");
    if (!PumpUntil([&] { return ww.setIp->lblChecking->text() == Msg("IDS_CANNOTVISIT"); })) Fail("no failure shown");
    Save(ww, out, "setip_cannotvisit", code);

    // Another device already answers at the proposed address.
    ww.probe = {TAddressState::InUse, "00:99:88:77:66:55", "neighbour"};
    TDevInfo second = WizardCamera(9, "00:1A:2B:3C:4D:61", "192.168.1.126");
    second.DDnsUser = "T9D0005";
    ww.Listed(second);
    if (!ww.Choose(second.MAC)) Fail("the second camera could not be chosen");
    if (!PumpUntil([&] { return !ww.setIp->Configuring() && ww.setIp->lblChecking->text().contains("192.168.0."); }))
      Fail("no in-use message");
    Save(ww, out, "setip_inuse", code);
    ww.probe = {};

    // A camera that never comes back: the error shows for a moment before the selection step.
    bool shot = false;
    QTimer watcher;
    watcher.setInterval(0);
    QObject::connect(&watcher, &QTimer::timeout, [&] {
      if (!shot && ww.setIp->lblChecking->text() == Msg("IDS_CONFIGUR_ERROR")) {
        shot = true;
        Save(ww, out, "setip_error", code);
      }
    });
    ww.apply = [&](const TDevInfo&, const TDevInfo&) {
      SetTimeScale(0.02);  // the error stays up long enough to be seen
      watcher.start();
      return true;
    };
    TDevInfo gate = WizardCamera(2, "MOI0A1B2C3D9", "192.168.7.5");
    gate.DDnsUser = "F2A0009";
    ww.Listed(gate);
    if (!ww.Choose(gate.MAC)) Fail("the gate camera could not be chosen");
    if (!PumpUntil([&] { return shot; }, 20000)) Fail("no error shown");
    watcher.stop();
    PumpUntil([&] { return ww.Current() == "frmEsy_DevList"; }, 20000);
    SetTimeScale(1.0);
  }
  return failures == 0 ? 0 : 1;
}
