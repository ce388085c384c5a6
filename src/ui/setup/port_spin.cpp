#include "ui/setup/port_spin.h"

namespace kestrova {

namespace {
constexpr int kEmpty = -1;
}

TPortSpin::TPortSpin(QWidget* parent) : QSpinBox(parent) {
  setRange(kEmpty, 99999);  // five digits; the settings rule refuses what is not a port
  setButtonSymbols(QAbstractSpinBox::NoButtons);
}

QValidator::State TPortSpin::validate(QString& input, int&) const {
  const QString t = input.trimmed();
  if (t.size() > 5) return QValidator::Invalid;
  for (QChar c : t)
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) return QValidator::Invalid;
  return QValidator::Acceptable;  // empty included
}

int TPortSpin::valueFromText(const QString& text) const {
  const QString t = text.trimmed();
  return t.isEmpty() ? kEmpty : t.toInt();
}

QString TPortSpin::textFromValue(int value) const { return value == kEmpty ? QString() : QString::number(value); }

}  // namespace kestrova
