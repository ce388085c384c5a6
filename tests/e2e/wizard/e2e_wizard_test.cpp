// The easy mode end to end in the virtual LAN (run through tests/e2e/adv_apply/run_e2e.sh,
// which builds and removes the LAN): for a camera of each of the families 2, 5, 8 and 9 at the
// factory address 192.168.1.126, in another subnet than the PC (192.168.0.10/24), the real
// main window walks from the mode page through the cabling and the selection to the address
// step, which moves the camera into the PC's subnet with the family's own command; the camera
// reappears there, answers, and the step's Next runs the credential check, which passes at
// once or asks (answered through the page's prompt hook). Then the wireless step: it lists what
// the camera sees, the user picks "Home Net", types the pass phrase and applies; the camera
// restarts, joins and comes back, and the step says so; a camera that never joins gets the
// step's two waits and its two messages. The waits run on the scaled clock (KESTROVA_TIME_SCALE,
// set by the test's environment).
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QListWidget>

#include <cstdio>

#include "e2e/wizard/wizard_walk.h"
#include "core/i18n/lang.h"
#include "net/cgi/device_series.h"
#include "net/platform/scaled_clock.h"
#include "ui/app/global.h"
#include "ui/app/lang_message_box.h"
#include "ui/dialogs/auth_input.h"
#include "ui/setup/esy_set_wifi.h"
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
  const char* startIp = "192.168.1.126";  // where the camera is found
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

// What a walk hands its checks: the window, the advanced window, the address step, the
// simulator, the message boxes shown so far, and the credential prompts asked (with the base
// addresses they named).
struct Walk {
  TfrmMain& w;
  TfrmAdv_Main& adv;
  TfrmEsy_SetIP& setIp;
  Camsim& sim;
  std::vector<MessageBoxCall>& boxes;
  int& prompts;
  std::string& prompted;
};

// The simulator with the case's camera (and `extra` configuration lines), the main window as
// the program starts it, in English, discovery live inside the PC namespace, and the walk from
// the mode page to the address step's success; then `then`. The message boxes are answered
// with `answer`.
void WalkThroughSetIp(const Case& c, const std::string& extra, int answer, const std::function<void(Walk&)>& then) {
  EXPECT_DOUBLE_EQ(TimeScale(), 0.1);  // from KESTROVA_TIME_SCALE
  std::string tmpl = (fs::temp_directory_path() / "kestrova-e2e-wizard-XXXXXX").string();
  ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
  const path dir = tmpl;
  // The PC forgets the cameras of earlier walks: a neighbour entry left behind would make the
  // address this camera moves to look taken.
  testsupport::RunShell("ip -n " + e2e::Ns("pc") + " neigh flush dev eth0", 10000);
  Camsim sim(std::string(c.config) + extra);
  ASSERT_TRUE(sim.Start()) << sim.Output();

  testsupport::InNamespace pc(e2e::Ns("pc"));
  ASSERT_TRUE(pc.ok());
  std::vector<MessageBoxCall> boxes;
  SetMessageBoxHook([&](const MessageBoxCall& m) {
    boxes.push_back(m);
    return answer;
  });
  DeviceSeries().NetConfig().AnswerWaitMs = 2000;  // the family-9 answer crosses the LAN
  ::setenv("no_proxy", "*", 1);                     // the cameras are asked directly
  SelectedMac.clear();
  SelectedIp.clear();

  {
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
    EXPECT_EQ(SelectedIp, c.startIp);
    ASSERT_TRUE(e2e::SetIpSucceeds(w, *setIp, 60000, &why)) << why << "\n" << sim.Log();
    Walk walk{w, *adv, *setIp, sim, boxes, prompts, prompted};
    then(walk);
    adv->FormClose();
  }
  SetMessageBoxHook(nullptr);
  sim.Stop();
  if (::testing::Test::HasFailure()) std::fprintf(stderr, "simulator log:\n%s\n", sim.Log().c_str());
  std::error_code ec;
  fs::remove_all(dir, ec);
}

TEST_P(WizardE2E, AFactoryCameraGetsAnAddressInThePcsSubnet) {
  const Case& c = GetParam();
  WalkThroughSetIp(c, "", IDOK, [&](Walk& k) {
    // Moved into the PC's subnet, listed there and answering.
    EXPECT_EQ(SelectedIp, c.newIp);
    const TDevInfo* moved = k.adv.CurrentDevice();
    ASSERT_NE(moved, nullptr);
    EXPECT_EQ(moved->IP, c.newIp);
    EXPECT_EQ(moved->HttpPort, c.newPort);
    const std::string url = "http://" + std::string(c.newIp) + (c.newPort == 80 ? "" : ":" + std::to_string(c.newPort));
    EXPECT_EQ(k.setIp.edLanUrl->text().toStdString(), url);
    EXPECT_TRUE(k.setIp.btnNext->isVisible());
    EXPECT_EQ(k.prompts, c.family == 9 ? 1 : 0) << k.prompted;

    // Next: the credential check passes at once, or asks once.
    k.setIp.btnNext->click();
    EXPECT_EQ(k.w.CurrentPage()->objectName(), "frmEsy_SetWIFI");
    EXPECT_TRUE(CredentialsChecked);
    const int asked = k.prompts - (c.family == 9 ? 1 : 0);
    EXPECT_EQ(asked, *c.nextPassword ? 1 : 0) << k.prompted;
    EXPECT_TRUE(k.boxes.empty());
  });
}

