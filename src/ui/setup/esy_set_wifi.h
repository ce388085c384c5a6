// The wizard's wireless step: lists the networks the chosen camera sees, shows its current
// wireless settings and sends new ones by the camera family's path (net/wifi), then waits with
// the restart countdown until the camera is back. The rules of the form (what choosing a
// network does, which key fields show) are the core's (core/setup/set_wifi.h).
//
// Every request runs on the window thread under the busy cursor, as the step always did; only
// the CTP restart goes from a thread of its own.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/setup/set_wifi.h"
#include "ui/app/wizard_step_page.h"

class QLabel;
class QLineEdit;
class QListWidget;

namespace kestrova {

class TClickLabel;
class TTeButton;
class TTeCheckBox;
class TTeComboBox;
class TTeGroupBox;
class TWiFiStep;

class TfrmEsy_SetWIFI : public TWizardStepPage {
  Q_OBJECT
 public:
  explicit TfrmEsy_SetWIFI(QWidget* parent = nullptr);
  ~TfrmEsy_SetWIFI() override;

  // Tests replace the modal countdown (seconds, MAC, IP, hint; returns 0 found, 1 cancelled,
  // 2 timed out).
  using WaitFn = std::function<int(int seconds, const std::string& mac, const std::string& ip, const QString& hint)>;
  void SetWaitForCamera(WaitFn fn) { wait_ = std::move(fn); }

  // Handlers.
  void FormShow();
  void FormHide();
  void BitBtn1Click();  // scan
  void BitBtn2Click();  // apply
  void BitBtn3Click();  // refresh
  void lstWiFiClick();
  void chkUseWiFiClick();
  void Label1Click();
  void edtShareKeyChange();
  void cmbSecurityChange();
  void cmbSelKeyChange();

  // The networks of the last scan, in the list's order.
  const std::vector<TWiFiEntry>& Networks() const { return networks_; }
  // The list position of the chosen network (the SSID edit's Tag).
  int ChosenPosition() const { return tag_; }

  TTeGroupBox* GroupBox1 = nullptr;
  QListWidget* lstWiFi = nullptr;
  TTeButton* BitBtn1 = nullptr;
  QLabel* Label2 = nullptr;
  QLineEdit* edtSSID = nullptr;
  QLabel* lblShareKey = nullptr;
  QLineEdit* edtShareKey = nullptr;
  TClickLabel* Label1 = nullptr;
  TTeCheckBox* chkUseWiFi = nullptr;
  TTeButton* BitBtn2 = nullptr;
  TTeButton* BitBtn3 = nullptr;
  QLabel* lblOK = nullptr;
  QLabel* Label3 = nullptr;
  TTeComboBox* cmbMode = nullptr;
  QLabel* Label4 = nullptr;
  TTeComboBox* cmbSecurity = nullptr;
  QLabel* lblAuthMode = nullptr;
  TTeComboBox* cmbAuthMode = nullptr;
  QLabel* lblHex = nullptr;
  TTeComboBox* chkHex = nullptr;
  QLabel* lblSelKey = nullptr;
  TTeComboBox* cmbSelKey = nullptr;
  std::array<QLabel*, 4> lblKey{};
  std::array<QLineEdit*, 4> edtKey{};
  std::array<TTeComboBox*, 4> cmbHex{};

 protected:
  void showEvent(QShowEvent* e) override;
  void hideEvent(QHideEvent* e) override;

 private:
  // The family of the chosen camera, or 0 without one.
  int Family() const;
  // The step for the chosen camera (made again when the camera changed); nullptr without one.
  TWiFiStep* Step();
  bool ReadWiFiSettings();
  void AwaitRestart(const std::string& mac);
  void ResetSelection();
  TWiFiForm FormFromControls() const;
  void ControlsFromForm(const TWiFiForm& f);

  std::unique_ptr<TWiFiStep> step_;
  std::vector<TWiFiEntry> networks_;
  int tag_ = 0;
  WaitFn wait_;
};

}  // namespace kestrova
