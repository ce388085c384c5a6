// Applying the current language to a window: the window caption, the font for the language and
// the texts of every component the window owns, from section "Form_" + the window's objectName.
#pragma once

#include <functional>
#include <string>

#include <QFont>
#include <QString>

class QObject;
class QWidget;

namespace kestrova {

// Applies the current language to window and to the components it owns. Children that are
// windows of their own (pages hosted in it, dialogs, other top-level widgets) are not walked:
// each has its own section and its own walk. Missing keys keep the current texts; any error
// ends the walk silently.
void ApplyStrings(QWidget* window);

// The font for the language: family by language mapped onto the families this machine has,
// the 8/9 point rule. The logical face ("Tahoma", "宋体" ...) is kept in the widget property
// "langFace".
void ApplyLangFontTo(const std::string& code, QWidget* widget);
QFont LangQFont(const std::string& code, const QFont& base);
// The platform family for a logical face and language ("宋体" -> "Noto Sans CJK SC" ...).
QString PlatformFontFamily(const std::string& code, const std::string& logicalFace);

// Name of the kinds-table row that decides for obj ("TTePanel", "TComboBox" ...), or "" for a
// component the walk leaves alone.
QString ComponentKindName(const QObject* obj);

// Test hook: called for every component before it is handled; throwing from it ends the walk.
void SetApplyStringsProbe(std::function<void(QObject*)> probe);

// Text from a language file as shown by Qt widgets (CR LF line ends become LF).
QString LangText(const std::string& utf8);

}  // namespace kestrova
