// The advanced window's Apply end to end in the virtual LAN (run by run_e2e.sh, which builds
// and removes the LAN): the simulator plays one camera of each of the families 2, 5, 8 and 9
// in kv-cam; the real window runs offscreen in kv-pc with live discovery. For each camera the
// test selects it, edits its address, presses Apply and answers the credential dialog through
// the window's prompt hook; the entry goes away at once and comes back at the new address.
#include <gtest/gtest.h>

#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "core/i18n/lang.h"
#include "net/cgi/device_series.h"
#include "net/discovery/discovery_engine.h"
#include "support/net_namespace.h"
#include "support/sim_process.h"
#include "ui/app/lang_message_box.h"
#include "ui/dialogs/auth_input.h"
#include "ui/setup/adv_main.h"
#include "ui/setup/ip_edit.h"

namespace kestrova {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::string Ns(const char* side) {
  const char* p = std::getenv("KV_PREFIX");
  return std::string(p && *p ? p : "kv") + "-" + side;
}

// "porch" lies in another subnet than the PC (192.168.0.10/24); the broadcast reaches it.
const char* const kCameras = R"([porch]
family = 2
identity = MOI0A1B2C3D4
name = Porch
ip = 192.168.1.88
mask = 255.255.255.0
gateway = 192.168.1.1
http_port = 80
dhcp = 0

[garage]
family = 5
mac = 00:21:6B:10:20:30
sn = CTP5000123
name = Garage
ip = 192.168.0.102
mask = 255.255.255.0
gateway = 192.168.0.1
http_port = 81
pwd = vemra

[livingroom]
family = 8
mac = 00:1e:2f:40:50:60
sn = 0a0b0c0d0e0f10
name = Living
ip = 192.168.0.103
mask = 255.255.255.0
gateway = 192.168.0.1
http_port = 80
data_port = 9000
dhcp = 0

[office]
family = 9
mac = 00:1A:2B:3C:4D:5E
sn = T9D0004
name = Office
ip = 192.168.0.104
mask = 255.255.255.0
gateway = 192.168.0.1
http_port = 8080
dhcp = 0
user = admin
pwd = 123456
)";

// Runs the window's event loop until cond() holds (a bound for the LAN, not a timing assumption).
bool PumpUntil(const std::function<bool()>& cond, int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!cond()) {
    if (Clock::now() > deadline) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 50);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

using testsupport::InNamespace;
using testsupport::SimProcess;

TEST(AdvApplyE2E, EveryFamilyTakesNewSettingsAndComesBackAtItsNewAddress) {
  std::string tmpl = (fs::temp_directory_path() / "kestrova-e2e-adv-XXXXXX").string();
  ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
  const fs::path dir = tmpl;
  SimProcess sim;
  sim.Rewrite(kCameras);
  ASSERT_TRUE(sim.StartCommand({"ip", "netns", "exec", Ns("cam"), testsupport::CamsimPath(), "--config",
                                sim.ConfigPath(), "--iface", "eth0", "--log", sim.LogPath()}))
      << sim.output;

  InNamespace pc(Ns("pc"));
  ASSERT_TRUE(pc.ok());
  fs::create_directories(dir / "lang");
  fs::copy_file(fs::path(KESTROVA_SOURCE_DIR) / "resources/lang/en.ini", dir / "lang" / "kestrova.len");
  SetLanguageLocation(dir / "lang", "kestrova");
  SetLanguage("en");
  std::vector<MessageBoxCall> boxes;
  SetMessageBoxHook([&](const MessageBoxCall& c) {
    boxes.push_back(c);
    return IDYES;
  });
  // The family-9 answer crosses the LAN; give it more than the 30 ms a quiet LAN needs.
  DeviceSeries().NetConfig().AnswerWaitMs = 2000;

  ::setenv("KESTROVA_DISCOVERY", "live", 1);
  TfrmAdv_Main w;
  ::unsetenv("KESTROVA_DISCOVERY");
  w.resize(652, 402);
  w.show();
  DeviceList& list = w.Devices();
  ASSERT_TRUE(PumpUntil([&] { return list.Count() == 4; }, 15000)) << list.Count();

  struct Case {
    const char* mac;
    int family;
    const char* password;
    const char* newIp;
  } cases[] = {
      {"MOI0A1B2C3D4", 2, "", "192.168.0.88"},
      {"00216B102030", 5, "vemra", "192.168.0.202"},
      {"001e2f405060", 8, "", "192.168.0.203"},
      {"00:1A:2B:3C:4D:5E", 9, "123456", "192.168.0.204"},
  };
  auto* view = w.findChild<QTreeWidget*>("ListView");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.family);
    int row = -1;
    ASSERT_TRUE(PumpUntil([&] { return (row = list.FindItemByMAC(c.mac)) >= 0; }, 15000));
    view->setCurrentItem(view->topLevelItem(row));
    ASSERT_NE(w.SelectedDevice(), nullptr);
    ASSERT_EQ(w.SelectedDevice()->DevType, c.family);
    int prompts = 0;
    w.SetCredentialPrompt([&](TfrmAuthInput& d) {
      ++prompts;
      EXPECT_EQ(d.edUser->text(), "admin");
      d.edPwd->setText(QString::fromLatin1(c.password));
      return int(QDialog::Accepted);
    });
    auto* mode = w.findChild<QComboBox*>("cmbIPAss");
    if (c.family != 2) mode->setCurrentIndex(mode->findData(2));
    w.findChild<TIPEdit*>("edIP")->SetIPString(c.newIp);
    w.findChild<TIPEdit*>("edSubMask")->SetIPString("255.255.255.0");
    w.findChild<TIPEdit*>("edGateway")->SetIPString("192.168.0.1");
    w.btnApplyClick();
    EXPECT_EQ(prompts, 1);
    EXPECT_TRUE(boxes.empty());
    // Deleted at once, back with the new address from its next answer.
    EXPECT_LT(list.FindItemByMAC(c.mac), 0);
    ASSERT_TRUE(PumpUntil(
        [&] {
          const int r = list.FindItemByMAC(c.mac);
          return r >= 0 && list.DeviceAt(r).IP == c.newIp;
        },
        20000))
        << sim.LogText();
    const TDevInfo& back = list.DeviceAt(list.FindItemByMAC(c.mac));
    EXPECT_EQ(back.NetMask, "255.255.255.0");
    EXPECT_EQ(back.Gateway, "192.168.0.1");
  }
  EXPECT_EQ(list.Count(), 4);
  w.FormClose();
  SetMessageBoxHook(nullptr);
  sim.Stop();
  if (HasFailure()) std::fprintf(stderr, "simulator log:\n%s\n", sim.LogText().c_str());
  std::error_code ec;
  fs::remove_all(dir, ec);
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
  return RUN_ALL_TESTS();
}
