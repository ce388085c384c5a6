#include "ui/remote/esy_sel_access.h"

#include <algorithm>

#include <QLabel>
#include <QLineEdit>
#include <QShowEvent>

#include "core/app/app_rules.h"
#include "core/i18n/lang.h"
#include "ui/app/global.h"
#include "ui/app/main_form.h"
#include "ui/i18n/apply_strings.h"
#include "ui/setup/adv_main.h"
#include "ui/skin/controls.h"

namespace kestrova {

TfrmEsy_SelAccess::TfrmEsy_SelAccess(QWidget* parent) : TWizardStepPage(parent, "TfrmEsy_SelAccess") {
  btnNext->setText(QStringLiteral("Set Other Camera"));

  lblTitle = new QLabel(QStringLiteral("Congratulations! Your IP camera is configured successfully."), this);
  lblTitle->setObjectName(QStringLiteral("lblTitle"));
  lblTitle->setWordWrap(true);
  {
    QFont f = lblTitle->font();
    f.setPointSize(11);
    f.setBold(true);
    lblTitle->setFont(f);
  }
  lblTitle->setGeometry(40, 36, 572, 52);

  auto row = [this](const char* labelName, const char* text, QLineEdit*& edit, const char* editName,
                    TTeSpeedButton*& open, const char* openName, int y) {
    auto* l = new QLabel(QString::fromLatin1(text), this);
    l->setObjectName(QString::fromLatin1(labelName));
    l->setGeometry(40, y, 170, 24);
    edit = new QLineEdit(this);
    edit->setObjectName(QString::fromLatin1(editName));
    edit->setReadOnly(true);
    edit->setGeometry(210, y - 1, 290, 26);
    open = new TTeSpeedButton(this);
    open->setObjectName(QString::fromLatin1(openName));
    open->setText(QStringLiteral("Open"));
    open->setIcon(QIcon(QStringLiteral(":/images/icons/open.svg")));
    open->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    open->setGeometry(510, y - 3, 100, 30);
    return l;
  };
  lblLanUrl = row("lblLanUrl", "LAN access URL:", edLanUrl, "edLanUrl", spbOpenLanUrl, "spbOpenLanUrl", 120);
  lblOutUrl = row("lblOutUrl", "Internet access URL:", edOuterUrl, "edOuterUrl", spbOutUrlOpen, "spbOutUrlOpen", 164);

  lblHowMob = new TClickLabel(this);
  lblHowMob->setObjectName(QStringLiteral("lblHowMob"));
  lblHowMob->setText(QStringLiteral("Browse Online CD, get more method used!"));
  lblHowMob->SetLinkStyle();
  lblHowMob->setGeometry(40, 230, 572, 24);

  connect(spbOpenLanUrl, &QToolButton::clicked, this, &TfrmEsy_SelAccess::spbOpenLanUrlClick);
  connect(spbOutUrlOpen, &QToolButton::clicked, this, &TfrmEsy_SelAccess::spbOutUrlOpenClick);
  connect(lblHowMob, &TClickLabel::clicked, this, &TfrmEsy_SelAccess::lblHowMobClick);

  ApplyStrings(this);
  FitNavigation();
}

// "Set Other Camera" is longer than the other steps' Next: the button takes its caption's
// width and the Back buttons move left of it.
void TfrmEsy_SelAccess::FitNavigation() {
  const int right = btnJNext ? btnJNext->x() - 4 : kContentWidth - 16;
  const int w = std::max(136, btnNext->sizeHint().width() + 20);
  btnNext->setGeometry(right - w, btnNext->y(), w, btnNext->height());
  btnPre->move(btnNext->x() - 8 - btnPre->width(), btnPre->y());
  BtnJPre->move(btnPre->x() - 4 - BtnJPre->width(), BtnJPre->y());
}

void TfrmEsy_SelAccess::showEvent(QShowEvent* e) {
  TWizardStepPage::showEvent(e);
  if (!e->spontaneous()) FormShow();
}

void TfrmEsy_SelAccess::FormShow() {
  FitNavigation();  // the caption may be another language's now
  TfrmAdv_Main* adv = AdvancedWindow();
  const TDevInfo* device = adv ? adv->CurrentDevice() : nullptr;
  if (device) {
    edLanUrl->setText(LangText(DeviceLanUrl(*device)));
    edOuterUrl->setText(LangText(DeviceOuterUrl(device)));
  } else {
    edLanUrl->clear();
    edOuterUrl->clear();
  }
  edLanUrl->home(false);
  edOuterUrl->home(false);
}

void TfrmEsy_SelAccess::spbOpenLanUrlClick() {
  if (!edLanUrl->text().isEmpty()) OpenAddress(edLanUrl->text());
}

void TfrmEsy_SelAccess::spbOutUrlOpenClick() {
  if (!edOuterUrl->text().isEmpty()) OpenAddress(edOuterUrl->text());
}

void TfrmEsy_SelAccess::lblHowMobClick() {
  if (OnlineCD.empty()) return;
  OpenAddress(QString::fromStdString(OnlineCdAddress(OnlineCD, CurrentLanguage())));
}

}  // namespace kestrova
