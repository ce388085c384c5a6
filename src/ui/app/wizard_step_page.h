// The base of the wizard's step pages: the navigation buttons at the bottom and the page order
// of the core's step table. btnPre and BtnJPre go back, btnNext and btnJNext go on; a step whose
// Next is not a plain page change (device selection, address step) overrides GoNext.
#pragma once

#include <string_view>

#include "core/app/wizard.h"
#include "ui/app/page_base.h"

namespace kestrova {

class TTeButton;

class TWizardStepPage : public TfrmPageBase {
  Q_OBJECT
 public:
  // className: the page's row of the step table (window name, caption, Back and Next pages).
  TWizardStepPage(QWidget* parent, std::string_view className);

  bool GoPrevious() override;
  bool GoNext() override;

  const TWizardStep& Step() const { return *step_; }

  TTeButton* btnPre = nullptr;
  TTeButton* BtnJPre = nullptr;
  TTeButton* btnNext = nullptr;
  TTeButton* btnJNext = nullptr;

 protected:
  // Shows a page of the main window by class name (nothing for an empty name).
  static void ShowStep(std::string_view className);

 private:
  const TWizardStep* step_;
};

}  // namespace kestrova
