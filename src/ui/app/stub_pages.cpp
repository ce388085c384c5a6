#include "ui/app/stub_pages.h"

#include "ui/i18n/apply_strings.h"
#include "ui/skin/controls.h"

namespace kestrova {

TfrmEsy_ChkDDNS::TfrmEsy_ChkDDNS(QWidget* parent) : TWizardStepPage(parent, "TfrmEsy_ChkDDNS") {}

// Next counts one more camera (the step table).
TfrmEsy_PortForward::TfrmEsy_PortForward(QWidget* parent) : TWizardStepPage(parent, "TfrmEsy_PortForward") {}

// Next ("Set Other Camera") counts one more camera and starts again at the device selection.
TfrmEsy_SelAccess::TfrmEsy_SelAccess(QWidget* parent) : TWizardStepPage(parent, "TfrmEsy_SelAccess") {
  btnNext->setText(QStringLiteral("Set Other Camera"));
  btnNext->setGeometry(btnNext->x() - 40, btnNext->y(), btnNext->width() + 40, btnNext->height());
  btnPre->move(btnPre->x() - 40, btnPre->y());
  BtnJPre->move(BtnJPre->x() - 40, BtnJPre->y());
  ApplyStrings(this);
}

}  // namespace kestrova
