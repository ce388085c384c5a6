// Discovery end to end in the virtual LAN (run by run_e2e.sh, which builds and removes the LAN):
// the simulator plays one camera of each UDP family in kv-cam; the command line, the engine and
// the real advanced window search from kv-pc with the real ports and the limited broadcast.
// Ticks are driven by the test; between two ticks it waits until the round's answers are in.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "core/i18n/lang.h"
#include "net/discovery/discovery_engine.h"
#include "support/child_process.h"
#include "support/net_namespace.h"
#include "support/sim_process.h"
#include "ui/setup/adv_main.h"

namespace kestrova {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Namespaces of the LAN that run_e2e.sh built (KV_PREFIX-pc, KV_PREFIX-cam).
std::string Ns(const char* side) {
  const char* p = std::getenv("KV_PREFIX");
  return std::string(p && *p ? p : "kv") + "-" + side;
}

// The cameras, one per family; "porch" lies in another subnet than the PC (192.168.0.10/24).
const char* const kCameras = R"([porch]
family = 2
identity = MOI0A1B2C3D4
name = Porch
version = 1.2.3.4:5.6.7.8
ip = 192.168.1.88
mask = 255.255.255.0
gateway = 192.168.1.1
dns1 = 192.168.1.1
http_port = 80
dhcp = 0
ddns_server = ddns.example.net:9000
ddns_user = f2a0001

[garage]
family = 5
mac = 00:21:6B:10:20:30
sn = CTP5000123
name = Garage
version = 2.4.1
ip = 192.168.0.102
mask = 255.255.255.0
gateway = 192.168.0.1
dns1 = 192.168.0.1
dns2 = 8.8.4.4
http_port = 81
ddns_server = ddns.example.net
ddns_user = e5b0002
ddns_pwd = secret5
%GARAGE%

[livingroom]
family = 8
mac = 00:1e:2f:40:50:60
sn = 0a0b0c0d0e0f10
name = 客厅摄像机
version = V3.1.0 build 20240501
ip = 192.168.0.103
mask = 255.255.255.0
gateway = 192.168.0.1
dns1 = 192.168.0.1
dns2 = 8.8.8.8
http_port = 80
data_port = 9000
ext_word = 0x0102
dhcp = 1
ddns_server = ddns.example.net:9000
ddns_user = h8c0003
ddns_pwd = secret8

[office]
family = 9
mac = 00:1A:2B:3C:4D:5E
sn = T9D0004
name = Office
version = 5.0.2.17
ip = 192.168.0.104
mask = 255.255.255.0
gateway = 192.168.0.1
dns1 = 192.168.0.1
dns2 = 8.8.8.8
http_port = 8080
dhcp = 0
ddns_server = ddns.example.net
ddns_host = t9d0004.example.net
ddns_user = t9d0004
ddns_pwd = secret9
user = admin
pwd = 123456
)";

