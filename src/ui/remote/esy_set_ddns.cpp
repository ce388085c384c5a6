#include "ui/remote/esy_set_ddns.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>

#include "core/remote/ddns_check.h"
#include "ui/app/global.h"
#include "ui/app/lang_message_box.h"
#include "ui/i18n/apply_strings.h"
#include "ui/remote/check_threads.h"
#include "ui/skin/controls.h"
#include "ui/skin/named_widgets.h"

namespace kestrova {

namespace {

std::string Text(const QLineEdit* e) { return e->text().toStdString(); }

}  // namespace

TfrmEsy_SetDDNS::TfrmEsy_SetDDNS(const std::string& base, int family, QWidget* parent)
    : QDialog(parent), base_(base), family_(family) {
  setObjectName(QStringLiteral("frmEsy_SetDDNS"));
  setWindowTitle(QStringLiteral("Set DDNS"));
  setModal(true);
  setFixedSize(420, 250);

  auto label = [this](const char* name, const char* text, int x, int y, int w) {
    return NamedLabel(this, name, text, QRect(x, y, w, 24));
  };
  auto edit = [this](const char* name, int x, int y, int w) {
    QLineEdit* e = NamedEdit(this, name, QRect(x, y, w, 26));
    e->setMaxLength(64);
    return e;
  };
  Label1 = label("Label1", "DDNS Server:", 20, 20, 120);
  edServer = edit("edServer", 140, 19, 260);
  lblID = label("lblID", "SN:", 20, 56, 120);
  edID = edit("edID", 140, 55, 150);
  lblPwdDDNS = label("lblPwdDDNS", "Password:", 20, 92, 120);
  edPwd = edit("edPwd", 140, 91, 150);
  edPwd->setEchoMode(QLineEdit::Password);

  Image1 = new TImage(this);
  Image1->setObjectName(QStringLiteral("Image1"));
  Image1->LoadPicture(QStringLiteral(":/images/steps/device_label.svg"));
  Image1->setGeometry(300, 54, 100, 50);
  Label4 = label("Label4", "Found the label on the camera shell", 20, 130, 380);
  Label4->setWordWrap(true);
  Label4->setGeometry(20, 128, 380, 40);

  btnOK = new TTeButton(QStringLiteral("&OK"), this);
  btnOK->setObjectName(QStringLiteral("btnOK"));
  btnOK->setGeometry(200, 200, 96, 28);
  btnOK->setProperty("skinRole", QStringLiteral("primary"));
  btnOK->setDefault(true);
  btnCancel = new TTeButton(QStringLiteral("&Cancel"), this);
  btnCancel->setObjectName(QStringLiteral("btnCancel"));
  btnCancel->setGeometry(304, 200, 96, 28);
  connect(btnOK, &QPushButton::clicked, this, &TfrmEsy_SetDDNS::btnOKClick);
  connect(btnCancel, &QPushButton::clicked, this, &TfrmEsy_SetDDNS::btnCancelClick);

  ApplyStrings(this);
}

void TfrmEsy_SetDDNS::btnOKClick() {
  if (family_ != 2) return;  // no account write for this family: the dialog stays open
  remote::TSetDdnsResult r;
  {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    r = remote::SetDdnsAccount(family_, base_, CameraUser, CameraPassword, Text(edID), Text(edPwd), Text(edServer),
                               CameraWriteGet());
    QApplication::restoreOverrideCursor();
  }
  if (r == remote::TSetDdnsResult::Taken) {
    accept();
    return;
  }
  LangMessageBox(remote::SetDdnsMessageKey(r), "IDS_ERROR", MB_ICONSTOP);
}

void TfrmEsy_SetDDNS::btnCancelClick() { reject(); }

}  // namespace kestrova
