// The advanced window's Apply end to end in the virtual LAN (run by run_e2e.sh, which builds
// and removes the LAN): the simulator plays one camera of each of the families 2, 5, 8 and 9
// in kv-cam; the real window runs offscreen in kv-pc with live discovery. For each camera the
// test selects it, edits its address, presses Apply and answers the credential dialog through
// the window's prompt hook; the entry goes away at once and comes back at the new address.
// Family 4 has a test of its own: the window loads the stand-in SDK library, whose search
// (Find only) finds the simulator's family-4 cameras.
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
#include <memory>
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

// One run of a window in the virtual LAN: a folder of its own, the simulator with the given
// cameras in the camera namespace, this thread in the PC namespace, English texts, message
// boxes recorded (answered Yes). Start() says what went wrong, empty when ready.
class LanRun {
 public:
  LanRun() {
    std::string tmpl = (fs::temp_directory_path() / "kestrova-e2e-adv-XXXXXX").string();
    if (::mkdtemp(tmpl.data())) dir_ = tmpl;
  }
  ~LanRun() {
    SetMessageBoxHook(nullptr);
    sim_.Stop();
    if (::testing::Test::HasFailure()) std::fprintf(stderr, "simulator log:\n%s\n", Log().c_str());
    std::error_code ec;
    if (!dir_.empty()) fs::remove_all(dir_, ec);
  }
  std::string Start(const char* cameras) {
    if (dir_.empty()) return "no temporary folder";
    sim_.Rewrite(cameras);
    if (!sim_.StartCommand({"ip", "netns", "exec", Ns("cam"), testsupport::CamsimPath(), "--config", sim_.ConfigPath(),
                            "--iface", "eth0", "--log", sim_.LogPath()}))
      return sim_.output.empty() ? "the simulator did not start" : sim_.output;
    pc_ = std::make_unique<InNamespace>(Ns("pc"));
    if (!pc_->ok()) return "cannot enter " + Ns("pc");
    fs::create_directories(dir_ / "lang");
    fs::copy_file(fs::path(KESTROVA_SOURCE_DIR) / "resources/lang/en.ini", dir_ / "lang" / "kestrova.len");
    SetLanguageLocation(dir_ / "lang", "kestrova");
    SetLanguage("en");
    SetMessageBoxHook([this](const MessageBoxCall& c) {
      boxes.push_back(c);
      return IDYES;
    });
    return {};
  }
  std::string Log() const { return sim_.LogText(); }
  std::vector<MessageBoxCall> boxes;

 private:
  fs::path dir_;
  SimProcess sim_;
  std::unique_ptr<InNamespace> pc_;
};

TEST(AdvApplyE2E, EveryFamilyTakesNewSettingsAndComesBackAtItsNewAddress) {
  LanRun lan;
  const std::string error = lan.Start(kCameras);
  ASSERT_EQ(error, "");
  std::vector<MessageBoxCall>& boxes = lan.boxes;
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
        << lan.Log();
    const TDevInfo& back = list.DeviceAt(list.FindItemByMAC(c.mac));
    EXPECT_EQ(back.NetMask, "255.255.255.0");
    EXPECT_EQ(back.Gateway, "192.168.0.1");
  }
  EXPECT_EQ(list.Count(), 4);
  w.FormClose();
}

// Family 4, found and configured only through the SDK library (the stand-in beside the app,
// found through KESTROVA_PROGRAM_DIR), next to a family-8 camera that the timer rounds find.
const char* const kSdkCameras = R"([livingroom]
family = 8
mac = 00:1e:2f:40:50:60
sn = 0a0b0c0d0e0f10
name = Living
ip = 192.168.0.103
mask = 255.255.255.0
gateway = 192.168.0.1

[hallway]
family = 4
mac = 00:40:8C:5A:6B:7C
name = Hallway
ip = 192.168.0.105
mask = 255.255.255.0
gateway = 192.168.0.1
data_port = 8000
aux_addr = relay.example.net
aux_port = 7000
pwd = vemra

