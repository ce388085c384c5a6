// TfrmUpgradeSoft: sends a firmware file or the camera's web pages to one camera, the way its
// family takes it. The upload runs on a thread of its own; the window shows its progress,
// keeps repainting, and asks before it is closed while an upload runs.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include <QDialog>

#include "core/upgrade/upgrade_flow.h"
#include "net/upgrade/pk2_transfer.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTimer;

namespace kestrova {

class IDeviceSeries;
class TOpenDialog;

class TfrmUpgradeSoft : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmUpgradeSoft(QWidget* owner = nullptr);
  ~TfrmUpgradeSoft() override;

  // Set before the window is shown: the camera (family, address, HTTP port, user and password,
  // already trimmed).
  void SetTarget(const upgrade::TUpgradeTarget& target) { target_ = target; }
  const upgrade::TUpgradeTarget& Target() const { return target_; }

  // Tests: the file dialog's run (gets the prepared dialog; true with FileName set when a file
  // was chosen) and the uploads (the network's by default; the driver is the process-wide one).
  using FileChooser = std::function<bool(TOpenDialog&)>;
  void SetFileChooser(FileChooser fn) { chooser_ = std::move(fn); }
  using IoFactory = std::function<upgrade::TUpgradeIo(upgrade::TPk2ProgressFn progress)>;
  void SetIoFactory(IoFactory fn) { ioFactory_ = std::move(fn); }
  void SetSeries(IDeviceSeries* series) { series_ = series; }

  bool Running() const { return running_; }
  // The outcome of the last upload that ended (Failed before any).
  const upgrade::TUpgradeOutcome& LastOutcome() const { return last_; }

  QLabel* Label1 = nullptr;
  QLineEdit* Edit1 = nullptr;
  QPushButton* BitBtn1 = nullptr;
  QRadioButton* RadioButton1 = nullptr;
  QRadioButton* RadioButton2 = nullptr;
  QProgressBar* pbUpgrade = nullptr;
  QLabel* lblProgress = nullptr;
  QPushButton* BitBtn2 = nullptr;
  QPushButton* BitBtn3 = nullptr;
  TOpenDialog* OpenDialog1 = nullptr;

 public slots:
  void BitBtn1Click();
  void BitBtn2Click();
  void BitBtn3Click();

 protected:
  void closeEvent(QCloseEvent* e) override;
  void reject() override;

 private:
  void ShowProgress();
  void Finished(const upgrade::TUpgradeOutcome& o);
  void SetBusy(bool busy);
  // While an upload runs: asks whether to stop it; true when the window may close now.
  bool MayClose();

  upgrade::TUpgradeTarget target_;
  FileChooser chooser_;
  IoFactory ioFactory_;
  IDeviceSeries* series_ = nullptr;
  upgrade::TUpgradeOutcome last_;

  // Shared with the upload thread.
  struct Shared {
    std::mutex mu;
    upgrade::TPk2Progress progress;
    std::atomic<bool> cancel{false};
  };
  std::shared_ptr<Shared> shared_;
  std::thread worker_;
  bool running_ = false;
  bool closeWhenDone_ = false;
  QTimer* repaint_ = nullptr;
};

}  // namespace kestrova
