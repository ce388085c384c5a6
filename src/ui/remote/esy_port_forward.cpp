#include "ui/remote/esy_port_forward.h"

#include <algorithm>

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QShowEvent>

#include "core/i18n/lang.h"
#include "ui/app/global.h"
#include "ui/i18n/apply_strings.h"
#include "ui/remote/check_threads.h"
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

TTeSpeedButton* OpenButton(QWidget* parent, const char* name, int x, int y) {
  auto* b = new TTeSpeedButton(parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setText(QStringLiteral("Open"));
  b->setIcon(QIcon(QStringLiteral(":/images/icons/open.svg")));
  b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  b->setGeometry(x, y - 2, 100, 30);
  return b;
}

}  // namespace

TfrmEsy_PortForward::TfrmEsy_PortForward(QWidget* parent) : TWizardStepPage(parent, "TfrmEsy_PortForward") {
  auto label = [this](const char* name, const char* text, int x, int y, int w) {
    return NamedLabel(this, name, text, QRect(x, y, w, 24));
  };
  auto edit = [this](const char* name, int x, int y, int w) {
    return NamedEdit(this, name, QRect(x, y - 1, w, 26));
  };
  const int ex = 200;  // where the edits start
  Label1 = label("Label1", "IP address:", 40, 14, 160);
  edIP = edit("edIP", ex, 14, 130);
  Label2 = label("Label2", "Port:", 346, 14, 60);
  edPort = edit("edPort", 406, 14, 60);
  Label5 = label("Label5", "RTSP Port:", 480, 14, 80);
  edDataPort = edit("edDataPort", 560, 14, 52);
  Label4 = label("Label4", "Router IP address:", 40, 48, 160);
  edRouterIP = edit("edRouterIP", ex, 48, 130);
  spbOpenRouter = OpenButton(this, "spbOpenRouter", 346, 48);
  Label6 = label("Label6", "Internet access URL:", 40, 82, 160);
  edOuterUrl = edit("edOuterUrl", ex, 82, 260);
  imgArrow = new TImage(this);
  imgArrow->setObjectName(QStringLiteral("imgArrow"));
  imgArrow->LoadPicture(QStringLiteral(":/images/icons/arrow_right.svg"));
  imgArrow->setGeometry(ex + 266, 83, 24, 24);
  spbOpenOuter = OpenButton(this, "spbOpenOuter", ex + 296, 82);
  Label3 = label("Label3", "Check information:", 40, 116, 300);
  memResult = MakeResultMemo(this, QRect(40, 140, 572, 144));

  lblOK = new QLabel(this);
  lblOK->setObjectName(QStringLiteral("lblOK"));
  lblOK->setWordWrap(true);
  lblOK->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  lblOK->setGeometry(40, 292, 360, 60);

  auto button = [this](const char* name, const char* text, int y) {
    auto* b = new TTeSpeedButton(this);
    b->setObjectName(QString::fromLatin1(name));
    b->setText(QString::fromLatin1(text));
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    b->setGeometry(412, y, 200, 28);
    return b;
  };
  BitBtn1 = button("BitBtn1", "&Set port mapping", 290);
  btnCheck = button("btnCheck", "&Redetect", 322);

  connect(btnCheck, &QToolButton::clicked, this, &TfrmEsy_PortForward::btnCheckClick);
  connect(BitBtn1, &QToolButton::clicked, this, &TfrmEsy_PortForward::BitBtn1Click);
  connect(spbOpenRouter, &QToolButton::clicked, this, &TfrmEsy_PortForward::spbOpenRouterClick);
  connect(spbOpenOuter, &QToolButton::clicked, this, &TfrmEsy_PortForward::spbOpenOuterClick);

  ApplyStrings(this);
  FitButtons();
  // The router is the PC's gateway as the advanced window shows it, read once.
  if (TfrmAdv_Main* adv = AdvancedWindow()) edRouterIP->setText(QString::fromStdString(adv->PcGateway()));
}

TfrmEsy_PortForward::~TfrmEsy_PortForward() { ForgetCheck(); }

