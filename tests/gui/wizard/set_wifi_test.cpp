// The wireless step in the real main window, offscreen, against fake cameras on 127.0.0.1: what
// the page shows for the scanned networks and the camera's settings, which key fields each
// choice shows, and what Apply and the restart wait lead to (the countdown is the test's).
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>

#include "core/i18n/lang.h"
#include "gui/app/qt_test_env.h"
#include "gui/wizard/wizard_fixture.h"
#include "gui/wizard/wifi_cameras.h"
#include "net/cgi/device_series.h"
#include "net/ctp/ctp_socket.h"
#include "ui/app/lang_message_box.h"
#include "ui/i18n/apply_strings.h"
#include "ui/setup/esy_set_wifi.h"
#include "ui/skin/controls.h"

namespace kestrova {
namespace {

using testing::CtpWiFiCamera;
using testing::WebWiFiCamera;
using testing::WizardCamera;
using testing::WizardWindow;

const auto* const kQtEnv = ::testing::AddGlobalTestEnvironment(new testing::QtTestEnvironment("gui_set_wifi_test"));

QString Msg(const char* key) { return LangText(LoadStr(key)); }

struct WaitCall {
  int seconds;
  std::string mac, ip;
  QString hint;
};

class SetWiFiPageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetMessageBoxHook([this](const MessageBoxCall& c) {
      boxes.push_back(c);
      return answer;
    });
    test::NoProxyForLoopback();
  }
  void TearDown() override {
    SetMessageBoxHook(nullptr);
    CtpPoolClear();
  }
  TfrmEsy_SetWIFI* Open(WizardWindow& ww, const TDevInfo& cam, const char* password = "pw") {
    return testing::ShowWiFiStep(ww, cam, password, [this](int s, const std::string& mac, const std::string& ip,
                                                           const QString& hint) {
      waits.push_back({s, mac, ip, hint});
      const int r = waitResults.empty() ? 0 : waitResults.front();
      if (!waitResults.empty()) waitResults.erase(waitResults.begin());
      return r;
    });
  }
  void Click(TfrmEsy_SetWIFI* page, int row) {
    page->lstWiFi->setCurrentRow(row);
    page->lstWiFiClick();
  }
  std::vector<MessageBoxCall> boxes;
  int answer = IDOK;
  std::vector<WaitCall> waits;
  std::vector<int> waitResults;
};

// Which of the optional fields show.
struct Shown {
  bool wep, shareKey;
  int key;  // the key row shown, -1 none
};
Shown Fields(const TfrmEsy_SetWIFI* p) {
  Shown s{!p->chkHex->isHidden(), !p->edtShareKey->isHidden(), -1};
  EXPECT_EQ(p->lblHex->isHidden(), p->chkHex->isHidden());
  EXPECT_EQ(p->cmbSelKey->isHidden(), p->chkHex->isHidden());
  EXPECT_EQ(p->cmbAuthMode->isHidden(), p->chkHex->isHidden());
  EXPECT_EQ(p->lblShareKey->isHidden(), p->edtShareKey->isHidden());
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(p->edtKey[size_t(i)]->isHidden(), p->cmbHex[size_t(i)]->isHidden());
    EXPECT_EQ(p->edtKey[size_t(i)]->isHidden(), p->lblKey[size_t(i)]->isHidden());
    if (!p->edtKey[size_t(i)]->isHidden()) {
      EXPECT_EQ(s.key, -1) << "two key rows shown";
      s.key = i;
    }
  }
  return s;
}

