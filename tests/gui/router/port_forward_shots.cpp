// Renders the port-mapping window in every language:
//   kestrova_router_shots <output folder>
// gives dialog_portforward_<code>.png (the router's table as read, with the camera's mapping
// still to add after the user kept the other device's forwarding) and
// dialog_portforward_busy_<code>.png (while the plug-in runs). The router is the tests' plug-in
// over a table written here; nothing leaves the process but its plug-in child.
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QTimer>

#include <stdlib.h>

#include <cstdio>
#include <filesystem>

#include "gui/app/save_shot.h"
#include "gui/wizard/wizard_fixture.h"
#include "ui/app/lang_message_box.h"
#include "ui/router/set_port_forward.h"

using namespace kestrova;
using namespace kestrova::testing;
namespace fs = std::filesystem;

namespace {

int failures = 0;

void Save(QWidget& w, const QString& dir, const QString& name, const char* code) {
  if (!SaveShot(w, dir, name, code)) ++failures;
}

const char* kList =
    "[Router]\r\nCount=2\r\n"
    "RenName1=Automatic (sample router)\r\nRcnName1=\xE7\xA4\xBA\xE4\xBE\x8B\xE8\xB7\xAF\xE7\x94\xB1\xE5\x99\xA8\r\n"
    "Rb5Name1=\xE7\xAF\x84\xE4\xBE\x8B\xE8\xB7\xAF\xE7\x94\xB1\xE5\x99\xA8\r\nRplName1=Przyk\xC5\x82"
    "adowy router\r\nRkrName1=\xEC\x98\x88\xEC\xA0\x9C \xEA\xB3\xB5\xEC\x9C\xA0\xEA\xB8\xB0\r\nrpath1=table.so\r\n"
    "RenName2=Office router\r\nRcnName2=Office router\r\nRb5Name2=Office router\r\nRplName2=Office router\r\n"
    "RkrName2=Office router\r\nrpath2=office.so\r\n";

std::string Entry(const char* name, const char* ip, int port, const char* protocol, const char* status) {
  const std::string p = std::to_string(port);
  return std::string("<PortForward><Name>") + name + "</Name><IP>" + ip + "</IP><PubPort>" + p +
         "</PubPort><PriPort>" + p + "</PriPort><Protocol>" + protocol + "</Protocol><Status>" + status +
         "</Status><isUpdate>0</isUpdate></PortForward>";
}

}  // namespace

int main(int argc, char** argv) {
  ::setenv("KESTROVA_DISCOVERY", "off", 1);
  QApplication app(argc, argv);
  const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/screenshots");
  QDir().mkpath(out);
  const char* valid = "\xD3\xD0\xD0\xA7";
  const char* invalid = "\xCE\xDE\xD0\xA7";
  const std::string table = "<?xml version=\"1.0\" encoding=\"GB2312\"?><PortForwards Count=\"3\" MaxCount=\"32\">" +
                            Entry("web", "192.168.1.50", 81, "TCP", valid) +
                            Entry("nvr", "192.168.1.70", 8000, "TCP+UDP", valid) +
                            Entry("game", "192.168.1.23", 27015, "UDP", invalid) + "</PortForwards>";
  SetMessageBoxHook([](const MessageBoxCall&) { return IDNO; });

  for (const char* code : {"en", "cn", "b5", "pl", "kr"}) {
    WizardWindow ww(code);
    const fs::path prog = ww.folders.ProgramDir();
    const fs::path state = ww.folders.Root() / "router-state";
    ::setenv("KESTROVA_PROGRAM_DIR", prog.c_str(), 1);
    ::setenv("KESTROVA_TEST_ROUTER", state.c_str(), 1);
    TempFolders::Write(prog / "Router" / "Router.ini", kList);
    std::error_code ec;
    fs::copy_file(TABLE_PLUGIN, prog / "Router" / "table.so", fs::copy_options::overwrite_existing, ec);
    TempFolders::Write(state / "table.xml", table);

    TfrmPortForward w;
    w.RouterAddress = "192.168.1.1";
    w.AddMapping("192.168.1.60", "81", "TCP");
    w.AddMapping("192.168.1.60", "554", "TCP");
    w.edtPassword->setText("secret");
    w.show();
    // Answered No: the router's table is shown with the mappings still to add.
    w.BitBtn1->click();
    if (!PumpUntil([&] { return !w.Busy(); }, 20000)) ++failures;
    if (w.dbgRouter->rowCount() != 3) {
      std::fprintf(stderr, "%s: the router's table is not shown\n", code);
      ++failures;
    }
    Save(w, out, QStringLiteral("dialog_portforward"), code);

    TempFolders::Write(state / "delay_ms", "1500");
    w.BitBtn1->click();
    PumpUntil([&] { return false; }, 200);
    Save(w, out, QStringLiteral("dialog_portforward_busy"), code);
    if (!PumpUntil([&] { return !w.Busy(); }, 20000)) ++failures;
    w.hide();
  }
  SetMessageBoxHook(nullptr);
  return failures ? 1 : 0;
}
