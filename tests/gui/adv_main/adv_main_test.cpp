// The advanced window offscreen with an engine that is not started: the test hands records to
// the engine the way the receive paths do (queue, then ProcessPending on this thread).
#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/i18n/lang.h"
#include "gui/adv_main/adv_fixture.h"
#include "net/discovery/discovery_engine.h"
#include "net/sockets/udp_socket.h"
#include "ui/app/global.h"
#include "ui/app/lang_message_box.h"
#include "ui/i18n/apply_strings.h"
#include "net/platform/scaled_clock.h"
#include "ui/dialogs/countdown.h"
#include "ui/discovery/add_address.h"
#include "ui/setup/adv_main.h"
#include "ui/setup/ip_edit.h"
#include "ui/skin/controls.h"

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QStringList& l, std::ostream* os) { *os << '[' << l.join(", ").toStdString() << ']'; }
QT_END_NAMESPACE

namespace kestrova {
namespace {

class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "gui_adv_main_test";
    static char* argv[] = {name, nullptr};
    app_ = new QApplication(argc, argv);
  }
  void TearDown() override { delete app_; }

 private:
  QApplication* app_ = nullptr;
};
const auto* const kQtEnv = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

std::string ReadFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class AdvMainTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (std::filesystem::temp_directory_path() / "kestrova-adv-XXXXXX").string();
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
    std::filesystem::create_directories(dir_ / "lang");
    std::filesystem::copy_file(std::filesystem::path(KESTROVA_SOURCE_DIR) / "resources/lang/en.ini",
                               dir_ / "lang" / "kestrova.len");
    SetLanguageLocation(dir_ / "lang", "kestrova");
    SetLanguage("en");
    SetAddressOpener([this](const QString& a) { opened_ << a; });

    auto engine = std::make_unique<DiscoveryEngine>();  // never started: nothing is sent
    engine_ = engine.get();
    w_ = std::make_unique<TfrmAdv_Main>(nullptr, std::move(engine), false);
    w_->resize(652, 402);
    w_->show();
    list_ = w_->findChild<QTreeWidget*>("ListView");
    ASSERT_NE(list_, nullptr);
  }
  void TearDown() override {
    w_.reset();
    SetAddressOpener(nullptr);
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

  // Through the engine's hand-over path, as a receive thread would.
  void Deliver(const std::vector<TDevInfo>& devs) {
    for (const auto& d : devs) engine_->PostRecord(d);
    engine_->ProcessPending();
  }
  QStringList Column(int c) const {
    QStringList v;
    for (int r = 0; r < list_->topLevelItemCount(); ++r) v << list_->topLevelItem(r)->text(c);
    return v;
  }
  QString Text(const char* name) const {
    if (auto* l = w_->findChild<QLabel*>(name)) return l->text();
    if (auto* e = w_->findChild<TIPEdit*>(name)) return e->IPString();
    if (auto* e = w_->findChild<QLineEdit*>(name)) return e->text();
    return "<none>";
  }
  bool Visible(const char* name) const { return w_->findChild<QWidget*>(name)->isVisible(); }
  void ClickHeader(int column) {
    QHeaderView* h = list_->header();
    const QPoint at(h->sectionViewportPosition(column) + h->sectionSize(column) / 2, h->height() / 2);
    QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, at);
  }

  std::filesystem::path dir_;
  DiscoveryEngine* engine_ = nullptr;
  std::unique_ptr<TfrmAdv_Main> w_;
  QTreeWidget* list_ = nullptr;
  QStringList opened_;
};

TEST_F(AdvMainTest, ListGroupHasItsColumnsAndShowsTheEmptyPanelAndCountZero) {
  EXPECT_EQ(w_->objectName(), "frmAdv_Main");
  EXPECT_EQ(w_->windowTitle(), "Advance Mode");
  ASSERT_EQ(list_->columnCount(), 3);
  EXPECT_EQ(list_->headerItem()->text(0), "Series");
  EXPECT_EQ(list_->headerItem()->text(1), "Name");
  EXPECT_EQ(list_->headerItem()->text(2), "IP Address");
  // 40 / 90 / 105; the type column grows only when its title needs it, taken from the name.
  EXPECT_GE(list_->columnWidth(0), 40);
  EXPECT_EQ(list_->columnWidth(0) + list_->columnWidth(1), 130);
  EXPECT_EQ(list_->columnWidth(2), 105);
  EXPECT_EQ(Text("lblDevNum"), "Count:0");
  EXPECT_TRUE(Visible("plInfo"));
  EXPECT_EQ(w_->findChild<TPanel*>("plInfo")->Caption(), "There is no camera found in the LAN.");
  EXPECT_FALSE(w_->findChild<QWidget*>("spbExport")->isEnabled());
  EXPECT_EQ(w_->findChild<QGroupBox*>("TeGroupBox2")->title(), "Cameras list");
}

