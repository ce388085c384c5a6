// The steps whose work is built elsewhere, for now as pages with their language section and
// their Back/Next navigation. Each moves to its own unit when its step is built.
#pragma once

#include "ui/app/wizard_step_page.h"

namespace kestrova {

class TfrmEsy_ChkDDNS : public TWizardStepPage {
  Q_OBJECT
 public:
  explicit TfrmEsy_ChkDDNS(QWidget* parent = nullptr);
};

class TfrmEsy_PortForward : public TWizardStepPage {
  Q_OBJECT
 public:
  explicit TfrmEsy_PortForward(QWidget* parent = nullptr);
};

class TfrmEsy_SelAccess : public TWizardStepPage {
  Q_OBJECT
 public:
  explicit TfrmEsy_SelAccess(QWidget* parent = nullptr);
};

}  // namespace kestrova
