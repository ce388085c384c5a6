#include "ui/skin/skin.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>

#include "ui/app/global.h"

static void InitKestrovaResources() { Q_INIT_RESOURCE(kestrova); }

namespace kestrova {

namespace {

QString ReadText(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  // A theme file is small text; anything larger is not one.
  if (f.size() > 4 * 1024 * 1024) return {};
  return QString::fromUtf8(f.readAll());
}

}  // namespace

QString SkinFilePath() {
  const AppPaths& p = Paths();
  return QString::fromStdString((p.programDir / (p.programBaseName + ".mskn")).string());
}

QString DefaultStyleSheet() {
  InitKestrovaResources();
  return ReadText(QStringLiteral(":/style/default.qss"));
}

QString LoadSkin(QApplication& app) {
  const QString theme = SkinFilePath();
  if (QFileInfo(theme).isFile()) {
    app.setStyleSheet(ReadText(theme));
    return theme;
  }
  app.setStyleSheet(DefaultStyleSheet());
  return QStringLiteral(":/style/default.qss");
}

}  // namespace kestrova
