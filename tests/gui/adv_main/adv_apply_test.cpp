// The advanced window's editing, Apply, automatic setting and Check, offscreen. The engine is
// bound to 127.0.0.1 and sends to 127.0.0.1, with every camera-side port pointing at one UDP
// receiver of the test, so that the settings commands can be read back; nothing leaves the host.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTreeWidget>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <thread>

#include "core/i18n/lang.h"
#include "gui/adv_main/adv_fixture.h"
#include "integration/ctp_http/fake_http.h"
#include "integration/sdk/fake_sdk_control.h"
#include "net/cgi/device_series.h"
#include "net/discovery/discovery_engine.h"
#include "net/http/tools.h"
#include "net/sockets/udp_socket.h"
#include "ui/app/global.h"
#include "ui/app/lang_message_box.h"
#include "ui/dialogs/auth_input.h"
#include "ui/i18n/apply_strings.h"
#include "ui/setup/adv_main.h"
#include "ui/setup/ip_edit.h"

namespace kestrova {
namespace {

class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "gui_adv_apply_test";
    static char* argv[] = {name, nullptr};
    app_ = new QApplication(argc, argv);
  }
  void TearDown() override { delete app_; }

 private:
  QApplication* app_ = nullptr;
};
const auto* const kQtEnv = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

std::string Str(const std::vector<uint8_t>& b) { return std::string(b.begin(), b.end()); }

// A family-9 settings peer on 127.0.0.1: reads one packet and answers it with the status
// given ("accepted" 0x8000, anything else refuses), or not at all.
class Family9Peer {
 public:
  explicit Family9Peer(std::optional<uint16_t> status) {
    EXPECT_TRUE(sock_.Open() && sock_.Bind(0, "127.0.0.1"));
    thread_ = std::thread([this, status] {
      if (sock_.WaitReadable(5000) != WaitResult::Readable) return;
      auto d = sock_.Receive(2048);
      if (!d) return;
      received_ = d->data;
      if (!status) return;
      std::vector<uint8_t> a(328, 0);  // answer header 44 48 02 08, status at 324
      a[0] = 0x44, a[1] = 0x48, a[2] = 0x02, a[3] = 0x08;
      a[324] = uint8_t(*status & 0xff), a[325] = uint8_t(*status >> 8);
      sock_.SendTo(d->fromIp, d->fromPort, a);
    });
  }
  ~Family9Peer() { Join(); }
  void Join() {
    if (thread_.joinable()) thread_.join();
  }
  uint16_t Port() const { return sock_.LocalPort(); }
  std::vector<uint8_t> Received() {
    Join();
    return received_;
  }

 private:
  UdpSocket sock_;
  std::vector<uint8_t> received_;
  std::thread thread_;
};

class AdvApplyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::NoProxyForLoopback();
    std::string tmpl = (std::filesystem::temp_directory_path() / "kestrova-advapply-XXXXXX").string();
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
    std::filesystem::create_directories(dir_ / "lang");
    std::filesystem::copy_file(std::filesystem::path(KESTROVA_SOURCE_DIR) / "resources/lang/en.ini",
                               dir_ / "lang" / "kestrova.len");
    SetLanguageLocation(dir_ / "lang", "kestrova");
    SetLanguage("en");
    SetAddressOpener([this](const QString& a) { opened_ << a; });
    SetMessageBoxHook([this](const MessageBoxCall& c) {
      boxes_.push_back(c);
      return boxAnswer_;
    });
    CameraNumber = 1;

    ASSERT_TRUE(cams_.Open() && cams_.Bind(0, "127.0.0.1"));
    DiscoveryConfig cfg;
    cfg.bindAddress = "127.0.0.1";
    cfg.broadcastAddress = "127.0.0.1";  // never the network
    cfg.preferredPorts = {0, 0, 0, 0, 0};
    const uint16_t p = cams_.LocalPort();
    cfg.family2Port = cfg.uicamPort = cfg.sq610Port = cfg.family5Port = cfg.family8Port = cfg.family9Port = p;
    cfg.family9Enabled = false;
    auto engine = std::make_unique<DiscoveryEngine>(cfg);
    engine_ = engine.get();
    w_ = std::make_unique<TfrmAdv_Main>(nullptr, std::move(engine), false);
    ASSERT_TRUE(engine_->Start());  // sockets only: no timer, no rounds
    T517NetConfig scfg;
    scfg.BindAddress = "127.0.0.1";
    scfg.BroadcastAddress = "127.0.0.1";
    scfg.LocalPort = 0;
    scfg.DestPort = 9;  // replaced by the tests that talk to a family-9 peer
    scfg.AnswerWaitMs = 2000;
    series_ = std::make_unique<TT517Series>(scfg);
    w_->SetSeries(series_.get());
    w_->SetCredentialPrompt([this](TfrmAuthInput& d) {
      prompts_.push_back({d.Family(), d.edUser->text(), d.edPwd->text()});
      if (!promptUser_.isNull()) d.edUser->setText(promptUser_);
      return promptAnswer_;
    });
    w_->SetAddressProbe([this](const TNET_CARD& card, const std::string& ip, int) {
      probed_.push_back(card.IP + " " + ip);
      return probe_;
    });
    TNET_CARD pc;
    pc.Desc = "eth0";
    pc.IP = "192.168.0.10";
    pc.NetMask = "255.255.255.0";
    pc.Gateway = "192.168.0.1";
    w_->SetNetCards({pc});
    w_->resize(652, 402);
    w_->show();
    list_ = w_->findChild<QTreeWidget*>("ListView");
  }
  void TearDown() override {
    w_.reset();
    SetAddressOpener(nullptr);
    SetMessageBoxHook(nullptr);
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

  void Deliver(const std::vector<TDevInfo>& devs) {
    for (const auto& d : devs) engine_->PostRecord(d);
    engine_->ProcessPending();
  }
  // Selects the one camera delivered.
  void One(const TDevInfo& d) {
    w_->ClearDevices();
    Deliver({d});
    ASSERT_NE(w_->SelectedDevice(), nullptr);
  }
  // Every datagram waiting at the camera side, in order.
  std::vector<std::vector<uint8_t>> Sent() {
    std::vector<std::vector<uint8_t>> v;
    while (cams_.WaitReadable(50) == WaitResult::Readable) {
      if (auto d = cams_.Receive(4096)) v.push_back(d->data);
    }
    return v;
  }
  // The settings command among what was sent (searches of the Find that follows are skipped).
  std::vector<std::vector<uint8_t>> Commands() {
    std::vector<std::vector<uint8_t>> v;
    for (auto& d : Sent()) {
      const std::string s = Str(d);
      const bool moi = d.size() == 84;
      const bool ctp = s.rfind("CMD setip", 0) == 0;
      const bool bin = d.size() == 264 && d[0] == 0x10 && d[1] == 0x10 && d[2] == 0x02 && d[3] == 0x0F;
      if (moi || ctp || bin) v.push_back(d);
    }
    return v;
  }
  template <class T>
  T* W(const char* name) const {
    return w_->findChild<T*>(name);
  }
  void Click(const char* name) { QTest::mouseClick(W<QWidget>(name), Qt::LeftButton); }
  QString LangKey(const char* key) const { return LangText(LoadStr(key)); }

  struct Prompt {
    int family;
    QString user, pwd;
  };
  std::filesystem::path dir_;
  UdpSocket cams_;
  DiscoveryEngine* engine_ = nullptr;
  std::unique_ptr<TT517Series> series_;
  std::unique_ptr<TfrmAdv_Main> w_;
  QTreeWidget* list_ = nullptr;
  QStringList opened_;
  std::vector<MessageBoxCall> boxes_;
  int boxAnswer_ = IDYES;
  std::vector<Prompt> prompts_;
  int promptAnswer_ = QDialog::Accepted;
  QString promptUser_;
  std::vector<std::string> probed_;
  TProbeResult probe_{TAddressState::Free, "", "icmp"};
};

