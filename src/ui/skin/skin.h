// The program's look: the default style sheet from the resources, or the theme file named like
// the program with the extension ".mskn" beside the executable when there is one.
#pragma once

#include <QString>

class QApplication;

namespace kestrova {

// The theme file that would be used: <program folder>/<program name>.mskn.
QString SkinFilePath();
// The default style sheet text.
QString DefaultStyleSheet();
// Loads the theme file when it exists (else the default style) and applies it to the
// application; returns the path loaded (":/style/default.qss" for the default).
QString LoadSkin(QApplication& app);

}  // namespace kestrova
