// The dialog of the advanced window's "Add by address": asks for the address of a camera that
// no broadcast reaches (another subnet behind a router). The caller checks the text. Its texts
// come from the message table and the credential dialog's buttons of the language file.
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace kestrova {

class TfrmAddAddress : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmAddAddress(QWidget* owner = nullptr);
  ~TfrmAddAddress() override;

  QLabel* Label1 = nullptr;
  QLineEdit* edAddress = nullptr;
  QPushButton* btnOK = nullptr;
  QPushButton* btnCancel = nullptr;
};

}  // namespace kestrova
