// Base of every page hosted in the main window's content panel. A page is a QWidget whose
// objectName is its window name ("frmSel_Mode", "frmAdv_Main" ...), which names its language
// section ("Form_" + objectName); its windowTitle is its caption.
#pragma once

#include <QWidget>

namespace kestrova {

class TfrmPageBase : public QWidget {
  Q_OBJECT
 public:
  explicit TfrmPageBase(QWidget* parent = nullptr) : QWidget(parent) {}
  ~TfrmPageBase() override = default;

  virtual bool GoPrevious() { return true; }
  virtual bool GoNext() { return true; }
  virtual bool CanClosePage() { return true; }
};

}  // namespace kestrova