[stairs]
family = 4
mac = 00:40:8C:5A:6B:7D
name = Stairs
ip = 192.168.1.106
mask = 255.255.255.0
)";

TEST(AdvApplyE2E, Family4IsListedAfterFindOnlyStaysAndTakesNewSettingsThroughTheSdk) {
  LanRun lan;
  const std::string error = lan.Start(kSdkCameras);
  ASSERT_EQ(error, "");
  std::vector<MessageBoxCall>& boxes = lan.boxes;

  ::setenv("KESTROVA_PROGRAM_DIR", KESTROVA_APP_DIR, 1);  // 286/ beside the app holds the stand-in
  ::setenv("KESTROVA_DISCOVERY", "live", 1);
  TfrmAdv_Main w;
  ::unsetenv("KESTROVA_DISCOVERY");
  ::unsetenv("KESTROVA_PROGRAM_DIR");
  w.resize(652, 402);
  w.show();
  DeviceList& list = w.Devices();
  auto familyFour = [&] {
    int n = 0;
    for (int r = 0; r < list.Count(); ++r) n += list.DeviceAt(r).DevType == 4;
    return n;
  };
  // The timer's rounds find the family-8 camera, never the SDK's.
  ASSERT_TRUE(PumpUntil([&] { return list.FindItemByMAC("001e2f405060") >= 0 && w.Engine().Round() >= 3; }, 15000));
  EXPECT_EQ(familyFour(), 0);

  w.btnFindClick();
  ASSERT_TRUE(PumpUntil([&] { return familyFour() == 2 && list.FindItemByMAC("001e2f405060") >= 0; }, 15000))
      << lan.Log();
  const TDevInfo* hall = list.FindDevByMAC("00408c5a6b7c");
  ASSERT_NE(hall, nullptr);
  EXPECT_EQ(DevTypeLetter(hall->DevType), "H");
  EXPECT_EQ(hall->AuxAddr, "relay.example.net");
  EXPECT_EQ(hall->AuxPort, 7000);
  EXPECT_NE(list.FindDevByMAC("00408c5a6b7d"), nullptr) << "the camera in another subnet";

  // Family-4 entries never expire: still there eleven ticks later.
  const int round = w.Engine().Round();
  ASSERT_TRUE(PumpUntil([&] { return w.Engine().Round() >= round + 11; }, 20000));
  EXPECT_EQ(familyFour(), 2);

  auto* view = w.findChild<QTreeWidget*>("ListView");
  view->setCurrentItem(view->topLevelItem(list.FindItemByMAC("00408c5a6b7c")));
  ASSERT_NE(w.SelectedDevice(), nullptr);
  ASSERT_EQ(w.SelectedDevice()->DevType, 4);
  int prompts = 0;
  w.SetCredentialPrompt([&](TfrmAuthInput& d) {
    ++prompts;
    EXPECT_EQ(d.edUser->text(), "admin");
    EXPECT_EQ(d.edPwd->text(), "vemra");
    return int(QDialog::Accepted);
  });
  w.findChild<TIPEdit*>("edIP")->SetIPString("192.168.0.205");
  w.btnApplyClick();
  EXPECT_EQ(prompts, 1);
  EXPECT_TRUE(boxes.empty());
  // Taken: the entry went, and the Find that followed lists it at its new address.
  ASSERT_TRUE(PumpUntil(
      [&] {
        const TDevInfo* d = list.FindDevByMAC("00408c5a6b7c");
        return d && d->IP == "192.168.0.205";
      },
      20000))
      << lan.Log();
  EXPECT_EQ(list.FindDevByMAC("00408c5a6b7c")->AuxAddr, "relay.example.net");
  EXPECT_NE(lan.Log().find("camera=hallway now ip=192.168.0.205"), std::string::npos);
  w.FormClose();
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
