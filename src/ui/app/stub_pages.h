// The base of the wizard steps (the navigation buttons), and the steps whose work is built
// elsewhere, for now as pages with their language section and their Back/Next navigation. Each
// of those moves to its own unit when its step is built.
#pragma once

#include "ui/app/page_base.h"

namespace kestrova {

class TTeButton;

// A step page with the navigation buttons at its bottom: btnPre and BtnJPre go back, btnNext
// and btnJNext go on.
class TWizardStepPage : public TfrmPageBase {
  Q_OBJECT
 public:
  TWizardStepPage(QWidget* parent, const char* windowName, const char* caption, const char* prevClass,
                  const char* nextClass, bool hasJNext = true);

  bool GoPrevious() override;
  bool GoNext() override;

  TTeButton* btnPre = nullptr;
  TTeButton* BtnJPre = nullptr;
  TTeButton* btnNext = nullptr;
  TTeButton* btnJNext = nullptr;

 protected:
  const char* prevClass_;
  const char* nextClass_;
};

class TfrmEsy_DevList : public TWizardStepPage {
  Q_OBJECT
 public:
  explicit TfrmEsy_DevList(QWidget* parent = nullptr);
};

class TfrmEsy_SetIP : public TWizardStepPage {
  Q_OBJECT
 public:
  explicit TfrmEsy_SetIP(QWidget* parent = nullptr);
};

class TfrmEsy_SetWIFI : public TWizardStepPage {
  Q_OBJECT
 public:
  explicit TfrmEsy_SetWIFI(QWidget* parent = nullptr);
};

class TfrmEsy_ChkDDNS : public TWizardStepPage {
  Q_OBJECT
 public:
  explicit TfrmEsy_ChkDDNS(QWidget* parent = nullptr);
};

class TfrmEsy_PortForward : public TWizardStepPage {
  Q_OBJECT
 public:
  explicit TfrmEsy_PortForward(QWidget* parent = nullptr);
  bool GoNext() override;
};

class TfrmEsy_SelAccess : public TWizardStepPage {
  Q_OBJECT
 public:
  explicit TfrmEsy_SelAccess(QWidget* parent = nullptr);
  bool GoNext() override;
};

}  // namespace kestrova
