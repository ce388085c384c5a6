// The read-only result box of the DDNS and port-forward steps (memResult).
#pragma once

#include <QRect>

class QPlainTextEdit;
class QWidget;

namespace kestrova {

namespace remote {
class TResultBox;
}

// A read-only memo named memResult at geometry: plain text, tabs at the width the language
// files' "$t$t" layouts expect, long lines wrapped at the box's edge.
QPlainTextEdit* MakeResultMemo(QWidget* parent, const QRect& geometry);
// Shows the box's lines (text decoded as the language files are).
void ShowResultBox(QPlainTextEdit* memo, const remote::TResultBox& box);

}  // namespace kestrova