TEST_F(AdvMainTest, CamerasAppearInAddressOrderWithCountAndFirstSelected) {
  Deliver(testing::SampleCameras());
  EXPECT_EQ(Column(0), (QStringList{"F", "E", "T"}));
  EXPECT_EQ(Column(1), (QStringList{"Front door", "Garage", "Office"}));
  EXPECT_EQ(Column(2), (QStringList{"192.168.1.9", "192.168.1.10", "192.168.1.100"}));
  EXPECT_EQ(Text("lblDevNum"), "Count:3");
  EXPECT_FALSE(Visible("plInfo"));
  EXPECT_TRUE(w_->findChild<QWidget*>("spbExport")->isEnabled());
  // The first camera to arrive was the first entry then and got the selection; it keeps it.
  ASSERT_EQ(list_->selectedItems().size(), 1);
  EXPECT_EQ(list_->selectedItems()[0]->text(1), "Garage");
  EXPECT_EQ(Text("edName"), "Garage");
  EXPECT_EQ(Text("edUrl"), "http://192.168.1.10:81");
  // The HTTP port rides along with the entry.
  EXPECT_EQ(list_->topLevelItem(1)->data(0, Qt::UserRole + 2).toString(), "81");
}

TEST_F(AdvMainTest, ColumnClicksSortAndASecondClickReverses) {
  Deliver(testing::SampleCameras());
  ClickHeader(1);
  EXPECT_EQ(Column(1), (QStringList{"Front door", "Garage", "Office"}));
  ClickHeader(1);
  EXPECT_EQ(Column(1), (QStringList{"Office", "Garage", "Front door"}));
  ClickHeader(0);
  EXPECT_EQ(Column(0), (QStringList{"E", "F", "T"}));
  ClickHeader(2);
  EXPECT_EQ(Column(2), (QStringList{"192.168.1.9", "192.168.1.10", "192.168.1.100"}));
  ClickHeader(2);
  EXPECT_EQ(Column(2), (QStringList{"192.168.1.100", "192.168.1.10", "192.168.1.9"}));
  // A camera that arrives later goes where the current order puts it.
  Deliver({testing::SampleCamera(8, "0011aabbccdd", "Yard", "192.168.1.50")});
  EXPECT_EQ(Column(2), (QStringList{"192.168.1.100", "192.168.1.50", "192.168.1.10", "192.168.1.9"}));
}

TEST_F(AdvMainTest, SelectionSurvivesResortingAndAnAddressChange) {
  Deliver(testing::SampleCameras());
  list_->setCurrentItem(list_->topLevelItem(2));  // Office
  ASSERT_EQ(Text("edName"), "Office");
  ClickHeader(1);
  ClickHeader(1);
  ASSERT_EQ(list_->selectedItems().size(), 1);
  EXPECT_EQ(list_->selectedItems()[0]->text(1), "Office");
  TDevInfo moved = testing::SampleCameras()[2];
  moved.IP = "192.168.1.2";
  Deliver({moved});
  EXPECT_EQ(list_->topLevelItemCount(), 3);
  EXPECT_EQ(list_->selectedItems()[0]->text(2), "192.168.1.2");
  EXPECT_EQ(Text("edIP"), "192.168.1.2");  // the details panel is refilled
}

TEST_F(AdvMainTest, ExportWritesOneTabSeparatedLinePerEntryWithCrLf) {
  Deliver(testing::SampleCameras());
  const auto file = dir_ / "ipcam.txt";
  {
    std::ofstream(file, std::ios::binary) << "old contents that are longer than the new ones ............";
  }
  w_->SetExportPathProvider([&] { return QString::fromStdString(file.string()); });
  QTest::mouseClick(w_->findChild<QWidget*>("spbExport"), Qt::LeftButton);
  EXPECT_EQ(ReadFile(file),
            "1\tF\tFront door\t192.168.1.9\tID0000000001\r\n"
            "2\tE\tGarage\t192.168.1.10\t001A2B03C4D5E\r\n"
            "3\tT\tOffice\t192.168.1.100\t00:1A:2B:3C:4D:60\r\n");

  // Cancelling the dialog writes nothing.
  std::filesystem::remove(file);
  w_->SetExportPathProvider([] { return QString(); });
  QTest::mouseClick(w_->findChild<QWidget*>("spbExport"), Qt::LeftButton);
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_FALSE(w_->ExportDevices(QString::fromStdString((dir_ / "no/such/dir/x.txt").string())));
}

