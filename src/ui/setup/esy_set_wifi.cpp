#include "ui/setup/esy_set_wifi.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QShowEvent>

#include "core/i18n/lang.h"
#include "net/cgi/device_series.h"
#include "net/wifi/wifi_step.h"
#include "ui/app/global.h"
#include "ui/app/lang_message_box.h"
#include "ui/app/main_form.h"
#include "ui/dialogs/countdown.h"
#include "ui/i18n/apply_strings.h"
#include "ui/setup/adv_main.h"
#include "ui/skin/controls.h"
#include "ui/skin/named_widgets.h"

namespace kestrova {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QString& s) { return s.toStdString(); }

struct WaitCursor {
  WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitCursor() { QApplication::restoreOverrideCursor(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

TTeComboBox* MakeCombo(QWidget* parent, const char* name, std::initializer_list<const char*> items, QRect at) {
  auto* c = new TTeComboBox(parent);
  c->setObjectName(QString::fromLatin1(name));
  for (const char* i : items) c->addItem(QString::fromUtf8(i));
  c->setGeometry(at);
  return c;
}

// A combo box takes a position as its item index: anything out of range selects none.
void SetPosition(QComboBox* c, int pos) { c->setCurrentIndex(pos >= 0 && pos < c->count() ? pos : -1); }

}  // namespace

TfrmEsy_SetWIFI::TfrmEsy_SetWIFI(QWidget* parent) : TWizardStepPage(parent, "TfrmEsy_SetWIFI") {
  const int w = kContentWidth;
  lblOK = NamedLabel(this, "lblOK",
                    "Make sure \"Using Wireless Lan\" is checked if you want to enable WiFi. Click \"Scan\" to find "
                    "available WiFi networks. Then select the WiFi network and enter the share key, click \"Apply\".",
                    QRect(20, 10, w - 40, 52));
  lblOK->setWordWrap(true);
  lblOK->setAlignment(Qt::AlignLeft | Qt::AlignTop);

  GroupBox1 = new TTeGroupBox(QStringLiteral("Wireless Network List"), this);
  GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
  GroupBox1->setGeometry(20, 66, 290, 270);
  lstWiFi = new QListWidget(GroupBox1);
  lstWiFi->setObjectName(QStringLiteral("lstWiFi"));
  lstWiFi->setGeometry(10, 24, 270, 200);
  BitBtn1 = new TTeButton(QStringLiteral("&Scan"), GroupBox1);
  BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
  BitBtn1->setGeometry(10, 232, 100, 28);

  const int lx = 330, ex = 470, ew = w - 20 - ex;
  Label2 = NamedLabel(this, "Label2", "SSID:", QRect(lx, 76, ex - lx - 6, 24));
  edtSSID = NamedEdit(this, "edtSSID", QRect(ex, 74, ew, 26));
  lblShareKey = NamedLabel(this, "lblShareKey", "Share Key:", QRect(lx, 110, ex - lx - 6, 24));
  edtShareKey = NamedEdit(this, "edtShareKey", QRect(ex, 108, ew, 26));
  chkUseWiFi = new TTeCheckBox(this);
  chkUseWiFi->setObjectName(QStringLiteral("chkUseWiFi"));
  chkUseWiFi->setGeometry(lx, 144, 22, 24);
  chkUseWiFi->setChecked(true);
  Label1 = new TClickLabel(this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setText(QStringLiteral("Using Wireless Lan"));
  Label1->setGeometry(lx + 24, 144, w - 20 - lx - 24, 24);

  // Set from the scanned network and the camera's settings; never shown.
  Label3 = NamedLabel(this, "Label3", "Network Type:", QRect(lx, 176, 130, 24));
  cmbMode = MakeCombo(this, "cmbMode", {"Infra", "Adhoc"}, QRect(ex, 176, ew, 26));
  Label4 = NamedLabel(this, "Label4", "Encryption:", QRect(lx, 176, 130, 24));
  cmbSecurity = MakeCombo(this, "cmbSecurity",
                          {"None", "WEP", "WPA-PSK Personal(AES)", "WPA-PSK Personal(TKIP)", "WPA2-PSK Personal(AES)",
                           "WPA2-PSK Persional(TKIP)"},
                          QRect(ex, 176, ew, 26));
  for (QWidget* x : {static_cast<QWidget*>(Label3), static_cast<QWidget*>(cmbMode), static_cast<QWidget*>(Label4),
                     static_cast<QWidget*>(cmbSecurity)})
    x->hide();

  // The WEP fields, shown for a WEP network.
  lblAuthMode = NamedLabel(this, "lblAuthMode", "Authetication:", QRect(lx, 178, ex - lx - 6, 24));
  cmbAuthMode = MakeCombo(this, "cmbAuthMode", {"Open System", "Share Key"}, QRect(ex, 176, ew, 26));
  lblHex = NamedLabel(this, "lblHex", "Key Format:", QRect(lx, 210, ex - lx - 6, 24));
  chkHex = MakeCombo(this, "chkHex", {"Hexadecimal Number", "ASCII Character"}, QRect(ex, 208, ew, 26));
  lblSelKey = NamedLabel(this, "lblSelKey", "Default TX Key:", QRect(lx, 242, ex - lx - 6, 24));
  cmbSelKey = MakeCombo(this, "cmbSelKey", {"1", "2", "3", "4"}, QRect(ex, 240, ew, 26));
  static const char* kKeyLabels[] = {"lblKey1", "lblkey2", "lblKey3", "lblKey4"};
  static const char* kKeyEdits[] = {"edtKey1", "edtKey2", "edtKey3", "edtKey4"};
  static const char* kKeyBits[] = {"cmbHex1", "cmbHex2", "cmbHex3", "cmbHex4"};
  for (int i = 0; i < 4; ++i) {
    const std::string caption = "Key " + std::to_string(i + 1) + ":";
    lblKey[size_t(i)] = NamedLabel(this, kKeyLabels[i], caption.c_str(), QRect(lx, 274, ex - lx - 6, 24));
    edtKey[size_t(i)] = NamedEdit(this, kKeyEdits[i], QRect(ex, 272, ew - 88, 26));
    cmbHex[size_t(i)] = MakeCombo(this, kKeyBits[i], {"64  Bits", "128 Bits"}, QRect(w - 20 - 82, 272, 82, 26));
  }
  for (QWidget* x : {static_cast<QWidget*>(lblAuthMode), static_cast<QWidget*>(cmbAuthMode),
                     static_cast<QWidget*>(lblHex), static_cast<QWidget*>(chkHex), static_cast<QWidget*>(lblSelKey),
                     static_cast<QWidget*>(cmbSelKey)})
    x->hide();
  for (int i = 0; i < 4; ++i) {
    lblKey[size_t(i)]->hide();
    edtKey[size_t(i)]->hide();
    cmbHex[size_t(i)]->hide();
  }

  BitBtn2 = new TTeButton(QStringLiteral("&Apply"), this);
  BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
  BitBtn2->setGeometry(ex, 308, 100, 28);
  BitBtn3 = new TTeButton(QStringLiteral("&Refresh"), this);
  BitBtn3->setObjectName(QStringLiteral("BitBtn3"));
  BitBtn3->setGeometry(ex + 108, 308, 94, 28);
  BitBtn3->hide();

  connect(BitBtn1, &QPushButton::clicked, this, &TfrmEsy_SetWIFI::BitBtn1Click);
  connect(BitBtn2, &QPushButton::clicked, this, &TfrmEsy_SetWIFI::BitBtn2Click);
  connect(BitBtn3, &QPushButton::clicked, this, &TfrmEsy_SetWIFI::BitBtn3Click);
  connect(lstWiFi, &QListWidget::itemClicked, this, [this] { lstWiFiClick(); });
  connect(chkUseWiFi, &QCheckBox::toggled, this, [this] { chkUseWiFiClick(); });
  connect(Label1, &TClickLabel::clicked, this, &TfrmEsy_SetWIFI::Label1Click);
  connect(edtShareKey, &QLineEdit::textEdited, this, [this] { edtShareKeyChange(); });
  connect(cmbSecurity, &QComboBox::activated, this, [this] { cmbSecurityChange(); });
  connect(cmbSelKey, &QComboBox::activated, this, [this] { cmbSelKeyChange(); });

  wait_ = [](int seconds, const std::string& mac, const std::string& ip, const QString& hint) {
    return WaitForCamera(seconds, mac, ip, hint);
  };
  ApplyStrings(this);
}

TfrmEsy_SetWIFI::~TfrmEsy_SetWIFI() = default;

int TfrmEsy_SetWIFI::Family() const {
  TfrmAdv_Main* adv = AdvancedWindow();
  const TDevInfo* d = adv ? adv->CurrentDevice() : nullptr;
  return d ? d->DevType : 0;
}

TWiFiStep* TfrmEsy_SetWIFI::Step() {
  TfrmAdv_Main* adv = AdvancedWindow();
  const TDevInfo* d = adv ? adv->CurrentDevice() : nullptr;
  if (!d) {
    step_.reset();
    return nullptr;
  }
  const TDevInfo& cur = step_ ? step_->Device() : *d;
  const bool same = step_ && cur.MAC == d->MAC && cur.IP == d->IP && cur.HttpPort == d->HttpPort &&
                    cur.DevType == d->DevType;
  // A camera that changed (another one, or this one elsewhere) gets a step of its own: nothing
  // read from the old one is ever sent to it.
  if (!same) {
    // The family-9 driver works on its current device: the camera as listed now (the address
    // step may have moved it since it was chosen). The same camera keeps the driver's records.
    if (d->DevType == 9) DeviceSeries().SetDevice(*d);
    step_ = std::make_unique<TWiFiStep>(*d, CameraUser, CameraPassword, DeviceSeries());
  }
  return step_.get();
}

void TfrmEsy_SetWIFI::showEvent(QShowEvent* e) {
  TWizardStepPage::showEvent(e);
  if (!e->spontaneous()) FormShow();
}

void TfrmEsy_SetWIFI::hideEvent(QHideEvent* e) {
  TWizardStepPage::hideEvent(e);
  if (!e->spontaneous()) FormHide();
}

void TfrmEsy_SetWIFI::ResetSelection() {
  edtSSID->clear();
  SetPosition(cmbSecurity, kWiFiSecNone);
  SetPosition(cmbMode, 0);
}

void TfrmEsy_SetWIFI::FormShow() {
  // Every visit reads the camera afresh (and with the credentials of this pass).
  step_.reset();
  BitBtn1->setEnabled(true);
  BitBtn1Click();
  if (!ReadWiFiSettings()) {
    ResetSelection();
    cmbSecurityChange();
    cmbSelKeyChange();
  }
}

void TfrmEsy_SetWIFI::FormHide() {
  BitBtn1->setEnabled(false);
  BitBtn2->setEnabled(false);
  BitBtn3->setEnabled(false);
}

void TfrmEsy_SetWIFI::BitBtn1Click() {
  WaitCursor busy;
  lstWiFi->clear();
  networks_.clear();
  TWiFiStep* step = Step();
  if (!step) return;
  const TWiFiScan r = step->Scan(networks_);
  for (const auto& n : networks_) lstWiFi->addItem(Q(n.Text));
  if (r == TWiFiScan::CantConnect) LangMessageBox("IDS_CANTCONNECT", "IDS_ERROR", MB_ICONSTOP);
}

TWiFiForm TfrmEsy_SetWIFI::FormFromControls() const {
  TWiFiForm f;
  f.UseWiFi = chkUseWiFi->isChecked();
  f.SSID = S(edtSSID->text());
  f.ShareKey = S(edtShareKey->text());
  f.Mode = cmbMode->currentIndex();
  f.Security = cmbSecurity->currentIndex();
  f.AuthMode = cmbAuthMode->currentIndex();
  f.KeyFormat = chkHex->currentIndex();
  f.SelKey = cmbSelKey->currentIndex();
  for (size_t i = 0; i < 4; ++i) {
    f.Keys[i] = S(edtKey[i]->text());
    f.KeyBits[i] = cmbHex[i]->currentIndex();
  }
  f.Chosen = tag_;
  return f;
}

void TfrmEsy_SetWIFI::ControlsFromForm(const TWiFiForm& f) {
  {
    const QSignalBlocker block(chkUseWiFi);  // the caller runs the click handler where it applies
    chkUseWiFi->setChecked(f.UseWiFi);
  }
  edtSSID->setText(Q(f.SSID));
  edtShareKey->setText(Q(f.ShareKey));
  SetPosition(cmbMode, f.Mode);
  SetPosition(cmbSecurity, f.Security);
  SetPosition(cmbAuthMode, f.AuthMode);
  SetPosition(chkHex, f.KeyFormat);
  SetPosition(cmbSelKey, f.SelKey);
  for (size_t i = 0; i < 4; ++i) {
    edtKey[i]->setText(Q(f.Keys[i]));
    SetPosition(cmbHex[i], f.KeyBits[i]);
  }
  tag_ = f.Chosen;
}

void TfrmEsy_SetWIFI::lstWiFiClick() {
  const int row = lstWiFi->currentRow();
  if (row < 0 || size_t(row) >= networks_.size()) return;
  TWiFiForm f = FormFromControls();
  if (!ChooseNetwork(Family(), networks_[size_t(row)], row, f)) {
    tag_ = row;  // the position is remembered; nothing else changes
    return;
  }
  ControlsFromForm(f);
  cmbSecurityChange();
  cmbSelKeyChange();
  // A chosen network is something to apply, on every visit (leaving the page disabled Apply).
  BitBtn2->setEnabled(true);
}

void TfrmEsy_SetWIFI::cmbSecurityChange() {
  const TWiFiFieldsShown shown = FieldsForSecurity(Family(), cmbSecurity->currentIndex());
  for (QWidget* x : {static_cast<QWidget*>(lblHex), static_cast<QWidget*>(chkHex), static_cast<QWidget*>(lblSelKey),
                     static_cast<QWidget*>(cmbSelKey), static_cast<QWidget*>(lblAuthMode),
                     static_cast<QWidget*>(cmbAuthMode)})
    x->setVisible(shown.Wep);
  for (size_t i = 0; i < 4; ++i) {
    lblKey[i]->hide();
    edtKey[i]->hide();
    cmbHex[i]->hide();
  }
  lblShareKey->setVisible(shown.ShareKey);
  edtShareKey->setVisible(shown.ShareKey);
}

void TfrmEsy_SetWIFI::cmbSelKeyChange() {
  for (size_t i = 0; i < 4; ++i) {
    lblKey[i]->hide();
    edtKey[i]->hide();
    cmbHex[i]->hide();
  }
  const int k = KeyFieldShown(!cmbSelKey->isHidden(), cmbSelKey->currentIndex());
  if (k < 0) return;
  lblKey[size_t(k)]->show();
  edtKey[size_t(k)]->show();
  cmbHex[size_t(k)]->show();
}

void TfrmEsy_SetWIFI::chkUseWiFiClick() {
  cmbSecurity->setEnabled(chkUseWiFi->isChecked());
  BitBtn2->setEnabled(true);
  BitBtn3->setEnabled(true);
}

void TfrmEsy_SetWIFI::Label1Click() { chkUseWiFi->setChecked(!chkUseWiFi->isChecked()); }

void TfrmEsy_SetWIFI::edtShareKeyChange() {
  BitBtn2->setEnabled(true);
  BitBtn3->setEnabled(true);
}

bool TfrmEsy_SetWIFI::ReadWiFiSettings() {
  TWiFiStep* step = Step();
  if (!step) return false;
  const int family = step->Device().DevType;
  if (family == 5) {
    // The check box means nothing to this family (its write always sends 0); once such a
    // camera was shown it stays hidden.
    Label1->hide();
    chkUseWiFi->hide();
  }
  TWiFiForm f = FormFromControls();
  TWiFiRead r;
  {
    WaitCursor busy;
    r = step->ReadSettings(networks_, f);
  }
  if (r == TWiFiRead::CantConnect) {
    LangMessageBox("IDS_CANTCONNECT", "IDS_ERROR", MB_ICONSTOP);
    return false;
  }
  if (family == 9) {
    // The check box and the remembered position follow the camera even when its network is
    // not in the list; the rest only when it is.
    {
      const QSignalBlocker block(chkUseWiFi);
      chkUseWiFi->setChecked(f.UseWiFi);
    }
    chkUseWiFiClick();
    tag_ = f.Chosen;
    if (r != TWiFiRead::Ok) return false;
    edtSSID->setText(Q(f.SSID));
    edtShareKey->setText(Q(f.ShareKey));
    SetPosition(cmbSecurity, f.Security);
    SetPosition(cmbMode, f.Mode);
    return true;
  }
  if (r != TWiFiRead::Ok) return false;
  ControlsFromForm(f);
  if (family == 5) {
    if (f.Chosen >= 0) lstWiFi->setCurrentRow(f.Chosen);
    edtSSID->setReadOnly(true);
    // The share key shows for the encrypted network the camera is on, and Apply is usable
    // (this family has no check box whose click would enable it).
    cmbSecurityChange();
    BitBtn2->setEnabled(true);
    return true;
  }
  chkUseWiFiClick();
  cmbSecurityChange();
  cmbSelKeyChange();
  return true;
}

void TfrmEsy_SetWIFI::BitBtn3Click() {
  if (!ReadWiFiSettings()) ResetSelection();
}

void TfrmEsy_SetWIFI::BitBtn2Click() {
  TWiFiStep* step = Step();
  if (!step) return;
  TWiFiApplyResult r;
  {
    WaitCursor busy;
    r = step->Apply(FormFromControls(), networks_, SelectedMac);
  }
  switch (r.Status) {
    case TWiFiApply::NoNetwork:
      LangMessageBox("IDS_WIFINOTCHOSEN", "IDS_WARNING", MB_ICONWARNING);
      return;
    case TWiFiApply::NotAccepted:
      return;  // the camera did not take them: nothing to say
    case TWiFiApply::RestartFailed:
      LangMessageBox("IDS_CANTCONNECT", "IDS_ERROR", MB_ICONSTOP);
      return;
    case TWiFiApply::Restarting:
      AwaitRestart(r.AwaitMac);
      return;
  }
}

void TfrmEsy_SetWIFI::AwaitRestart(const std::string& mac) {
  const int r = wait_(60, mac, SelectedIp, LangText(LoadStr("IDS_REMOVELAN")));
  if (r == 0) {
    lblOK->setText(LangText(LoadStr("IDS_SETWIFIOK")));
    return;
  }
  if (r == 1) {
    ShowStep("TfrmEsy_DevList");
    return;
  }
  if (LangMessageBox("IDS_SETWIFIFAIL", "IDS_ERROR", MB_YESNO | MB_ICONSTOP) != IDYES) return;
  const int r2 = wait_(60, SelectedMac, SelectedIp, LangText(LoadStr("IDS_PLUGLAN")));
  if (r2 == 2) (void)LangMessageBox("IDS_NOFOUND", "IDS_WARNING", MB_OK | MB_ICONWARNING);
}

}  // namespace kestrova