void TfrmEsy_PortForward::FitButtons() {
  int w = 200;
  for (TTeSpeedButton* b : {BitBtn1, btnCheck}) w = std::max(w, b->sizeHint().width() + 12);
  for (TTeSpeedButton* b : {BitBtn1, btnCheck}) b->setGeometry(612 - w, b->y(), w, b->height());
  lblOK->setGeometry(40, lblOK->y(), 612 - w - 8 - 40, lblOK->height());
}

void TfrmEsy_PortForward::showEvent(QShowEvent* e) {
  TWizardStepPage::showEvent(e);
  if (!e->spontaneous()) FormShow();
}

void TfrmEsy_PortForward::hideEvent(QHideEvent* e) {
  TWizardStepPage::hideEvent(e);
  if (!e->spontaneous()) ForgetCheck();
}

void TfrmEsy_PortForward::ForgetCheck() {
  if (check_) check_->ClearOnReport();
  check_ = nullptr;
}

void TfrmEsy_PortForward::ShowOpenOuter(bool on) {
  imgArrow->setVisible(on);
  spbOpenOuter->setVisible(on);
}

void TfrmEsy_PortForward::FormShow() {
  FitButtons();  // the captions may be another language's now
  const TDevInfo* device = CurrentDevice();
  if (device) {
    const bool family8 = device->DevType == 8;
    edDataPort->setVisible(family8);
    Label5->setVisible(family8);
    edIP->setText(Q(device->IP));
    edPort->setText(QString::number(device->HttpPort));
    edDataPort->setText(QString::number(device->DataPort));
    edOuterUrl->setText(Q(DeviceOuterUrl(device)));
    box_.Clear();
    memResult->clear();
    StartCheck(*device);
  } else {
    for (QLineEdit* e : {edIP, edPort, edDataPort, edOuterUrl}) e->clear();
    // No camera: the last one's check and lines do not stand for this visit.
    ForgetCheck();
    box_.Clear();
    memResult->clear();
  }
  ShowOpenOuter(false);
  lblOK->setText(Q(LoadStr("IDS_SETPORTMAPPING")));
}

void TfrmEsy_PortForward::StartCheck(const TDevInfo& device) {
  ForgetCheck();
  auto* thread = new TCheckFortwordThread(device.DDnsServer, device.DDnsUser);
  thread->SetOnReport([this](int code, const std::string& text) { ShowReport(code, text); });
  check_ = thread;
  thread->start();
}

void TfrmEsy_PortForward::ShowReport(int code, const std::string& text) {
  box_.Apply(code, text);
  ShowResultBox(memResult, box_);
  if (code == remote::kReportSuccess) {
    ShowOpenOuter(true);
    lblOK->setText(Q(LoadStr("IDS_PORTMAPPINGOK")));
  }
}

void TfrmEsy_PortForward::btnCheckClick() {
  ForgetCheck();
  const TDevInfo* device = CurrentDevice();
  if (!device) return;
  box_.Clear();
  memResult->clear();
  StartCheck(*device);
  ShowOpenOuter(false);
}

void TfrmEsy_PortForward::BitBtn1Click() {
  const TDevInfo* device = CurrentDevice();
  if (!device) return;
  const bool family8 = device->DevType == 8;
  std::vector<TPortMappingAsk> mappings{{edIP->text().toStdString(), edPort->text().toStdString(), "TCP"}};
  if (family8) mappings.push_back({edIP->text().toStdString(), edDataPort->text().toStdString(), "TCP"});
  const std::string router = edRouterIP->text().toStdString();
  const bool ok = mappingRun_ ? mappingRun_(router, mappings) : RunPortMapping(router, mappings);
  if (ok) btnCheck->click();
}

void TfrmEsy_PortForward::spbOpenRouterClick() {
  if (!edRouterIP->text().isEmpty()) OpenAddress(QStringLiteral("http://") + edRouterIP->text());
}

void TfrmEsy_PortForward::spbOpenOuterClick() {
  if (!edOuterUrl->text().isEmpty()) OpenAddress(edOuterUrl->text());
}

}  // namespace kestrova