TEST_F(AdvApplyTest, ApplySendsTheFamilysCommandWithTheEditedValuesThenDropsTheEntry) {
  struct Case {
    int family;
    const char* mac;
    QString pwd;  // pre-filled password
  } cases[] = {{2, "ID0000000001", ""}, {5, "001A2B3C4D5E", "vemra"}, {8, "0011AABBCCDD", ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.family);
    prompts_.clear();
    TDevInfo cam = testing::SampleCamera(c.family, c.mac, "cam", "192.168.1.20", 81);
    cam.SN = "00112233445566";
    One(cam);
    Sent();
    W<TIPEdit>("edIP")->SetIPString("192.168.1.77");
    W<QSpinBox>("edPort")->setValue(8081);
    Click("btnApply");
    ASSERT_EQ(prompts_.size(), 1u);
    EXPECT_EQ(prompts_[0].family, c.family);
    EXPECT_EQ(prompts_[0].user, "admin");
    EXPECT_EQ(prompts_[0].pwd, c.pwd);
    const auto cmds = Commands();
    ASSERT_EQ(cmds.size(), 1u);
    const auto& d = cmds[0];
    switch (c.family) {
      case 2:  // new address at 66, DNS1 at 78, port big-endian at 82
        EXPECT_EQ(std::vector<uint8_t>(d.begin() + 66, d.begin() + 70), (std::vector<uint8_t>{192, 168, 1, 77}));
        EXPECT_EQ(std::vector<uint8_t>(d.begin() + 78, d.begin() + 82), (std::vector<uint8_t>{8, 8, 8, 8}));
        EXPECT_EQ(d[82] * 256 + d[83], 8081);
        EXPECT_EQ(Str({d.begin() + 40, d.begin() + 45}), "admin");
        break;
      case 5: {
        const std::string s = Str(d);
        for (const char* line : {"\r\n-interface 192.168.1.20\r\n", "\r\n-pswd vemra\r\n", "\r\n-ip 192.168.1.77\r\n",
                                 "\r\n-mdns 8.8.8.8\r\n", "\r\n-sdns 208.67.222.222\r\n", "\r\n-port 8081\r\n"})
          EXPECT_NE(s.find(line), std::string::npos) << line;
        break;
      }
      case 8:  // old block from offset 8, new block from 136: address texts and DNS
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(&d[8])), "192.168.1.20");
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(&d[136])), "192.168.1.77");
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(&d[136 + 48])), "8.8.8.8");
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(&d[136 + 64])), "208.67.222.222");
        EXPECT_EQ(d[136 + 80] + 256 * d[136 + 81], 8081);
        break;
    }
    // The entry is gone until the camera answers again.
    EXPECT_EQ(engine_->List().Count(), 0);
    EXPECT_TRUE(boxes_.empty());
  }
}

TEST_F(AdvApplyTest, AutomaticSettingTakesThePcsSubnetKeepsTheHostNumberAndApplies) {
  TDevInfo cam = testing::SampleCamera(5, "001A2B3C4D5E", "cam", "10.1.1.77");
  cam.NetMask = "255.0.0.0";
  cam.Gateway = "10.1.1.1";
  One(cam);
  Sent();
  Click("btnFill");
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text, LangKey("IDS_AUTOCONFIGIPCAM"));
  EXPECT_EQ(boxes_[0].flags, MB_YESNO | MB_ICONQUESTION);
  EXPECT_EQ(probed_, (std::vector<std::string>{"192.168.0.10 192.168.0.77"}));
  const auto cmds = Commands();
  ASSERT_EQ(cmds.size(), 1u);
  const std::string s = Str(cmds[0]);
  for (const char* line : {"\r\n-ip 192.168.0.77\r\n", "\r\n-netmask 255.255.255.0\r\n", "\r\n-defgw 192.168.0.1\r\n",
                           "\r\n-port 82\r\n", "\r\n-interface 10.1.1.77\r\n"})
    EXPECT_NE(s.find(line), std::string::npos) << line;
  EXPECT_EQ(engine_->List().Count(), 0);

  // The data port follows CameraNumber too (visible for family 4 only, filled for every family).
  One(cam);
  CameraNumber = 3;
  boxAnswer_ = IDNO;
  boxes_.clear();
  Click("btnFill");
  EXPECT_EQ(boxes_.size(), 1u);
  EXPECT_TRUE(Commands().empty());  // No: nothing changes
  EXPECT_EQ(W<TIPEdit>("edIP")->IPString(), "10.1.1.77");
}

TEST_F(AdvApplyTest, AutomaticSettingFillsThePortsAndRefusesATakenAddress) {
  TDevInfo cam = testing::SampleCamera(4, "001A2B3C4D5E", "cam", "10.1.1.77");
  One(cam);
  promptAnswer_ = QDialog::Rejected;  // look at the filled panel, send nothing
  Click("btnFill");
  EXPECT_EQ(W<TIPEdit>("edIP")->IPString(), "192.168.0.77");
  EXPECT_EQ(W<QSpinBox>("edPort")->value(), 82);
  EXPECT_EQ(W<QSpinBox>("edDataPort")->value(), 555);
  EXPECT_EQ(W<TIPEdit>("edSubMask")->IPString(), "255.255.255.0");
  EXPECT_EQ(W<TIPEdit>("edGateway")->IPString(), "192.168.0.1");
  EXPECT_EQ(prompts_.size(), 1u);
  EXPECT_EQ(engine_->List().Count(), 1);

  // Somebody else answers at 192.168.0.77: said so, the panel and the camera stay as they are.
  One(testing::SampleCamera(5, "001A2B3C4D5E", "cam", "10.1.1.77"));
  Sent();
  prompts_.clear();
  boxes_.clear();
  probe_ = {TAddressState::InUse, "00:11:22:33:44:55", "icmp"};
  Click("btnFill");
  ASSERT_EQ(boxes_.size(), 2u);
  EXPECT_EQ(boxes_[1].text, LangKey("IDS_IPINUSE").replace("%s", "192.168.0.77"));
  EXPECT_TRUE(prompts_.empty());
  EXPECT_TRUE(Commands().empty());
  EXPECT_EQ(W<TIPEdit>("edIP")->IPString(), "10.1.1.77");

  // A proposal that is no usable host address (the host number 255): IDS_AUTOIPINVALID.
  One(testing::SampleCamera(5, "001A2B3C4D5E", "cam", "10.1.1.255"));
  boxes_.clear();
  probed_.clear();
  Click("btnFill");
  ASSERT_EQ(boxes_.size(), 2u);
  EXPECT_EQ(boxes_[1].text, LangKey("IDS_AUTOIPINVALID").replace("%s", "192.168.0.255"));
  EXPECT_TRUE(probed_.empty());
  EXPECT_TRUE(prompts_.empty());
}

