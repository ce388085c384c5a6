// The common dialogs driven offscreen: the countdown with a scaled clock or ticked by hand,
// the credential dialog against camera stand-ins on 127.0.0.1, the information panel.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <filesystem>
#include <memory>

#include "core/i18n/lang.h"
#include "gui/dialogs/fake_servers.h"
#include "integration/ctp_http/fake_http.h"
#include "net/ctp/ctp_socket.h"
#include "ui/app/lang_message_box.h"
#include "ui/dialogs/auth_input.h"
#include "net/platform/scaled_clock.h"
#include "ui/dialogs/countdown.h"
#include "ui/dialogs/q_info.h"
#include "ui/i18n/apply_strings.h"
#include "support/proxy_env.h"

namespace kestrova {
namespace {

class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    test::ClearProxyEnvironment();  // the credential tests ask servers on loopback
    static int argc = 1;
    static char name[] = "gui_dialogs_test";
    static char* argv[] = {name, nullptr};
    app_ = new QApplication(argc, argv);
  }
  void TearDown() override {
    delete app_;
    app_ = nullptr;
  }

 private:
  QApplication* app_ = nullptr;
};
const auto* const kQtEnv = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

QString Msg(const char* key) { return LangText(LoadStr(key)); }

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::NoProxyForLoopback();
    dir_ = std::filesystem::temp_directory_path() / ("kv-dialogs-" + std::to_string(::getpid()));
    strres_ = std::make_unique<TStrRes>(dir_, "kestrova");
    SetLanguageLocation(dir_, "kestrova");
    SetLanguage("en");
    SetMessageBoxHook([this](const MessageBoxCall& c) {
      boxes_.push_back(c);
      return answer_;
    });
    SetTimeScale(1.0);
    SetCountdownLookup(nullptr);
  }
  void TearDown() override {
    SetMessageBoxHook(nullptr);
    SetCountdownLookup(nullptr);
    SetTimeScale(1.0);
    strres_.reset();
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

  std::filesystem::path dir_;
  std::unique_ptr<TStrRes> strres_;
  std::vector<MessageBoxCall> boxes_;
  int answer_ = IDNO;
};

// A countdown shown without its own timers, ticked by the test: Timer1 once per second,
// Timer2 ten times per second, as their intervals say.
struct TickedCountdown {
  TfrmCountdown dlg;
  explicit TickedCountdown(int seconds) {
    dlg.SetSeconds(seconds);
    dlg.SetCamera("001a2b3c4d5e", "192.168.0.77");
    dlg.show();
    dlg.Timer1->stop();
    dlg.Timer2->stop();
  }
  // One second; false once the dialog has closed.
  bool Second() {
    dlg.Timer1Timer();
    for (int i = 0; i < 10 && dlg.isVisible(); ++i) dlg.Timer2Timer();
    return dlg.isVisible();
  }
};

TEST_F(DialogTest, CountdownRunsOutWithoutAsking) {
  SetTimeScale(0.002);  // 40 s in 80 ms
  int lookups = 0;
  SetCountdownLookup([&](const std::string&, const std::string&) {
    ++lookups;
    return false;
  });
  EXPECT_EQ(WaitForCamera(40, "001a2b3c4d5e", "192.168.0.77"), 2);
  EXPECT_TRUE(boxes_.empty());
  EXPECT_GT(lookups, 0);
}

