#include "ui/app/static_steps.h"

#include <QLabel>
#include <QTimer>

#include "core/i18n/lang.h"
#include "ui/app/main_form.h"
#include "ui/dialogs/q_info.h"
#include "ui/i18n/apply_strings.h"
#include "ui/skin/controls.h"

namespace kestrova {

namespace {

constexpr int kLightsIntervalMs = 500;

}  // namespace

TStaticStepPage::TStaticStepPage(QWidget* parent, const char* className, const char* wiringPicture,
                                 const char* lightsPrefix)
    : TWizardStepPage(parent, className),
      lightsPrefix_(QString::fromLatin1(lightsPrefix)) {
  Label2 = new QLabel(this);
  Label2->setObjectName(QStringLiteral("Label2"));
  Label2->setProperty("skinRole", QStringLiteral("heading"));
  QFont hf = Label2->font();
  hf.setPointSize(10);
  hf.setBold(true);
  Label2->setFont(hf);
  Label2->setGeometry(20, 10, kContentWidth - 40, 24);

  Panel3 = new TTePanel(this);
  Panel3->setObjectName(QStringLiteral("Panel3"));
  Panel3->setGeometry(20, 40, 400, 220);
  Image1 = new TImage(Panel3);
  Image1->setObjectName(QStringLiteral("Image1"));
  Image1->LoadPicture(QString::fromLatin1(wiringPicture));
  Image1->setGeometry(0, 0, 400, 220);

  Panel2 = new TTePanel(this);
  Panel2->setObjectName(QStringLiteral("Panel2"));
  Panel2->setGeometry(440, 40, 192, 150);
  Image2 = new TImage(Panel2);
  Image2->setObjectName(QStringLiteral("Image2"));
  Image2->setGeometry(0, 0, 192, 150);
  NextLightsFrame();

  Label1 = new QLabel(this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setWordWrap(true);
  Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Label1->setGeometry(20, 268, kContentWidth - 40, 52);

  Image3 = new TImage(this);
  Image3->setObjectName(QStringLiteral("Image3"));
  Image3->LoadPicture(QStringLiteral(":/images/help.svg"));
  Image3->setGeometry(20, 328, 16, 16);

  lights_ = new QTimer(this);
  lights_->setInterval(kLightsIntervalMs);
  connect(lights_, &QTimer::timeout, this, &TStaticStepPage::NextLightsFrame);
}

QLabel* TStaticStepPage::Caption(const char* name, const char* text, int x, int y, int w) {
  auto* l = new QLabel(QString::fromUtf8(text), Panel3);
  l->setObjectName(QString::fromLatin1(name));
  l->setAlignment(Qt::AlignCenter);
  l->setWordWrap(true);
  l->setProperty("skinRole", QStringLiteral("picturecaption"));
  l->setGeometry(x, y, w, 30);
  return l;
}

TClickLabel* TStaticStepPage::HelpLink(const char* name, const char* text) {
  auto* l = new TClickLabel(this);
  l->setObjectName(QString::fromLatin1(name));
  l->setText(QString::fromUtf8(text));
  l->setProperty("skinRole", QStringLiteral("link"));
  l->SetLinkStyle();
  l->setGeometry(42, 326, 420, 20);
  return l;
}

void TStaticStepPage::NextLightsFrame() {
  frame_ = frame_ % 2 + 1;
  Image2->LoadPicture(QStringLiteral(":/images/%1_%2.svg").arg(lightsPrefix_).arg(frame_));
}

void TStaticStepPage::showEvent(QShowEvent* e) {
  TWizardStepPage::showEvent(e);
  lights_->start();
}

void TStaticStepPage::hideEvent(QHideEvent* e) {
  lights_->stop();
  TWizardStepPage::hideEvent(e);
}

TfrmLinkSource::TfrmLinkSource(QWidget* parent)
    : TStaticStepPage(parent, "TfrmLinkSource", ":/images/power_wiring.svg", "power_lights") {
  Label2->setText(QStringLiteral("According to the connection IP Camera:"));
  lblIPcam1 = Caption("lblIPcam1", "IP Camera", 26, 146, 130);
  Label3 = Caption("Label3", "Power interface", 110, 146, 140);
  Label3->setGeometry(120, 150, 130, 30);
  lblRouter1 = Caption("lblRouter1", "Power adapter", 242, 176, 130);
  lblPC1 = Caption("lblPC1", "", 280, 40, 100);
  lblPC1->setVisible(false);
  Label1->setText(QStringLiteral(
      "IP camera is well connected, connected to power.Working lights such as shown in the figure above, a green "
      "light for a period of time, then the IP camera self-check, head start."));
  Label4 = HelpLink("Label4", "If not normal, how should I do?");
  connect(Label4, &TClickLabel::clicked, this, &TfrmLinkSource::Label4Click);
  ApplyStrings(this);
}

void TfrmLinkSource::Label4Click() { ShowQInfo(LangText(LoadStr("IDS_LINKSOURCE"))); }

TfrmEsy_Line::TfrmEsy_Line(QWidget* parent)
    : TStaticStepPage(parent, "TfrmEsy_Line", ":/images/cable_wiring.svg", "jack_lights") {
  Label2->setText(QStringLiteral("Connect Ethernet Cables as shown in the figure below:"));
  lblIPcam1 = Caption("lblIPcam1", "IP camera", 31, 124, 130);
  lblRouter1 = Caption("lblRouter1", "Router", 135, 172, 130);
  lblPC1 = Caption("lblPC1", "Network interface", 255, 136, 140);
  Label1->setText(QStringLiteral(
      "After cables are connected, the indicators on the Ethernet jack should be lighted as the right top figure: "
      "the yellow one flashes and the green one keeps on."));
  Label3 = HelpLink("Label3", "If not normal, how should I do?");
  connect(Label3, &TClickLabel::clicked, this, &TfrmEsy_Line::Label3Click);
  ApplyStrings(this);
}

void TfrmEsy_Line::Label3Click() { ShowQInfo(LangText(LoadStr("IDS_LINKNETWORK"))); }

}  // namespace kestrova