TEST_F(AdvApplyTest, AutomaticSettingWithDhcpOnlySaysSo) {
  One(testing::SampleCamera(5, "001A2B3C4D5E", "cam", "10.1.1.77"));
  Sent();
  auto* mode = W<QComboBox>("cmbIPAss");
  mode->setCurrentIndex(mode->findData(1));
  EXPECT_TRUE(W<TIPEdit>("edIP")->IsReadOnly());  // DHCP: shown, not editable
  Click("btnFill");
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text, LangKey("IDS_NOFIXIP"));
  EXPECT_EQ(boxes_[0].caption, LangKey("IDS_INFORMATION"));
  EXPECT_TRUE(prompts_.empty());
  EXPECT_TRUE(probed_.empty());
  EXPECT_TRUE(Commands().empty());
}

TEST_F(AdvApplyTest, BadInputAndACancelledDialogSendNothing) {
  const TDevInfo cam = testing::SampleCamera(2, "ID0000000001", "cam", "192.168.1.20");
  // A last octet of 0 or 255, or an empty one (it reads 255): nothing at all happens.
  for (const char* ip : {"192.168.1.0", "192.168.1.255", "192.168.1."}) {
    SCOPED_TRACE(ip);
    One(cam);
    Sent();
    W<TIPEdit>("edIP")->SetIPString(ip);
    w_->btnApplyClick();
    EXPECT_TRUE(boxes_.empty());
    EXPECT_TRUE(prompts_.empty());
    EXPECT_TRUE(Commands().empty());
    EXPECT_EQ(engine_->List().Count(), 1);
  }
  // An empty HTTP port: the warning, the port field gets the focus, nothing is asked or sent.
  One(cam);
  W<QSpinBox>("edPort")->findChild<QLineEdit*>()->clear();
  w_->btnApplyClick();
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text, LangKey("IDS_INPUTPORT"));
  EXPECT_EQ(boxes_[0].caption, LangKey("IDS_WARNING"));
  EXPECT_EQ(boxes_[0].flags, MB_ICONWARNING);
  EXPECT_TRUE(prompts_.empty());
  EXPECT_TRUE(Commands().empty());
  // The credential dialog cancelled: nothing sent, the list unchanged.
  One(cam);
  boxes_.clear();
  promptAnswer_ = QDialog::Rejected;
  W<TIPEdit>("edIP")->SetIPString("192.168.1.77");
  w_->btnApplyClick();
  EXPECT_EQ(prompts_.size(), 1u);
  EXPECT_TRUE(Commands().empty());
  EXPECT_EQ(engine_->List().Count(), 1);
  EXPECT_EQ(W<TIPEdit>("edIP")->IPString(), "192.168.1.77");  // the edits stay for another try
}

TEST_F(AdvApplyTest, Family9GoesThroughTheCgiDriverWhichKnowsTheSelectedCamera) {
  TDevInfo cam = testing::SampleCamera(9, "00:1A:2B:3C:4D:60", "Office", "192.168.1.100", 8080);
  for (std::optional<uint16_t> status : {std::optional<uint16_t>(), std::optional<uint16_t>(0x0001),
                                         std::optional<uint16_t>(0x8000)}) {
    const bool answered = status == 0x8000;
    SCOPED_TRACE(status ? int(*status) : -1);
    boxes_.clear();
    Family9Peer peer(status);
    series_->NetConfig().DestPort = peer.Port();
    One(cam);
    ASSERT_NE(series_->GetDevice(), nullptr);
    EXPECT_EQ(series_->GetDevice()->IP, "192.168.1.100");
    EXPECT_EQ(W<QComboBox>("cmbIPAss")->count(), 2);  // no PPPoE
    promptUser_ = " root ";  // the entries are trimmed
    W<TIPEdit>("edIP")->SetIPString("192.168.1.101");
    w_->btnApplyClick();
    const std::vector<uint8_t> got = peer.Received();
    ASSERT_FALSE(got.empty());
    EXPECT_NE(Str(got).find("root"), std::string::npos);
    EXPECT_EQ(Str(got).find(" root"), std::string::npos);
    // Only an accepted command drops the entry; no answer or a refusal is said.
    EXPECT_EQ(engine_->List().Count(), answered ? 0 : 1);
    if (answered) {
      EXPECT_TRUE(boxes_.empty());
    } else {
      ASSERT_EQ(boxes_.size(), 1u);
      EXPECT_EQ(boxes_[0].text, LangKey("IDS_SETNETFAIL"));
      EXPECT_EQ(boxes_[0].caption, LangKey("IDS_ERROR"));
      EXPECT_EQ(boxes_[0].flags, MB_ICONSTOP);
    }
  }
}

