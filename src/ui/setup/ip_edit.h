// An IPv4 entry field: four octet fields separated by dots. Typing a dot, or a third digit,
// moves to the next octet; a number above 255 becomes 255. The whole address reads as a
// 32-bit number (IP) or as dotted text (IPString, an empty octet as 0); one octet by index
// (Octet, an empty octet reads 255, as the last-octet rule of Apply expects).
//
// changed() is raised for the user's edits only, never while the field is filled by the
// program (SetIP, SetIPString, SetOctet, Clear).
#pragma once

#include <array>
#include <cstdint>

#include <QString>
#include <QWidget>

class QLineEdit;

namespace kestrova {

class TIPEdit : public QWidget {
  Q_OBJECT
 public:
  explicit TIPEdit(QWidget* parent = nullptr);

  uint32_t IP() const;
  void SetIP(uint32_t ip);
  QString IPString() const;
  // Dotted text with four numbers of 0..255; anything else leaves the empty octets empty.
  void SetIPString(const QString& text);
  // The octets as typed, joined by dots (an empty octet stays empty).
  QString Text() const;
  int Octet(int index) const;
  void SetOctet(int index, int value);
  void Clear();

  void SetReadOnly(bool on);
  bool IsReadOnly() const { return readOnly_; }
  QLineEdit* Field(int index) const { return fields_[size_t(index)]; }

 signals:
  void changed();

 protected:
  bool eventFilter(QObject* o, QEvent* e) override;

 private:
  void OnEdited(int index);
  void SetFieldText(int index, const QString& text);

  std::array<QLineEdit*, 4> fields_{};
  bool filling_ = false;
  bool readOnly_ = false;
};

}  // namespace kestrova
