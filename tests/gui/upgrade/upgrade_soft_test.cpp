// The upgrade window offscreen: its file dialog filter per family, the upload off the window
// thread with its progress, the messages of every outcome, closing while an upload runs, the
// advanced window's upgrade button around it, and real uploads to simulated cameras.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QTreeWidget>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "core/i18n/lang.h"
#include "gui/adv_main/adv_fixture.h"
#include "gui/app/qt_test_env.h"
#include "net/cgi/device_series.h"
#include "net/discovery/discovery_engine.h"
#include "net/platform/scaled_clock.h"
#include "net/upgrade/upgrade_io.h"
#include "support/proxy_env.h"
#include "support/sim_process.h"
#include "unit/upgrade/pk2_builder.h"
#include "ui/app/lang_message_box.h"
#include "ui/dialogs/auth_input.h"
#include "ui/i18n/apply_strings.h"
#include "ui/setup/adv_main.h"
#include "ui/setup/ip_edit.h"
#include "ui/skin/controls.h"
#include "ui/upgrade/upgrade_soft.h"

namespace kestrova {
namespace {

using upgrade::TTransferResult;
using upgrade::TUpgradeIo;
using upgrade::TUpgradeStatus;

const auto* const kQtEnv = ::testing::AddGlobalTestEnvironment(new testing::QtTestEnvironment("gui_upgrade_test"));

QString Msg(const char* key) { return LangText(LoadStr(key)); }

// Pumps events until cond holds (at most ms).
bool Pump(const std::function<bool()>& cond, int ms = 10000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!cond()) {
    if (std::chrono::steady_clock::now() > end) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 20);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

class UpgradeSoftTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::ClearProxyEnvironment();
    std::string tmpl = (std::filesystem::temp_directory_path() / "kestrova-upgrade-XXXXXX").string();
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
    std::filesystem::create_directories(dir_ / "lang");
    std::filesystem::copy_file(std::filesystem::path(KESTROVA_SOURCE_DIR) / "resources/lang/en.ini",
                               dir_ / "lang" / "kestrova.len");
    SetLanguageLocation(dir_ / "lang", "kestrova");
    SetLanguage("en");
    SetMessageBoxHook([this](const MessageBoxCall& c) {
      boxes_.push_back(c);
      return answer_;
    });
  }
  void TearDown() override {
    SetMessageBoxHook(nullptr);
    SetTimeScale(1);
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  std::string Write(const std::string& name, const std::string& bytes) {
    const auto p = dir_ / name;
    std::ofstream(p, std::ios::binary) << bytes;
    return p.string();
  }
  // A window whose uploads are the given fake.
  std::unique_ptr<TfrmUpgradeSoft> Window(int family, std::function<TTransferResult(const upgrade::TPk2ProgressFn&)> upload) {
    auto w = std::make_unique<TfrmUpgradeSoft>();
    w->SetTarget({family, "192.168.1.20", 80, "admin", ""});
    w->SetIoFactory([this, upload](upgrade::TPk2ProgressFn progress) {
      TUpgradeIo io;
      io.FileExists = [](const std::string& p) { return std::filesystem::exists(p); };
      io.ReadFile = upgrade::ReadFileHead;
      auto run = [upload, progress] { return upload(progress); };
      io.PostForm = [run, this](const upgrade::TUploadForm& f, const std::string&) {
        sent_.push_back(f.Url);
        return run();
      };
      io.SendPackage = [run, this](const std::string& p, const upgrade::TUpgradeTarget&) {
        sent_.push_back("package " + p);
        return run();
      };
      io.Driver = [run, this](upgrade::TUpgradeKind, const std::string& base, const std::string&, const std::string&,
                              const std::string&) {
        sent_.push_back("driver " + base);
        return run();
      };
      return io;
    });
    w->show();
    return w;
  }
  std::filesystem::path dir_;
  std::vector<MessageBoxCall> boxes_;
  std::vector<std::string> sent_;
  int answer_ = IDOK;
};

TEST_F(UpgradeSoftTest, TextsAndTheFilterOfEachFamilyOnEveryBrowse) {
  for (int family : {2, 5, 8, 9}) {
    SCOPED_TRACE(family);
    auto w = Window(family, [](const upgrade::TPk2ProgressFn&) { return TTransferResult{true, false, "", ""}; });
    EXPECT_EQ(w->windowTitle(), "Select Firmware");
    EXPECT_TRUE(w->RadioButton2->isChecked());
    EXPECT_EQ(w->RadioButton2->text(), "Embeded Web UI Firmware");
    EXPECT_EQ(w->BitBtn2->text(), "&Upgrade");
    QStringList filters;
    int n = 0;
    w->SetFileChooser([&](TOpenDialog& d) {
      filters << d.Filter;
      d.FileName = QString("/tmp/chosen%1").arg(++n);
      return true;
    });
    w->BitBtn1Click();
    w->BitBtn1Click();
    const QString want = family == 5 ? "Upgrade package(*.pk2)|*.pk2" : "Upgrade package(*.bin)|*.bin";
    EXPECT_EQ(filters, QStringList({want, want}));
    EXPECT_EQ(w->Edit1->text(), "/tmp/chosen2");
  }
}

TEST_F(UpgradeSoftTest, ProgressWhileTheUploadRunsOffTheWindowThread) {
  std::atomic<bool> release{false};
  std::thread::id uploadThread;
  auto w = Window(8, [&](const upgrade::TPk2ProgressFn& progress) {
    uploadThread = std::this_thread::get_id();
    upgrade::TPk2Progress p;
    p.Sent = 1500;
    p.Total = 3000;
    while (!release) {
      progress(p);
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return TTransferResult{true, false, "", ""};
  });
  w->Edit1->setText(QString::fromStdString(" " + Write("fw.bin", "abcdefgh") + " "));
  w->RadioButton1->setChecked(true);
  w->BitBtn2Click();
  ASSERT_TRUE(Pump([&] { return w->lblProgress->text().contains("1,500"); })) << w->lblProgress->text().toStdString();
  EXPECT_EQ(w->lblProgress->text(), "Sent 1,500 of 3,000 bytes");
  EXPECT_EQ(w->pbUpgrade->value(), w->pbUpgrade->maximum() / 2);
  EXPECT_TRUE(w->Running());
  EXPECT_FALSE(w->BitBtn2->isEnabled());
  EXPECT_FALSE(w->Edit1->isEnabled());
  EXPECT_NE(uploadThread, std::this_thread::get_id());
  ASSERT_EQ(sent_.size(), 1u);
  EXPECT_EQ(sent_[0], "http://192.168.1.20/cgi-bin/upgrade_firmware.cgi?next_url=reboot.htm");
  release = true;
  ASSERT_TRUE(Pump([&] { return !w->isVisible(); }));
  EXPECT_EQ(w->result(), QDialog::Accepted);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text, Msg("IDS_UPGRADESUCC"));
  EXPECT_EQ(boxes_[0].caption, Msg("IDS_INFORMATION"));
  EXPECT_EQ(boxes_[0].flags, MB_ICONINFORMATION);
}

TEST_F(UpgradeSoftTest, ClosingHalfWayAsksAndACancelIsReportedAsCancelled) {
  std::atomic<bool> stopped{false};
  auto w = Window(5, [&](const upgrade::TPk2ProgressFn& progress) {
    upgrade::TPk2Progress p;
    p.Records = 2;
    p.Record = 1;
    p.Total = 100;
    while (progress(p)) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    stopped = true;
    TTransferResult r{false, true, "IDS_UPGRADECANCELLED", ""};
    return r;
  });
  std::string pkg = testing::Pk2Header(0);
  w->Edit1->setText(QString::fromStdString(Write("fw.pk2", pkg)));
  w->BitBtn2Click();
  ASSERT_TRUE(Pump([&] { return w->lblProgress->text().contains("record 1 of 2"); }));
  // No: the upload goes on and the window stays.
  answer_ = IDNO;
  w->close();
  QApplication::processEvents();
  EXPECT_TRUE(w->isVisible());
  EXPECT_TRUE(w->Running());
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text, Msg("IDS_UPGRADECLOSEASK"));
  // Yes: the upload stops, the user hears it was cancelled, the window closes without OK.
  answer_ = IDYES;
  w->BitBtn3Click();
  ASSERT_TRUE(Pump([&] { return !w->isVisible(); }));
  EXPECT_TRUE(stopped);
  EXPECT_EQ(w->result(), QDialog::Rejected);
  EXPECT_EQ(w->LastOutcome().Status, TUpgradeStatus::Cancelled);
  ASSERT_EQ(boxes_.size(), 3u);
  EXPECT_EQ(boxes_[2].text, Msg("IDS_UPGRADECANCELLED"));
}

