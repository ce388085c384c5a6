// The wizard's DDNS step: reads the chosen camera's DDNS options and asks the vendor's service
// whether the camera is registered and online (TCheckDDNSThread), one result line per stage.
// Settings opens the account dialog (families other than 5, 8 and 9); after the camera has
// restarted the check runs again.
//
// At most one check writes to the page: every start (page shown, Re-check) first clears the
// hook of the one before, which then finishes its requests silently; leaving or destroying
// the page clears it too.
#pragma once

#include <functional>
#include <string>

#include <QPointer>

#include "core/remote/check_report.h"
#include "ui/app/wizard_step_page.h"
#include "ui/remote/check_threads.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace kestrova {

class TfrmEsy_SetDDNS;
class TTeSpeedButton;

class TfrmEsy_ChkDDNS : public TWizardStepPage {
  Q_OBJECT
 public:
  explicit TfrmEsy_ChkDDNS(QWidget* parent = nullptr);
  ~TfrmEsy_ChkDDNS() override;

  // Tests replace what would block on a person: the dialog's modal run (gets the prepared
  // dialog, returns its result) and the restart countdown (seconds, MAC, IP -> 0, 1 or 2).
  using DialogRun = std::function<int(TfrmEsy_SetDDNS&)>;
  using CameraWait = std::function<int(int seconds, const std::string& mac, const std::string& ip)>;
  void SetDialogRun(DialogRun fn) { dialogRun_ = std::move(fn); }
  void SetCameraWait(CameraWait fn) { cameraWait_ = std::move(fn); }

  void FormShow();
  void spbCheckClick();
  void spbChangeDDNSClick();
  void ShowReport(int code, const std::string& text);

  // The check that reports to the page now (nullptr when none does).
  TCheckDDNSThread* RunningCheck() const { return check_; }
  const remote::TResultBox& Result() const { return box_; }

  QLabel* Label2 = nullptr;
  QLineEdit* edDDNSID = nullptr;
  QLabel* Label3 = nullptr;
  QLineEdit* edDDNSServer = nullptr;
  QLabel* Label4 = nullptr;
  QPlainTextEdit* memResult = nullptr;
  QLabel* lblOK = nullptr;
  TTeSpeedButton* spbCheck = nullptr;
  TTeSpeedButton* spbChangeDDNS = nullptr;

 protected:
  void showEvent(QShowEvent* e) override;
  void hideEvent(QHideEvent* e) override;

 private:
  void StartCheck(const TDevInfo& device);
  void ForgetCheck();
  void ClearResult();
  void FitButtons();

  QPointer<TCheckDDNSThread> check_;
  remote::TResultBox box_;
  DialogRun dialogRun_;
  CameraWait cameraWait_;
};

}  // namespace kestrova
