// The DDNS, port-forward and access steps in the real main window, offscreen: what each page
// shows for the camera's and the service's answers, that only the latest check writes to a
// page (and none after the page is left or gone), the account dialog with the wait after it,
// the mappings handed to the port-mapping window, and the addresses the open buttons open.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTimer>

#include "core/i18n/lang.h"
#include "gui/app/qt_test_env.h"
#include "gui/remote/remote_fixture.h"
#include "ui/app/global.h"
#include "ui/app/lang_message_box.h"
#include "ui/i18n/apply_strings.h"
#include "ui/remote/esy_chk_ddns.h"
#include "ui/remote/esy_port_forward.h"
#include "ui/router/set_port_forward.h"
#include "ui/remote/esy_sel_access.h"
#include "ui/remote/esy_set_ddns.h"
#include "ui/skin/controls.h"

namespace kestrova {
namespace {

using testing::FakeRemote;
using testing::PumpUntil;
using testing::WizardCamera;
using testing::WizardWindow;

const auto* const kQtEnv = ::testing::AddGlobalTestEnvironment(new testing::QtTestEnvironment("gui_remote_test"));

QString Msg(const char* key) { return LangText(LoadStr(key)); }
QString Lines(std::initializer_list<QString> lines) { return QStringList(lines).join(QLatin1Char('\n')); }

const std::string kGoodOptions =
    "var ddns_service=7;\r\nvar ddns_proxy_svr='www.ddns.test';\r\nvar ddns_proxy_port=808;\r\n"
    "var ddns_user='f2cam01';\r\nvar ddns_pwd='pw';\r\n";

class RemotePagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetMessageBoxHook([this](const MessageBoxCall& c) {
      boxes.push_back(c);
      return boxAnswer;
    });
    SetAddressOpener([this](const QString& a) { opened << a; });
  }
  void TearDown() override {
    fake.ReleaseAll();
    // Every check ends and frees itself before the next test.
    PumpUntil([this] {
      for (const auto& t : threads) {
        if (t) return false;
      }
      return true;
    });
    SetMessageBoxHook(nullptr);
    SetAddressOpener(nullptr);
  }

  // Lists the camera and makes it the wizard's choice.
  TDevInfo Choose(int family, const char* mac, const char* ip, uint16_t port = 80) {
    TDevInfo d = WizardCamera(family, mac, ip, port);
    d.DDnsServer = "www.ddns.test";
    d.DDnsUser = "cam" + std::to_string(family);
    d.DDnsPwd = "ddnspw";
    ww.Listed(d);
    SelectedMac = d.MAC;
    SelectedIp = d.IP;
    CameraUser = "admin";
    CameraPassword = "";
    return d;
  }
  template <class Page>
  Page* Show(const char* cls) {
    auto* p = static_cast<Page*>(ww.Show(cls));
    Track(p);
    return p;
  }
  template <class Page>
  void Track(Page* p) {
    if constexpr (requires { p->RunningCheck(); }) {
      if (p && p->RunningCheck()) threads.emplace_back(p->RunningCheck());
    }
  }

  FakeRemote fake;
  WizardWindow ww;
  std::vector<MessageBoxCall> boxes;
  int boxAnswer = IDOK;
  QStringList opened;
  std::vector<QPointer<QThread>> threads;
};

// ---- DDNS step ---------------------------------------------------------------------------