TEST_F(SetWiFiPageTest, ChoicesShowTheFieldsOfTheirSecurity) {
  WizardWindow ww("en");
  WebWiFiCamera cam(2);
  TfrmEsy_SetWIFI* page = Open(ww, WizardCamera(2, "MOI0A1B2C3D4", "127.0.0.1", cam.http.Port()));
  ASSERT_EQ(page->lstWiFi->count(), 3);
  EXPECT_EQ(page->lstWiFi->item(0)->text(), "Home Net");
  // The camera's WEP settings with default key 3.
  EXPECT_EQ(page->edtSSID->text(), "Old");
  EXPECT_EQ(page->cmbSecurity->currentIndex(), kWiFiSecWep);
  Shown s = Fields(page);
  EXPECT_TRUE(s.wep);
  EXPECT_FALSE(s.shareKey);
  EXPECT_EQ(s.key, 2);
  EXPECT_EQ(page->edtKey[2]->text(), "k3");

  // WPA2-PSK AES: position 4, the share key, no WEP fields.
  Click(page, 0);
  EXPECT_EQ(page->edtSSID->text(), "Home Net");
  EXPECT_EQ(page->cmbSecurity->currentIndex(), 4);
  s = Fields(page);
  EXPECT_FALSE(s.wep);
  EXPECT_TRUE(s.shareKey);
  EXPECT_EQ(s.key, -1);

  // A kind the step cannot set changes nothing.
  Click(page, 1);
  EXPECT_EQ(page->edtSSID->text(), "Home Net");
  EXPECT_EQ(page->cmbSecurity->currentIndex(), 4);

  // WEP: key format, default key (back to key 1) and the first key's fields.
  Click(page, 2);
  EXPECT_EQ(page->cmbSecurity->currentIndex(), kWiFiSecWep);
  s = Fields(page);
  EXPECT_TRUE(s.wep);
  EXPECT_FALSE(s.shareKey);
  EXPECT_EQ(s.key, 0);
  EXPECT_TRUE(boxes.empty());

  // Clicking the label toggles the check box, which enables the security selector.
  ASSERT_TRUE(page->chkUseWiFi->isChecked());
  page->Label1Click();
  EXPECT_FALSE(page->chkUseWiFi->isChecked());
  EXPECT_FALSE(page->cmbSecurity->isEnabled());
}