TEST_F(DialogTest, CountdownFindsCameraOnlyAfterThirtySeconds) {
  SetTimeScale(0.002);
  std::string seenMac, seenIp;
  int firstLookAt = -1;
  SetCountdownLookup([&](const std::string& mac, const std::string& ip) {
    auto* d = qobject_cast<TfrmCountdown*>(QApplication::activeModalWidget());
    if (firstLookAt < 0 && d) firstLookAt = d->Total() - d->Remaining();
    seenMac = mac;
    seenIp = ip;
    return true;  // the camera is in the list from the start
  });
  EXPECT_EQ(WaitForCamera(60, "001a2b3c4d5e", "192.168.0.77"), 0);
  EXPECT_EQ(firstLookAt, 31);
  EXPECT_EQ(seenMac, "001a2b3c4d5e");
  EXPECT_EQ(seenIp, "192.168.0.77");
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(DialogTest, CameraBackAtTenSecondsIsSeenAtThirtyOne) {
  TickedCountdown t(60);
  t.dlg.SetLookup([&](const std::string&, const std::string&) { return t.dlg.Remaining() <= 50; });
  int seconds = 0;
  while (t.Second()) ++seconds;
  EXPECT_EQ(seconds + 1, 31);
  EXPECT_EQ(t.dlg.Result(), 0);
  EXPECT_EQ(t.dlg.result(), QDialog::Accepted);
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(DialogTest, CancelThenNoKeepsCounting) {
  answer_ = IDNO;
  bool back = false;
  TickedCountdown t(60);
  t.dlg.SetLookup([&](const std::string&, const std::string&) { return back; });
  for (int i = 0; i < 5; ++i) t.Second();
  t.dlg.btnCancel->click();
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text, Msg("IDS_CANCELWAIT"));
  EXPECT_EQ(boxes_[0].caption, Msg("IDS_CONFIRM"));
  EXPECT_EQ(boxes_[0].flags, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
  EXPECT_TRUE(t.dlg.isVisible());
  EXPECT_EQ(t.dlg.Result(), 1);
  EXPECT_TRUE(t.Second());
  EXPECT_EQ(t.dlg.Remaining(), 54);  // still counting
  for (int i = 0; i < 30; ++i) t.Second();
  back = true;
  EXPECT_FALSE(t.Second());
  EXPECT_EQ(t.dlg.Result(), 0);
}

TEST_F(DialogTest, CancelThenYesOrEscapeEndsTheWait) {
  answer_ = IDYES;
  {
    TickedCountdown t(60);
    t.dlg.btnCancel->click();
    EXPECT_FALSE(t.dlg.isVisible());
    EXPECT_EQ(t.dlg.Result(), 1);
    EXPECT_EQ(t.dlg.result(), QDialog::Rejected);
  }
  {
    TickedCountdown t(60);
    t.dlg.reject();  // Esc and the close box ask the same question
    EXPECT_FALSE(t.dlg.isVisible());
    EXPECT_EQ(t.dlg.Result(), 1);
  }
  EXPECT_EQ(boxes_.size(), 2u);
}

TEST_F(DialogTest, HintBlinksRedOnEvenSeconds) {
  TickedCountdown t(60);
  t.dlg.SetHint(Msg("IDS_REMOVELAN"));
  const QColor normal = t.dlg.lblHint->palette().color(QPalette::WindowText);
  ASSERT_NE(normal, QColor(Qt::red));
  EXPECT_EQ(t.dlg.lblHint->text(), Msg("IDS_REMOVELAN"));
  t.Second();  // 59
  EXPECT_EQ(t.dlg.lblHint->palette().color(QPalette::WindowText), normal);
  t.Second();  // 58
  EXPECT_EQ(t.dlg.lblHint->palette().color(QPalette::WindowText), QColor(Qt::red));
  t.Second();  // 57
  EXPECT_EQ(t.dlg.lblHint->palette().color(QPalette::WindowText), normal);
  EXPECT_EQ(t.dlg.lblTime->text(), "57");

  TickedCountdown plain(60);
  plain.dlg.SetHint({});
  EXPECT_FALSE(plain.dlg.Blink());
  EXPECT_EQ(plain.dlg.lblHint->text(), "The camera is restarting...");
  plain.Second();
  plain.Second();
  EXPECT_NE(plain.dlg.lblHint->palette().color(QPalette::WindowText), QColor(Qt::red));
}

TEST_F(DialogTest, CountdownTextsComeFromTheLanguageFile) {
  TfrmCountdown dlg;
  EXPECT_EQ(dlg.windowTitle(), "Countdown of restarting");
  EXPECT_EQ(dlg.btnCancel->text(), "&Cancel");
  SetLanguage("cn");
  TfrmCountdown cn;
  EXPECT_NE(cn.windowTitle(), "Countdown of restarting");
  EXPECT_FALSE(cn.windowTitle().isEmpty());
  SetLanguage("en");
}

// ---- credential dialog ----------------------------------------------------------------------

std::string Base(int port) { return "http://127.0.0.1:" + std::to_string(port); }

TEST_F(DialogTest, DisabledTestAcceptsAnything) {
  TfrmAuthInput dlg;
  for (int family : {2, 4, 5, 8, 9, 7}) {
    dlg.SetFamily(family);
    dlg.SetBaseAddress("http://127.0.0.1");
    EXPECT_EQ(dlg.TestCredentials("nobody", "nothing"), 0) << family;
  }
}

TEST_F(DialogTest, CgiFamiliesTestGetParams) {
  testing::FakeCgiCamera cam;
  for (int family : {2, 8, 9}) {
    SCOPED_TRACE(family);
    TfrmAuthInput dlg;
    dlg.SetTestEnabled(true);
    dlg.SetFamily(family);
    dlg.SetBaseAddress(Base(cam.Port()));
    EXPECT_EQ(dlg.TestCredentials("  admin ", " good "), 0);  // trimmed first
    EXPECT_EQ(dlg.TestCredentials("admin", "bad"), -2);
  }
  auto reqs = cam.Requests();
  ASSERT_FALSE(reqs.empty());
  EXPECT_EQ(reqs[0], "/get_params.cgi?user=admin&pwd=good|Basic YWRtaW46Z29vZA==");
  // A base whose host is not a dotted-quad address (here one that would still reach the
  // camera) gets nothing sent: no credentials go to a host a device named.
  for (int family : {2, 8, 9}) {
    TfrmAuthInput named;
    named.SetTestEnabled(true);
    named.SetFamily(family);
    named.SetBaseAddress("http://x@127.0.0.1:" + std::to_string(cam.Port()));
    EXPECT_EQ(named.TestCredentials("admin", "good"), -2) << family;
  }
  EXPECT_EQ(cam.Requests().size(), reqs.size());
  // a camera that does not answer
  TfrmAuthInput dlg;
  dlg.SetTestEnabled(true);
  dlg.SetFamily(2);
  dlg.SetBaseAddress(Base(testing::ClosedPort()));
  EXPECT_EQ(dlg.TestCredentials("admin", "good"), -2);
}

TEST_F(DialogTest, CtpFamilyLogsIn) {
  testing::FakeCtpCamera cam;
  TfrmAuthInput dlg;
  dlg.SetTestEnabled(true);
  dlg.SetFamily(5);
  dlg.SetBaseAddress(Base(cam.Port()));
  EXPECT_EQ(dlg.TestCredentials("admin", "good"), 0);
  EXPECT_EQ(dlg.TestCredentials("admin", "bad"), -2);
  auto reqs = cam.Requests();
  ASSERT_FALSE(reqs.empty());
  EXPECT_EQ(reqs[0], "CMD cfgusr CTP/1.0\r\nContent-Length:21\r\n\r\n-login admin:good\r\n\r\n");
  // 0.0.0.0 is no camera: connecting to it would reach this PC itself.
  dlg.SetBaseAddress("http://0.0.0.0:" + std::to_string(cam.Port()));
  EXPECT_EQ(dlg.TestCredentials("admin", "good"), -1);
  EXPECT_EQ(cam.Requests().size(), reqs.size());
  CtpPoolClear();
}

TEST_F(DialogTest, CtpFamilyWithoutConnectionOrPort) {
  TfrmAuthInput dlg;
  dlg.SetTestEnabled(true);
  dlg.SetFamily(5);
  // A host that is not a dotted address gives no connection at all.
  dlg.SetBaseAddress("http://camera.invalid:81");
  EXPECT_EQ(dlg.TestCredentials("admin", "good"), -1);
  // A camera that does not accept the connection fails the login.
  dlg.SetBaseAddress(Base(testing::ClosedPort()));
  EXPECT_EQ(dlg.TestCredentials("admin", "good"), -2);
  CtpPoolClear();
  for (const char* base : {"http://127.0.0.1", "http://127.0.0.1:8x", "http://127.0.0.1:", "http://127.0.0.1:99999"}) {
    dlg.SetBaseAddress(base);
    EXPECT_EQ(dlg.TestCredentials("admin", "good"), -2) << base;
  }
  EXPECT_EQ(CtpPoolSize(), 0u);  // no connection was tried

  std::string host;
  int port = 0;
  ASSERT_TRUE(CtpTargetOfBase("http://192.168.1.9:81", host, port));
  EXPECT_EQ(host, "192.168.1.9");
  EXPECT_EQ(port, 81);
  EXPECT_FALSE(CtpTargetOfBase("http://192.168.1.9", host, port));
}

TEST_F(DialogTest, FamilyWithoutTestIsRejected) {
  TfrmAuthInput dlg;
  dlg.SetTestEnabled(true);
  dlg.SetFamily(4);
  dlg.SetBaseAddress("http://127.0.0.1:1");
  EXPECT_EQ(dlg.TestCredentials("admin", ""), -2);
}

TEST_F(DialogTest, OkButtonReportsRejectedCredentials) {
  testing::FakeCgiCamera cam;
  TfrmAuthInput dlg;
  dlg.SetTestEnabled(true);
  dlg.SetFamily(8);
  dlg.SetBaseAddress(Base(cam.Port()));
  dlg.show();
  dlg.edUser->setText("admin");
  dlg.edPwd->setText("bad");
  dlg.btnOK->click();
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text, Msg("IDS_ERRACCESS"));
  EXPECT_EQ(boxes_[0].caption, Msg("IDS_ERROR"));
  EXPECT_EQ(boxes_[0].flags, MB_ICONSTOP);
  EXPECT_TRUE(dlg.isVisible());
  dlg.edPwd->setText("good");
  dlg.btnOK->click();
  EXPECT_FALSE(dlg.isVisible());
  EXPECT_EQ(dlg.result(), QDialog::Accepted);
  EXPECT_EQ(boxes_.size(), 1u);
}

TEST_F(DialogTest, DialogShownOnlyWhenPrefilledCredentialsFail) {
  testing::FakeCgiCamera cam;
  {
    TfrmAuthInput dlg;
    dlg.SetTestEnabled(true);
    dlg.SetFamily(2);
    dlg.SetBaseAddress(Base(cam.Port()));
    dlg.edUser->setText("admin");
    dlg.edPwd->setText("good");
    EXPECT_EQ(dlg.ExecIfNeeded(), QDialog::Accepted);  // never shown
    EXPECT_FALSE(dlg.isVisible());
  }
  TfrmAuthInput dlg;
  dlg.SetTestEnabled(true);
  dlg.SetFamily(2);
  dlg.SetBaseAddress(Base(cam.Port()));
  dlg.edUser->setText("admin");
  dlg.edPwd->setText("");
  bool shown = false;
  QTimer::singleShot(0, &dlg, [&] {
    shown = dlg.isVisible();
    dlg.edPwd->setText("good");
    dlg.btnOK->click();
  });
  EXPECT_EQ(dlg.ExecIfNeeded(), QDialog::Accepted);
  EXPECT_TRUE(shown);
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(DialogTest, CredentialDialogTexts) {
  TfrmAuthInput dlg;
  EXPECT_EQ(dlg.windowTitle(), "Validate Authentication");
  EXPECT_EQ(dlg.lblTip->text(), "Default username is \"admin\", password is blank.");
  EXPECT_EQ(dlg.edPwd->echoMode(), QLineEdit::Password);
  EXPECT_EQ(dlg.edUser->maxLength(), 13);
  EXPECT_EQ(dlg.edPwd->maxLength(), 13);
  dlg.SetFamily(5);
  EXPECT_EQ(dlg.lblTip->text(), Msg("IDS_DEFAULTACCOUNT"));
  dlg.btnCancel->click();
  EXPECT_EQ(dlg.result(), QDialog::Rejected);
}

// Family 2 carries the account in 13-byte fields: the entries take at most 13 bytes of UTF-8
// and never half a character; the other families take 13 characters.
TEST_F(DialogTest, Family2AccountIsLimitedByBytesNeverCuttingACharacter) {
  const QString l = QString::fromUtf8("\xc5\x82");  // ł, two bytes
  struct Case {
    int family;
    QString typed, kept;
  } cases[] = {
      {2, "kamera" + l.repeated(4), "kamera" + l.repeated(3)},   // 12 bytes; a 4th ł would make 14
      {2, "123456789012" + l, "123456789012"},
      {2, "1234567890123x", "1234567890123"},
      {5, l.repeated(14), l.repeated(13)},                       // 13 characters, 26 bytes
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.family);
    TfrmAuthInput dlg;
    dlg.SetFamily(c.family);
    dlg.show();
    for (QLineEdit* e : {dlg.edUser, dlg.edPwd}) {
      e->setFocus();
      for (QChar ch : c.typed) {  // typed one key at a time (QTest knows only ASCII keys)
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(e, &press);
      }
      EXPECT_EQ(e->text(), c.kept) << e->objectName().toStdString();
      e->clear();
      e->insert(c.typed);  // pasted whole: taken only when it fits, never cut inside a character
      if (c.family == 2) {
        EXPECT_LE(e->text().toUtf8().size(), 13);
      }
    }
  }
}

// ---- information panel ----------------------------------------------------------------------

TEST_F(DialogTest, InfoPanel) {
  TFrmQInfo panel;
  EXPECT_EQ(panel.size(), QSize(395, 191));
  EXPECT_TRUE(panel.windowFlags() & Qt::FramelessWindowHint);
  EXPECT_EQ(panel.BitBtn1->text(), QString::fromUtf8("我知道了"));
  panel.SetInfo("Hold the reset button for ten seconds.");
  EXPECT_EQ(panel.Info(), "Hold the reset button for ten seconds.");
  EXPECT_EQ(panel.Label1->text(), "Hold the reset button for ten seconds.");
  EXPECT_TRUE(panel.Label1->wordWrap());
  EXPECT_EQ(panel.Label1->palette().color(QPalette::WindowText), QColor(0, 0, 255));
  SetLanguage("cn");
  TFrmQInfo cn;
  EXPECT_EQ(cn.BitBtn1->text(), QString::fromUtf8("我知道了"));  // no language section
  SetLanguage("en");
  panel.show();
  panel.BitBtn1->click();
  EXPECT_FALSE(panel.isVisible());
}

}  // namespace
}  // namespace kestrova