TEST_F(UpgradeSoftTest, FailuresKeepTheWindowOpenWithWhatWentWrong) {
  struct Case {
    int family;
    std::string content;
    TTransferResult result;
    QString says;
    size_t sent;
  } cases[] = {
      {8, "abcd", {false, false, "", "HTTP 500"}, Msg("IDS_UPGRADEFAIL") + "\n(HTTP 500)", 1},
      {5, "", {false, false, "IDS_UPGRADENOTBACK", ""}, Msg("IDS_UPGRADEFAIL") + "\n" + Msg("IDS_UPGRADENOTBACK"), 1},
      {2, "BNEG", {true, false, "", ""}, Msg("IDS_ERRFILE"), 0},  // web pages chosen: refused
      {8, "abc", {true, false, "", ""}, Msg("IDS_ERRFILE"), 0},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.says.toStdString());
    boxes_.clear();
    sent_.clear();
    auto w = Window(c.family, [&c](const upgrade::TPk2ProgressFn&) { return c.result; });
    std::string content = c.content;
    if (c.family == 5) content = testing::Pk2Header(0);
    w->Edit1->setText(QString::fromStdString(Write("f.bin", content)));
    w->BitBtn2Click();
    ASSERT_TRUE(Pump([&] { return !w->Running(); }));
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text, c.says);
    EXPECT_EQ(boxes_[0].flags, MB_ICONSTOP);
    EXPECT_TRUE(w->isVisible()) << "left open for another try";
    EXPECT_TRUE(w->BitBtn2->isEnabled());
    EXPECT_EQ(sent_.size(), c.sent);
  }
  // Family 5 with a file that does not exist: nothing happens.
  boxes_.clear();
  auto w = Window(5, [](const upgrade::TPk2ProgressFn&) { return TTransferResult{true, false, "", ""}; });
  w->Edit1->setText(QString::fromStdString((dir_ / "missing.pk2").string()));
  w->BitBtn2Click();
  ASSERT_TRUE(Pump([&] { return !w->Running(); }));
  EXPECT_TRUE(boxes_.empty());
  EXPECT_TRUE(w->isVisible());
}

