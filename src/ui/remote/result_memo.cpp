#include "ui/remote/result_memo.h"

#include <QFontMetrics>
#include <QPlainTextEdit>
#include <QScrollBar>

#include "core/remote/check_report.h"
#include "ui/i18n/apply_strings.h"

namespace kestrova {

QPlainTextEdit* MakeResultMemo(QWidget* parent, const QRect& geometry) {
  auto* memo = new QPlainTextEdit(parent);
  memo->setObjectName(QStringLiteral("memResult"));
  memo->setReadOnly(true);
  memo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  memo->setTabStopDistance(QFontMetrics(memo->font()).horizontalAdvance(QLatin1Char(' ')) * 8);
  memo->setGeometry(geometry);
  return memo;
}

void ShowResultBox(QPlainTextEdit* memo, const remote::TResultBox& box) {
  memo->setPlainText(LangText(box.Text()));
  memo->verticalScrollBar()->setValue(memo->verticalScrollBar()->maximum());
}

}  // namespace kestrova
