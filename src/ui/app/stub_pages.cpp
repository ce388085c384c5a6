#include "ui/app/stub_pages.h"

#include "ui/app/global.h"
#include "ui/app/main_form.h"
#include "ui/i18n/apply_strings.h"
#include "ui/skin/controls.h"

namespace kestrova {

namespace {

void Show(const char* className) {
  if (className && *className)
    if (TfrmMain* m = MainForm()) m->ShowPage(QString::fromLatin1(className));
}

}  // namespace

TWizardStepPage::TWizardStepPage(QWidget* parent, const char* windowName, const char* caption,
                                 const char* prevClass, const char* nextClass, bool hasJNext)
    : TfrmPageBase(parent), prevClass_(prevClass), nextClass_(nextClass) {
  setObjectName(QString::fromLatin1(windowName));
  setWindowTitle(QString::fromUtf8(caption));
  resize(kContentWidth, kContentHeight);

  const int y = kContentHeight - 42;
  auto make = [this, y](const char* name, const QString& text, int x, int w) {
    auto* b = new TTeButton(text, this);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(x, y, w, 28);
    return b;
  };
  const int right = kContentWidth - 16;
  btnJNext = hasJNext ? make("btnJNext", QStringLiteral("\u300B"), right - 30, 30) : nullptr;
  const int nextRight = hasJNext ? right - 34 : right;
  btnNext = make("btnNext", QStringLiteral("&Next"), nextRight - 96, 96);
  btnPre = make("btnPre", QStringLiteral("&Back"), nextRight - 96 - 8 - 96, 96);
  BtnJPre = make("BtnJPre", QStringLiteral("\u300A"), nextRight - 96 - 8 - 96 - 34, 30);
  btnNext->setProperty("skinRole", QStringLiteral("primary"));
  for (TTeButton* j : {BtnJPre, btnJNext}) {
    if (!j) continue;
    j->setProperty("skinRole", QStringLiteral("jump"));
  }

  connect(btnPre, &QPushButton::clicked, this, [this] { GoPrevious(); });
  connect(BtnJPre, &QPushButton::clicked, this, [this] { GoPrevious(); });
  connect(btnNext, &QPushButton::clicked, this, [this] { GoNext(); });
  if (btnJNext) connect(btnJNext, &QPushButton::clicked, this, [this] { GoNext(); });

  ApplyStrings(this);
}

bool TWizardStepPage::GoPrevious() {
  Show(prevClass_);
  return true;
}

bool TWizardStepPage::GoNext() {
  Show(nextClass_);
  return true;
}

// Next needs a selected camera; the device list is built with the discovery pages.
TfrmEsy_DevList::TfrmEsy_DevList(QWidget* parent)
    : TWizardStepPage(parent, "frmEsy_DevList", "Step 3: Select Camera", "TfrmEsy_Line", "") {}

// Next needs the credential test; built with the set-IP step.
TfrmEsy_SetIP::TfrmEsy_SetIP(QWidget* parent)
    : TWizardStepPage(parent, "frmEsy_SetIP", "Step 4: Setting IP Address", "TfrmEsy_DevList", "") {}

TfrmEsy_SetWIFI::TfrmEsy_SetWIFI(QWidget* parent)
    : TWizardStepPage(parent, "frmEsy_SetWIFI", "Step 5:Set Wireless Lan", "TfrmEsy_SetIP", "TfrmEsy_ChkDDNS") {}

TfrmEsy_ChkDDNS::TfrmEsy_ChkDDNS(QWidget* parent)
    : TWizardStepPage(parent, "frmEsy_ChkDDNS", "Step 6: Check DDNS", "TfrmEsy_SetWIFI", "TfrmEsy_PortForward") {}

TfrmEsy_PortForward::TfrmEsy_PortForward(QWidget* parent)
    : TWizardStepPage(parent, "frmEsy_PortForward", "Step 7:Port Forwarding", "TfrmEsy_ChkDDNS",
                      "TfrmEsy_SelAccess", false) {}

bool TfrmEsy_PortForward::GoNext() {
  ++CameraNumber;
  return TWizardStepPage::GoNext();
}

TfrmEsy_SelAccess::TfrmEsy_SelAccess(QWidget* parent)
    : TWizardStepPage(parent, "frmEsy_SelAccess", "Step 8:Completion", "TfrmEsy_PortForward", "TfrmEsy_DevList") {
  btnNext->setText(QStringLiteral("Set Other Camera"));
  btnNext->setGeometry(btnNext->x() - 40, btnNext->y(), btnNext->width() + 40, btnNext->height());
  btnPre->move(btnPre->x() - 40, btnPre->y());
  BtnJPre->move(BtnJPre->x() - 40, BtnJPre->y());
  ApplyStrings(this);
}

bool TfrmEsy_SelAccess::GoNext() {
  ++CameraNumber;
  return TWizardStepPage::GoNext();
}

}  // namespace kestrova
