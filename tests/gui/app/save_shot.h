// The shots tools' picture of a window after the pending events (SaveShot: as
// "<dir>/<name>_<code>.png"): its path printed on stdout, or a line on stderr and false when it
// cannot be written.
#pragma once

#include <QApplication>
#include <QDir>
#include <QString>
#include <QWidget>

#include <cstdio>

namespace kestrova::testing {

inline bool SaveShotFile(QWidget& w, const QString& file) {
  QApplication::processEvents();
  if (!w.grab().save(file)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
    return false;
  }
  std::printf("%s\n", qPrintable(file));
  return true;
}

inline bool SaveShot(QWidget& w, const QString& dir, const QString& name, const char* code) {
  return SaveShotFile(w, QDir(dir).filePath(QStringLiteral("%1_%2.png").arg(name, QString::fromLatin1(code))));
}

}  // namespace kestrova::testing
