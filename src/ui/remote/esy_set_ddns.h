// TfrmEsy_SetDDNS: the DDNS step's account dialog. It writes a new DDNS account (server, the
// device code from the camera's label, password) into a family-2 camera; for any other family
// OK does nothing and only Cancel leaves. A failed write is a message box and the dialog stays
// open for another try.
#pragma once

#include <string>

#include <QDialog>

class QLabel;
class QLineEdit;

namespace kestrova {

class TImage;
class TTeButton;

class TfrmEsy_SetDDNS : public QDialog {
  Q_OBJECT
 public:
  // base: the camera's LAN address; family: its DevType.
  TfrmEsy_SetDDNS(const std::string& base, int family, QWidget* parent = nullptr);

  void btnOKClick();
  void btnCancelClick();

  QLabel* Label1 = nullptr;  // DDNS server
  QLineEdit* edServer = nullptr;
  QLabel* lblID = nullptr;
  QLineEdit* edID = nullptr;
  QLabel* lblPwdDDNS = nullptr;
  QLineEdit* edPwd = nullptr;
  TImage* Image1 = nullptr;  // the camera's label
  QLabel* Label4 = nullptr;
  TTeButton* btnOK = nullptr;
  TTeButton* btnCancel = nullptr;

 private:
  const std::string base_;
  const int family_;
};

}  // namespace kestrova
