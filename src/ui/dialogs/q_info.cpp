#include "ui/dialogs/q_info.h"

#include <QLabel>
#include <QPushButton>

#include "ui/dialogs/dialog_placement.h"

namespace kestrova {

TFrmQInfo::TFrmQInfo(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
  setObjectName(QStringLiteral("FrmQInfo"));
  setModal(true);
  setFixedSize(395, 191);
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, QColor(0xFF, 0xFB, 0xE6));  // cream
  setPalette(pal);

  Label1 = new QLabel(this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setTextFormat(Qt::PlainText);
  Label1->setGeometry(16, 14, 395 - 32, 191 - 14 - 52);
  Label1->setWordWrap(true);
  Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  QPalette lp = Label1->palette();
  lp.setColor(QPalette::WindowText, QColor(0x00, 0x00, 0xFF));  // blue
  Label1->setPalette(lp);

  BitBtn1 = new QPushButton(QString::fromUtf8("我知道了"), this);
  BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
  BitBtn1->setGeometry((395 - 96) / 2, 191 - 44, 96, 30);
  BitBtn1->setDefault(true);
  connect(BitBtn1, &QPushButton::clicked, this, &TFrmQInfo::BitBtn1Click);
}

TFrmQInfo::~TFrmQInfo() = default;

void TFrmQInfo::SetInfo(const QString& text) {
  info_ = text;
  Label1->setText(text);
  update();
}

void TFrmQInfo::BitBtn1Click() { close(); }

void ShowQInfo(const QString& text) {
  TFrmQInfo panel;
  panel.SetInfo(text);
  CenterOnMainWindow(&panel);
  panel.exec();
}

}  // namespace kestrova