// A file that cannot be written is not passed over in silence.
TEST_F(AdvMainTest, ExportThatCannotBeWrittenSaysSo) {
  std::vector<MessageBoxCall> boxes;
  SetMessageBoxHook([&](const MessageBoxCall& c) {
    boxes.push_back(c);
    return IDOK;
  });
  Deliver(testing::SampleCameras());
  const QString path = QString::fromStdString((dir_ / "no/such/dir/ipcam.txt").string());
  w_->SetExportPathProvider([&] { return path; });
  QTest::mouseClick(w_->findChild<QWidget*>("spbExport"), Qt::LeftButton);
  SetMessageBoxHook(nullptr);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, LangText(LoadStr("IDS_EXPORTFAIL")).replace("%s", path));
  EXPECT_EQ(boxes[0].caption, LangText(LoadStr("IDS_ERROR")));
  EXPECT_EQ(boxes[0].flags, MB_ICONSTOP);
}

// Families 5 and 9 may name themselves in the camera's legacy code page: valid UTF-8 is shown
// as it is, anything else is decoded with the code page of the current language. Other
// families send UTF-8; a camera's MAC is shown as plain text, never as markup.
TEST_F(AdvMainTest, CameraNamesAndTextsAreShownAsTheCameraMeantThem) {
  for (const char* code : {"cn", "b5", "pl", "kr"})
    std::filesystem::copy_file(std::filesystem::path(KESTROVA_SOURCE_DIR) / "resources/lang" / (std::string(code) + ".ini"),
                               dir_ / "lang" / ("kestrova.l" + std::string(code)));
  struct Case {
    const char* lang;
    int family;
    const char* name;
    const char* shown;  // UTF-8
  } cases[] = {
      {"cn", 5, "\xbf\xcd\xcc\xfc", "\xe5\xae\xa2\xe5\x8e\x85"},      // GBK: 客厅
      {"b5", 9, "\xab\xc8\xc6\x55", "\xe5\xae\xa2\xe5\xbb\xb3"},      // Big5: 客廳
      {"kr", 5, "\xb0\xa1", "\xea\xb0\x80"},                              // CP949: 가
      {"pl", 9, "Kuchnia \xb9", "Kuchnia \xc4\x85"},                        // CP1250: ą
      {"en", 5, "Caf\xe9", "Caf\xc3\xa9"},                                  // CP1252: é
      {"cn", 9, "\xe5\xae\xa2\xe5\x8e\x85", "\xe5\xae\xa2\xe5\x8e\x85"},  // UTF-8 as it is
      {"cn", 8, "\xe5\xae\xa2", "\xe5\xae\xa2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.lang) + " " + std::to_string(c.family));
    SetLanguage(c.lang);
    w_->ClearDevices();
    TDevInfo d = testing::SampleCamera(c.family, "00<b>1A</b>", c.name, "192.168.1.20");
    Deliver({d});
    EXPECT_EQ(Column(1), QStringList{QString::fromUtf8(c.shown)});
    EXPECT_EQ(Text("edName"), QString::fromUtf8(c.shown));
    EXPECT_EQ(engine_->List().DeviceAt(0).Name, c.name);  // the record keeps the bytes
  }
  SetLanguage("en");
  auto* mac = w_->findChild<QLabel*>("lblMac");
  EXPECT_EQ(mac->textFormat(), Qt::PlainText);
  EXPECT_EQ(mac->text(), "00<b>1A</b>");
}

TEST_F(AdvMainTest, TimerTicksExpireSilentCamerasAndTheCountFollows) {
  Deliver(testing::SampleCameras());
  for (int i = 0; i < 9; ++i) w_->Timer1Timer();
  EXPECT_EQ(Text("lblDevNum"), "Count:3");
  Deliver({testing::SampleCameras()[1]});  // one camera answers again
  w_->Timer1Timer();
  EXPECT_EQ(Column(1), (QStringList{"Front door"}));
  EXPECT_EQ(Text("lblDevNum"), "Count:1");
  for (int i = 0; i < 9; ++i) w_->Timer1Timer();
  EXPECT_EQ(Text("lblDevNum"), "Count:0");
  EXPECT_TRUE(Visible("plInfo"));
  EXPECT_EQ(Text("edName"), "");  // nothing selected any more
  EXPECT_EQ(Text("edIP"), "0.0.0.0");
  EXPECT_EQ(engine_->Round(), 19);
}

TEST_F(AdvMainTest, DetailsPanelFollowsTheFamily) {
  struct Case {
    int family;
    bool modeBox, ddnsPwd, dataPort, upgrade;
    int modes;
    bool nameReadOnly;
  } cases[] = {
      {2, false, false, false, true, 3, true},
      {4, true, true, true, false, 3, false},
      {5, true, true, false, true, 3, false},
      {8, true, true, false, true, 2, false},  // no PPPoE entry
      {9, true, true, false, true, 2, false},
  };
  QWidget* tabs = w_->findChild<QWidget*>("PageControl1");
  for (const Case& c : cases) {
    w_->ClearDevices();
    TDevInfo d = testing::SampleCamera(c.family, "m", "cam", "192.168.1.20", 81);
    d.DDnsServer = "host.example.org:9000";
    d.DDnsUser = "x123";
    Deliver({d});
    SCOPED_TRACE(c.family);
    auto* mode = w_->findChild<QComboBox*>("cmbIPAss");
    EXPECT_EQ(!mode->isHidden(), c.modeBox);
    EXPECT_EQ(!w_->findChild<QWidget*>("edDDnsPwd")->isHidden(), c.ddnsPwd);
    EXPECT_EQ(!w_->findChild<QWidget*>("edDataPort")->isHidden(), c.dataPort);
    EXPECT_EQ(!w_->findChild<QWidget*>("btnUpgrade")->isHidden(), c.upgrade);
    EXPECT_EQ(mode->count(), c.modes);
    EXPECT_EQ(mode->currentData().toInt(), 2);
    EXPECT_EQ(w_->findChild<QLineEdit*>("edName")->isReadOnly(), c.nameReadOnly);
    EXPECT_FALSE(w_->findChild<TIPEdit*>("edIP")->IsReadOnly());  // static: editable
    EXPECT_FALSE(w_->findChild<QWidget*>("btnApply")->isEnabled());
    EXPECT_EQ(Text("edUrl"), "http://192.168.1.20:81");
    EXPECT_EQ(Text("edOuterUrl"), "http://x123.example.org");
    EXPECT_TRUE(tabs->isEnabled());
  }
  // The record's mode decides the address fields: PPPoE hides them, DHCP shows them read-only.
  for (int ipMode : {0, 1}) {
    SCOPED_TRACE(ipMode);
    w_->ClearDevices();
    TDevInfo d = testing::SampleCamera(5, "m", "cam", "192.168.1.20");
    d.IPMode = ipMode;
    Deliver({d});
    EXPECT_EQ(w_->findChild<QComboBox*>("cmbIPAss")->currentData().toInt(), ipMode);
    EXPECT_EQ(!w_->findChild<QWidget*>("edIP")->isHidden(), ipMode == 1);
    EXPECT_EQ(!w_->findChild<QWidget*>("lblGateway")->isHidden(), ipMode == 1);
    EXPECT_TRUE(w_->findChild<TIPEdit*>("edSubMask")->IsReadOnly());
    EXPECT_EQ(Text("edUrl"), "http://192.168.1.20");  // port 80 is not written
  }
}

// A restart countdown waits for the camera to come back into this window's list: by its MAC,
// else by its address; a camera that is not listed lets the time run out.
TEST_F(AdvMainTest, RestartCountdownLooksIntoThisWindowsList) {
  Deliver(testing::SampleCameras());
  SetTimeScale(0.002);  // a minute in 120 ms
  struct Case {
    const char* mac;
    const char* ip;
    int result;
  } cases[] = {
      {"ID0000000001", "10.0.0.1", 0},      // MAC listed (Front door)
      {"no-such-mac", "192.168.1.100", 0},  // address listed (Office)
      {"no-such-mac", "10.0.0.1", 2},       // neither
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mac + std::string(" ") + c.ip);
    EXPECT_EQ(WaitForCamera(40, c.mac, c.ip), c.result);
  }
  SetTimeScale(1.0);

  // Once the window is gone nothing is looked up in its list any more.
  w_.reset();
  TfrmCountdown after;
  after.SetSeconds(40);
  after.SetCamera("ID0000000001", "192.168.1.9");
  for (int i = 0; i < 35; ++i) after.Timer1Timer();
  after.Timer2Timer();
  EXPECT_EQ(after.Result(), 1);
}