// What the PC must see of them: every TDevInfo field.
struct Expected {
  std::map<std::string, std::string> texts;
  std::map<std::string, int> numbers;
};
std::map<std::string, Expected> ExpectedCameras() {
  std::map<std::string, Expected> m;
  auto base = [](int type, const char* mac, const char* sn, const char* name, const char* version,
                 const char* ip, const char* gw, const char* dns1, const char* dns2, int http, int data, int mode,
                 const char* du, const char* dp, const char* ds, const char* user, const char* pwd, int ext) {
    Expected e;
    e.texts = {{"MAC", mac},       {"SN", sn},         {"Name", name},   {"Version", version},
               {"IP", ip},         {"NetMask", "255.255.255.0"},         {"Gateway", gw},
               {"AuxAddr", ""},    {"DNS1", dns1},     {"DNS2", dns2},   {"DDnsUser", du},
               {"DDnsPwd", dp},    {"DDnsServer", ds}, {"User", user},   {"Pwd", pwd}};
    e.numbers = {{"DevType", type}, {"HttpPort", http}, {"DataPort", data}, {"AuxPort", 0},
                 {"IPMode", mode},  {"ExtWord", ext}};
    return e;
  };
  // Family 2 has no DDNS password field; DHCP byte 0 reads as static (2).
  m["MOI0A1B2C3D4"] = base(2, "MOI0A1B2C3D4", "", "Porch", "1.2.3.4:5.6.7.8", "192.168.1.88", "192.168.1.1",
                           "192.168.1.1", "", 80, 0, 2, "f2a0001", "", "ddns.example.net:9000", "", "", 0);
  // Family 5 is always static.
  m["00216B102030"] = base(5, "00216B102030", "CTP5000123", "Garage", "2.4.1", "192.168.0.102", "192.168.0.1",
                           "192.168.0.1", "8.8.4.4", 81, 0, 2, "e5b0002", "secret5", "ddns.example.net", "", "", 0);
  m["001e2f405060"] = base(8, "001e2f405060", "0a0b0c0d0e0f10", "客厅摄像机", "V3.1.0 build 20240501",
                           "192.168.0.103", "192.168.0.1", "192.168.0.1", "8.8.8.8", 80, 9000, 1, "h8c0003",
                           "secret8", "ddns.example.net:9000", "", "", 0x0102);
  m["00:1A:2B:3C:4D:5E"] = base(9, "00:1A:2B:3C:4D:5E", "T9D0004", "Office", "5.0.2.17", "192.168.0.104",
                                "192.168.0.1", "192.168.0.1", "8.8.8.8", 8080, 0, 2, "t9d0004", "secret9",
                                "ddns.example.net", "admin", "123456", 0);
  return m;
}

// The cameras with `garageExtra` added to the garage's section.
std::string Cameras(const std::string& garageExtra) {
  std::string text = kCameras;
  text.replace(text.find("%GARAGE%"), 8, garageExtra);
  return text;
}

using testsupport::InNamespace;
using testsupport::SimProcess;
using testsupport::WaitForLog;

class DiscoveryE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "kestrova-e2e-XXXXXX").string();
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
    sim_.Rewrite(Cameras(""));
    ASSERT_TRUE(sim_.StartCommand({"ip", "netns", "exec", Ns("cam"), testsupport::CamsimPath(), "--config",
                                   sim_.ConfigPath(), "--iface", "eth0", "--log", sim_.LogPath()}))
        << sim_.output;
  }
  void TearDown() override {
    sim_.Stop();
    if (HasFailure()) std::fprintf(stderr, "simulator log:\n%s\n", sim_.LogText().c_str());
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  // New cameras for the simulator: it re-reads them and the test waits until it says it did.
  bool Reload(const std::string& garageExtra) {
    sim_.Rewrite(Cameras(garageExtra));
    sim_.Signal(SIGHUP);
    return WaitForLog(sim_, "reload-done count=" + std::to_string(++reloads_) + " ok=1", 10000);
  }

  fs::path dir_;
  SimProcess sim_;
  int reloads_ = 0;
};

// In the LAN without routes the PC reaches its own subnet only: what the tests find there came
// through the per-adapter broadcast, not through a route.
TEST_F(DiscoveryE2E, PcRoutesAreThoseOfTheLanMode) {
  const char* args = std::getenv("KV_UP_ARGS");
  const bool noRoutes = args && std::string(args).find("--no-routes") != std::string::npos;
  const testsupport::CommandResult r =
      testsupport::RunCommand({"ip", "-n", Ns("pc"), "-4", "route", "show"}, 10000);
  ASSERT_EQ(r.code, 0) << r.output;
  const bool hasDefault = r.output.find("default") != std::string::npos;
  const bool hasBroadcast = r.output.find("\n255.255.255.255 ") != std::string::npos ||
                            r.output.rfind("255.255.255.255 ", 0) == 0;
  EXPECT_EQ(hasDefault, !noRoutes) << r.output;
  EXPECT_EQ(hasBroadcast, !noRoutes) << r.output;
}