// A cleared or out-of-range port stays what the user left in the field, also when the field
// loses the focus to a mouse click on Apply: the port warning, nothing asked, nothing sent.
TEST_F(AdvApplyTest, ClearedOrOutOfRangePortWarnsOnApplyEvenAfterAMouseClick) {
  w_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(w_.get()));
  struct Case {
    int family;
    const char* field;
    const char* typed;
  } cases[] = {
      {5, "edPort", ""}, {5, "edPort", "0"}, {5, "edPort", "70000"}, {4, "edDataPort", ""}, {4, "edDataPort", "99999"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.field) + " '" + c.typed + "'");
    One(testing::SampleCamera(c.family, "001A2B3C4D5E", "cam", "192.168.1.20", 81));
    Sent();
    boxes_.clear();
    prompts_.clear();
    auto* field = W<QSpinBox>(c.field);
    field->setFocus();
    ASSERT_TRUE(field->hasFocus());
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, c.typed);
    Click("btnApply");
    EXPECT_EQ(field->text(), QString::fromLatin1(c.typed));  // not put back to 81
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text, LangKey("IDS_INPUTPORT"));
    EXPECT_TRUE(prompts_.empty());
    EXPECT_TRUE(Commands().empty());
    EXPECT_EQ(engine_->List().Count(), 1);
  }
}

// A name the camera sent in a legacy code page goes back byte for byte when it was not edited;
// an edited name is sent as typed.
TEST_F(AdvApplyTest, AnUneditedLegacyNameIsSentBackAsReceived) {
  TDevInfo cam = testing::SampleCamera(5, "001A2B3C4D5E", "\xbf\xcd\xcc\xfc", "192.168.1.20");
  One(cam);
  Sent();
  W<TIPEdit>("edIP")->SetIPString("192.168.1.77");
  w_->btnApplyClick();
  auto cmds = Commands();
  ASSERT_EQ(cmds.size(), 1u);
  EXPECT_NE(Str(cmds[0]).find("\r\n-name \xbf\xcd\xcc\xfc\r\n"), std::string::npos);

  One(cam);
  Sent();
  W<QLineEdit>("edName")->setText(QString::fromUtf8("Gara\xc5\xbc"));  // Garaż
  W<TIPEdit>("edIP")->SetIPString("192.168.1.77");
  w_->btnApplyClick();
  cmds = Commands();
  ASSERT_EQ(cmds.size(), 1u);
  EXPECT_NE(Str(cmds[0]).find("\r\n-name Gara\xc5\xbc\r\n"), std::string::npos);
}

TEST_F(AdvApplyTest, Family4GoesThroughTheSdkConfigurationCall) {
  One(testing::SampleCamera(4, "001a2b3c4d5e", "dvr", "192.168.1.30"));
  W<TIPEdit>("edIP")->SetIPString("192.168.1.31");
  w_->btnApplyClick();
  ASSERT_EQ(prompts_.size(), 1u);
  EXPECT_EQ(prompts_[0].pwd, "vemra");
  // No SDK library beside the test program: nothing happened, and the user is told.
  EXPECT_EQ(engine_->List().Count(), 1);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text, LangKey("IDS_SDKCONFIGFAIL"));
  EXPECT_EQ(boxes_[0].caption, LangKey("IDS_WARNING"));
  boxes_.clear();
  std::vector<TDevInfo> configured;
  w_->SetSdkConfigure([&](const TDevInfo& d) {
    configured.push_back(d);
    return true;
  });
  w_->btnApplyClick();
  ASSERT_EQ(configured.size(), 1u);
  EXPECT_EQ(configured[0].IP, "192.168.1.31");
  EXPECT_EQ(configured[0].User, "admin");
  EXPECT_EQ(configured[0].Pwd, "vemra");
  EXPECT_EQ(configured[0].DNS1, "8.8.8.8");
  EXPECT_EQ(engine_->List().Count(), 0);
  EXPECT_TRUE(boxes_.empty());
}