TEST_F(RemotePagesTest, DdnsStepShowsTheCheckAndItsSuccess) {
  const TDevInfo cam = Choose(2, "MOI0A1B2C3D4", "192.168.0.50");
  fake.Answer("/get_params.cgi?", kGoodOptions);
  fake.Answer("/func/getremote.asp?", "1203.0.113.1:81");
  auto* page = Show<TfrmEsy_ChkDDNS>("TfrmEsy_ChkDDNS");
  ASSERT_TRUE(PumpUntil([&] { return page->Result().Succeeded(); }));
  EXPECT_EQ(page->memResult->toPlainText(),
            Lines({Msg("IDS_CHECKDDNS_GETCONFIG") + Msg("IDS_CHECKDDNS_GETCONFIG_SUCC"),
                   Msg("IDS_CHECKDDNS2") + Msg("IDS_CHECKDDNS2_SUCC")}));
  EXPECT_EQ(page->lblOK->text(), Msg("IDS_CONTINUESET"));
  EXPECT_EQ(page->edDDNSID->text(), "cam2");
  EXPECT_EQ(page->edDDNSServer->text(), "www.ddns.test");
  // The camera's own account goes to the camera; its DDNS values to the service.
  const auto urls = fake.Urls();
  ASSERT_EQ(urls.size(), 2u);
  EXPECT_EQ(urls[0], "http://192.168.0.50/get_params.cgi?user=admin&pwd=");
  EXPECT_EQ(urls[1], "http://www.ddns.test:808/func/getremote.asp?id=f2cam01");
  EXPECT_TRUE(page->spbChangeDDNS->isVisibleTo(page));
  (void)cam;
}

TEST_F(RemotePagesTest, SettingsHiddenForFamilies5_8_9AndShownAgainFor2) {
  fake.Answer("/func/getremote.asp?", "0IDS_SERVER_NOID");
  struct Case {
    int family;
    const char* mac;
    bool settings;
  } cases[] = {{9, "00:1A:2B:3C:4D:61", false}, {2, "MOI0A1B2C3D5", true}, {5, "00:21:6B:10:20:30", false},
               {8, "001e2f405061", false}, {4, "00:11:22:33:44:55", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.family);
    Choose(c.family, c.mac, "192.168.0.60");
    ww.Show("TfrmEsy_SelAccess");  // coming back to the step
    auto* page = Show<TfrmEsy_ChkDDNS>("TfrmEsy_ChkDDNS");
    EXPECT_EQ(page->spbChangeDDNS->isVisibleTo(page), c.settings);
    EXPECT_EQ(page->lblOK->text(), Msg("IDS_CHECKING"));
  }
}