TEST_F(DiscoveryE2E, CommandLineListsEveryFamilyWithEveryFieldInAddressOrder) {
  const testsupport::CommandResult run = testsupport::RunCommand(
      {"ip", "netns", "exec", Ns("pc"), KESTROVA_CLI_PATH, "discover", "--json", "--seconds", "3"}, 30000,
      {.capture_stderr = false});
  ASSERT_EQ(run.code, 0);
  const std::string& out = run.output;
  QJsonParseError err{};
  const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(out), &err);
  ASSERT_EQ(err.error, QJsonParseError::NoError) << out;
  ASSERT_TRUE(doc.isArray());
  const QJsonArray arr = doc.array();
  ASSERT_EQ(arr.size(), 4) << out;

  const auto expected = ExpectedCameras();
  std::vector<std::string> ips;
  for (const QJsonValue& v : arr) {
    const QJsonObject o = v.toObject();
    EXPECT_EQ(o.size(), 21);  // every field except LifeTicks
    const std::string mac = o["MAC"].toString().toStdString();
    SCOPED_TRACE(mac);
    auto it = expected.find(mac);
    ASSERT_NE(it, expected.end());
    for (const auto& [k, val] : it->second.texts) {
      ASSERT_TRUE(o[QString::fromStdString(k)].isString()) << k;
      // Passwords are never printed: a set one reads as eight '*'.
      const bool password = k == "DDnsPwd" || k == "Pwd";
      const std::string shown = password && !val.empty() ? std::string(8, '*') : val;
      EXPECT_EQ(o[QString::fromStdString(k)].toString().toStdString(), shown) << k;
    }
    for (const auto& [k, val] : it->second.numbers) {
      ASSERT_TRUE(o[QString::fromStdString(k)].isDouble()) << k;
      EXPECT_EQ(o[QString::fromStdString(k)].toInt(), val) << k;
    }
    ips.push_back(o["IP"].toString().toStdString());
  }
  EXPECT_EQ(ips, (std::vector<std::string>{"192.168.0.102", "192.168.0.103", "192.168.0.104", "192.168.1.88"}));
}

// The engine in the PC namespace, ticked by the test.
class EngineInLan {
 public:
  EngineInLan() {
    engine.SetOnMerged([this](const DeviceList::MergeResult& r) {
      if (const TDevInfo* d = engine.List().DeviceById(r.id)) lastSeen[d->MAC] = tick;
    });
  }
  // One tick, then wait until the round is over: every camera in `answering` has answered
  // in this round and the family-9 search has ended (so the next round can search again).
  bool TickAndCollect(const std::vector<std::string>& answering) {
    ++tick;
    engine.Tick();
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    for (;;) {
      engine.WaitAndProcess(50);
      bool all = engine.RunningSearches() == 0;
      for (const auto& mac : answering) all = all && lastSeen.count(mac) && lastSeen[mac] == tick;
      if (all) return true;
      if (Clock::now() > deadline) return false;
    }
  }
  std::vector<std::string> Ips() const {
    std::vector<std::string> v;
    for (int r = 0; r < engine.List().Count(); ++r) v.push_back(engine.List().DeviceAt(r).IP);
    return v;
  }

  DiscoveryEngine engine;  // the real ports and the limited broadcast: only inside the LAN
  std::map<std::string, int> lastSeen;
  int tick = 0;
};

const std::vector<std::string> kAllMacs = {"MOI0A1B2C3D4", "00216B102030", "001e2f405060", "00:1A:2B:3C:4D:5E"};
const std::vector<std::string> kAllButGarage = {"MOI0A1B2C3D4", "001e2f405060", "00:1A:2B:3C:4D:5E"};

TEST_F(DiscoveryE2E, CameraThatFallsSilentDisappearsTenTicksAfterItsLastAnswer) {
  InNamespace pc(Ns("pc"));
  ASSERT_TRUE(pc.ok());
  EngineInLan lan;
  ASSERT_TRUE(lan.engine.Start());
  ASSERT_TRUE(lan.TickAndCollect(kAllMacs));
  ASSERT_EQ(lan.engine.List().Count(), 4);

  ASSERT_TRUE(Reload("fault = silent"));
  const int last = lan.lastSeen["00216B102030"];
  int goneAt = -1;
  for (int i = 0; i < 15 && goneAt < 0; ++i) {
    ASSERT_TRUE(lan.TickAndCollect(kAllButGarage)) << "tick " << lan.tick;
    if (lan.engine.List().FindItemByMAC("00216B102030") < 0) goneAt = lan.tick;
  }
  EXPECT_EQ(goneAt - last, 10);
  EXPECT_EQ(lan.engine.List().Count(), 3);  // the others stay listed

  // Answering again brings it back as a new entry.
  ASSERT_TRUE(Reload(""));
  ASSERT_TRUE(lan.TickAndCollect(kAllMacs));
  EXPECT_EQ(lan.engine.List().Count(), 4);
}

