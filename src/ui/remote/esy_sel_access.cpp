#include "ui/remote/esy_sel_access.h"

#include <QLabel>
#include <QLineEdit>
#include <QShowEvent>

#include "core/app/app_rules.h"
#include "core/i18n/lang.h"
#include "ui/app/global.h"
#include "ui/i18n/apply_strings.h"
#include "ui/setup/adv_main.h"
#include "ui/skin/controls.h"

namespace kestrova {

TfrmEsy_SelAccess::TfrmEsy_SelAccess(QWidget* parent) : TWizardStepPage(parent, "TfrmEsy_SelAccess") {
  btnNext->setText(QStringLiteral("Set Other Camera"));
  btnNext->setGeometry(btnNext->x() - 40, btnNext->y(), btnNext->width() + 40, btnNext->height());
  btnPre->move(btnPre->x() - 40, btnPre->y());
  BtnJPre->move(BtnJPre->x() - 40, BtnJPre->y());

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
}

void TfrmEsy_SelAccess::showEvent(QShowEvent* e) {
  TWizardStepPage::showEvent(e);
  if (!e->spontaneous()) FormShow();
}

void TfrmEsy_SelAccess::FormShow() {
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
