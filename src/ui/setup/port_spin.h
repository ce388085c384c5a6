// A port field: a spin field of at most five digits (no buttons) that keeps what the user left
// in it. A plain spin box puts its previous value back when an empty or unfinished text loses
// the focus, so a cleared port would silently become the old one again; this one stays empty
// (value() is then -1) and shows any five-digit number, so that reading the settings sees the
// text as typed and can refuse it.
#pragma once

#include <QSpinBox>

namespace kestrova {

class TPortSpin : public QSpinBox {
 public:
  explicit TPortSpin(QWidget* parent = nullptr);

 protected:
  QValidator::State validate(QString& input, int& pos) const override;
  int valueFromText(const QString& text) const override;
  QString textFromValue(int value) const override;
};

}  // namespace kestrova