// The window with a fake SDK library in 286/ of its program folder (KESTROVA_PROGRAM_DIR).
class AdvSdkTest : public AdvApplyTest {
 protected:
  void SetUp() override {
    std::string tmpl = (std::filesystem::temp_directory_path() / "kestrova-advsdk-XXXXXX").string();
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
    programDir_ = tmpl;
    std::filesystem::create_directories(programDir_ / "286");
    std::filesystem::create_symlink(FAKE_SDK_FULL, programDir_ / "286" / "libDVSNETClient.so");
    ASSERT_TRUE(fake_.ok());
    ::setenv("KESTROVA_PROGRAM_DIR", programDir_.c_str(), 1);
    AdvApplyTest::SetUp();
    ::unsetenv("KESTROVA_PROGRAM_DIR");
  }
  void TearDown() override {
    AdvApplyTest::TearDown();
    std::error_code ec;
    std::filesystem::remove_all(programDir_, ec);
  }
  // The owner's merges while the library's thread hands records over (the fixture's engine has
  // no socket notifiers).
  bool PumpUntil(const std::function<bool()>& cond) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!cond()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      engine_->WaitAndProcess(20);
      QApplication::processEvents();
    }
    return true;
  }
  std::filesystem::path programDir_;
  testing::FakeSdk fake_{FAKE_SDK_FULL};
};

// Two cameras of family 4 (count in arg: 2 unless given).
void ReportShopCameras(DVSNET_SEARCH_CALLBACK cb, void* ctx, void* arg) {
  const int n = arg ? *static_cast<int*>(arg) : 2;
  for (int i = 0; i < n; ++i) {
    const uint8_t mac[6] = {0x00, 0x40, 0x8c, 0x00, uint8_t(i >> 8), uint8_t(i)};
    const std::string ip = "192.168.1." + std::to_string(30 + i % 200);
    cb(0, "dvr", "", ip.c_str(), mac, 80, 8000, "255.255.255.0", "192.168.1.1", "relay.example.net", "192.168.1.1",
       7000, 0, 0, ctx);
  }
}

TEST_F(AdvSdkTest, FindListsTheLibrarysCamerasAndApplyConfiguresThroughIt) {
  fake_.SetScript(ReportShopCameras, nullptr, true);
  w_->btnFindClick();
  ASSERT_TRUE(PumpUntil([&] { return engine_->List().Count() == 2; }));
  EXPECT_EQ(list_->topLevelItem(0)->text(0), "H");
  list_->setCurrentItem(list_->topLevelItem(0));
  EXPECT_FALSE(W<QSpinBox>("edDataPort")->isHidden());  // family 4 shows its data port
  W<TIPEdit>("edIP")->SetIPString("192.168.1.77");
  W<QSpinBox>("edDataPort")->setValue(8001);
  fake_.Join();
  w_->btnApplyClick();
  ASSERT_EQ(prompts_.size(), 1u);
  EXPECT_EQ(prompts_[0].family, 4);
  EXPECT_EQ(fake_.Calls("DVSNET_ConfigServer"), 1);
  const FakeSdkConfig& c = fake_.LastConfig();
  EXPECT_STREQ(c.user, "admin");
  EXPECT_STREQ(c.password, "vemra");
  EXPECT_STREQ(c.ip, "192.168.1.77");
  EXPECT_EQ(c.dataPort, 8001);
  EXPECT_STREQ(c.dns, "8.8.8.8");
  EXPECT_STREQ(c.auxAddr, "relay.example.net");
  EXPECT_EQ(c.auxPort, 7000);
  EXPECT_TRUE(boxes_.empty());
  // Taken: the entry went and Find asked the library again.
  EXPECT_EQ(fake_.Calls("DVSNET_SearchServers"), 2);
  ASSERT_TRUE(PumpUntil([&] { return engine_->List().Count() == 2; }));

  fake_.Join();
  fake_.SetResult(0, 2);  // the camera refuses
  list_->setCurrentItem(list_->topLevelItem(0));
  W<TIPEdit>("edIP")->SetIPString("192.168.1.78");
  w_->btnApplyClick();
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text, LangKey("IDS_SDKCONFIGFAIL"));
  EXPECT_EQ(engine_->List().Count(), 2);
  EXPECT_EQ(fake_.Calls("DVSNET_SearchServers"), 2);  // no Find after a failure
}