TEST_F(AdvMainTest, DoubleClickOpensTheInnerAddressAndCloseClearsEverything) {
  Deliver(testing::SampleCameras());
  QTreeWidgetItem* garage = list_->topLevelItem(1);
  emit list_->itemDoubleClicked(garage, 0);
  EXPECT_EQ(opened_, (QStringList{"http://192.168.1.10:81"}));

  w_->FormClose();
  EXPECT_EQ(list_->topLevelItemCount(), 0);
  EXPECT_EQ(engine_->List().Count(), 0);
  EXPECT_FALSE(w_->Timer1()->isActive());
  EXPECT_EQ(Text("lblDevNum"), "Count:0");
}


// Adapters of the test's making that only count: nothing is sent anywhere.
class CountingPaths : public AdapterPaths {
 public:
  std::vector<SendAdapter> Adapters() override { return adapters; }
  bool SendVia(UdpSocket&, const SendAdapter&, const std::string&, uint16_t, std::span<const uint8_t>) override {
    ++sends;
    return true;
  }
  std::vector<SendAdapter> adapters;
  int sends = 0;
};

TEST_F(AdvMainTest, StatusLineSaysWhenNoAdapterCouldSendTheSearchAndGoesWhenOneCan) {
  CountingPaths paths;  // no adapter up
  DiscoveryConfig cfg;
  cfg.bindAddress = "127.0.0.1";
  cfg.preferredPorts = {0, 0, 0, 0, 0};
  cfg.family9LocalPort = 0;
  cfg.receiveBufferBytes = 0;
  cfg.adapterPaths = &paths;
  TfrmAdv_Main w(nullptr, std::make_unique<DiscoveryEngine>(cfg), true);
  w.Timer1()->stop();  // the test ticks
  w.resize(652, 402);
  w.show();
  auto* line = w.findChild<QLabel*>("lblSendState");
  ASSERT_NE(line, nullptr);
  EXPECT_FALSE(line->isVisible());  // nothing to say before the first round
  w.Timer1Timer();
  EXPECT_TRUE(line->isVisible());
  EXPECT_EQ(line->text(), LangText(LoadStr("IDS_NOADAPTERSEND")));
  EXPECT_EQ(paths.sends, 0);
  if (const char* shot = std::getenv("KESTROVA_SEND_STATE_SHOT")) w.grab().save(QString::fromLocal8Bit(shot));

  paths.adapters = {{2, "eth0", "192.168.0.10"}};  // plugged in
  w.Timer1Timer();
  EXPECT_FALSE(line->isVisible());
  EXPECT_GT(paths.sends, 0);
  w.FormClose();
}