TEST_F(DiscoveryE2E, CameraThatMovesKeepsItsEntryAndIsResorted) {
  InNamespace pc(Ns("pc"));
  ASSERT_TRUE(pc.ok());
  EngineInLan lan;
  ASSERT_TRUE(lan.engine.Start());
  ASSERT_TRUE(lan.TickAndCollect(kAllMacs));
  const DeviceList& list = lan.engine.List();
  const DeviceItemId id = list.IdAt(list.FindItemByMAC("00216B102030"));
  EXPECT_EQ(lan.Ips(), (std::vector<std::string>{"192.168.0.102", "192.168.0.103", "192.168.0.104", "192.168.1.88"}));

  ASSERT_TRUE(Reload("ip = 192.168.0.120"));
  ASSERT_TRUE(lan.TickAndCollect(kAllMacs));
  ASSERT_EQ(list.Count(), 4);
  const int row = list.FindItemByMAC("00216B102030");
  ASSERT_GE(row, 0);
  EXPECT_EQ(list.IdAt(row), id);
  EXPECT_EQ(list.DeviceAt(row).IP, "192.168.0.120");
  EXPECT_EQ(lan.Ips(), (std::vector<std::string>{"192.168.0.103", "192.168.0.104", "192.168.0.120", "192.168.1.88"}));
  // It keeps expiring normally afterwards: refreshed by the next round.
  ASSERT_TRUE(lan.TickAndCollect(kAllMacs));
  EXPECT_EQ(list.DeviceAt(list.FindItemByMAC("00216B102030")).LifeTicks, 10);
}

TEST_F(DiscoveryE2E, AdvancedWindowInThePcNamespaceListsEveryFamily) {
  InNamespace pc(Ns("pc"));
  ASSERT_TRUE(pc.ok());
  const fs::path lang = dir_ / "lang";
  fs::create_directories(lang);
  fs::copy_file(fs::path(KESTROVA_SOURCE_DIR) / "resources/lang/en.ini", lang / "kestrova.len");
  SetLanguageLocation(lang, "kestrova");
  SetLanguage("en");
  ::setenv("KESTROVA_DISCOVERY", "live", 1);  // offscreen runs keep discovery off otherwise
  TfrmAdv_Main w;
  ::unsetenv("KESTROVA_DISCOVERY");
  w.resize(652, 402);
  w.show();
  auto* view = w.findChild<QTreeWidget*>("ListView");
  ASSERT_NE(view, nullptr);
  const auto deadline = Clock::now() + std::chrono::seconds(15);
  while (view->topLevelItemCount() < 4 && Clock::now() < deadline) {
    QApplication::processEvents(QEventLoop::AllEvents, 50);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_EQ(view->topLevelItemCount(), 4);
  QStringList rows;
  for (int r = 0; r < 4; ++r) {
    const QTreeWidgetItem* it = view->topLevelItem(r);
    rows << it->text(0) + "|" + it->text(1) + "|" + it->text(2);
  }
  EXPECT_EQ(rows.join("\n").toStdString(),
            "E|Garage|192.168.0.102\nH|客厅摄像机|192.168.0.103\nT|Office|192.168.0.104\nF|Porch|192.168.1.88");
  EXPECT_EQ(w.findChild<QLabel*>("lblDevNum")->text().toStdString(), "Count:4");
  // The PC group shows the PC's own adapter of the LAN.
  EXPECT_EQ(w.findChild<QLineEdit*>("edCurIP")->text().toStdString(), "192.168.0.10");
  EXPECT_EQ(w.findChild<QLineEdit*>("edCurSubmask")->text().toStdString(), "255.255.255.0");
  EXPECT_FALSE(w.findChild<QWidget*>("plInfo")->isVisible());
  const char* shot = std::getenv("KESTROVA_E2E_SHOT");
  if (shot) w.grab().save(QString::fromLocal8Bit(shot));
  w.FormClose();
  EXPECT_EQ(view->topLevelItemCount(), 0);
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
