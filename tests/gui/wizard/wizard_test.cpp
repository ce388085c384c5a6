// The easy-mode wizard in the real main window, offscreen: the navigation of every step, the
// device-selection mirror, and the address step's sequence with its waits on a scaled clock.
// Cameras are put into the advanced window's list by hand; the address step's settings
// command and reachability question are the test's. The credential prompt talks to a fake
// camera on 127.0.0.1.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "core/i18n/lang.h"
#include "gui/app/qt_test_env.h"
#include "gui/wizard/wizard_fixture.h"
#include "integration/ctp_http/fake_http.h"
#include "net/cgi/device_series.h"
#include "ui/app/lang_message_box.h"
#include "ui/remote/esy_chk_ddns.h"
#include "ui/remote/esy_port_forward.h"
#include "ui/remote/esy_sel_access.h"
#include "ui/setup/esy_set_wifi.h"
#include "ui/dialogs/auth_input.h"
#include "ui/i18n/apply_strings.h"
#include "ui/skin/controls.h"

namespace kestrova {
namespace {

using testing::PumpUntil;
using testing::WizardCamera;
using testing::WizardPc;
using testing::WizardWindow;

const auto* const kQtEnv = ::testing::AddGlobalTestEnvironment(new testing::QtTestEnvironment("gui_wizard_test"));

QString Msg(const char* key) { return LangText(LoadStr(key)); }

class WizardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetTimeScale(0.001);  // the 80 s of the address step in well under a second
    SetMessageBoxHook([this](const MessageBoxCall& c) {
      boxes.push_back(c);
      return IDOK;
    });
    SetAddressOpener([this](const QString& a) { opened << a; });
    test::NoProxyForLoopback();
  }
  void TearDown() override {
    SetTimeScale(1.0);
    SetMessageBoxHook(nullptr);
    SetAddressOpener(nullptr);
    SetIpBusy = false;
  }
  std::vector<MessageBoxCall> boxes;
  QStringList opened;
};

// A family-2 camera's web server on 127.0.0.1 that takes admin with the password `good`.
struct LoopbackCamera {
  test::FakeHttpServer http{[](const test::HttpRequestSeen& r) {
    const bool ok = r.Path().find("user=admin&pwd=good") != std::string::npos;
    return test::HttpAnswer{ok ? 200 : 401, ok ? "var id=\"x\";\r\n" : "var result=\"Auth Failed\";\r\n"};
  }};
  TDevInfo Record() const { return WizardCamera(2, "ID0000000001", "127.0.0.1", http.Port()); }
};

// ---- navigation --------------------------------------------------------------------------