// Adds the given text through the dialog (OK, or Cancel when ok is false).
int AddByAddress(TfrmAdv_Main& w, const QString& text, bool ok = true) {
  int shown = 0;
  w.SetAddressPrompt([&](TfrmAddAddress& dlg) {
    ++shown;
    dlg.edAddress->setText(text);
    return ok ? QDialog::Accepted : QDialog::Rejected;
  });
  QTest::mouseClick(w.findChild<QWidget*>("btnAddAddr"), Qt::LeftButton);
  w.SetAddressPrompt(nullptr);
  return shown;
}

TEST_F(AdvMainTest, AddByAddressStoresACameraAddressAndRefusesAnythingElse) {
  const std::filesystem::path user = dir_ / "user";
  SetPaths({dir_ / "prog", user, dir_ / "lang", dir_ / "run", "kestrova"});
  const std::filesystem::path ini = user / "option.ini";
  std::vector<MessageBoxCall> boxes;
  SetMessageBoxHook([&](const MessageBoxCall& c) {
    boxes.push_back(c);
    return IDOK;
  });
  EXPECT_EQ(w_->findChild<QToolButton*>("btnAddAddr")->text(), LangText(LoadStr("IDS_ADDBYADDR")));
  {
    TfrmAddAddress dlg;
    EXPECT_EQ(dlg.Label1->text(), LangText(LoadStr("IDS_ADDRPROMPT")));
    EXPECT_EQ(dlg.windowTitle() + "...", LangText(LoadStr("IDS_ADDBYADDR")));
  }

  for (const char* bad : {"camera.local", "172.16.9", "172.16.9.300", "1.2.3.4:80", "255.255.255.255", ""}) {
    boxes.clear();
    ASSERT_EQ(AddByAddress(*w_, bad), 1);
    ASSERT_EQ(boxes.size(), 1u) << bad;
    EXPECT_EQ(boxes[0].text, LangText(LoadStr("IDS_BADADDRESS")));
    EXPECT_EQ(boxes[0].caption, LangText(LoadStr("IDS_WARNING")));
    EXPECT_EQ(boxes[0].flags, MB_ICONWARNING);
  }
  EXPECT_TRUE(engine_->Addresses().empty());
  EXPECT_FALSE(std::filesystem::exists(ini));  // nothing stored

  boxes.clear();
  AddByAddress(*w_, " 172.16.9.104 ");
  AddByAddress(*w_, "172.16.9.104");              // known: nothing new
  AddByAddress(*w_, "10.0.0.7", /*ok=*/false);    // cancelled
  AddByAddress(*w_, "10.20.0.5");
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(engine_->Addresses(), (std::vector<std::string>{"172.16.9.104", "10.20.0.5"}));
  EXPECT_NE(ReadFile(ini).find("Addresses=172.16.9.104,10.20.0.5"), std::string::npos) << ReadFile(ini);

  // The next run asks them again (the window of the program, with discovery kept off here).
  ::setenv("KESTROVA_DISCOVERY", "off", 1);
  {
    TfrmAdv_Main next;
    EXPECT_FALSE(next.Engine().Running());
    EXPECT_EQ(next.Engine().Addresses(), (std::vector<std::string>{"172.16.9.104", "10.20.0.5"}));
  }
  ::unsetenv("KESTROVA_DISCOVERY");

  // Removed in the dialog, with an address typed that is refused: nothing changes.
  const auto removeFirst = [&](const char* typed) {
    w_->SetAddressPrompt([&](TfrmAddAddress& dlg) {
      EXPECT_EQ(dlg.Addresses(), engine_->Addresses());
      dlg.lstAddresses->setCurrentRow(0);
      QTest::mouseClick(dlg.btnRemove, Qt::LeftButton);
      dlg.edAddress->setText(typed);
      return QDialog::Accepted;
    });
    QTest::mouseClick(w_->findChild<QWidget*>("btnAddAddr"), Qt::LeftButton);
    w_->SetAddressPrompt(nullptr);
  };
  boxes.clear();
  removeFirst("bogus");
  EXPECT_EQ(boxes.size(), 1u);
  EXPECT_EQ(engine_->Addresses(), (std::vector<std::string>{"172.16.9.104", "10.20.0.5"}));
  // Removed with nothing typed: forgotten, in this run and in the file.
  boxes.clear();
  removeFirst("");
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(engine_->Addresses(), (std::vector<std::string>{"10.20.0.5"}));
  EXPECT_NE(ReadFile(ini).find("Addresses=10.20.0.5\r\n"), std::string::npos) << ReadFile(ini);
  SetMessageBoxHook(nullptr);
  SetPaths({});
}

