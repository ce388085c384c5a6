#include "ui/app/global.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

#include <cstdlib>

#include "core/i18n/lang.h"
#include "net/platform/program_dir.h"
#include "ui/app/lang_message_box.h"
#include "ui/i18n/apply_strings.h"

namespace kestrova {

std::string SelectedMac;
std::string SelectedIp;
std::string CameraUser;
std::string CameraPassword;
int CameraNumber = 1;
bool CredentialsChecked = false;
bool SetIpBusy = false;

std::string OnlineCD;
std::string AboutLink;

namespace {

std::filesystem::path ToPath(const QString& s) { return std::filesystem::path(s.toStdString()); }

AppPaths& Stored() {
  static AppPaths p;
  return p;
}
bool& Resolved() {
  static bool r = false;
  return r;
}

void FillFromPlatform(AppPaths& p) {
  if (p.programBaseName.empty()) {
    QString base = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    if (base.isEmpty()) base = QStringLiteral("kestrova");
    p.programBaseName = base.toStdString();
  }
  if (p.programDir.empty()) p.programDir = ProgramDir();  // KESTROVA_PROGRAM_DIR, else the executable's folder
  if (p.userDir.empty()) {
    // The user's application-data folder + program name; the program folder when there is none.
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    p.userDir = base.isEmpty() ? p.programDir : ToPath(base) / p.programBaseName;
  }
  if (p.runtimeDir.empty()) {
    QString rt = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (rt.isEmpty()) rt = QDir::tempPath();
    p.runtimeDir = ToPath(rt);
  }
  if (p.languageDir.empty()) {
    // Per-user: the runtime folder is private to the user (mode 0700).
    p.languageDir = p.runtimeDir / (p.programBaseName + ".lang");
  }
}

std::function<void(const QString&)>& Opener() {
  static std::function<void(const QString&)> opener;
  return opener;
}

TfrmMain*& MainFormPtr() {
  static TfrmMain* f = nullptr;
  return f;
}

}  // namespace

const AppPaths& Paths() {
  if (!Resolved()) {
    FillFromPlatform(Stored());
    Resolved() = true;
  }
  return Stored();
}

void SetPaths(const AppPaths& paths) {
  Stored() = paths;
  FillFromPlatform(Stored());
  Resolved() = true;
}

TOptionFile OpenOptionFile() {
  const AppPaths& p = Paths();
  return TOptionFile("option.ini", p.programDir, p.userDir);
}

namespace {

bool ReportOptionWrite(const TOptionFile& file, bool written) {
  if (written) return true;
  QString text = LangText(LoadStr(file.UserFileReadFailed() ? "IDS_SETTINGSREADERR" : "IDS_SETTINGSWRITEERR"));
  text.replace(QStringLiteral("%s"), QString::fromStdString(file.UserFilePath().string()));
  ShowMessageBox(text, LangText(LoadStr("IDS_WARNING")), MB_ICONWARNING);
  return false;
}

}  // namespace

bool WriteOptionString(const std::string& section, const std::string& key, const std::string& value) {
  TOptionFile file = OpenOptionFile();
  return ReportOptionWrite(file, file.WriteString(section, key, value));
}

bool WriteOptionBool(const std::string& section, const std::string& key, bool value) {
  TOptionFile file = OpenOptionFile();
  return ReportOptionWrite(file, file.WriteBool(section, key, value));
}

int PlatformOemCodePage() {
  // The locale that decides the messages: LC_ALL, then LC_MESSAGES, then LANG.
  for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* v = std::getenv(var);
    if (v && *v) return OemCodePageFromLocale(v);
  }
  return OemCodePageFromLocale("");
}

void OpenAddress(const QString& address) {
  if (address.isEmpty()) return;
  if (Opener()) {
    Opener()(address);
    return;
  }
  QUrl url = QUrl::fromUserInput(address, QDir::currentPath(), QUrl::AssumeLocalFile);
  QDesktopServices::openUrl(url);
}

void SetAddressOpener(std::function<void(const QString&)> opener) { Opener() = std::move(opener); }

TfrmMain* MainForm() { return MainFormPtr(); }
void SetMainForm(TfrmMain* form) { MainFormPtr() = form; }

}  // namespace kestrova
