// The wizard's device-selection step: a mirror of the advanced window's device list (family 4
// left out), refreshed every 500 ms while the page is shown. Next (or a double click) stores the
// chosen camera in the wizard state and shows the address step.
#pragma once

#include <optional>

#include "core/discovery/dev_list_mirror.h"
#include "ui/app/wizard_step_page.h"

class QLabel;
class QPushButton;
class QTimer;

namespace kestrova {

class TClickLabel;
class TImage;
class TPanel;
class TTeListView;

class TfrmEsy_DevList : public TWizardStepPage {
  Q_OBJECT
 public:
  explicit TfrmEsy_DevList(QWidget* parent = nullptr);
  ~TfrmEsy_DevList() override;

  // Next: nothing without a selected camera that is still listed; otherwise the wizard state
  // of the chosen camera, then the address step.
  bool GoNext() override;

  // The refresh (fromTimer: the timer's tick rather than the page being shown).
  void Timer1Timer(bool fromTimer = true);
  void btnRefreshClick();
  void Label2Click();

  const TDevListMirror& Mirror() const { return mirror_; }
  // The selected row of ListView1, or none.
  std::optional<int> SelectedRow() const;

  QLabel* Label3 = nullptr;
  QLabel* Label1 = nullptr;
  TTeListView* ListView1 = nullptr;
  QPushButton* btnRefresh = nullptr;
  TPanel* plInfo = nullptr;
  TClickLabel* Label2 = nullptr;
  TImage* Image1 = nullptr;
  QTimer* Timer1 = nullptr;

 protected:
  void showEvent(QShowEvent* e) override;
  void hideEvent(QHideEvent* e) override;

 private:
  void ShowEmpty();

  TDevListMirror mirror_;
};

}  // namespace kestrova