TEST_F(SetWiFiPageTest, ApplyThenTheRestartWait) {
  struct Case {
    const char* what;
    std::vector<int> waits;  // what each countdown ends with
    int answer;              // to the IDS_SETWIFIFAIL question
    std::vector<const char*> boxes;
    const char* pageAfter;
    bool ok;
  };
  const Case cases[] = {
      {"back in time", {0}, IDYES, {}, "frmEsy_SetWIFI", true},
      {"cancelled", {1}, IDYES, {}, "frmEsy_DevList", false},
      {"not back, waits again, found", {2, 0}, IDYES, {"IDS_SETWIFIFAIL"}, "frmEsy_SetWIFI", false},
      {"not back, twice", {2, 2}, IDYES, {"IDS_SETWIFIFAIL", "IDS_NOFOUND"}, "frmEsy_SetWIFI", false},
      {"not back, no second wait", {2}, IDNO, {"IDS_SETWIFIFAIL"}, "frmEsy_SetWIFI", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    WizardWindow ww("en");
    WebWiFiCamera cam(2);
    TfrmEsy_SetWIFI* page = Open(ww, WizardCamera(2, "MOI0A1B2C3D4", "127.0.0.1", cam.http.Port()));
    boxes.clear();
    waits.clear();
    waitResults = c.waits;
    answer = c.answer;
    Click(page, 0);
    page->edtShareKey->setText("homekey");
    page->BitBtn2Click();
    EXPECT_EQ(cam.sets, 1);
    ASSERT_EQ(waits.size(), c.waits.size());
    EXPECT_EQ(waits[0].seconds, 60);
    EXPECT_EQ(waits[0].mac, "MOI0A1B2C3D4");
    EXPECT_EQ(waits[0].ip, "127.0.0.1");
    EXPECT_EQ(waits[0].hint, Msg("IDS_REMOVELAN"));
    if (waits.size() > 1) {
      EXPECT_EQ(waits[1].hint, Msg("IDS_PLUGLAN"));
    }
    ASSERT_EQ(boxes.size(), c.boxes.size());
    for (size_t i = 0; i < boxes.size(); ++i) EXPECT_EQ(boxes[i].text, Msg(c.boxes[i]));
    if (!boxes.empty()) {
      EXPECT_EQ(boxes[0].flags, MB_YESNO | MB_ICONSTOP);
    }
    if (boxes.size() > 1) {
      EXPECT_EQ(boxes[1].flags, MB_OK | MB_ICONWARNING);
    }
    EXPECT_EQ(ww.Current(), c.pageAfter);
    EXPECT_EQ(page->lblOK->text() == Msg("IDS_SETWIFIOK"), c.ok);
  }
}

TEST_F(SetWiFiPageTest, UnreachableCameraSaysSo) {
  uint16_t closed = 0;
  {
    test::FakeHttpServer gone([](const test::HttpRequestSeen&) { return test::HttpAnswer{}; });
    closed = gone.Port();
  }
  WizardWindow ww("en");
  TfrmEsy_SetWIFI* page = Open(ww, WizardCamera(2, "MOI0A1B2C3D4", "127.0.0.1", closed));
  EXPECT_EQ(page->lstWiFi->count(), 0);
  ASSERT_FALSE(boxes.empty());
  EXPECT_EQ(boxes[0].text, Msg("IDS_CANTCONNECT"));
  EXPECT_EQ(boxes[0].flags, MB_ICONSTOP);
  EXPECT_EQ(page->edtSSID->text(), "");
  EXPECT_EQ(page->cmbSecurity->currentIndex(), kWiFiSecNone);
}

TEST_F(SetWiFiPageTest, Family9CameraOnAnUnlistedNetwork) {
  WebWiFiCamera cam(9, "Elsewhere", 4);
  DeviceSeries().NetConfig().ScanResultDelayMs = 0;
  WizardWindow ww("en");
  TfrmEsy_SetWIFI* page = Open(ww, WizardCamera(9, "00:1A:2B:3C:4D:70", "127.0.0.1", cam.http.Port()));
  ASSERT_EQ(page->lstWiFi->count(), 3);
  EXPECT_EQ(page->lstWiFi->item(0)->text(), "Home Net(78)");
  EXPECT_EQ(page->edtSSID->text(), "");
  EXPECT_EQ(page->cmbSecurity->currentIndex(), kWiFiSecNone);
  EXPECT_EQ(page->cmbMode->currentIndex(), 0);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(SetWiFiPageTest, CtpCameraShareKeyAndStaleChoice) {
  CtpWiFiCamera cam;
  WizardWindow ww("en");
  TfrmEsy_SetWIFI* page = Open(ww, WizardCamera(5, "00:21:6B:10:20:30", "127.0.0.1", cam.ctp.server.Port()), "vemra");
  ASSERT_EQ(page->lstWiFi->count(), 2);
  EXPECT_EQ(page->lstWiFi->currentRow(), 0);
  EXPECT_EQ(page->edtSSID->text(), "Home Net");
  EXPECT_TRUE(page->edtSSID->isReadOnly());
  EXPECT_TRUE(page->chkUseWiFi->isHidden());
  EXPECT_TRUE(page->Label1->isHidden());
  // The encrypted network the camera is on shows the share key the write sends.
  EXPECT_FALSE(page->edtShareKey->isHidden());
  EXPECT_EQ(page->edtShareKey->text(), "homekey123");
  // Leaving the page disables Apply; coming back to a CTP camera, which has no check box to
  // click, makes it usable again.
  ww.Show("TfrmEsy_DevList");
  ww.Show("TfrmEsy_SetWIFI");
  EXPECT_TRUE(page->BitBtn2->isEnabled());
  Click(page, 1);  // open network
  EXPECT_TRUE(page->edtShareKey->isHidden());
  Click(page, 0);
  EXPECT_FALSE(page->edtShareKey->isHidden());
  EXPECT_TRUE(page->chkHex->isHidden());

  // A rescan that lists nothing leaves no network to write: refused, nothing sent.
  cam.scanEmpty = true;
  page->BitBtn1Click();
  ASSERT_EQ(page->lstWiFi->count(), 0);
  boxes.clear();
  page->BitBtn2Click();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, Msg("IDS_WIFINOTCHOSEN"));
  EXPECT_EQ(boxes[0].flags, MB_ICONWARNING);
  EXPECT_TRUE(waits.empty());
  for (const auto& r : cam.ctp.Log()) EXPECT_EQ(r.find("-enable 0"), std::string::npos) << "a write was sent";
}

}  // namespace
}  // namespace kestrova