// The networks every camera sees, the pass phrase they take, and a quick restart.
const char* const kWiFi = R"(scan1 = Home Net|00:11:22:33:44:55|1|0|2|2|78
scan2 = Cafe|00:11:22:33:44:66|0|0|0|0|41
wifi_join_key = homekey123
restart_ms = 800
)";

// Chooses "Home Net" on the wireless step, types the pass phrase and presses Apply (which
// returns when the countdowns have ended).
void JoinHomeNet(Walk& k, TfrmEsy_SetWIFI& page) {
  int row = -1;
  for (int i = 0; i < page.lstWiFi->count(); ++i)
    if (page.lstWiFi->item(i)->text().startsWith(QStringLiteral("Home Net"))) row = i;
  ASSERT_GE(row, 0) << "Home Net not listed\n" << k.sim.Log();
  page.lstWiFi->setCurrentRow(row);
  page.lstWiFiClick();
  if (!page.chkUseWiFi->isHidden()) page.chkUseWiFi->setChecked(true);  // the camera reported it off
  EXPECT_EQ(page.edtSSID->text(), "Home Net");
  EXPECT_FALSE(page.edtShareKey->isHidden());
  page.edtShareKey->setText(QStringLiteral("homekey123"));
  k.boxes.clear();
  page.BitBtn2Click();
}

// The wireless step restarts a web camera with a request that carries its account only in the
// Basic header, which a blank password cannot fill: the family-2 camera has a password, and so
// it stands where the address step only checks it (the address step's command would need that
// password before the credential prompt has asked for it).
const Case kWiFiCases[] = {
    {2, R"([porch]
family = 2
identity = MOI0A1B2C3D4
name = Porch
ip = 192.168.0.50
mask = 255.255.255.0
gateway = 192.168.0.1
http_port = 80
dhcp = 0
pwd = secret2
)",
     "192.168.0.50", 80, "", "secret2", "192.168.0.50"},
    kCases[1], kCases[2], kCases[3],
};

class WizardWiFiE2E : public ::testing::TestWithParam<Case> {};

TEST_P(WizardWiFiE2E, ThenTheCameraJoinsTheWirelessNetwork) {
  const Case& c = GetParam();
  WalkThroughSetIp(c, kWiFi, IDYES, [&](Walk& k) {
    k.setIp.btnNext->click();
    auto* page = qobject_cast<TfrmEsy_SetWIFI*>(k.w.CurrentPage());
    ASSERT_NE(page, nullptr);
    EXPECT_TRUE(k.boxes.empty());
    JoinHomeNet(k, *page);
    EXPECT_TRUE(k.boxes.empty());
    EXPECT_EQ(page->lblOK->text(), LangText(LoadStr("IDS_SETWIFIOK")));
    EXPECT_NE(k.sim.Log().find("joined Home Net"), std::string::npos);
    EXPECT_EQ(k.w.CurrentPage(), page);
  });
}

INSTANTIATE_TEST_SUITE_P(EveryFamily, WizardE2E, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& i) { return "family" + std::to_string(i.param.family); });
INSTANTIATE_TEST_SUITE_P(EveryFamily, WizardWiFiE2E, ::testing::ValuesIn(kWiFiCases),
                         [](const ::testing::TestParamInfo<Case>& i) { return "family" + std::to_string(i.param.family); });

// A camera that never joins: the first countdown ends, the user waits once more with the cable
// plugged back (which this camera never gets), and the step says the camera is not found. The
// countdown looks only after its first half; at this scale that half outlasts the list's memory
// of the camera from before its restart.
TEST(WizardE2ELost, TheCameraThatDoesNotComeBack) {
  WalkThroughSetIp(kWiFiCases[0], std::string(kWiFi) + "fault = no_rejoin\ncable_back_ms = never\n", IDYES, [&](Walk& k) {
    k.setIp.btnNext->click();
    auto* page = qobject_cast<TfrmEsy_SetWIFI*>(k.w.CurrentPage());
    ASSERT_NE(page, nullptr);
    SetTimeScale(0.45);
    JoinHomeNet(k, *page);
    SetTimeScale(0.1);
    ASSERT_EQ(k.boxes.size(), 2u) << k.sim.Log();
    EXPECT_EQ(k.boxes[0].text, LangText(LoadStr("IDS_SETWIFIFAIL")));
    EXPECT_EQ(k.boxes[1].text, LangText(LoadStr("IDS_NOFOUND")));
    EXPECT_NE(page->lblOK->text(), LangText(LoadStr("IDS_SETWIFIOK")));
    EXPECT_NE(k.sim.Log().find("lost: fault no_rejoin"), std::string::npos);
  });
}

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
