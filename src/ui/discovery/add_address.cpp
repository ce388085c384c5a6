#include "ui/discovery/add_address.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/i18n/lang.h"
#include "ui/i18n/apply_strings.h"

namespace kestrova {

TfrmAddAddress::TfrmAddAddress(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("frmAddAddress"));
  setWindowTitle(QStringLiteral("Add by address"));
  setModal(true);
  setFixedSize(360, 150);

  auto* v = new QVBoxLayout(this);
  v->setContentsMargins(16, 12, 16, 12);
  Label1 = new QLabel(QStringLiteral("IP address of the camera (for example 192.168.2.64):"), this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setWordWrap(true);
  v->addWidget(Label1);
  edAddress = new QLineEdit(this);
  edAddress->setObjectName(QStringLiteral("edAddress"));
  edAddress->setMaxLength(15);  // "255.255.255.255"
  v->addWidget(edAddress);
  v->addStretch(1);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  btnOK = new QPushButton(QStringLiteral("&OK"), this);
  btnOK->setObjectName(QStringLiteral("btnOK"));
  btnOK->setDefault(true);
  btnCancel = new QPushButton(QStringLiteral("&Cancel"), this);
  btnCancel->setObjectName(QStringLiteral("btnCancel"));
  buttons->addWidget(btnOK);
  buttons->addWidget(btnCancel);
  v->addLayout(buttons);
  connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

  // Texts of the message table (every language has them) and the buttons of the credential
  // dialog, which every language file names.
  auto text = [](const std::string& utf8, const QString& designed) {
    return utf8.empty() ? designed : LangText(utf8);
  };
  QString caption = text(LoadStr("IDS_ADDBYADDR"), windowTitle());
  if (caption.endsWith(QStringLiteral("..."))) caption.chop(3);
  setWindowTitle(caption);
  Label1->setText(text(LoadStr("IDS_ADDRPROMPT"), Label1->text()));
  btnOK->setText(text(ReadFormString("Form_frmAuthInput", "btnOK.Caption"), btnOK->text()));
  btnCancel->setText(text(ReadFormString("Form_frmAuthInput", "btnCancel.Caption"), btnCancel->text()));
}

TfrmAddAddress::~TfrmAddAddress() = default;

}  // namespace kestrova