// ---- the advanced window's upgrade button -----------------------------------------------------

TEST_F(UpgradeSoftTest, AdvancedWindowOpensItWithTheCredentialsAndDiscoveryStopped) {
  auto engine = std::make_unique<DiscoveryEngine>();  // never started: nothing is sent
  DiscoveryEngine* eng = engine.get();
  TfrmAdv_Main adv(nullptr, std::move(engine), false);
  adv.resize(652, 402);
  adv.show();
  eng->PostRecord(testing::SampleCamera(8, "001e2f000001", "Yard", "192.168.1.30", 81));
  eng->ProcessPending();
  auto* list = adv.findChild<QTreeWidget*>("ListView");
  ASSERT_EQ(list->topLevelItemCount(), 1);
  list->setCurrentItem(list->topLevelItem(0));
  auto* timer = adv.findChild<QTimer*>("Timer1");
  ASSERT_NE(timer, nullptr);
  timer->setInterval(3600 * 1000);  // on, but never firing during the test
  timer->start();

  adv.SetCredentialPrompt([](TfrmAuthInput& d) {
    d.edUser->setText(" admin ");
    d.edPwd->setText(" pw8 ");
    return int(QDialog::Accepted);
  });
  for (int result : {int(QDialog::Rejected), int(QDialog::Accepted)}) {
    SCOPED_TRACE(result);
    upgrade::TUpgradeTarget seen;
    bool timerDuring = true;
    adv.SetUpgradeRunner([&](TfrmUpgradeSoft& up) {
      seen = up.Target();
      timerDuring = timer->isActive();
      return result;
    });
    const bool upgraded = adv.UpgradeDevice(8);
    EXPECT_EQ(upgraded, result == QDialog::Accepted);
    EXPECT_EQ(seen.DevType, 8);
    EXPECT_EQ(seen.IP, "192.168.1.30");
    EXPECT_EQ(seen.HttpPort, 81);
    EXPECT_EQ(seen.User, "admin");
    EXPECT_EQ(seen.Password, "pw8");
    EXPECT_FALSE(timerDuring) << "no discovery rounds while the upgrade window is open";
    EXPECT_TRUE(timer->isActive()) << "discovery goes on afterwards";
    // Usable again for the camera still listed (with none selected the panel's own rules hold).
    if (result == QDialog::Rejected) {
      EXPECT_TRUE(adv.findChild<QPushButton*>("btnUpgrade")->isEnabled());
    }
    // After a successful upgrade the entry is gone until the camera answers again.
    EXPECT_EQ(list->topLevelItemCount(), result == QDialog::Accepted ? 0 : 1);
  }
}

