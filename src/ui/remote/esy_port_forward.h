// The wizard's port-forward step: the chosen camera's address and ports, the router address
// (the PC's gateway) and the camera's outer address; a check (TCheckFortwordThread) asks the
// vendor's service for the camera's public address and has it fetch a file from the camera
// through it. Set port mapping hands the camera's mappings to the port-mapping window; the
// open buttons show the router's page and the camera's outer address in the browser.
//
// At most one check writes to the page, as on the DDNS step.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <QPointer>

#include "core/remote/check_report.h"
#include "ui/app/wizard_step_page.h"
#include "ui/remote/check_threads.h"
#include "ui/remote/port_mapping_call.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace kestrova {

class TImage;
class TTeSpeedButton;

class TfrmEsy_PortForward : public TWizardStepPage {
  Q_OBJECT
 public:
  explicit TfrmEsy_PortForward(QWidget* parent = nullptr);
  ~TfrmEsy_PortForward() override;

  // Tests put their own port-mapping window (router address, mappings -> OK).
  using MappingRun = std::function<bool(const std::string& router, const std::vector<TPortMappingAsk>& mappings)>;
  void SetMappingRun(MappingRun fn) { mappingRun_ = std::move(fn); }

  void FormShow();
  void btnCheckClick();
  void BitBtn1Click();
  void spbOpenRouterClick();
  void spbOpenOuterClick();
  void ShowReport(int code, const std::string& text);

  TCheckFortwordThread* RunningCheck() const { return check_; }
  const remote::TResultBox& Result() const { return box_; }

  QLabel* Label1 = nullptr;
  QLineEdit* edIP = nullptr;
  QLabel* Label2 = nullptr;
  QLineEdit* edPort = nullptr;
  QLabel* Label5 = nullptr;
  QLineEdit* edDataPort = nullptr;
  QLabel* Label4 = nullptr;
  QLineEdit* edRouterIP = nullptr;
  TTeSpeedButton* spbOpenRouter = nullptr;
  QLabel* Label6 = nullptr;
  QLineEdit* edOuterUrl = nullptr;
  TImage* imgArrow = nullptr;
  TTeSpeedButton* spbOpenOuter = nullptr;
  QLabel* Label3 = nullptr;
  QPlainTextEdit* memResult = nullptr;
  QLabel* lblOK = nullptr;
  TTeSpeedButton* btnCheck = nullptr;
  TTeSpeedButton* BitBtn1 = nullptr;

 protected:
  void showEvent(QShowEvent* e) override;
  void hideEvent(QHideEvent* e) override;

 private:
  void StartCheck(const TDevInfo& device);
  void ForgetCheck();
  void ShowOpenOuter(bool on);
  void FitButtons();

  QPointer<TCheckFortwordThread> check_;
  remote::TResultBox box_;
  MappingRun mappingRun_;
};

}  // namespace kestrova
