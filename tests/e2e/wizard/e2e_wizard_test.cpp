// The easy mode end to end in the virtual LAN (run through tests/e2e/adv_apply/run_e2e.sh,
// which builds and removes the LAN): for a camera of each of the families 2, 5, 8 and 9 at the
// factory address 192.168.1.126, in another subnet than the PC (192.168.0.10/24), the real
// main window walks from the mode page through the cabling and the selection to the address
// step, which moves the camera into the PC's subnet with the family's own command; the camera
// reappears there, answers, and the step's Next runs the credential check, which passes at
// once or asks (answered through the page's prompt hook). The waits run on the scaled clock
// (KESTROVA_TIME_SCALE, set by the test's environment).
#include <gtest/gtest.h>

#include <QLineEdit>

#include <cstdio>

#include "e2e/wizard/wizard_walk.h"
#include "core/i18n/lang.h"
#include "net/cgi/device_series.h"
#include "net/platform/scaled_clock.h"
#include "ui/app/global.h"
#include "ui/app/lang_message_box.h"
#include "ui/dialogs/auth_input.h"
#include "support/child_process.h"
#include "support/net_namespace.h"

namespace kestrova {
namespace {

using e2e::Camsim;
namespace fs = std::filesystem;
using fs::path;

struct Case {
  int family;
  const char* config;       // the one camera, at the factory address
  const char* newIp;        // where the rules put it (126 + the MAC's last piece)
  int newPort;
  const char* applyPassword;  // what the family-9 prompt of the settings command is answered with
  const char* nextPassword;   // what the Next prompt is answered with ("" = it must not ask)
};

const Case kCases[] = {
    {2, R"([porch]
family = 2
identity = MOI0A1B2C3D4
name = Porch
ip = 192.168.1.126
mask = 255.255.255.0
gateway = 192.168.1.1
http_port = 80
dhcp = 0
)",
     "192.168.0.83", 80, "", ""},  // D4: 126 + 212 = 338, mod 255
    {5, R"([garage]
family = 5
mac = 00:21:6B:10:20:30
sn = CTP5000123
name = Garage
ip = 192.168.1.126
mask = 255.255.255.0
gateway = 192.168.1.1
http_port = 81
pwd = vemra
)",
     "192.168.0.174", 1129, "", ""},  // 30: 126 + 48; port 81 becomes 1081 + 48
    {8, R"([livingroom]
family = 8
mac = 00:1e:2f:40:50:60
sn = 0a0b0c0d0e0f10
name = Living
ip = 192.168.1.126
mask = 255.255.255.0
gateway = 192.168.1.1
http_port = 80
data_port = 9000
dhcp = 0
user = admin
pwd = secret8
)",
     "192.168.0.222", 80, "", "secret8"},  // 60: 126 + 96; the camera has its own password
    {9, R"([office]
family = 9
mac = 00:1A:2B:3C:4D:5E
sn = T9D0004
name = Office
ip = 192.168.1.126
mask = 255.255.255.0
gateway = 192.168.1.1
http_port = 8080
dhcp = 0
user = admin
pwd = 123456
)",
     "192.168.0.220", 8080, "123456", ""},  // 5E: 126 + 94
};

class WizardE2E : public ::testing::TestWithParam<Case> {};

