// Where the common dialogs appear: centred on the main window when there is one.
#pragma once

class QWidget;

namespace kestrova {

void CenterOnMainWindow(QWidget* dialog);

}  // namespace kestrova
