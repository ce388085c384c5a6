#include "ui/discovery/add_address.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/i18n/lang.h"
#include "ui/i18n/apply_strings.h"

namespace kestrova {

namespace {

QString TextOr(const std::string& utf8, const QString& designed) { return utf8.empty() ? designed : LangText(utf8); }

}  // namespace

TfrmAddAddress::TfrmAddAddress(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("frmAddAddress"));
  setWindowTitle(QStringLiteral("Add by address"));
  setModal(true);
  setFixedSize(380, 260);

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
  Label2 = new QLabel(QStringLiteral("Cameras added by address:"), this);
  Label2->setObjectName(QStringLiteral("Label2"));
  v->addWidget(Label2);
  auto* listRow = new QHBoxLayout;
  lstAddresses = new QListWidget(this);
  lstAddresses->setObjectName(QStringLiteral("lstAddresses"));
  listRow->addWidget(lstAddresses, 1);
  btnRemove = new QPushButton(QStringLiteral("&Remove"), this);
  btnRemove->setObjectName(QStringLiteral("btnRemove"));
  btnRemove->setEnabled(false);
  listRow->addWidget(btnRemove, 0, Qt::AlignTop);
  v->addLayout(listRow, 1);

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
  connect(btnRemove, &QPushButton::clicked, this, &TfrmAddAddress::btnRemoveClick);
  connect(lstAddresses, &QListWidget::currentRowChanged, this,
          [this](int row) { btnRemove->setEnabled(row >= 0); });

  // Texts of the message table (every language has them) and the buttons of the credential
  // dialog, which every language file names.
  QString caption = TextOr(LoadStr("IDS_ADDBYADDR"), windowTitle());
  if (caption.endsWith(QStringLiteral("..."))) caption.chop(3);
  setWindowTitle(caption);
  Label1->setText(TextOr(LoadStr("IDS_ADDRPROMPT"), Label1->text()));
  Label2->setText(TextOr(LoadStr("IDS_ADDRLISTED"), Label2->text()));
  btnRemove->setText(TextOr(LoadStr("IDS_ADDRREMOVE"), btnRemove->text()));
  btnOK->setText(TextOr(ReadFormString("Form_frmAuthInput", "btnOK.Caption"), btnOK->text()));
  btnCancel->setText(TextOr(ReadFormString("Form_frmAuthInput", "btnCancel.Caption"), btnCancel->text()));
}

TfrmAddAddress::~TfrmAddAddress() = default;

void TfrmAddAddress::SetAddresses(const std::vector<std::string>& addresses) {
  lstAddresses->clear();
  for (const std::string& a : addresses) lstAddresses->addItem(QString::fromStdString(a));
}

std::vector<std::string> TfrmAddAddress::Addresses() const {
  std::vector<std::string> out;
  for (int i = 0; i < lstAddresses->count(); ++i) out.push_back(lstAddresses->item(i)->text().toStdString());
  return out;
}

void TfrmAddAddress::btnRemoveClick() {
  const int row = lstAddresses->currentRow();
  if (row >= 0) delete lstAddresses->takeItem(row);
  btnRemove->setEnabled(lstAddresses->currentRow() >= 0);
}

}  // namespace kestrova