TEST_F(AdvMainTest, AddedAddressIsAskedAtOnce) {
  const std::filesystem::path user = dir_ / "user";
  SetPaths({dir_ / "prog", user, dir_ / "lang", dir_ / "run", "kestrova"});
  UdpSocket camera;  // the family-5 port of a camera on loopback
  ASSERT_TRUE(camera.Bind(0, "127.0.0.1"));
  CountingPaths paths;  // no adapter: no broadcast leaves
  DiscoveryConfig cfg;
  cfg.bindAddress = "127.0.0.1";
  cfg.preferredPorts = {0, 0, 0, 0, 0};
  cfg.family9LocalPort = 0;
  cfg.receiveBufferBytes = 0;
  cfg.adapterPaths = &paths;
  cfg.family2Port = cfg.uicamPort = cfg.sq610Port = cfg.family8Port = cfg.family9Port = 9;
  cfg.family5Port = camera.LocalPort();
  TfrmAdv_Main w(nullptr, std::make_unique<DiscoveryEngine>(cfg), true);
  w.Timer1()->stop();
  AddByAddress(w, "127.0.0.1");
  ASSERT_EQ(camera.WaitReadable(2000), WaitResult::Readable);
  auto d = camera.Receive();
  ASSERT_TRUE(d);
  EXPECT_EQ(std::string(d->data.begin(), d->data.begin() + 6), "SEARCH");
  w.FormClose();
  SetPaths({});
}

}  // namespace
}  // namespace kestrova
