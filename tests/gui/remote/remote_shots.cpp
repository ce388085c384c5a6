// Renders the remote-access steps in every language:
//   kestrova_remote_shots <output folder>
// gives wizard_chkddns_ok|fail_<code>.png, dialog_setddns_<code>.png,
// wizard_portforward_ok|fail_<code>.png and wizard_selaccess|selaccess_empty_<code>.png.
// The cameras and the service's answers are made up here; nothing leaves the process.
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>

#include <stdlib.h>

#include <cstdio>

#include "gui/app/save_shot.h"
#include "gui/remote/remote_fixture.h"
#include "ui/remote/esy_chk_ddns.h"
#include "ui/remote/esy_port_forward.h"
#include "ui/remote/esy_sel_access.h"
#include "ui/remote/esy_set_ddns.h"

using namespace kestrova;
using namespace kestrova::testing;

namespace {

int failures = 0;

void Save(QWidget& w, const QString& dir, const QString& name, const char* code) {
  if (!SaveShot(w, dir, name, code)) ++failures;
}

void Fail(const char* what) {
  std::fprintf(stderr, "%s\n", what);
  ++failures;
}

TDevInfo Camera(WizardWindow& ww, int family, const char* mac, const char* ip, uint16_t port, const char* id) {
  TDevInfo d = WizardCamera(family, mac, ip, port);
  d.DDnsServer = "www.ddns.kestrova.test";
  d.DDnsUser = id;
  d.DDnsPwd = "ddnspw";
  d.DataPort = 554;
  ww.Listed(d);
  SelectedMac = d.MAC;
  SelectedIp = d.IP;
  CameraUser = "admin";
  CameraPassword = "";
  return d;
}

}  // namespace

int main(int argc, char** argv) {
  ::setenv("KESTROVA_DISCOVERY", "off", 1);  // rendering only: nothing broadcasts
  QApplication app(argc, argv);
  const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/screenshots");
  QDir().mkpath(out);

  for (const char* code : {"en", "cn", "b5", "pl", "kr"}) {
    FakeRemote fake;
    WizardWindow ww(code);

    // DDNS step: a family-2 camera with good options, registered and online.
    Camera(ww, 2, "MOI0A1B2C3D4", "192.168.0.83", 80, "F2A0001");
    fake.Answer("/get_params.cgi?",
                "var ddns_service=7;\r\nvar ddns_proxy_svr='www.ddns.kestrova.test';\r\nvar ddns_proxy_port=808;\r\n"
                "var ddns_user='F2A0001';\r\nvar ddns_pwd='ddnspw';\r\n");
    fake.Answer("/func/getremote.asp?", "1203.0.113.1:8081");
    auto* ddns = static_cast<TfrmEsy_ChkDDNS*>(ww.Show("TfrmEsy_ChkDDNS"));
    if (!PumpUntil([&] { return ddns->Result().Succeeded(); })) Fail("no DDNS success");
    Save(ww.w, out, "wizard_chkddns_ok", code);

    // The account dialog, filled as the page fills it.
    {
      TfrmEsy_SetDDNS dlg("http://192.168.0.83", 2, &ww.w);
      dlg.edID->setText(ddns->edDDNSID->text());
      dlg.edServer->setText(ddns->edDDNSServer->text());
      dlg.edPwd->setText(QStringLiteral("ddnspw"));
      dlg.show();
      Save(dlg, out, "dialog_setddns", code);
    }

    // DDNS step: a family-8 camera whose account the service does not know.
    Camera(ww, 8, "001e2f405060", "192.168.0.103", 80, "H8C0003");
    fake.Answer("/func/getremote.asp?", "0IDS_SERVER_NOID");
    ww.Show("TfrmEsy_SelAccess");
    ddns = static_cast<TfrmEsy_ChkDDNS*>(ww.Show("TfrmEsy_ChkDDNS"));
    if (!PumpUntil([&] { return ddns->Result().Lines().size() >= 5; })) Fail("no DDNS failure");
    Save(ww.w, out, "wizard_chkddns_fail", code);

    // Port-forward step: the family-8 camera reachable on the second probe.
    fake.Answer("/func/getremote.asp?", "1203.0.113.1:8081");
    fake.Answer("/api/checkurl.asp?", "1");
    auto* forward = static_cast<TfrmEsy_PortForward*>(ww.Show("TfrmEsy_PortForward"));
    if (!PumpUntil([&] { return forward->Result().Succeeded(); })) Fail("no port-forward success");
    Save(ww.w, out, "wizard_portforward_ok", code);

    // Port-forward step: a family-9 camera that the service cannot reach from outside.
    Camera(ww, 9, "00:1A:2B:3C:4D:60", "192.168.0.104", 8080, "T9D0004");
    fake.Answer("/api/checkurl.asp?", "0");
    ww.Show("TfrmEsy_SelAccess");
    forward = static_cast<TfrmEsy_PortForward*>(ww.Show("TfrmEsy_PortForward"));
    if (!PumpUntil([&] { return forward->Result().Lines().size() >= 5; })) Fail("no port-forward failure");
    Save(ww.w, out, "wizard_portforward_fail", code);

    // Access step: the camera's addresses, then no camera at all.
    ww.Show("TfrmEsy_SelAccess");
    Save(ww.w, out, "wizard_selaccess", code);
    SelectedMac = "00:00:00:00:00:01";
    SelectedIp = "192.168.0.250";
    ww.Show("TfrmEsy_PortForward");
    ww.Show("TfrmEsy_SelAccess");
    Save(ww.w, out, "wizard_selaccess_empty", code);
    ww.Show("TfrmSel_Mode");
    PumpUntil([] { return false; }, 200);
  }
  return failures == 0 ? 0 : 1;
}
