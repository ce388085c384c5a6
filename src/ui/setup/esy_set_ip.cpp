#include "ui/setup/esy_set_ip.h"

#include <QApplication>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QShowEvent>
#include <QTime>
#include <QTimer>

#include "core/app/wizard.h"
#include "core/i18n/lang.h"
#include "core/setup/address_rules.h"
#include "net/cgi/device_series.h"
#include "net/platform/scaled_clock.h"
#include "net/setnet/camera_lookup.h"
#include "net/setnet/setnet.h"
#include "ui/app/global.h"
#include "ui/app/main_form.h"
#include "ui/dialogs/auth_input.h"
#include "ui/dialogs/dialog_placement.h"
#include "ui/discovery/check_dev_thread.h"
#include "ui/i18n/apply_strings.h"
#include "ui/setup/adv_main.h"
#include "ui/skin/controls.h"

namespace kestrova {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// A message of the language file with its "%s" replaced by arg.
QString Message(const std::string& key, const std::string& arg = {}) {
  QString text = LangText(LoadStr(key));
  if (!arg.empty()) text.replace(QStringLiteral("%s"), Q(arg));
  return text;
}

struct WaitCursor {
  WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitCursor() { QApplication::restoreOverrideCursor(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

void SetShown(std::initializer_list<QWidget*> widgets, bool on) {
  for (QWidget* w : widgets) w->setVisible(on);
}

QLineEdit* HiddenEdit(QWidget* parent, const char* name, const char* label, const char* caption) {
  auto* l = new QLabel(QString::fromLatin1(caption), parent);
  l->setObjectName(QString::fromLatin1(label));
  l->hide();
  auto* e = new QLineEdit(parent);
  e->setObjectName(QString::fromLatin1(name));
  e->setReadOnly(true);
  e->hide();
  return e;
}

}  // namespace

TfrmEsy_SetIP::TfrmEsy_SetIP(QWidget* parent) : TWizardStepPage(parent, "TfrmEsy_SetIP") {
  const int w = kContentWidth;

  Image1 = new TImage(this);
  Image1->setObjectName(QStringLiteral("Image1"));
  Image1->LoadPicture(QStringLiteral(":/images/steps/progress.svg"));
  Image1->setGeometry((w - 48) / 2, 48, 48, 48);

  lblChecking = new QLabel(this);
  lblChecking->setObjectName(QStringLiteral("lblChecking"));
  lblChecking->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  lblChecking->setWordWrap(true);
  {
    // The theme colours every label; the progress and failure line stays red.
    lblChecking->setStyleSheet(QStringLiteral("color: #c01c1c;"));
    QFont f = lblChecking->font();
    f.setPointSize(10);
    lblChecking->setFont(f);
  }
  lblChecking->setGeometry(40, 110, w - 80, 90);

  lblOK = new QLabel(this);
  lblOK->setObjectName(QStringLiteral("lblOK"));
  lblOK->setWordWrap(true);
  lblOK->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  lblOK->setGeometry(40, 30, w - 80, 120);
  lblOK->hide();

  Label10 = new QLabel(QStringLiteral("Access URL:"), this);
  Label10->setObjectName(QStringLiteral("Label10"));
  Label10->setGeometry(40, 170, 120, 24);
  edLanUrl = new QLineEdit(this);
  edLanUrl->setObjectName(QStringLiteral("edLanUrl"));
  edLanUrl->setReadOnly(true);
  edLanUrl->setGeometry(160, 168, 270, 26);
  imgArrow = new TImage(this);
  imgArrow->setObjectName(QStringLiteral("imgArrow"));
  imgArrow->LoadPicture(QStringLiteral(":/images/icons/arrow_right.svg"));
  imgArrow->setGeometry(438, 169, 24, 24);
  spbOpenLanUrl = new TTeSpeedButton(this);
  spbOpenLanUrl->setObjectName(QStringLiteral("spbOpenLanUrl"));
  spbOpenLanUrl->setText(QStringLiteral("Open"));
  spbOpenLanUrl->setIcon(QIcon(QStringLiteral(":/images/icons/open.svg")));
  spbOpenLanUrl->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  spbOpenLanUrl->setGeometry(468, 166, 110, 30);
  connect(spbOpenLanUrl, &QToolButton::clicked, this, &TfrmEsy_SetIP::spbOpenLanUrlClick);

  lblDevAuthInfo = new QLabel(QStringLiteral("Note: Default username is \"admin\", password is blank."), this);
  lblDevAuthInfo->setObjectName(QStringLiteral("lblDevAuthInfo"));
  lblDevAuthInfo->setWordWrap(true);
  lblDevAuthInfo->setGeometry(40, 214, w - 80, 44);

  edIP = HiddenEdit(this, "edIP", "Label1", "IP Address:");
  edPort = HiddenEdit(this, "edPort", "Label11", "Port:");
  edSubMask = HiddenEdit(this, "edSubMask", "Label3", "Subnet Mask:");
  edRtspPort = HiddenEdit(this, "edRtspPort", "Label5", "RTSP Port:");
  edGateway = HiddenEdit(this, "edGateway", "Label2", "Gateway:");
  edDns = HiddenEdit(this, "edDns", "Label4", "DNS Server:");

  SetShown({Label10, edLanUrl, spbOpenLanUrl, imgArrow, lblDevAuthInfo}, false);

  Timer2 = new QTimer(this);
  Timer2->setObjectName(QStringLiteral("Timer2"));
  Timer2->setSingleShot(true);
  connect(Timer2, &QTimer::timeout, this, &TfrmEsy_SetIP::Timer2Timer);

  ApplyStrings(this);
}

TfrmEsy_SetIP::~TfrmEsy_SetIP() {
  ForgetCheck();
  SetBusy(false);
}

void TfrmEsy_SetIP::SetStatus(const QString& text) { lblChecking->setText(text); }

void TfrmEsy_SetIP::SetBusy(bool on) {
  configuring_ = on;
  SetIpBusy = on;
}

void TfrmEsy_SetIP::ForgetCheck() {
  if (checkThread_) checkThread_->ClearOnDone();
  checkThread_ = nullptr;
}

void TfrmEsy_SetIP::showEvent(QShowEvent* e) {
  TWizardStepPage::showEvent(e);
  if (e->spontaneous()) return;  // the main window coming back from the task bar
  ++run_;
  SetShown({Label10, edLanUrl, spbOpenLanUrl, imgArrow, lblDevAuthInfo, btnNext, btnJNext, lblOK}, false);
  // The last visit's verdict does not stand for this one.
  lblChecking->clear();
  Image1->show();
  lblChecking->show();
  lblOK->setStyleSheet(QStringLiteral("color: #000000;"));
  Timer2->start(ScaledMs(100));
}

void TfrmEsy_SetIP::hideEvent(QHideEvent* e) {
  TWizardStepPage::hideEvent(e);
  if (e->spontaneous()) return;
  Timer2->stop();
  ++run_;  // a wait in progress ends at its next pause
  ForgetCheck();
}

void TfrmEsy_SetIP::Timer2Timer() {
  Timer2->stop();
  if (running_) {
    // A run abandoned by leaving the page is still unwinding from its pause: start after it.
    Timer2->start(ScaledMs(100));
    return;
  }
  FillFromDevice();
}

void TfrmEsy_SetIP::FillFromDevice() {
  TfrmAdv_Main* adv = AdvancedWindow();
  const TDevInfo* listed = adv ? adv->CurrentDevice() : nullptr;
  if (!listed) {
    Image1->hide();
    SetStatus(Message("IDS_CANTCONNECT"));
    return;
  }
  // A copy: the list changes while the step waits.
  const TDevInfo device = *listed;
  edIP->setText(Q(device.IP));
  edPort->setText(QString::number(device.HttpPort));
  edSubMask->setText(Q(device.NetMask));
  edRtspPort->setText(QString::number(device.DataPort));
  edGateway->setText(Q(device.Gateway));
  edLanUrl->setText(Q(DeviceLanUrl(device)));
  ConfigureCamera(device);
}

bool TfrmEsy_SetIP::Pause(int ms, int run) {
  QEventLoop loop;
  QTimer::singleShot(ScaledMs(ms), &loop, &QEventLoop::quit);
  loop.exec();
  return run == run_;
}

void TfrmEsy_SetIP::ConfigureCamera(const TDevInfo& device) {
  TfrmAdv_Main* adv = AdvancedWindow();
  if (!adv) return;
  const int run = run_;
  running_ = true;

  TSetIpIo io;
  io.Probe = [adv](const std::string& ip) { return adv->ProbeAddress(ip, kAutoSettingProbeTimeoutMs); };
  io.Apply = [this](const TDevInfo& old, const TDevInfo& neu) {
    return apply_ ? apply_(old, neu) : ApplySettingsOf(old, neu);
  };
  io.Pause = [this, run](int ms) { return Pause(ms, run); };
  io.Listed = [adv](const std::string& ip) { return adv->Devices().FindItemByIP(ip) >= 0; };
  io.OnConfiguring = [this](const TSetIpPlan&) {
    SetBusy(true);
    SetStatus(Message("IDS_CONFIGURING"));
    Image1->show();
  };
  const TSetIpPc pc{adv->PcAddress(), adv->PcGateway(), adv->PcMask()};
  const TSetIpResult r = RunSetIp(device, pc, QTime::currentTime().msec(), io);

  switch (r.Status) {
    case TSetIpResult::Abandoned:
      break;
    case TSetIpResult::Found:
      if (r.Plan.Kind == TSetIpPlan::Apply) SelectedIp = r.Device.IP;
      StartCheck(r.Device, true, run);
      break;
    case TSetIpResult::NotFound:
    case TSetIpResult::ApplyFailed:
      StartCheck(r.Plan.New, false, run);
      break;
    case TSetIpResult::InUse:
    case TSetIpResult::NoProposal:
      // Nothing was sent; the user can only go back.
      Image1->hide();
      SetStatus(Message(r.MessageKey, r.MessageArg));
      break;
  }
  SetBusy(false);
  running_ = false;
}

void TfrmEsy_SetIP::StartCheck(const TDevInfo& device, bool found, int run) {
  if (!found) {
    SetStatus(Message("IDS_CONFIGUR_ERROR"));
    Image1->hide();
    if (Pause(200, run)) GoPrevious();
    return;
  }
  lblChecking->show();
  Image1->show();
  SetStatus(Message("IDS_CHECKINGACCESS"));
  // The note names the factory account of the family; the page may have shown another one's.
  lblDevAuthInfo->setText(device.DevType == 5
                              ? Message("IDS_DEFAULTACCOUNT")
                              : LangText(ReadFormString("Form_" + objectName().toStdString(), "lblDevAuthInfo.Caption")));
  lblOK->hide();
  ForgetCheck();
  auto* thread = new TCheckDevThread(device.DevType, DeviceLanUrl(device), check_);
  thread->SetOnDone([this](TCheckDevThread& t) { CheckDone(t); });
  checkThread_ = thread;
  thread->start();
}

void TfrmEsy_SetIP::CheckDone(TCheckDevThread& thread) {
  if (checkThread_ != &thread) return;
  checkThread_ = nullptr;
  if (thread.Reachable() == 0) {
    SetStatus(Message("IDS_CANNOTVISIT"));
    lblChecking->show();
    SetShown({Image1, imgArrow, spbOpenLanUrl, Label10, edLanUrl, lblDevAuthInfo}, false);
    return;
  }
  TfrmAdv_Main* adv = AdvancedWindow();
  const TDevInfo* dev = adv ? adv->CurrentDevice() : nullptr;
  if (!dev) {
    SetStatus(Message("IDS_CANTCONNECT"));
    GoPrevious();
    return;
  }
  lblChecking->hide();
  Image1->hide();
  lblOK->setText(Message("IDS_CANVISIT"));
  lblOK->setStyleSheet(QStringLiteral("color: #000000;"));
  lblOK->show();
  edLanUrl->setText(Q(DeviceLanUrl(*dev)));
  edLanUrl->home(false);
  SetShown({Label10, edLanUrl, spbOpenLanUrl, imgArrow, lblDevAuthInfo, btnNext, btnJNext}, true);
}

void TfrmEsy_SetIP::spbOpenLanUrlClick() {
  if (!edLanUrl->text().isEmpty()) OpenAddress(edLanUrl->text());
}

bool TfrmEsy_SetIP::PromptCredentials(int family, const std::string& base) {
  TfrmAuthInput dlg(this);
  dlg.edUser->setText(Q(CameraUser));
  dlg.edPwd->setText(Q(CameraPassword));
  dlg.SetTestEnabled(true);
  dlg.SetFamily(family);
  dlg.SetBaseAddress(base);
  {
    WaitCursor wait;
    if (dlg.TestCredentials(CameraUser, CameraPassword) == 0) return true;
  }
  int result;
  if (credentialPrompt_) {
    result = credentialPrompt_(dlg);
  } else {
    CenterOnMainWindow(&dlg);
    result = dlg.exec();
  }
  if (result != QDialog::Accepted) return false;
  CameraUser = dlg.edUser->text().trimmed().toStdString();
  CameraPassword = dlg.edPwd->text().trimmed().toStdString();
  return true;
}

bool TfrmEsy_SetIP::ApplySettingsOf(const TDevInfo& old, const TDevInfo& neu) {
  // Family 9 checks the stored credentials first, unless the step's Next has passed them.
  if (neu.DevType == 9 && !CredentialsChecked && !PromptCredentials(9, CredentialBaseAddress(old))) return false;
  TfrmAdv_Main* adv = AdvancedWindow();
  if (!adv) return false;
  // The wizard's commands leave from the discovery sockets, family 8 from IdUDPServer1.
  SettingsTransport t = EngineTransport(adv->Engine());
  t.Series = &adv->Series();
  WaitCursor wait;
  return ApplySettings(old, neu, CameraUser, CameraPassword, t);
}

bool TfrmEsy_SetIP::GoNext() {
  TfrmAdv_Main* adv = AdvancedWindow();
  const TDevInfo* listed = adv ? adv->CurrentDevice() : nullptr;
  switch (SetIpNextAction(listed != nullptr, CredentialsChecked)) {
    case TSetIpNext::Stay:
      return false;
    case TSetIpNext::PromptThenMove: {
      const TDevInfo dev = *listed;  // the prompt runs an event loop
      if (!PromptCredentials(dev.DevType, CredentialBaseAddress(dev))) return false;
      break;
    }
    case TSetIpNext::Move:
      break;
  }
  CredentialsChecked = true;
  ShowStep("TfrmEsy_SetWIFI");
  // The next visit starts clean.
  SetShown({lblOK, Label10, edLanUrl, spbOpenLanUrl, imgArrow, lblDevAuthInfo}, false);
  return true;
}

}  // namespace kestrova
