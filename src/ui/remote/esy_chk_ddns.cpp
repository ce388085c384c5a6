#include "ui/remote/esy_chk_ddns.h"

#include <algorithm>

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QShowEvent>

#include "core/i18n/lang.h"
#include "core/remote/ddns_check.h"
#include "ui/app/global.h"
#include "ui/app/lang_message_box.h"
#include "ui/dialogs/countdown.h"
#include "ui/dialogs/dialog_placement.h"
#include "ui/i18n/apply_strings.h"
#include "ui/remote/check_threads.h"
#include "ui/remote/esy_set_ddns.h"
#include "ui/remote/result_memo.h"
#include "ui/setup/adv_main.h"
#include "ui/skin/controls.h"
#include "ui/skin/named_widgets.h"

namespace kestrova {

namespace {

QString Q(const std::string& s) { return LangText(s); }

const TDevInfo* CurrentDevice() {
  TfrmAdv_Main* adv = AdvancedWindow();
  return adv ? adv->CurrentDevice() : nullptr;
}

}  // namespace

TfrmEsy_ChkDDNS::TfrmEsy_ChkDDNS(QWidget* parent) : TWizardStepPage(parent, "TfrmEsy_ChkDDNS") {
  auto label = [this](const char* name, const char* text, int x, int y, int w) {
    return NamedLabel(this, name, text, QRect(x, y, w, 24));
  };
  auto edit = [this](const char* name, int x, int y, int w) {
    return NamedEdit(this, name, QRect(x, y, w, 26));
  };
  Label2 = label("Label2", "SN:", 40, 22, 70);
  edDDNSID = edit("edDDNSID", 110, 21, 170);
  Label3 = label("Label3", "Server:", 300, 22, 80);
  edDDNSServer = edit("edDDNSServer", 380, 21, 232);
  Label4 = label("Label4", "Check Information:", 40, 58, 300);
  memResult = MakeResultMemo(this, QRect(40, 84, 572, 200));

  lblOK = new QLabel(this);
  lblOK->setObjectName(QStringLiteral("lblOK"));
  lblOK->setWordWrap(true);
  lblOK->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  lblOK->setGeometry(40, 292, 380, 56);

  auto button = [this](const char* name, const char* text, int x, int w) {
    auto* b = new TTeSpeedButton(this);
    b->setObjectName(QString::fromLatin1(name));
    b->setText(QString::fromLatin1(text));
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    b->setGeometry(x, 292, w, 28);
    return b;
  };
  spbCheck = button("spbCheck", "&Redetect", 428, 90);
  spbChangeDDNS = button("spbChangeDDNS", "&Modify", 524, 88);
  connect(spbCheck, &QToolButton::clicked, this, &TfrmEsy_ChkDDNS::spbCheckClick);
  connect(spbChangeDDNS, &QToolButton::clicked, this, &TfrmEsy_ChkDDNS::spbChangeDDNSClick);

  ApplyStrings(this);
  FitButtons();
}

void TfrmEsy_ChkDDNS::FitButtons() {
  int right = 612;
  for (TTeSpeedButton* b : {spbChangeDDNS, spbCheck}) {
    const int w = std::max(80, b->sizeHint().width() + 12);
    right -= w;
    b->setGeometry(right, b->y(), w, b->height());
    right -= 8;
  }
  lblOK->setGeometry(40, lblOK->y(), right - 40, lblOK->height());
}

TfrmEsy_ChkDDNS::~TfrmEsy_ChkDDNS() { ForgetCheck(); }

void TfrmEsy_ChkDDNS::showEvent(QShowEvent* e) {
  TWizardStepPage::showEvent(e);
  if (!e->spontaneous()) FormShow();
}

void TfrmEsy_ChkDDNS::hideEvent(QHideEvent* e) {
  TWizardStepPage::hideEvent(e);
  // A check still running when the step is left writes nowhere.
  if (!e->spontaneous()) ForgetCheck();
}

void TfrmEsy_ChkDDNS::ForgetCheck() {
  if (check_) check_->ClearOnReport();
  check_ = nullptr;
}

void TfrmEsy_ChkDDNS::ClearResult() {
  box_.Clear();
  memResult->clear();
}

void TfrmEsy_ChkDDNS::FormShow() {
  FitButtons();  // the captions may be another language's now
  lblOK->setText(Q(LoadStr("IDS_CHECKING")));
  const TDevInfo* device = CurrentDevice();
  if (!device) {
    // Nothing to check: the last camera's lines do not stand for this visit.
    ForgetCheck();
    ClearResult();
    return;
  }
  const int family = device->DevType;
  spbChangeDDNS->setVisible(family != 5 && family != 8 && family != 9);
  edDDNSID->setText(Q(device->DDnsUser));
  edDDNSServer->setText(Q(device->DDnsServer));
  ClearResult();
  StartCheck(*device);
}

void TfrmEsy_ChkDDNS::StartCheck(const TDevInfo& device) {
  ForgetCheck();
  auto* thread = new TCheckDDNSThread(device, DeviceLanUrl(device), CameraUser, CameraPassword);
  thread->SetOnReport([this](int code, const std::string& text) { ShowReport(code, text); });
  check_ = thread;
  thread->start();
}

void TfrmEsy_ChkDDNS::ShowReport(int code, const std::string& text) {
  box_.Apply(code, text);
  ShowResultBox(memResult, box_);
  if (code == remote::kReportSuccess) lblOK->setText(Q(LoadStr("IDS_CONTINUESET")));
}

void TfrmEsy_ChkDDNS::spbCheckClick() {
  const TDevInfo* device = CurrentDevice();
  if (!device) return;
  ForgetCheck();
  ClearResult();
  lblOK->setText(Q(LoadStr("IDS_CHECKING")));
  StartCheck(*device);
}

void TfrmEsy_ChkDDNS::spbChangeDDNSClick() {
  const TDevInfo* listed = CurrentDevice();
  if (!listed) return;
  const TDevInfo device = *listed;  // the dialog and the wait run the event loop
  TfrmEsy_SetDDNS dlg(DeviceLanUrl(device), device.DevType, this);
  dlg.edID->setText(edDDNSID->text());
  dlg.edPwd->setText(Q(device.DDnsPwd));
  dlg.edServer->setText(edDDNSServer->text());
  int result;
  if (dialogRun_) {
    result = dialogRun_(dlg);
  } else {
    CenterOnMainWindow(&dlg);
    result = dlg.exec();
  }
  if (result != QDialog::Accepted) return;

  const int r = cameraWait_ ? cameraWait_(remote::kSetDdnsWaitSeconds, SelectedMac, SelectedIp)
                            : WaitForCamera(remote::kSetDdnsWaitSeconds, SelectedMac, SelectedIp);
  switch (r) {
    case 0:
      spbCheckClick();
      if (const TDevInfo* back = CurrentDevice()) {
        edDDNSID->setText(Q(back->DDnsUser));
        edDDNSServer->setText(Q(back->DDnsServer));
      }
      break;
    case 1:
      ShowStep("TfrmEsy_DevList");
      break;
    default:
      if (LangMessageBox("IDS_NOFOUNDAFTERSET", "IDS_WARNING", MB_YESNO | MB_ICONWARNING) == IDYES) {
        ShowStep("TfrmEsy_DevList");
      }
      break;
  }
}

}  // namespace kestrova
