// Renders the upgrade window to PNG files in every language:
//   kestrova_upgrade_shots <output folder>
// gives upgrade_before_<lang>.png (a package chosen), upgrade_during_<lang>.png (an upload
// half-way, record 2 of 3) and upgrade_waiting_<lang>.png (the camera awaited after it).
// Nothing is sent anywhere: the uploads are stand-ins that report progress and wait.
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "core/i18n/lang.h"
#include "gui/app/save_shot.h"
#include "ui/app/lang_message_box.h"
#include "ui/i18n/apply_strings.h"
#include "ui/upgrade/upgrade_soft.h"

namespace {

using namespace kestrova;

int Save(QWidget& w, const QString& file) {
  return kestrova::testing::SaveShotFile(w, file) ? 0 : 1;
}

bool Pump(const std::function<bool()>& cond) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!cond()) {
    if (std::chrono::steady_clock::now() > end) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 20);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/screenshots");
  QDir().mkpath(out);
  auto dir = std::filesystem::temp_directory_path() / ("kv-upgrade-shots-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  // Shown only: the stand-in uploads read nothing.
  const std::string file = "/home/user/firmware/ipcam_fw_2.4.1.pk2";
  SetMessageBoxHook([](const MessageBoxCall&) { return IDOK; });
  int failures = 0;
  {
    TStrRes strres(dir / "lang", "kestrova");
    SetLanguageLocation(dir / "lang", "kestrova");
    for (const char* code : {"en", "cn", "b5", "pl", "kr"}) {
      SetLanguage(code);
      const QString lang = QString::fromLatin1(code);
      std::atomic<int> stage{0};  // 0 sending, 1 awaiting the camera, 2 done
      TfrmUpgradeSoft w;
      ApplyLangFontTo(code, &w);
      w.SetTarget({5, "192.168.1.10", 81, "admin", "vemra"});
      w.SetIoFactory([&stage](upgrade::TPk2ProgressFn progress) {
        upgrade::TUpgradeIo io;
        io.FileExists = [](const std::string&) { return true; };
        io.ReadFile = [](const std::string&, std::size_t) -> std::optional<std::string> {
          return std::string("PK2\0", 4) + std::string(24, '\0');
        };
        io.SendPackage = [&stage, progress](const std::string&, const upgrade::TUpgradeTarget&) {
          upgrade::TPk2Progress p;
          p.Records = 3;
          p.Record = 2;
          p.Total = 4194314;
          p.Sent = 2800000;
          while (stage == 0 && progress(p)) std::this_thread::sleep_for(std::chrono::milliseconds(5));
          p.AwaitingCamera = true;
          while (stage == 1 && progress(p)) std::this_thread::sleep_for(std::chrono::milliseconds(5));
          return upgrade::TTransferResult{true, false, "", ""};
        };
        return io;
      });
      w.show();
      w.Edit1->setText(QString::fromStdString(file));
      failures += Save(w, QDir(out).filePath(QStringLiteral("upgrade_before_%1.png").arg(lang)));
      w.BitBtn2Click();
      if (!Pump([&] { return !w.lblProgress->text().isEmpty(); })) ++failures;
      failures += Save(w, QDir(out).filePath(QStringLiteral("upgrade_during_%1.png").arg(lang)));
      stage = 1;
      const QString waiting = LangText(LoadStr("IDS_UPGRADEWAITBACK"));
      if (!Pump([&] { return w.lblProgress->text() == waiting; })) ++failures;
      failures += Save(w, QDir(out).filePath(QStringLiteral("upgrade_waiting_%1.png").arg(lang)));
      stage = 2;
      if (!Pump([&] { return !w.Running(); })) ++failures;
    }
  }
  SetMessageBoxHook(nullptr);
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  return failures == 0 ? 0 : 1;
}
