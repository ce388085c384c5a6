// The mode page: welcome, the language choice and the start of the easy wizard.
#pragma once

#include "ui/app/page_base.h"

class QLabel;
class QCheckBox;

namespace kestrova {

class TTeLabel;
class TTeButton;
class TTeSComboBox;
class TImage;
class TClickLabel;

class TfrmSel_Mode : public TfrmPageBase {
  Q_OBJECT
 public:
  explicit TfrmSel_Mode(QWidget* parent = nullptr);
  ~TfrmSel_Mode() override;

  // Refills cmbLan from the main window's language files, selecting the current language.
  void FillLanguages();
  void cmbLanChange();
  void btnEasyClick();
  void chkAdvModeClick();
  void Label4Click();

  QLabel* Label5 = nullptr;
  TTeLabel* TeLabel2 = nullptr;
  QLabel* Label3 = nullptr;
  QLabel* lblLan = nullptr;
  TTeSComboBox* cmbLan = nullptr;
  TTeButton* btnEasy = nullptr;
  TTeButton* TeButton1 = nullptr;
  TImage* Image1 = nullptr;
  QCheckBox* chkAdvMode = nullptr;
  TClickLabel* Label4 = nullptr;
};

}  // namespace kestrova
