// Renders the common dialogs to PNG files:
//   kestrova_dialog_shots <output folder>
// gives dialog_countdown_<lang>.png, dialog_auth_input_<lang>.png and dialog_qinfo.png.
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPixmap>

#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "core/i18n/lang.h"
#include "gui/app/save_shot.h"
#include "ui/dialogs/auth_input.h"
#include "ui/dialogs/countdown.h"
#include "ui/dialogs/q_info.h"
#include "ui/i18n/apply_strings.h"

namespace {

int Save(QWidget& w, const QString& file) {
  w.show();
  return kestrova::testing::SaveShotFile(w, file) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace kestrova;
  QApplication app(argc, argv);
  const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/screenshots");
  QDir().mkpath(out);
  auto dir = std::filesystem::temp_directory_path() / ("kv-dialog-shots-" + std::to_string(::getpid()));
  int failures = 0;
  {
    TStrRes strres(dir, "kestrova");
    SetLanguageLocation(dir, "kestrova");
    for (const char* code : {"en", "cn"}) {
      SetLanguage(code);
      const QString lang = QString::fromLatin1(code);
      {
        TfrmCountdown dlg;
        dlg.SetSeconds(60);
        dlg.SetHint(LangText(LoadStr("IDS_REMOVELAN")));
        dlg.Timer1Timer();  // 59
        dlg.Timer1Timer();  // 58: the hint shows red
        ApplyLangFontTo(code, &dlg);
        failures += Save(dlg, QDir(out).filePath(QStringLiteral("dialog_countdown_%1.png").arg(lang)));
      }
      {
        TfrmAuthInput dlg;
        dlg.SetFamily(5);
        dlg.edUser->setText("admin");
        dlg.edPwd->setText("vemra");
        ApplyLangFontTo(code, &dlg);
        failures += Save(dlg, QDir(out).filePath(QStringLiteral("dialog_auth_input_%1.png").arg(lang)));
      }
    }
    TFrmQInfo panel;
    panel.SetInfo(QStringLiteral("The camera's DDNS account is printed on the label under the camera, "
                                 "next to the serial number. Enter it exactly as printed."));
    failures += Save(panel, QDir(out).filePath(QStringLiteral("dialog_qinfo.png")));
  }
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  return failures == 0 ? 0 : 1;
}