TEST_P(WizardE2E, AFactoryCameraGetsAnAddressInThePcsSubnet) {
  const Case& c = GetParam();
  EXPECT_DOUBLE_EQ(TimeScale(), 0.1);  // from KESTROVA_TIME_SCALE
  std::string tmpl = (fs::temp_directory_path() / "kestrova-e2e-wizard-XXXXXX").string();
  ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
  const path dir = tmpl;
  Camsim sim(c.config);
  ASSERT_TRUE(sim.Start()) << sim.Output();

  testsupport::InNamespace pc(e2e::Ns("pc"));
  ASSERT_TRUE(pc.ok());
  std::vector<MessageBoxCall> boxes;
  SetMessageBoxHook([&](const MessageBoxCall& m) {
    boxes.push_back(m);
    return IDOK;
  });
  DeviceSeries().NetConfig().AnswerWaitMs = 2000;  // the family-9 answer crosses the LAN
  ::setenv("no_proxy", "*", 1);                     // the cameras are asked directly
  SelectedMac.clear();
  SelectedIp.clear();

  {
    // The main window as the program starts it, in English, discovery live (inside the PC
    // namespace).
    AppPaths paths;
    paths.programDir = dir / "prog";
    paths.userDir = dir / "user";
    paths.languageDir = dir / "lang";
    paths.runtimeDir = dir / "run";
    paths.programBaseName = "kestrova";
    fs::create_directories(paths.programDir);
    fs::create_directories(paths.userDir);
    std::ofstream(paths.userDir / "option.ini", std::ios::binary) << "[Global]\r\nlan=en\r\n";
    SetPaths(paths);
    ::setenv("KESTROVA_DISCOVERY", "live", 1);
    TfrmMain w;
    ::unsetenv("KESTROVA_DISCOVERY");
    w.setAttribute(Qt::WA_QuitOnClose, false);
    w.show();
    TfrmAdv_Main* adv = AdvancedWindow();
    ASSERT_NE(adv, nullptr);
    ASSERT_EQ(adv->PcAddress(), "192.168.0.10");

    auto* setIp = static_cast<TfrmEsy_SetIP*>(w.ShowPage(QStringLiteral("TfrmEsy_SetIP")));
    int prompts = 0;
    std::string prompted;  // the base address each prompt named
    setIp->SetCredentialPrompt([&](TfrmAuthInput& d) {
      ++prompts;
      prompted += d.BaseAddress() + " ";
      const bool forApply = d.BaseAddress().find("192.168.1.126") != std::string::npos;
      d.edPwd->setText(QString::fromLatin1(forApply ? c.applyPassword : c.nextPassword));
      return int(QDialog::Accepted);
    });

    std::string why;
    ASSERT_TRUE(e2e::WalkToSetIp(w, c.family, &why)) << why;
    EXPECT_EQ(SelectedIp, "192.168.1.126");
    ASSERT_TRUE(e2e::SetIpSucceeds(w, *setIp, 60000, &why)) << why << "\n" << sim.Log();

    // Moved into the PC's subnet, listed there and answering.
    EXPECT_EQ(SelectedIp, c.newIp);
    const TDevInfo* moved = adv->CurrentDevice();
    ASSERT_NE(moved, nullptr);
    EXPECT_EQ(moved->IP, c.newIp);
    EXPECT_EQ(moved->HttpPort, c.newPort);
    const std::string url = "http://" + std::string(c.newIp) + (c.newPort == 80 ? "" : ":" + std::to_string(c.newPort));
    EXPECT_EQ(setIp->edLanUrl->text().toStdString(), url);
    EXPECT_TRUE(setIp->btnNext->isVisible());
    EXPECT_EQ(prompts, c.family == 9 ? 1 : 0) << prompted;

    // Next: the credential check passes at once, or asks once.
    setIp->btnNext->click();
    EXPECT_EQ(w.CurrentPage()->objectName(), "frmEsy_SetWIFI");
    EXPECT_TRUE(CredentialsChecked);
    const int asked = prompts - (c.family == 9 ? 1 : 0);
    EXPECT_EQ(asked, *c.nextPassword ? 1 : 0) << prompted;
    EXPECT_TRUE(boxes.empty());
    adv->FormClose();
  }
  SetMessageBoxHook(nullptr);
  sim.Stop();
  if (HasFailure()) std::fprintf(stderr, "simulator log:\n%s\n", sim.Log().c_str());
  std::error_code ec;
  fs::remove_all(dir, ec);
}

INSTANTIATE_TEST_SUITE_P(EveryFamily, WizardE2E, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& i) { return "family" + std::to_string(i.param.family); });

}  // namespace
}  // namespace kestrova

int main(int argc, char** argv) {
  QApplication app(argc, argv);  // offscreen (set by the test)
  ::testing::InitGoogleTest(&argc, argv);
  if (!std::getenv("KV_VLAN")) {
    std::fprintf(stderr, "run through run_e2e.sh (it builds the virtual LAN)\n");
    return 77;
  }
  // A home LAN's PC has a default gateway (the camera gets it); the camera's factory subnet
  // stays on the link so that it can be asked before it moves.
  const std::string pc = kestrova::e2e::Ns("pc");
  using kestrova::testsupport::RunShell;
  if (RunShell("ip -n " + pc + " route replace default via 192.168.0.1 dev eth0 onlink", 10000).code != 0 ||
      RunShell("ip -n " + pc + " route replace 192.168.1.0/24 dev eth0", 10000).code != 0) {
    std::fprintf(stderr, "the PC namespace's routes could not be set\n");
    return 1;
  }
  return RUN_ALL_TESTS();
}
