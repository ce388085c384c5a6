// Program entry: the application object, the main window (the only window created here), the
// message loop.
#include <QApplication>
#include <QSocketNotifier>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include "ui/app/main_form.h"

namespace {

int g_signalPipe[2] = {-1, -1};

void OnTerminate(int) {
  const char c = 1;
  [[maybe_unused]] auto n = ::write(g_signalPipe[1], &c, 1);
}

// SIGTERM and SIGINT end the message loop, so that the main window is destroyed normally and
// removes its language folder.
void QuitOnTerminateSignals(QApplication& app) {
  if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  auto* n = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
  QObject::connect(n, &QSocketNotifier::activated, &app, [] { QApplication::quit(); });
  struct sigaction sa {};
  sa.sa_handler = OnTerminate;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  ::sigaction(SIGTERM, &sa, nullptr);
  ::sigaction(SIGINT, &sa, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("kestrova"));
  QuitOnTerminateSignals(app);
  kestrova::TfrmMain frmMain;
  if (!frmMain.Started()) return 0;
  frmMain.show();
  return app.exec();
}
