#include "ui/setup/ip_edit.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>

namespace kestrova {

TIPEdit::TIPEdit(QWidget* parent) : QWidget(parent) {
  auto* h = new QHBoxLayout(this);
  h->setContentsMargins(0, 0, 0, 0);
  h->setSpacing(0);
  auto* validator = new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,3}")), this);
  for (int i = 0; i < 4; ++i) {
    auto* f = new QLineEdit(this);
    f->setObjectName(QStringLiteral("octet%1").arg(i));
    f->setValidator(validator);
    f->setMaxLength(3);
    f->setAlignment(Qt::AlignCenter);
    f->setMinimumWidth(f->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 6);
    f->installEventFilter(this);
    connect(f, &QLineEdit::textEdited, this, [this, i] { OnEdited(i); });
    fields_[size_t(i)] = f;
    h->addWidget(f, 1);
    if (i < 3) {
      auto* dot = new QLabel(QStringLiteral("."), this);
      dot->setAlignment(Qt::AlignCenter);
      h->addWidget(dot);
    }
  }
  setFocusProxy(fields_[0]);
}

void TIPEdit::OnEdited(int index) {
  QLineEdit* f = fields_[size_t(index)];
  if (!f->text().isEmpty() && f->text().toInt() > 255) f->setText(QStringLiteral("255"));
  if (f->text().size() == 3 && f->cursorPosition() == 3 && index < 3) {
    fields_[size_t(index + 1)]->setFocus();
    fields_[size_t(index + 1)]->selectAll();
  }
  if (!filling_) emit changed();
}

bool TIPEdit::eventFilter(QObject* o, QEvent* e) {
  if (e->type() != QEvent::KeyPress) return QWidget::eventFilter(o, e);
  auto* k = static_cast<QKeyEvent*>(e);
  for (int i = 0; i < 4; ++i) {
    if (o != fields_[size_t(i)]) continue;
    QLineEdit* f = fields_[size_t(i)];
    if (k->text() == QLatin1String(".")) {
      // A dot ends the octet; in an empty octet it does nothing.
      if (i < 3 && !f->text().isEmpty() && !f->hasSelectedText()) {
        fields_[size_t(i + 1)]->setFocus();
        fields_[size_t(i + 1)]->selectAll();
      }
      return true;
    }
    if (k->key() == Qt::Key_Backspace && i > 0 && f->cursorPosition() == 0 && !f->hasSelectedText()) {
      fields_[size_t(i - 1)]->setFocus();
      fields_[size_t(i - 1)]->end(false);
      return true;
    }
    if (k->key() == Qt::Key_Right && i < 3 && f->cursorPosition() == f->text().size()) {
      fields_[size_t(i + 1)]->setFocus();
      fields_[size_t(i + 1)]->home(false);
      return true;
    }
    if (k->key() == Qt::Key_Left && i > 0 && f->cursorPosition() == 0) {
      fields_[size_t(i - 1)]->setFocus();
      fields_[size_t(i - 1)]->end(false);
      return true;
    }
  }
  return QWidget::eventFilter(o, e);
}

int TIPEdit::Octet(int index) const {
  if (index < 0 || index > 3) return 255;
  const QString t = fields_[size_t(index)]->text();
  return t.isEmpty() ? 255 : std::min(255, t.toInt());
}

void TIPEdit::SetFieldText(int index, const QString& text) {
  const bool was = filling_;
  filling_ = true;
  fields_[size_t(index)]->setText(text);
  filling_ = was;
}

void TIPEdit::SetOctet(int index, int value) {
  if (index < 0 || index > 3) return;
  SetFieldText(index, QString::number(std::clamp(value, 0, 255)));
}

uint32_t TIPEdit::IP() const {
  uint32_t v = 0;
  for (QLineEdit* f : fields_) v = (v << 8) | uint32_t(f->text().isEmpty() ? 0 : std::min(255, f->text().toInt()));
  return v;
}

void TIPEdit::SetIP(uint32_t ip) {
  for (int i = 0; i < 4; ++i) SetOctet(i, int((ip >> (8 * (3 - i))) & 0xFF));
}

QString TIPEdit::IPString() const {
  const uint32_t v = IP();
  return QStringLiteral("%1.%2.%3.%4").arg(v >> 24).arg((v >> 16) & 0xFF).arg((v >> 8) & 0xFF).arg(v & 0xFF);
}

QString TIPEdit::Text() const {
  QStringList parts;
  for (QLineEdit* f : fields_) parts << f->text();
  return parts.join(QLatin1Char('.'));
}

void TIPEdit::SetIPString(const QString& text) {
  const QStringList parts = text.trimmed().split(QLatin1Char('.'));
  for (int i = 0; i < 4; ++i) {
    bool ok = false;
    const int v = i < parts.size() ? parts[i].toInt(&ok) : -1;
    if (ok && v >= 0 && v <= 255 && parts[i].size() <= 3) {
      SetOctet(i, v);
    } else {
      SetFieldText(i, QString());
    }
  }
}

void TIPEdit::Clear() {
  for (int i = 0; i < 4; ++i) SetFieldText(i, QString());
}

void TIPEdit::SetReadOnly(bool on) {
  readOnly_ = on;
  for (QLineEdit* f : fields_) f->setReadOnly(on);
}

}  // namespace kestrova