// ---- real uploads to simulated cameras on loopback ---------------------------------------------

TEST_F(UpgradeSoftTest, RealUploadsToSimulatedCameras) {
  testsupport::SimProcess sim;
  ASSERT_TRUE(sim.Start(
      "[f2]\nfamily = 2\nidentity = MOI0A1B2C3D4\nip = 10.1.0.2\nuser = admin\npwd = pw2\nrestart_ms = 200\n"
      "[f5]\nfamily = 5\nmac = 00216B000001\nip = 10.1.0.5\npwd = vemra\nrestart_ms = 200\npk2_key = 5A3C960FA5C369F0\n"
      "[f8bad]\nfamily = 8\nmac = 00:1e:2f:00:00:02\nip = 10.1.0.8\nfault = http_error\n",
      {"--tcp"}))
      << sim.output;
  SetTimeScale(0.01);
  struct Case {
    int family;
    const char* cam;
    const char* service;
    const char* pwd;
    std::string content;
    bool pages;
    const char* kept;
  } cases[] = {
      {2, "f2", "web", "pw2", "BNEG" + std::string(50000, 'f'), false, "f2-firmware.bin"},
      {5, "f5", "ctp", "vemra", "", false, "f5-pk2-fw.bin.bin"},
      {8, "f8bad", "web", "", "abcd", true, ""},
  };
  const std::string data(3000, 'd');
  const std::string pkg = testing::Pk2OneFile("fw.bin", data);
  for (auto& c : cases) {
    SCOPED_TRACE(c.cam);
    boxes_.clear();
    TfrmUpgradeSoft w;
    w.SetTarget({c.family, "127.0.0.1", sim.TcpPort(c.cam, c.service), "admin", c.pwd});
    w.show();
    w.Edit1->setText(QString::fromStdString(Write("up.bin", c.family == 5 ? pkg : c.content)));
    (c.pages ? w.RadioButton2 : w.RadioButton1)->setChecked(true);
    w.BitBtn2Click();
    ASSERT_TRUE(Pump([&] { return !w.Running(); }, 40000));
    ASSERT_EQ(boxes_.size(), 1u);
    if (!*c.kept) {
      EXPECT_EQ(boxes_[0].text, Msg("IDS_UPGRADEFAIL") + "\n(HTTP 500)");
      EXPECT_TRUE(w.isVisible());
      continue;
    }
    EXPECT_EQ(boxes_[0].text, Msg("IDS_UPGRADESUCC")) << boxes_[0].text.toStdString();
    EXPECT_EQ(w.result(), QDialog::Accepted);
    std::ifstream f(sim.UploadDir() + "/" + c.kept, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    EXPECT_EQ(ss.str(), c.family == 5 ? data : c.content);
  }
}

}  // namespace
}  // namespace kestrova