// Re-check twice while the checks still wait for the service: only the last one writes. All
// three get the same answer, so any line of an earlier check would show as a repetition.
TEST_F(RemotePagesTest, OnlyTheLastCheckWrites) {
  Choose(8, "001e2f405062", "192.168.0.61");
  fake.Hold(true);
  fake.Answer("/func/getremote.asp?", "0IDS_SERVER_NOID");
  auto* page = Show<TfrmEsy_ChkDDNS>("TfrmEsy_ChkDDNS");
  ASSERT_TRUE(PumpUntil([&] { return fake.Waiting() == 1; }));
  page->spbCheck->click();
  Track(page);
  ASSERT_TRUE(PumpUntil([&] { return fake.Waiting() == 2; }));
  page->spbCheck->click();
  Track(page);
  ASSERT_TRUE(PumpUntil([&] { return fake.Waiting() == 3; }));
  EXPECT_EQ(page->memResult->toPlainText(), Msg("IDS_CHECKDDNS2"));
  fake.ReleaseAll();
  ASSERT_TRUE(PumpUntil([&] {
    for (const auto& t : threads)
      if (t) return false;
    return true;
  }));
  EXPECT_EQ(page->memResult->toPlainText(),
            Lines({Msg("IDS_CHECKDDNS2"), QStringLiteral("    ") + Msg("IDS_NOID"),
                   QStringLiteral("    ") + Msg("IDS_CHECKDDNS2_ERR_DO")}).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
  EXPECT_EQ(page->lblOK->text(), Msg("IDS_CHECKING"));
}

TEST_F(RemotePagesTest, ACheckOfALeftOrDestroyedPageWritesNowhere) {
  Choose(8, "001e2f405063", "192.168.0.62");
  fake.Hold(true);
  fake.Answer("/func/getremote.asp?", "1203.0.113.1:81");
  auto* page = Show<TfrmEsy_ChkDDNS>("TfrmEsy_ChkDDNS");
  ASSERT_TRUE(PumpUntil([&] { return fake.Waiting() == 1; }));
  ww.Show("TfrmEsy_SelAccess");  // Next: the step is left while its check waits
  ASSERT_EQ(page->RunningCheck(), nullptr);
  const std::vector<std::string> before = page->Result().Lines();

  // A page of its own that goes away while its check waits.
  auto* lone = new TfrmEsy_PortForward;
  lone->show();
  Track(lone);
  ASSERT_NE(lone->RunningCheck(), nullptr);
  ASSERT_TRUE(PumpUntil([&] { return fake.Waiting() == 2; }));
  delete lone;

  fake.ReleaseAll();
  ASSERT_TRUE(PumpUntil([&] {
    for (const auto& t : threads)
      if (t) return false;
    return true;
  }));
  EXPECT_EQ(page->Result().Lines(), before);
  EXPECT_FALSE(page->Result().Succeeded());
  EXPECT_EQ(page->lblOK->text(), Msg("IDS_CHECKING"));
}

// The dialog's OK writes the account into a family-2 camera; then the wait decides.
TEST_F(RemotePagesTest, AccountDialogAndTheWaitAfterIt) {
  const TDevInfo cam = Choose(2, "MOI0A1B2C3D6", "192.168.0.63", 81);
  fake.Answer("/get_params.cgi?", kGoodOptions);
  fake.Answer("/func/getremote.asp?", "0IDS_SERVER_NOID");
  auto* page = Show<TfrmEsy_ChkDDNS>("TfrmEsy_ChkDDNS");
  ASSERT_TRUE(PumpUntil([&] { return page->Result().Lines().size() >= 3; }));

  struct Case {
    const char* name;
    std::optional<std::string> writeReply;
    int wait;                // the countdown's result
    int boxAnswer;
    const char* page;        // where the wizard is afterwards
    std::vector<std::string> messages;
    bool accepted;
  } cases[] = {
      {"back in time", std::string("var result=\"ok\";"), 0, IDOK, "frmEsy_ChkDDNS", {}, true},
      {"wait cancelled", std::string("ok"), 1, IDOK, "frmEsy_DevList", {}, true},
      {"not back, go to the list", std::string("ok"), 2, IDYES, "frmEsy_DevList", {"IDS_NOFOUNDAFTERSET"}, true},
      {"not back, stay", std::string("ok"), 2, IDNO, "frmEsy_ChkDDNS", {"IDS_NOFOUNDAFTERSET"}, true},
      {"camera unreachable", std::nullopt, 0, IDOK, "frmEsy_ChkDDNS", {"IDS_CANTCONNECT"}, false},
      {"camera account wrong", std::string("<html>401 Unauthorized</html>"), 0, IDOK, "frmEsy_ChkDDNS",
       {"IDS_ERRAUTH"}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    page = Show<TfrmEsy_ChkDDNS>("TfrmEsy_ChkDDNS");
    boxes.clear();
    fake.writes.clear();
    fake.writeReply = c.writeReply;
    boxAnswer = c.boxAnswer;
    bool accepted = false, dialogSeen = false;
    std::vector<std::tuple<int, std::string, std::string>> waits;
    page->SetDialogRun([&](TfrmEsy_SetDDNS& dlg) {
      dialogSeen = true;
      EXPECT_EQ(dlg.edID->text(), "cam2");
      EXPECT_EQ(dlg.edServer->text(), "www.ddns.test");
      EXPECT_EQ(dlg.edPwd->text(), "ddnspw");
      dlg.edID->setText(" new&id ");
      dlg.edPwd->setText("p w");
      dlg.btnOKClick();
      accepted = dlg.result() == QDialog::Accepted;
      return dlg.result();
    });
    page->SetCameraWait([&](int seconds, const std::string& mac, const std::string& ip) {
      waits.emplace_back(seconds, mac, ip);
      return c.wait;
    });
    page->spbChangeDDNS->click();
    Track(page);
    EXPECT_TRUE(dialogSeen);
    EXPECT_EQ(accepted, c.accepted);
    ASSERT_EQ(fake.writes.size(), 1u);
    EXPECT_EQ(fake.writes[0],
              "http://192.168.0.63:81/set_ddns.cgi?cam_user=admin&cam_pwd=&service=7&user=new%26id&pwd=p%20w"
              "&host=&proxy_svr=www.ddns.test&proxy_port=808&restart_dyndns=1");
    std::vector<std::string> messages;
    for (const auto& b : boxes) {
      for (const char* key : {"IDS_NOFOUNDAFTERSET", "IDS_CANTCONNECT", "IDS_ERRAUTH"}) {
        if (b.text == Msg(key)) messages.push_back(key);
      }
    }
    EXPECT_EQ(messages, c.messages);
    if (c.accepted) {
      ASSERT_EQ(waits.size(), 1u);
      EXPECT_EQ(waits[0], std::make_tuple(40, cam.MAC, cam.IP));
    } else {
      EXPECT_TRUE(waits.empty());
    }
    EXPECT_EQ(ww.Current(), c.page);
    PumpUntil([&] { return page->RunningCheck() == nullptr || !page->Result().Lines().empty(); });
  }
}

TEST_F(RemotePagesTest, AccountDialogOfAnotherFamilyStaysOpenWithoutAWrite) {
  TfrmEsy_SetDDNS dlg("http://192.168.0.70", 8);
  dlg.edID->setText("x");
  dlg.btnOKClick();
  EXPECT_EQ(dlg.result(), 0);
  EXPECT_TRUE(fake.writes.empty());
  EXPECT_TRUE(boxes.empty());
}

// ---- port-forward step ---------------------------------------------------------------------

TEST_F(RemotePagesTest, PortForwardFieldsAndSuccess) {
  TDevInfo cam = Choose(8, "001e2f405064", "192.168.0.64", 81);
  fake.Answer("/func/getremote.asp?", "1203.0.113.1:8081");
  fake.Answer("/api/checkurl.asp?", "1");
  auto* page = Show<TfrmEsy_PortForward>("TfrmEsy_PortForward");
  EXPECT_EQ(page->edIP->text(), "192.168.0.64");
  EXPECT_EQ(page->edPort->text(), "81");
  EXPECT_EQ(page->edDataPort->text(), "554");
  EXPECT_TRUE(page->edDataPort->isVisibleTo(page));
  EXPECT_TRUE(page->Label5->isVisibleTo(page));
  EXPECT_EQ(page->edRouterIP->text(), "192.168.0.1");  // the PC's gateway
  EXPECT_EQ(page->edOuterUrl->text(), "http://cam8.ddns.test");
  EXPECT_EQ(page->lblOK->text(), Msg("IDS_SETPORTMAPPING"));
  ASSERT_TRUE(PumpUntil([&] { return page->Result().Succeeded(); }));
  EXPECT_EQ(page->memResult->toPlainText(), Msg("IDS_CHECKSUCC"));
  EXPECT_TRUE(page->imgArrow->isVisibleTo(page));
  EXPECT_TRUE(page->spbOpenOuter->isVisibleTo(page));
  EXPECT_EQ(page->lblOK->text(), Msg("IDS_PORTMAPPINGOK"));
  const auto urls = fake.Urls();
  ASSERT_EQ(urls.size(), 2u);
  EXPECT_EQ(urls[1], "http://www.ddns.test:808/api/checkurl.asp?url=http://203.0.113.1:8081/oem.txt");

  page->spbOpenOuter->click();
  page->spbOpenRouter->click();
  EXPECT_EQ(opened, QStringList({"http://cam8.ddns.test", "http://192.168.0.1"}));

  // Re-check hides the open button again until the check succeeds; lblOK keeps its text.
  fake.Hold(true);
  page->btnCheck->click();
  Track(page);
  EXPECT_FALSE(page->spbOpenOuter->isVisibleTo(page));
  EXPECT_FALSE(page->imgArrow->isVisibleTo(page));
  EXPECT_EQ(page->lblOK->text(), Msg("IDS_PORTMAPPINGOK"));
  EXPECT_TRUE(page->memResult->toPlainText().isEmpty());
  (void)cam;
}

TEST_F(RemotePagesTest, PortForwardFailures) {
  const QString notConnect = Msg("IDS_CHECKFAIL_NOTCONNECT").replace(QStringLiteral("%s"), QStringLiteral("www.ddns.test"));
  struct Case {
    const char* name;
    std::optional<std::string> reg, probe;
    QString text;
  } cases[] = {
      {"service unreachable", std::nullopt, std::nullopt, notConnect},
      {"offline", std::string("0IDS_SERVER_OFFLINE"), std::nullopt, QStringLiteral("    ") + Msg("IDS_DEVOFFLINE")},
      {"not reachable from outside", std::string("11.2.3.4:81"), std::string("0"),
       Lines({Msg("IDS_CHECKFAIL_NOTCONNECTDEV"), QStringLiteral("    ") + Msg("IDS_CHECKDO_PORTFORWARD2")})},
      {"probe unanswered", std::string("11.2.3.4:81"), std::nullopt,
       Lines({notConnect, QStringLiteral("    ") + Msg("IDS_CHECKDO_PORTFORWARD")})},
  };
  Choose(9, "00:1A:2B:3C:4D:65", "192.168.0.65");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fake.Answer("/func/getremote.asp?", c.reg);
    fake.Answer("/api/checkurl.asp?", c.probe);
    ww.Show("TfrmEsy_SelAccess");
    auto* page = Show<TfrmEsy_PortForward>("TfrmEsy_PortForward");
    EXPECT_FALSE(page->edDataPort->isVisibleTo(page));
    ASSERT_TRUE(PumpUntil([&] { return page->memResult->toPlainText() == c.text; }))
        << page->memResult->toPlainText().toStdString();
    EXPECT_FALSE(page->spbOpenOuter->isVisibleTo(page));
    EXPECT_EQ(page->lblOK->text(), Msg("IDS_SETPORTMAPPING"));
  }
}

TEST_F(RemotePagesTest, SetPortMappingHandsOverTheCamerasMappings) {
  fake.Answer("/func/getremote.asp?", "0IDS_SERVER_OFFLINE");
  struct Case {
    int family;
    const char* mac;
    std::vector<std::string> ports;
  } cases[] = {{8, "001e2f405066", {"8080", "554"}}, {2, "MOI0A1B2C3D7", {"8080"}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.family);
    Choose(c.family, c.mac, "192.168.0.66", 8080);
    ww.Show("TfrmEsy_SelAccess");
    auto* page = Show<TfrmEsy_PortForward>("TfrmEsy_PortForward");
    page->edRouterIP->setText("192.168.0.254");  // edited by the user
    std::string router;
    std::vector<TPortMappingAsk> asked;
    page->SetMappingRun([&](const std::string& r, const std::vector<TPortMappingAsk>& m) {
      router = r;
      asked = m;
      return true;
    });
    const size_t before = fake.Urls().size();
    page->BitBtn1->click();
    Track(page);
    EXPECT_EQ(router, "192.168.0.254");
    ASSERT_EQ(asked.size(), c.ports.size());
    for (size_t i = 0; i < asked.size(); ++i) {
      EXPECT_EQ(asked[i].address, "192.168.0.66");
      EXPECT_EQ(asked[i].port, c.ports[i]);
      EXPECT_EQ(asked[i].protocol, "TCP");
    }
    // OK presses Re-check.
    EXPECT_TRUE(PumpUntil([&] { return fake.Urls().size() > before; }));
    page->SetMappingRun(nullptr);
  }
  // Without a test's hook the port-mapping window opens (here with no router list, which it
  // cannot fetch in a test run); Cancel closes it.
  ::setenv("KESTROVA_PROGRAM_DIR", ww.folders.ProgramDir().c_str(), 1);
  auto* page = static_cast<TfrmEsy_PortForward*>(ww.w.FindPage("TfrmEsy_PortForward"));
  boxes.clear();
  int shown = 0;
  QTimer::singleShot(0, [&] {
    if (auto* w = qobject_cast<TfrmPortForward*>(QApplication::activeModalWidget())) {
      ++shown;
      EXPECT_TRUE(PumpUntil([&] { return !w->Busy(); }));
      EXPECT_EQ(w->cmbRouter->count(), 0);
      EXPECT_EQ(w->RouterAddress, "192.168.0.254");
      EXPECT_EQ(w->Tables().need.size(), 1u);
      w->BitBtn2->click();
    }
  });
  page->BitBtn1->click();
  EXPECT_EQ(shown, 1);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, Msg("IDS_READROUTER_ERROR"));
  ::unsetenv("KESTROVA_PROGRAM_DIR");
}

