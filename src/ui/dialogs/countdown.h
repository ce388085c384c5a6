// The restart countdown: waits for a camera to come back into the device list after it was
// told to restart, counting the seconds down, with an optional blinking hint. Both timers run
// on the scaled clock (KESTROVA_TIME_SCALE, net/platform/scaled_clock.h); counting stays in
// whole "seconds" of the dialog, so every rule holds whatever the scale.
#pragma once

#include <functional>
#include <string>

#include <QDialog>

class QLabel;
class QPushButton;
class QTimer;

namespace kestrova {

// Whether the device list holds an entry with this MAC, or else one with this IP address.
using TCameraLookup = std::function<bool(const std::string& mac, const std::string& ip)>;

// The lookup every countdown uses (the advanced window installs its device list's lookup).
void SetCountdownLookup(TCameraLookup lookup);

class TfrmCountdown : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmCountdown(QWidget* parent = nullptr);
  ~TfrmCountdown() override;

  // Sets total and remaining and shows the number.
  void SetSeconds(int seconds);
  void SetCamera(const std::string& mac, const std::string& ip);
  // A non-empty hint is shown and blinks.
  void SetHint(const QString& hint);
  void SetLookup(TCameraLookup lookup) { lookup_ = std::move(lookup); }
  // Starts both timers (done when the dialog is shown).
  void StartTimers();

  int Total() const { return total_; }
  int Remaining() const { return remaining_; }
  bool Blink() const { return blink_; }
  int Result() const { return result_; }  // 0 found again, 1 cancelled, 2 time ran out

  QLabel* lblTime = nullptr;
  QLabel* lblHint = nullptr;
  QPushButton* btnCancel = nullptr;
  QTimer* Timer1 = nullptr;
  QTimer* Timer2 = nullptr;

 public slots:
  // Esc goes through the close query like the close box.
  void reject() override;
  void Timer1Timer();
  void Timer2Timer();
  void btnCancelClick();

 protected:
  void showEvent(QShowEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  bool FormCloseQuery();

  int total_ = 60;
  int remaining_ = 60;
  bool blink_ = false;
  int result_ = 1;
  bool modalOk_ = false;
  std::string mac_, ip_;
  TCameraLookup lookup_;
  QColor normalHint_;
};

// Shows the countdown modally and returns its result (0, 1 or 2). An empty hint shows the
// designed hint without blinking.
int WaitForCamera(int seconds, const std::string& mac, const std::string& ip, const QString& hint = {});

}  // namespace kestrova