TEST_F(AdvSdkTest, ClosingTheWindowWhileTheLibraryStillReportsIsSafe) {
  int many = 5000;
  fake_.SetScript(ReportShopCameras, &many, true);
  w_->btnFindClick();
  ASSERT_TRUE(PumpUntil([&] { return engine_->List().Count() >= 5; }));
  w_->FormClose();  // stops discovery, unloads the library while its thread reports
  EXPECT_EQ(fake_.Calls("DVSNET_StopSearch"), 1);
  EXPECT_EQ(engine_->List().Count(), 0);
  // A library thread that calls back after the window closed: ignored.
  const testing::FakeSdk::Search s = fake_.LastSearch();
  ASSERT_NE(s.callback, nullptr);
  ReportShopCameras(s.callback, s.context, nullptr);
  engine_->ProcessPending();
  EXPECT_EQ(engine_->List().Count(), 0);
}

TEST_F(AdvApplyTest, EditsEnableApplyButTheNameAloneAndFillingDoNot) {
  One(testing::SampleCamera(5, "001A2B3C4D5E", "cam", "192.168.1.20"));
  auto* apply = W<QPushButton>("btnApply");
  EXPECT_FALSE(apply->isEnabled());
  W<QLineEdit>("edName")->setFocus();
  QTest::keyClicks(W<QLineEdit>("edName"), "x");
  EXPECT_FALSE(apply->isEnabled());
  QTest::keyClicks(W<TIPEdit>("edIP")->Field(3), "1");
  EXPECT_TRUE(apply->isEnabled());
  w_->ShowDeviceInfo();
  EXPECT_FALSE(apply->isEnabled());
  QTest::keyClicks(W<QSpinBox>("edPort"), "1");
  EXPECT_TRUE(apply->isEnabled());
  // Family 2: the name cannot be edited.
  One(testing::SampleCamera(2, "ID0000000001", "cam", "192.168.1.20"));
  EXPECT_TRUE(W<QLineEdit>("edName")->isReadOnly());
  One(testing::SampleCamera(8, "0011AABBCCDD", "cam", "192.168.1.20"));
  EXPECT_FALSE(W<QLineEdit>("edName")->isReadOnly());
}