TEST_F(RemotePagesTest, WithoutACameraThePagesAreEmpty) {
  SelectedMac = "00:00:00:00:00:01";
  SelectedIp = "192.168.0.250";
  auto* forward = Show<TfrmEsy_PortForward>("TfrmEsy_PortForward");
  for (QLineEdit* e : {forward->edIP, forward->edPort, forward->edDataPort, forward->edOuterUrl}) {
    EXPECT_TRUE(e->text().isEmpty());
  }
  EXPECT_EQ(forward->RunningCheck(), nullptr);
  forward->btnCheck->click();
  forward->BitBtn1->click();
  auto* ddns = Show<TfrmEsy_ChkDDNS>("TfrmEsy_ChkDDNS");
  EXPECT_EQ(ddns->RunningCheck(), nullptr);
  ddns->spbCheck->click();
  ddns->spbChangeDDNS->click();
  EXPECT_EQ(ddns->RunningCheck(), nullptr);
  auto* access = Show<TfrmEsy_SelAccess>("TfrmEsy_SelAccess");
  EXPECT_TRUE(access->edLanUrl->text().isEmpty());
  EXPECT_TRUE(access->edOuterUrl->text().isEmpty());
  EXPECT_TRUE(fake.Urls().empty());
  EXPECT_TRUE(boxes.empty());
}

