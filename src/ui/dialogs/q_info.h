// The information panel: a borderless cream panel with a blue help text and one button.
// It has no language section; its button keeps its designed caption.
#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;

namespace kestrova {

class TFrmQInfo : public QDialog {
  Q_OBJECT
 public:
  explicit TFrmQInfo(QWidget* parent = nullptr);
  ~TFrmQInfo() override;

  // Stores the text, shows it in Label1 and repaints.
  void SetInfo(const QString& text);
  const QString& Info() const { return info_; }

  QLabel* Label1 = nullptr;
  QPushButton* BitBtn1 = nullptr;

 public slots:
  void BitBtn1Click();

 private:
  QString info_;
};

// Shows the panel modally with text, centred on the main window.
void ShowQInfo(const QString& text);

}  // namespace kestrova
