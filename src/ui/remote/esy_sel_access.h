// The wizard's last step: where the configured camera can be reached, its LAN and its Internet
// address, each with a button that opens it in the browser, and the link to the online manual.
// Next ("Set Other Camera") counts one more camera and starts again at the device selection.
#pragma once

#include "ui/app/wizard_step_page.h"

class QLabel;
class QLineEdit;

namespace kestrova {

class TClickLabel;
class TTeSpeedButton;

class TfrmEsy_SelAccess : public TWizardStepPage {
  Q_OBJECT
 public:
  explicit TfrmEsy_SelAccess(QWidget* parent = nullptr);

  void FormShow();
  void spbOpenLanUrlClick();
  void spbOutUrlOpenClick();
  void lblHowMobClick();

  QLabel* lblTitle = nullptr;
  QLabel* lblLanUrl = nullptr;
  QLineEdit* edLanUrl = nullptr;
  TTeSpeedButton* spbOpenLanUrl = nullptr;
  QLabel* lblOutUrl = nullptr;
  QLineEdit* edOuterUrl = nullptr;
  TTeSpeedButton* spbOutUrlOpen = nullptr;
  TClickLabel* lblHowMob = nullptr;

 protected:
  void showEvent(QShowEvent* e) override;

 private:
  void FitNavigation();
};

}  // namespace kestrova
