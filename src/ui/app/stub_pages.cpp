#include "ui/app/stub_pages.h"

#include "ui/i18n/apply_strings.h"
#include "ui/skin/controls.h"

namespace kestrova {

TfrmEsy_SetWIFI::TfrmEsy_SetWIFI(QWidget* parent) : TWizardStepPage(parent, "TfrmEsy_SetWIFI") {}

}  // namespace kestrova
