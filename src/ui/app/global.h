// Process-wide state of the application shell: the wizard state the pages share, the busy flag
// of the set-IP step, the link addresses of Config.ini, the program's folders, and helpers to
// open an address and to reach the main window.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include <QString>

#include "core/settings/option_file.h"

namespace kestrova {

class TfrmMain;

// ---- wizard state (UI thread) ----
extern std::string SelectedMac;     // chosen camera's MAC
extern std::string SelectedIp;      // chosen camera's IP address (the new one after set-IP)
extern std::string CameraUser;      // credentials of every request to the chosen camera
extern std::string CameraPassword;
extern int CameraNumber;            // 1 at start; 1-based position of the chosen camera
extern bool CredentialsChecked;     // the set-IP step's credential test passed

// Set by the set-IP step while its automatic configuration runs; the main window refuses to
// close meanwhile.
extern bool SetIpBusy;

// ---- Config.ini, section LINK (read once at start) ----
extern std::string OnlineCD;
extern std::string AboutLink;

// ---- folders ----
struct AppPaths {
  std::filesystem::path programDir;   // ProgramDir() (Config.ini, machine option.ini, skin file)
  std::filesystem::path userDir;      // per-user settings folder (user option.ini)
  std::filesystem::path languageDir;  // per-user folder of the language files
  std::filesystem::path runtimeDir;   // per-user folder of the single-instance lock
  std::string programBaseName;        // executable name without extension ("kestrova")
};
// The folders, worked out from the platform on first use.
const AppPaths& Paths();
// Replaces the folders (tests); an empty field is worked out from the platform.
void SetPaths(const AppPaths& paths);

// option.ini with the machine layer (program folder) and the user layer.
TOptionFile OpenOptionFile();
// Writes one value to the per-user option.ini. When it was not written, the user is told so
// (IDS_SETTINGSREADERR when the file could not be read and was therefore left alone,
// IDS_SETTINGSWRITEERR otherwise, both naming the file) and the result is false.
bool WriteOptionString(const std::string& section, const std::string& key, const std::string& value);
bool WriteOptionBool(const std::string& section, const std::string& key, bool value);

// OEM code page of this machine (on Linux derived from LC_ALL / LC_MESSAGES / LANG).
int PlatformOemCodePage();

// Opens an address with the desktop ("open": web address or local file). Tests replace the
// opener so that nothing is really opened.
void OpenAddress(const QString& address);
void SetAddressOpener(std::function<void(const QString&)> opener);

// The main window once it exists (nullptr before and after).
TfrmMain* MainForm();
void SetMainForm(TfrmMain* form);

}  // namespace kestrova
