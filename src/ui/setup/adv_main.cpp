#include "ui/setup/adv_main.h"

namespace kestrova {

TfrmAdv_Main::TfrmAdv_Main(QWidget* parent) : TfrmPageBase(parent) {
  setObjectName(QStringLiteral("frmAdv_Main"));
  setWindowTitle(QStringLiteral("Advance Mode"));
}

TfrmAdv_Main::~TfrmAdv_Main() = default;

}  // namespace kestrova
