// The demo's easy-mode driver: run inside the virtual LAN's PC namespace (scripts/demo.sh), it
// opens the main window, walks from the mode page through the power and cabling steps to the
// device selection, saves a picture there, chooses the camera of the given family, lets the
// address step move it into the PC's subnet (the waits scaled by KESTROVA_TIME_SCALE) and saves
// a picture of the finished step.
//   kestrova_wizard_demo --family N --out DIR [--lang CODE]
// Exit status 0 when the camera answers at its new address, 1 otherwise, 2 for bad arguments.
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPixmap>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "e2e/wizard/wizard_walk.h"
#include "ui/app/global.h"

using namespace kestrova;

namespace {

bool Save(QWidget& w, const QString& file) {
  QApplication::processEvents();
  const bool ok = w.grab().save(file);
  std::printf("%s %s\n", ok ? "picture" : "NOT saved:", qPrintable(file));
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  int family = 0;
  QString out;
  std::string lang = "en";
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--family")) family = std::atoi(argv[i + 1]);
    else if (!std::strcmp(argv[i], "--out")) out = QString::fromLocal8Bit(argv[i + 1]);
    else if (!std::strcmp(argv[i], "--lang")) lang = argv[i + 1];
  }
  if (family == 0 || out.isEmpty()) {
    std::fprintf(stderr, "usage: kestrova_wizard_demo --family N --out DIR [--lang CODE]\n");
    return 2;
  }
  ::setenv("KESTROVA_DISCOVERY", "live", 1);  // this driver runs inside the virtual LAN only
  QApplication app(argc, argv);
  QDir().mkpath(out);

  // A private set of folders, in the chosen language.
  const QString run = QDir::temp().filePath(QStringLiteral("kestrova-wizard-demo-%1").arg(QCoreApplication::applicationPid()));
  AppPaths paths;
  paths.programDir = (run + "/prog").toStdString();
  paths.userDir = (run + "/user").toStdString();
  paths.languageDir = (run + "/lang").toStdString();
  paths.runtimeDir = (run + "/run").toStdString();
  paths.programBaseName = "kestrova";
  QDir().mkpath(run + "/prog");
  QDir().mkpath(run + "/user");
  {
    std::ofstream opt(paths.userDir / "option.ini", std::ios::binary);
    opt << "[Global]\r\nlan=" << lang << "\r\n";
  }
  SetPaths(paths);

  int status = 1;
  {
    TfrmMain w;
    w.show();
    std::string why;
    const bool reached = e2e::WalkToSetIp(w, family, &why, [&] {
      Save(w, QDir(out).filePath(QStringLiteral("demo-wizard-devlist.png")));
    });
    if (!reached) {
      std::fprintf(stderr, "kestrova_wizard_demo: %s\n", why.c_str());
    } else {
      auto& page = *static_cast<TfrmEsy_SetIP*>(w.CurrentPage());
      const bool ok = e2e::SetIpSucceeds(w, page, 120000, &why);
      Save(w, QDir(out).filePath(QStringLiteral("demo-wizard-setip.png")));
      if (ok) {
        std::printf("the camera answers at %s\n", qPrintable(page.edLanUrl->text()));
        status = 0;
      } else {
        std::fprintf(stderr, "kestrova_wizard_demo: %s\n", why.c_str());
      }
    }
  }
  QDir(run).removeRecursively();
  return status;
}