TEST_F(WizardTest, EveryBackAndNextWithItsConditions) {
  LoopbackCamera cam;
  WizardWindow ww("en", {WizardPc("127.0.0.10", "127.0.0.1")});
  int prompts = 0;
  int promptAnswer = QDialog::Rejected;
  ww.setIp->SetCredentialPrompt([&](TfrmAuthInput& d) {
    ++prompts;
    d.edPwd->setText(QStringLiteral(" good "));
    return promptAnswer;
  });

  enum Button { Pre, JPre, Next, JNext };
  struct Row {
    const char* page;
    Button button;
    std::function<void()> before;  // the condition the row stands for
    const char* expect;            // the window name shown afterwards
  };
  auto noCamera = [&] { ww.adv->ClearDevices(); };
  auto camera = [&] {
    ww.adv->ClearDevices();
    ww.Listed(cam.Record());
  };
  auto chosen = [&](bool checked, const char* password) {
    return [&, checked, password] {
      camera();
      SelectedMac = cam.Record().MAC;
      SelectedIp = cam.Record().IP;
      CameraUser = "admin";
      CameraPassword = password;
      CredentialsChecked = checked;
    };
  };
  auto nothing = [] {};
  const Row rows[] = {
      {"TfrmLinkSource", Pre, nothing, "frmSel_Mode"},
      {"TfrmLinkSource", JPre, nothing, "frmSel_Mode"},
      {"TfrmLinkSource", Next, nothing, "frmEsy_Line"},
      {"TfrmLinkSource", JNext, nothing, "frmEsy_Line"},
      {"TfrmEsy_Line", Pre, nothing, "frmLinkSource"},
      {"TfrmEsy_Line", JNext, nothing, "frmEsy_DevList"},
      {"TfrmEsy_DevList", Pre, nothing, "frmEsy_Line"},
      {"TfrmEsy_DevList", JPre, nothing, "frmEsy_Line"},
      {"TfrmEsy_DevList", Next, noCamera, "frmEsy_DevList"},     // nothing selected: no reaction
      {"TfrmEsy_DevList", JNext, camera, "frmEsy_SetIP"},        // the first entry is selected
      {"TfrmEsy_SetIP", Pre, nothing, "frmEsy_DevList"},
      {"TfrmEsy_SetIP", JPre, nothing, "frmEsy_DevList"},
      {"TfrmEsy_SetIP", Next, noCamera, "frmEsy_SetIP"},         // the camera left the list
      {"TfrmEsy_SetIP", Next, chosen(true, ""), "frmEsy_SetWIFI"},  // checked in this pass
      {"TfrmEsy_SetIP", JNext, chosen(false, "good"), "frmEsy_SetWIFI"},  // accepted: no dialog
      {"TfrmEsy_SetIP", Next, chosen(false, ""), "frmEsy_SetIP"},  // refused, dialog cancelled
      {"TfrmEsy_SetWIFI", Pre, nothing, "frmEsy_SetIP"},
      {"TfrmEsy_SetWIFI", Next, nothing, "frmEsy_ChkDDNS"},
      {"TfrmEsy_ChkDDNS", JPre, nothing, "frmEsy_SetWIFI"},
      {"TfrmEsy_ChkDDNS", JNext, nothing, "frmEsy_PortForward"},
      {"TfrmEsy_PortForward", Pre, nothing, "frmEsy_ChkDDNS"},
      {"TfrmEsy_PortForward", Next, nothing, "frmEsy_SelAccess"},
      {"TfrmEsy_SelAccess", JPre, nothing, "frmEsy_PortForward"},
      {"TfrmEsy_SelAccess", Next, nothing, "frmEsy_DevList"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(::testing::Message() << r.page << " button " << int(r.button) << " -> " << r.expect);
    r.before();
    auto* page = static_cast<TWizardStepPage*>(ww.Show(r.page));
    ASSERT_NE(page, nullptr);
    if (std::string(r.page) == "TfrmEsy_DevList") ww.devList->Timer1Timer(false);
    TTeButton* b = r.button == Pre ? page->btnPre : r.button == JPre ? page->BtnJPre
                 : r.button == Next ? page->btnNext : page->btnJNext;
    ASSERT_NE(b, nullptr);
    b->click();
    EXPECT_EQ(ww.Current(), r.expect);
  }
  // The refused row asked once and was cancelled; the accepted one never showed the dialog.
  EXPECT_EQ(prompts, 1);
  EXPECT_EQ(static_cast<TWizardStepPage*>(ww.w.FindPage("TfrmEsy_PortForward"))->btnJNext, nullptr);

  // A confirmed dialog stores the trimmed entries and marks the credentials checked.
  chosen(false, "")();
  promptAnswer = QDialog::Accepted;
  ww.Show("TfrmEsy_SetIP");
  ww.setIp->btnNext->click();
  EXPECT_EQ(ww.Current(), "frmEsy_SetWIFI");
  EXPECT_EQ(CameraPassword, "good");
  EXPECT_TRUE(CredentialsChecked);
  EXPECT_EQ(prompts, 2);
  // ... and within the same pass the address step asks no more.
  ww.Show("TfrmEsy_SetIP");
  ww.setIp->btnNext->click();
  EXPECT_EQ(prompts, 2);
  // Three credential tests in all. The wireless step reads the camera on each visit too: its
  // scan requests and the settings read right after them are not the address step's.
  int credentialTests = 0;
  bool afterScan = false;
  for (const std::string& p : cam.http.Paths()) {
    const bool scan = p.rfind("/wifi_scan.cgi?", 0) == 0 || p.rfind("/get_wifi_scan_result.cgi?", 0) == 0;
    if (!scan && !afterScan) ++credentialTests;
    afterScan = scan;
  }
  EXPECT_EQ(credentialTests, 3);
}

TEST_F(WizardTest, ChoosingACameraStartsANewPass) {
  WizardWindow ww;
  ww.Listed(WizardCamera(2, "ID0000000001", "192.168.0.21"));
  ww.Listed(WizardCamera(9, "00:1A:2B:3C:4D:5E", "192.168.0.22"));
  ww.Listed(WizardCamera(5, "00:21:6B:10:20:30", "192.168.0.23"));
  CredentialsChecked = true;
  CameraUser = "someone";
  CameraNumber = 7;
  ASSERT_TRUE(ww.Choose("00:21:6B:10:20:30"));
  EXPECT_EQ(ww.Current(), "frmEsy_SetIP");
  EXPECT_EQ(SelectedMac, "00:21:6B:10:20:30");
  EXPECT_EQ(SelectedIp, "192.168.0.23");
  EXPECT_EQ(CameraUser, "admin");
  EXPECT_EQ(CameraPassword, "vemra");
  EXPECT_FALSE(CredentialsChecked);
  EXPECT_EQ(CameraNumber, 3);
  // A family-9 camera is handed to the family-9 driver.
  ASSERT_TRUE(ww.Choose("00:1A:2B:3C:4D:5E"));
  ASSERT_NE(ww.adv->Series().GetDevice(), nullptr);
  EXPECT_EQ(ww.adv->Series().GetDevice()->MAC, "00:1A:2B:3C:4D:5E");
  EXPECT_EQ(CameraPassword, "");
  EXPECT_EQ(CameraNumber, 2);
}

// ---- device selection --------------------------------------------------------------------

TEST_F(WizardTest, DeviceSelectionMirrorsTheList) {
  WizardWindow ww;
  TfrmEsy_DevList* page = ww.devList;
  ww.Show("TfrmEsy_DevList");
  EXPECT_TRUE(page->plInfo->isVisible());
  EXPECT_TRUE(page->Label2->isVisible());
  EXPECT_TRUE(page->Image1->isVisible());
  EXPECT_TRUE(page->btnRefresh->isEnabled());

  ww.Listed(WizardCamera(2, "ID0000000001", "192.168.0.21"));
  ww.Listed(WizardCamera(4, "sdk-0001", "192.168.0.20"));  // family 4: never on this page
  ww.Listed(WizardCamera(8, "001e2f405060", "192.168.0.23"));
  // The page's own timer picks them up.
  ASSERT_TRUE(PumpUntil([&] { return page->ListView1->topLevelItemCount() == 2; }));
  EXPECT_FALSE(page->plInfo->isVisible());
  EXPECT_FALSE(page->Label2->isVisible());
  QTreeWidgetItem* first = page->ListView1->topLevelItem(0);
  EXPECT_EQ(first->text(0), "1");
  EXPECT_EQ(first->text(1), "sn01");
  EXPECT_EQ(first->text(2), "F");
  EXPECT_EQ(first->text(3), "192.168.0.21");
  EXPECT_EQ(first->text(4), "80");
  EXPECT_EQ(first->text(5), "ID0000000001");
  EXPECT_EQ(page->SelectedRow(), 0);  // the first entries to arrive select the first one

  // The user picks the second; the first camera vanishes, the second moves.
  page->ListView1->setCurrentItem(page->ListView1->topLevelItem(1));
  ww.adv->Devices().Remove(ww.adv->Devices().IdAt(ww.adv->Devices().FindItemByMAC("ID0000000001")));
  TDevInfo moved = WizardCamera(8, "001e2f405060", "192.168.0.99");
  ww.Listed(moved);
  page->Timer1Timer(true);
  ASSERT_EQ(page->ListView1->topLevelItemCount(), 1);
  EXPECT_EQ(page->ListView1->topLevelItem(0)->text(0), "2");  // numbers stay
  EXPECT_EQ(page->ListView1->topLevelItem(0)->text(3), "192.168.0.99");
  EXPECT_EQ(page->SelectedRow(), 0);

  // A double click acts as Next.
  emit page->ListView1->itemDoubleClicked(page->ListView1->topLevelItem(0), 0);
  EXPECT_EQ(ww.Current(), "frmEsy_SetIP");
  EXPECT_EQ(SelectedIp, "192.168.0.99");
  EXPECT_EQ(CameraNumber, 1);

  // Refresh empties the page and runs Find, which clears the list.
  ww.Show("TfrmEsy_DevList");
  page->btnRefresh->click();
  EXPECT_EQ(page->ListView1->topLevelItemCount(), 0);
  EXPECT_EQ(ww.adv->Devices().Count(), 0);
  EXPECT_TRUE(page->plInfo->isVisible());
  // The help link shows its text; hiding the page disables Refresh.
  ww.Show("TfrmEsy_Line");
  EXPECT_FALSE(page->btnRefresh->isEnabled());
}

TEST_F(WizardTest, NextOnAnEntryWhoseCameraLeftMeanwhileDoesNothing) {
  WizardWindow ww;
  ww.Listed(WizardCamera(2, "ID0000000001", "192.168.0.21"));
  ww.Show("TfrmEsy_DevList");
  ASSERT_EQ(ww.devList->SelectedRow(), 0);
  ww.adv->ClearDevices();  // gone before the next refresh
  SelectedMac = "unchanged";
  ww.devList->btnNext->click();
  EXPECT_EQ(ww.Current(), "frmEsy_DevList");
  EXPECT_EQ(SelectedMac, "unchanged");
}

// ---- the address step ----------------------------------------------------------------------

// A camera at the factory address in another subnet; the test's settings command moves it.
struct Moving {
  WizardWindow& ww;
  bool comesBack = true;
  bool vanishFirst = false;  // the camera drops out of the list during the wait
  explicit Moving(WizardWindow& w) : ww(w) {
    ww.apply = [this](const TDevInfo& old, const TDevInfo& neu) {
      EXPECT_TRUE(SetIpBusy);
      EXPECT_FALSE(ww.w.close());  // the main window refuses to close meanwhile
      if (vanishFirst) ww.adv->ClearDevices();
      if (!comesBack) return true;
      // It answers at its new address a moment later.
      QTimer::singleShot(vanishFirst ? 40 : 5, ww.adv, [this, neu] { ww.Listed(neu); });
      (void)old;
      return true;
    };
  }
};

TEST_F(WizardTest, AFactoryCameraIsMovedIntoThePcsSubnetAndAnswers) {
  WizardWindow ww;
  Moving mover(ww);
  ww.Listed(WizardCamera(5, "00:1A:2B:3C:4D:5E", "192.168.1.126", 81));
  ASSERT_TRUE(ww.Choose("00:1A:2B:3C:4D:5E"));
  ASSERT_TRUE(PumpUntil([&] { return ww.setIp->lblOK->isVisible(); }));

  ASSERT_EQ(ww.applied.size(), 1u);
  const TDevInfo& sent = ww.applied[0];
  EXPECT_EQ(sent.IP, "192.168.0.220");
  EXPECT_EQ(sent.HttpPort, 1175);
  EXPECT_EQ(sent.DataPort, 554 + 2094);
  EXPECT_EQ(sent.Gateway, "192.168.0.1");
  EXPECT_EQ(sent.IPMode, 2);
  EXPECT_EQ(ww.probed, (std::vector<std::string>{"192.168.0.220"}));
  EXPECT_EQ(ww.checked, (std::vector<std::string>{"http://192.168.0.220:1175"}));
  EXPECT_EQ(SelectedIp, "192.168.0.220");
  EXPECT_FALSE(SetIpBusy);
  EXPECT_FALSE(ww.setIp->Configuring());

  TfrmEsy_SetIP* p = ww.setIp;
  EXPECT_EQ(p->lblOK->text(), Msg("IDS_CANVISIT"));
  EXPECT_FALSE(p->lblChecking->isVisible());
  EXPECT_FALSE(p->Image1->isVisible());
  EXPECT_EQ(p->edLanUrl->text(), "http://192.168.0.220:1175");
  for (QWidget* shown : {static_cast<QWidget*>(p->Label10), static_cast<QWidget*>(p->edLanUrl),
                         static_cast<QWidget*>(p->spbOpenLanUrl), static_cast<QWidget*>(p->imgArrow),
                         static_cast<QWidget*>(p->lblDevAuthInfo), static_cast<QWidget*>(p->btnNext),
                         static_cast<QWidget*>(p->btnJNext)})
    EXPECT_TRUE(shown->isVisible()) << shown->objectName().toStdString();
  EXPECT_EQ(p->lblDevAuthInfo->text(), Msg("IDS_DEFAULTACCOUNT"));  // family 5
  EXPECT_EQ(p->edIP->text(), "192.168.1.126");  // the hidden edits hold the camera's values
  EXPECT_EQ(p->edPort->text(), "81");
  p->spbOpenLanUrl->click();
  EXPECT_EQ(opened, QStringList{"http://192.168.0.220:1175"});
  EXPECT_TRUE(ww.w.close());  // no longer busy
}

TEST_F(WizardTest, OutcomesOfTheAddressStep) {
  struct Case {
    const char* what;
    TDevInfo camera;
    bool comesBack;
    int reachable;
    TAddressState probe;
    std::vector<TNET_CARD> cards;
    const char* expectPage;    // where the wizard ends
    const char* expectStatus;  // the message lblChecking shows afterwards ("" = the success)
    size_t applied;
    size_t checked;
  } cases[] = {
      {"never reappears", WizardCamera(2, "ID0000000001", "192.168.1.126"), false, 1, TAddressState::Refused,
       {WizardPc()}, "frmEsy_DevList", "IDS_CONFIGUR_ERROR", 1, 0},
      {"reappears but does not answer", WizardCamera(8, "001e2f405060", "192.168.5.7"), true, 0,
       TAddressState::Refused, {WizardPc()}, "frmEsy_SetIP", "IDS_CANNOTVISIT", 1, 1},
      {"the address is in use", WizardCamera(9, "00:1A:2B:3C:4D:5E", "192.168.1.126"), true, 1,
       TAddressState::InUse, {WizardPc()}, "frmEsy_SetIP", "IDS_SETIPINUSE", 0, 0},
      {"no PC address", WizardCamera(2, "ID0000000001", "192.168.1.126"), true, 1, TAddressState::Refused, {},
       "frmEsy_SetIP", "IDS_NOPCADDR", 0, 0},
      {"static in the PC's subnet: checked only", WizardCamera(2, "ID0000000001", "192.168.0.50"), true, 1,
       TAddressState::Refused, {WizardPc()}, "frmEsy_SetIP", "", 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WizardWindow ww("en", c.cards);
    Moving mover(ww);
    mover.comesBack = c.comesBack;
    ww.reachable = c.reachable;
    ww.probe = {c.probe, "00:99:88:77:66:55", "neighbour"};
    ww.Listed(c.camera);
    // The messages of the window's language, with the address the in-use one names.
    const QString status =
        *c.expectStatus ? Msg(c.expectStatus).replace(QStringLiteral("%s"), QStringLiteral("192.168.0.220")) : QString();
    ASSERT_TRUE(ww.Choose(c.camera.MAC));
    const bool stays = std::string(c.expectPage) == "frmEsy_SetIP";
    ASSERT_TRUE(PumpUntil([&] {
      if (ww.setIp->Configuring()) return false;
      if (!stays) return ww.Current() == c.expectPage;
      return status.isEmpty() ? ww.setIp->lblOK->isVisible() : ww.setIp->lblChecking->text() == status;
    })) << ww.setIp->lblChecking->text().toStdString();
    EXPECT_EQ(ww.Current(), c.expectPage);
    EXPECT_EQ(ww.applied.size(), c.applied);
    EXPECT_EQ(ww.checked.size(), c.checked);
    EXPECT_FALSE(SetIpBusy);
    if (stays && !status.isEmpty()) {
      EXPECT_FALSE(ww.setIp->btnNext->isVisible());
      EXPECT_FALSE(ww.setIp->edLanUrl->isVisible());
      EXPECT_FALSE(ww.setIp->Image1->isVisible());
    }
  }
}

TEST_F(WizardTest, BackDuringTheWaitLeavesEverythingConsistent) {
  WizardWindow ww;
  const TDevInfo cam = WizardCamera(2, "ID0000000001", "192.168.1.126");
  ww.Listed(cam);
  ww.apply = [&](const TDevInfo&, const TDevInfo&) {
    // The user presses Back while the step waits for the camera.
    QTimer::singleShot(3, ww.setIp, [&] { ww.setIp->btnPre->click(); });
    return true;
  };
  ASSERT_TRUE(ww.Choose(cam.MAC));
  ASSERT_TRUE(PumpUntil([&] { return ww.Current() == "frmEsy_DevList" && !ww.setIp->Configuring(); }));
  EXPECT_FALSE(SetIpBusy);
  // The abandoned run has unwound: it checked nothing and changed nothing.
  EXPECT_TRUE(ww.checked.empty());
  EXPECT_EQ(ww.Current(), "frmEsy_DevList");
  EXPECT_EQ(SelectedMac, cam.MAC);
  EXPECT_EQ(SelectedIp, cam.IP);
  EXPECT_EQ(ww.adv->Devices().Count(), 1);

  // Choosing the camera again runs the step afresh; the camera has come back meanwhile.
  ww.Listed(ww.applied[0]);
  ww.apply = nullptr;
  ASSERT_TRUE(ww.Choose(cam.MAC));
  ASSERT_TRUE(PumpUntil([&] { return ww.setIp->lblOK->isVisible(); }));
  EXPECT_EQ(ww.applied.size(), 1u);  // at the new address in the PC's subnet: checked only
  EXPECT_EQ(ww.checked.size(), 1u);
}

TEST_F(WizardTest, ACameraThatVanishesDuringTheWaitIsLookedUpAgain) {
  {
    WizardWindow ww;
    Moving mover(ww);
    mover.vanishFirst = true;
    ww.Listed(WizardCamera(2, "ID0000000001", "192.168.1.126"));
    ASSERT_TRUE(ww.Choose("ID0000000001"));
    ASSERT_TRUE(PumpUntil([&] { return ww.setIp->lblOK->isVisible(); }));
    EXPECT_EQ(ww.setIp->edLanUrl->text(), "http://192.168.0.127");  // 126 + 1, port 80 not written
  }
  // Vanished for good: the step ends where a camera that never reappears ends.
  WizardWindow gone;
  Moving never(gone);
  never.vanishFirst = true;
  never.comesBack = false;
  gone.Listed(WizardCamera(2, "ID0000000001", "192.168.1.126"));
  ASSERT_TRUE(gone.Choose("ID0000000001"));
  ASSERT_TRUE(PumpUntil([&] { return gone.Current() == "frmEsy_DevList"; }));
  EXPECT_TRUE(gone.checked.empty());
}

TEST_F(WizardTest, ANewVisitStartsClean) {
  WizardWindow ww;
  ww.Listed(WizardCamera(5, "00:21:6B:10:20:30", "192.168.0.102"));
  ww.Listed(WizardCamera(2, "ID0000000001", "192.168.0.21"));
  ASSERT_TRUE(ww.Choose("00:21:6B:10:20:30"));
  ASSERT_TRUE(PumpUntil([&] { return ww.setIp->lblOK->isVisible(); }));
  EXPECT_EQ(ww.setIp->lblDevAuthInfo->text(), Msg("IDS_DEFAULTACCOUNT"));

  // Back, and another camera: nothing of the last verdict shows while the new one is made.
  ww.reachable = 0;
  ww.setIp->btnPre->click();
  ASSERT_TRUE(ww.Choose("ID0000000001"));
  EXPECT_FALSE(ww.setIp->lblOK->isVisible());
  EXPECT_TRUE(ww.setIp->lblChecking->text().isEmpty());
  EXPECT_FALSE(ww.setIp->btnNext->isVisible());
  ASSERT_TRUE(PumpUntil([&] { return ww.setIp->lblChecking->text() == Msg("IDS_CANNOTVISIT"); }));
  EXPECT_FALSE(ww.setIp->lblOK->isVisible());
  // The family-5 note does not stay for a camera of another family.
  EXPECT_EQ(ww.setIp->lblDevAuthInfo->text(), LangText(ReadFormString("Form_frmEsy_SetIP", "lblDevAuthInfo.Caption")));
}

TEST_F(WizardTest, WithoutTheChosenCameraTheStepSaysSo) {
  WizardWindow ww;
  SelectedMac = "nobody";
  SelectedIp = "192.168.0.250";
  ww.Show("TfrmEsy_SetIP");
  ASSERT_TRUE(PumpUntil([&] { return ww.setIp->lblChecking->text() == Msg("IDS_CANTCONNECT"); }));
  EXPECT_FALSE(ww.setIp->Image1->isVisible());
  EXPECT_TRUE(ww.applied.empty());
}

}  // namespace
}  // namespace kestrova
