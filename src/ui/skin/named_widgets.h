// Labels and edits placed at fixed positions on a page, named so that the language files and
// the tests find them.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QRect>
#include <QString>

namespace kestrova {

inline QLabel* NamedLabel(QWidget* parent, const char* name, const char* text, QRect at) {
  auto* l = new QLabel(QString::fromUtf8(text), parent);
  l->setObjectName(QString::fromLatin1(name));
  l->setGeometry(at);
  return l;
}

inline QLineEdit* NamedEdit(QWidget* parent, const char* name, QRect at) {
  auto* e = new QLineEdit(parent);
  e->setObjectName(QString::fromLatin1(name));
  e->setGeometry(at);
  return e;
}

}  // namespace kestrova