// ---- access step ---------------------------------------------------------------------------

TEST_F(RemotePagesTest, AccessStepAddressesAndLinks) {
  TDevInfo cam = Choose(9, "00:1A:2B:3C:4D:67", "192.168.0.67", 8080);
  auto* page = Show<TfrmEsy_SelAccess>("TfrmEsy_SelAccess");
  EXPECT_EQ(page->edLanUrl->text(), "http://192.168.0.67:8080");
  EXPECT_EQ(page->edOuterUrl->text(), "http://cam9.ddns.test");
  page->spbOpenLanUrl->click();
  page->spbOutUrlOpen->click();
  EXPECT_EQ(opened, QStringList({"http://192.168.0.67:8080", "http://cam9.ddns.test"}));

  // A server name without a dot: no Internet address.
  cam.DDnsServer = "nodot";
  ww.Listed(cam);
  ww.Show("TfrmEsy_PortForward");
  page = Show<TfrmEsy_SelAccess>("TfrmEsy_SelAccess");
  EXPECT_EQ(page->edOuterUrl->text(), "");

  opened.clear();
  OnlineCD = "http://www.kestrova.test/cd/index_cn.htm";
  page->lblHowMob->clicked();
  OnlineCD.clear();
  page->lblHowMob->clicked();
  EXPECT_EQ(opened, QStringList({"http://www.kestrova.test/cd/index_en.htm"}));

  // Set Other Camera: back to the selection with one camera more.
  CameraNumber = 1;
  page->btnNext->click();
  EXPECT_EQ(ww.Current(), "frmEsy_DevList");
  EXPECT_EQ(CameraNumber, 2);
}

}  // namespace
}  // namespace kestrova
