// The dialog of the advanced window's "Add by address": asks for the address of a camera that
// no broadcast reaches (another subnet behind a router) and lists the addresses added before,
// any of which can be removed. The caller checks the text. Its texts come from the message
// table and the credential dialog's buttons of the language file.
#pragma once

#include <string>
#include <vector>

#include <QDialog>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace kestrova {

class TfrmAddAddress : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmAddAddress(QWidget* owner = nullptr);
  ~TfrmAddAddress() override;

  // The addresses added before, shown in the list.
  void SetAddresses(const std::vector<std::string>& addresses);
  // What is left of them after Remove.
  std::vector<std::string> Addresses() const;

  QLabel* Label1 = nullptr;
  QLineEdit* edAddress = nullptr;
  QLabel* Label2 = nullptr;
  QListWidget* lstAddresses = nullptr;
  QPushButton* btnRemove = nullptr;
  QPushButton* btnOK = nullptr;
  QPushButton* btnCancel = nullptr;

 public slots:
  // Removes the selected address from the list (the window forgets it on OK).
  void btnRemoveClick();
};

}  // namespace kestrova
