// The credential dialog: asks for the camera's user name and password and tests them against
// the camera (CGI for families 2, 8 and 9, CTP for family 5).
#pragma once

#include <string>

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QValidator;

namespace kestrova {

class TfrmAuthInput : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmAuthInput(QWidget* owner = nullptr);
  ~TfrmAuthInput() override;

  // Called in this order before the dialog is shown: test enabled (only when a real test is
  // wanted), family, base address (CameraBaseUrl(IP, port, TUrlPort::Always)). A base that
  // names no dotted-quad camera address is never sent anything.
  void SetTestEnabled(bool enabled) { testEnabled_ = enabled; }
  // Family 2 carries the account in fixed fields of 13 bytes: for it the two entries take at
  // most 13 bytes of UTF-8 (whole characters only); for the others 13 characters.
  void SetFamily(int family);
  void SetBaseAddress(const std::string& base) { base_ = base; }

  bool TestEnabled() const { return testEnabled_; }
  int Family() const { return family_; }
  const std::string& BaseAddress() const { return base_; }

  // 0 accepted, -1 no connection could be made (family 5 only), -2 rejected or untestable.
  // User and password are trimmed first. Blocks for the request's time-out.
  int TestCredentials(const std::string& user, const std::string& password);

  // The callers' sequence after the setters and the pre-filled edUser/edPwd: tests the
  // pre-filled credentials and shows the dialog modally only when that test does not answer
  // 0. QDialog::Accepted when the credentials stand (tested or confirmed with OK).
  int ExecIfNeeded();

  QLabel* Label3 = nullptr;
  QLabel* Label1 = nullptr;
  QLabel* Label2 = nullptr;
  QLineEdit* edUser = nullptr;
  QLineEdit* edPwd = nullptr;
  QLabel* lblTip = nullptr;
  QPushButton* btnOK = nullptr;
  QPushButton* btnCancel = nullptr;

 public slots:
  void btnOKClick();
  void btnCancelClick();

 private:
  bool testEnabled_ = false;
  int family_ = 0;
  QValidator* accountBytes_ = nullptr;
  std::string base_;
};

// The CTP host and port of a base address: the number after the ':' that follows "http://",
// and the text between them. false when there is no such ':' or the port is not a number.
bool CtpTargetOfBase(const std::string& base, std::string& host, int& port);

}  // namespace kestrova