TEST_F(AdvApplyTest, CheckShowsTheServicesVerdictForEveryReply) {
  struct Case {
    const char* remote;  // getremote answer; nullptr: the service is down; "(slow)": never answers
    const char* auth;    // checkauth answer; nullptr: no answer (the service went down meanwhile)
    const char* key;
    const char* appendix;
    int requests;
  } cases[] = {
      {nullptr, nullptr, "IDS_CANNOTCONNECTSERVER", "", 1},
      {"(slow)", nullptr, "IDS_CANNOTCONNECTSERVER", "", 1},
      {"1", nullptr, "IDS_CHECKNORM", "", 1},
      {"1 and more", nullptr, "IDS_CHECKNORM", "", 1},
      {"0IDS_SERVER_NOID", nullptr, "IDS_NOID", "", 1},
      {"0IDS_SERVER_OFFLINE", "1", "IDS_NOREG", "", 2},
      {"0IDS_SERVER_OFFLINE", "0ERRIDS_SERVER_NOID", "IDS_NOID", "", 2},
      {"0IDS_SERVER_OFFLINE", "0ERRIDS_SERVER_NOAUTH", "IDS_ERRPWD", "", 2},
      {"0IDS_SERVER_OFFLINE", "0busy", "IDS_UNKNOWERR", "busy", 2},
      {"0IDS_SERVER_OFFLINE", nullptr, "IDS_CANNOTCONNECTSERVER", "", 2},
      {"0strange", nullptr, "IDS_UNKNOWERR", "strange", 1},
      {"garbage", nullptr, "IDS_UNKNOWERR", "garbage", 1},
  };
  TDevInfo cam = testing::SampleCamera(5, "001A2B3C4D5E", "cam", "192.168.1.20");
  cam.DDnsServer = "host.example.org:9000";
  cam.DDnsUser = "x123";
  cam.DDnsPwd = "p&w";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key + std::string(" ") + (c.remote ? c.remote : "-") + " " + (c.auth ? c.auth : "-"));
    const bool slow = c.remote && std::string(c.remote) == "(slow)";
    test::FakeHttpServer service([&](const test::HttpRequestSeen& r) {
      const std::string p = r.Path();
      if (p.rfind("/func/getremote.asp?", 0) == 0 && !slow) return test::HttpAnswer{200, c.remote};
      if (p.rfind("/api/checkauth.asp?", 0) == 0 && c.auth) return test::HttpAnswer{200, c.auth};
      return test::HttpAnswer{200, "", true};
    });
    // The real GET carries the service's host and port 808 to the loopback service; a service
    // that is down is a closed port. The window's 20 s time-out is cut short for the slow one.
    std::vector<std::string> urls;
    w_->SetHttpGet([&](const std::string& url, int timeoutMs) -> std::optional<std::string> {
      urls.push_back(url);
      EXPECT_EQ(timeoutMs, 20000);
      const std::string host = "http://user.example.org:808";
      if (url.rfind(host, 0) != 0) return std::nullopt;
      const bool checkauth = url.find("/api/checkauth.asp?") != std::string::npos;
      const bool down = !c.remote || (checkauth && !c.auth);
      const uint16_t port = down ? 1 : service.Port();
      const std::string local = "http://127.0.0.1:" + std::to_string(port) + url.substr(host.size());
      THttpReply reply = TTools::HttpGet(local, {}, {}, slow ? 300 : 5000);
      if (!reply.Ok) return std::nullopt;
      return reply.Text;
    });
    One(cam);
    boxes_.clear();
    ASSERT_EQ(W<QLineEdit>("edOuterUrl")->text(), "http://x123.example.org");
    Click("spbCheckOuterUrl");
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text, LangKey(c.key) + c.appendix);
    EXPECT_EQ(boxes_[0].caption, LangKey("IDS_INFORMATION"));
    EXPECT_EQ(boxes_[0].flags, MB_ICONINFORMATION);
    ASSERT_EQ(int(urls.size()), c.requests);
    EXPECT_EQ(urls[0], "http://user.example.org:808/func/getremote.asp?id=x123");
    if (c.requests == 2) EXPECT_EQ(urls[1].rfind("http://user.example.org:808/api/checkauth.asp?id=x123&pwd=", 0), 0u);
  }
  // Without an outer address there is nothing to check.
  cam.DDnsUser.clear();
  One(cam);
  boxes_.clear();
  w_->spbCheckOuterUrlClick();
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(AdvApplyTest, OpenHandsTheAddressesToTheOpener) {
  TDevInfo cam = testing::SampleCamera(5, "001A2B3C4D5E", "cam", "192.168.1.20");
  cam.DDnsServer = "ddns";
  cam.DDnsUser = "x123";
  One(cam);
  Click("spbOpen");
  Click("spbOpenOuterUrl");
  EXPECT_EQ(opened_, (QStringList{"http://192.168.1.20", "http://x123.ddns.kestrova.test"}));
  w_->ClearDevices();
  w_->ShowDeviceInfo();
  w_->spbOpenClick();
  w_->spbOpenOuterUrlClick();
  EXPECT_EQ(opened_.size(), 2);  // empty fields open nothing
}

TEST(IPEditTest, OctetsReadAsTheAddressControlDoes) {
  TIPEdit e;
  int changes = 0;
  QObject::connect(&e, &TIPEdit::changed, [&] { ++changes; });
  e.SetIPString("10.1.2.3");
  e.SetIP(0xC0A80001);
  e.SetOctet(2, 7);
  EXPECT_EQ(changes, 0);  // filled by the program
  EXPECT_EQ(e.IPString(), "192.168.7.1");
  EXPECT_EQ(e.IP(), 0xC0A80701u);
  e.SetIPString("1.2.3");
  EXPECT_EQ(e.Octet(3), 255);  // an empty octet reads 255
  EXPECT_EQ(e.Text(), "1.2.3.");
  EXPECT_EQ(e.IPString(), "1.2.3.0");
  e.SetIPString("1.2.3.300");
  EXPECT_EQ(e.Octet(3), 255);

  // Typing: a third digit or a dot moves on, a number above 255 becomes 255.
  e.Clear();
  e.show();
  e.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&e));
  e.Field(0)->setFocus();
  QTest::keyClicks(e.Field(0), "192");
  ASSERT_TRUE(e.Field(1)->hasFocus());
  QTest::keyClicks(e.Field(1), "168.");
  ASSERT_TRUE(e.Field(2)->hasFocus());
  QTest::keyClicks(e.Field(2), "1.");
  ASSERT_TRUE(e.Field(3)->hasFocus());
  QTest::keyClicks(e.Field(3), "999");
  EXPECT_EQ(e.IPString(), "192.168.1.255");
  EXPECT_GT(changes, 0);
  // A dot in an empty octet stays there; letters are not taken.
  e.Clear();
  e.Field(1)->setFocus();
  QTest::keyClicks(e.Field(1), ".a");
  EXPECT_TRUE(e.Field(1)->hasFocus());
  EXPECT_EQ(e.Text(), "...");
}

}  // namespace
}  // namespace kestrova
