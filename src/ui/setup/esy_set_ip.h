// The wizard's address step: without asking anything, it gives the chosen camera an address in
// the PC's subnet when it needs one (the rules and the waits are the core's RunSetIp), waits
// until the camera is listed at that address, checks on a worker thread that it answers there
// and shows its LAN address with an Open button. Next runs the credential prompt once per pass.
//
// While it changes the camera's settings and waits, the page keeps the window responsive
// (nested pauses on the scaled clock) and sets SetIpBusy, so the main window refuses to close.
// Leaving the page (Back) abandons the wait at the next pause: the camera keeps what it was
// sent, and nothing of the abandoned run touches the page or the wizard state afterwards.
#pragma once

#include <functional>
#include <string>

#include <QPointer>

#include "core/setup/set_ip.h"
#include "ui/app/wizard_step_page.h"

class QLabel;
class QLineEdit;
class QTimer;

namespace kestrova {

class TCheckDevThread;
class TfrmAuthInput;
class TImage;
class TTeSpeedButton;

class TfrmEsy_SetIP : public TWizardStepPage {
  Q_OBJECT
 public:
  explicit TfrmEsy_SetIP(QWidget* parent = nullptr);
  ~TfrmEsy_SetIP() override;

  bool GoNext() override;

  // True from the decision to change the camera's settings until the check has started or the
  // page has gone back.
  bool Configuring() const { return configuring_; }

  // Tests and the end-to-end driver replace what would block on a person or reach the network:
  // the modal run of the credential dialog (gets the prepared, pre-filled dialog and returns its
  // modal result), the settings command with its family-9 credential prompt (old: listed
  // record, neu: settings record), and the reachability question of the check thread.
  using CredentialPrompt = std::function<int(TfrmAuthInput&)>;
  using ApplyFn = std::function<bool(const TDevInfo& old, const TDevInfo& neu)>;
  using CheckFn = std::function<int(int devType, const std::string& url)>;
  void SetCredentialPrompt(CredentialPrompt fn) { credentialPrompt_ = std::move(fn); }
  void SetApply(ApplyFn fn) { apply_ = std::move(fn); }
  void SetCheck(CheckFn fn) { check_ = std::move(fn); }

  // Handlers and the steps of the sequence.
  void Timer2Timer();
  void FillFromDevice();
  void spbOpenLanUrlClick();

  QLabel* lblChecking = nullptr;
  TImage* Image1 = nullptr;
  QLabel* lblOK = nullptr;
  QLabel* Label10 = nullptr;
  QLineEdit* edLanUrl = nullptr;
  TTeSpeedButton* spbOpenLanUrl = nullptr;
  TImage* imgArrow = nullptr;
  QLabel* lblDevAuthInfo = nullptr;
  // Filled with the camera's values, never shown.
  QLineEdit* edIP = nullptr;
  QLineEdit* edPort = nullptr;
  QLineEdit* edSubMask = nullptr;
  QLineEdit* edRtspPort = nullptr;
  QLineEdit* edGateway = nullptr;
  QLineEdit* edDns = nullptr;
  QTimer* Timer2 = nullptr;

 protected:
  void showEvent(QShowEvent* e) override;
  void hideEvent(QHideEvent* e) override;

 private:
  void ConfigureCamera(const TDevInfo& device);
  void StartCheck(const TDevInfo& device, bool found, int run);
  void CheckDone(TCheckDevThread& thread);
  // A pause of the behaviour (ms, scaled) with the window running; false once the run was
  // abandoned.
  bool Pause(int ms, int run);
  // The credential prompt: the stored credentials are tested against the camera at base; the
  // dialog is shown only when they fail. True when they stand (tested or confirmed with OK);
  // CameraUser and CameraPassword then hold them.
  bool PromptCredentials(int family, const std::string& base);
  bool ApplySettingsOf(const TDevInfo& old, const TDevInfo& neu);
  void SetStatus(const QString& text);
  void SetBusy(bool on);
  void ForgetCheck();

  CredentialPrompt credentialPrompt_;
  ApplyFn apply_;
  CheckFn check_;
  QPointer<TCheckDevThread> checkThread_;
  int run_ = 0;          // the current display's run; a left page abandons its run
  bool running_ = false; // a sequence is on the stack (its pauses run the event loop)
  bool configuring_ = false;
};

}  // namespace kestrova
