// The steps whose work is built elsewhere, for now as pages with their language section and
// their Back/Next navigation. Each moves to its own unit when its step is built.
#pragma once

#include "ui/app/wizard_step_page.h"

namespace kestrova {

class TfrmEsy_SetWIFI : public TWizardStepPage {
  Q_OBJECT
 public:
  explicit TfrmEsy_SetWIFI(QWidget* parent = nullptr);
};

}  // namespace kestrova
