#include "ui/dialogs/countdown.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "net/platform/scaled_clock.h"
#include "ui/app/lang_message_box.h"
#include "ui/dialogs/dialog_placement.h"
#include "ui/i18n/apply_strings.h"

namespace kestrova {
namespace {

TCameraLookup& GlobalLookup() {
  static TCameraLookup lookup;
  return lookup;
}
}  // namespace

void SetCountdownLookup(TCameraLookup lookup) { GlobalLookup() = std::move(lookup); }

TfrmCountdown::TfrmCountdown(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmCountdown"));
  setWindowTitle(QStringLiteral("Countdown of restarting"));
  setModal(true);
  setFixedSize(320, 190);
  lookup_ = GlobalLookup();

  auto* v = new QVBoxLayout(this);
  v->setContentsMargins(16, 12, 16, 12);
  lblTime = new QLabel(QString::number(remaining_), this);
  lblTime->setObjectName(QStringLiteral("lblTime"));
  QFont big = lblTime->font();
  big.setPointSize(36);
  big.setBold(true);
  lblTime->setFont(big);
  lblTime->setAlignment(Qt::AlignCenter);
  v->addWidget(lblTime);

  lblHint = new QLabel(QStringLiteral("The camera is restarting..."), this);
  lblHint->setObjectName(QStringLiteral("lblHint"));
  lblHint->setTextFormat(Qt::PlainText);
  lblHint->setWordWrap(true);
  lblHint->setAlignment(Qt::AlignCenter);
  v->addWidget(lblHint, 1);

  btnCancel = new QPushButton(QStringLiteral("&Cancel"), this);
  btnCancel->setObjectName(QStringLiteral("btnCancel"));
  btnCancel->setAutoDefault(false);
  v->addWidget(btnCancel, 0, Qt::AlignHCenter);
  connect(btnCancel, &QPushButton::clicked, this, &TfrmCountdown::btnCancelClick);

  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setTimerType(Qt::PreciseTimer);
  Timer1->setInterval(ScaledMs(1000));
  connect(Timer1, &QTimer::timeout, this, &TfrmCountdown::Timer1Timer);
  Timer2 = new QTimer(this);
  Timer2->setObjectName(QStringLiteral("Timer2"));
  Timer2->setTimerType(Qt::PreciseTimer);
  Timer2->setInterval(ScaledMs(100));
  connect(Timer2, &QTimer::timeout, this, &TfrmCountdown::Timer2Timer);

  ApplyStrings(this);
  normalHint_ = lblHint->palette().color(QPalette::WindowText);
}

TfrmCountdown::~TfrmCountdown() = default;

void TfrmCountdown::SetSeconds(int seconds) {
  total_ = seconds;
  remaining_ = seconds;
  lblTime->setText(QString::number(remaining_));
}

void TfrmCountdown::SetCamera(const std::string& mac, const std::string& ip) {
  mac_ = mac;
  ip_ = ip;
}

void TfrmCountdown::SetHint(const QString& hint) {
  if (hint.isEmpty()) return;
  lblHint->setText(hint);
  blink_ = true;
}

void TfrmCountdown::StartTimers() {
  Timer1->start();
  Timer2->start();
}

void TfrmCountdown::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  if (!Timer1->isActive()) StartTimers();
}

void TfrmCountdown::Timer1Timer() {
  if (remaining_ > 0) --remaining_;
  if (remaining_ < 1) {
    result_ = 2;
    close();
  }
  lblTime->setText(QString::number(remaining_));
  if (blink_) {
    QPalette p = lblHint->palette();
    p.setColor(QPalette::WindowText, remaining_ % 2 == 0 ? QColor(Qt::red) : normalHint_);
    lblHint->setPalette(p);
  }
}

void TfrmCountdown::Timer2Timer() {
  if (total_ - remaining_ <= 30) return;  // the first 30 seconds are never looked at
  if (!lookup_ || !lookup_(mac_, ip_)) return;
  result_ = 0;
  modalOk_ = true;
  close();
}

void TfrmCountdown::btnCancelClick() {
  result_ = 1;
  close();
}

bool TfrmCountdown::FormCloseQuery() {
  if (modalOk_ || result_ == 2) return true;
  int answer = LangMessageBox("IDS_CANCELWAIT", "IDS_CONFIRM", MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
  return answer == IDYES;
}

void TfrmCountdown::closeEvent(QCloseEvent* e) {
  if (!FormCloseQuery()) {
    e->ignore();  // stays open and keeps counting
    return;
  }
  e->accept();
  Timer1->stop();
  Timer2->stop();
  done(modalOk_ ? QDialog::Accepted : QDialog::Rejected);
}

void TfrmCountdown::reject() { close(); }

int WaitForCamera(int seconds, const std::string& mac, const std::string& ip, const QString& hint) {
  TfrmCountdown dlg;
  dlg.SetSeconds(seconds);
  dlg.SetCamera(mac, ip);
  dlg.SetHint(hint);
  CenterOnMainWindow(&dlg);
  dlg.exec();
  return dlg.Result();
}

}  // namespace kestrova
