// Walking the real easy mode in the virtual LAN: the simulator in the camera namespace, the
// main window offscreen in the PC namespace with live discovery, and the steps from the mode
// page to the address step's result. Used by the end-to-end test and by the demo's driver.
#pragma once

#include <unistd.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>

#include "core/i18n/lang.h"
#include "ui/app/main_form.h"
#include "ui/app/sel_mode.h"
#include "ui/app/static_steps.h"
#include "ui/discovery/esy_dev_list.h"
#include "ui/i18n/apply_strings.h"
#include "ui/setup/adv_main.h"
#include "ui/setup/esy_set_ip.h"
#include "ui/skin/controls.h"
#include "support/sim_process.h"

namespace kestrova::e2e {

namespace fs = std::filesystem;

inline std::string Ns(const char* side) {
  const char* p = std::getenv("KV_PREFIX");
  return std::string(p && *p ? p : "kv") + "-" + side;
}

inline std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// Runs the window's event loop until cond() holds (a bound for the LAN, not a timing assumption).
inline bool PumpUntil(const std::function<bool()>& cond, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!cond()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 50);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

// The simulator in the camera namespace with one configuration, until Stop() (bounded waits:
// the test-support runner).
class Camsim {
 public:
  explicit Camsim(std::string config) : config_(std::move(config)) {}
  bool Start() {
    sim_.Rewrite(config_);
    return sim_.StartCommand({"ip", "netns", "exec", Ns("cam"), testsupport::CamsimPath(), "--config",
                              sim_.ConfigPath(), "--iface", "eth0", "--log", sim_.LogPath()});
  }
  void Stop() { sim_.Stop(); }
  std::string Log() const { return sim_.LogText(); }
  const std::string& Output() const { return sim_.output; }

 private:
  std::string config_;
  testsupport::SimProcess sim_;
};

// From the mode page through the power and cabling steps to the device selection, where the
// camera of that family is waited for and selected; then Next. False (with what failed in
// *why) when a step does not come.
inline bool WalkToSetIp(TfrmMain& w, int family, std::string* why, const std::function<void()>& atSelection = {}) {
  auto fail = [why](const char* what) {
    if (why) *why = what;
    return false;
  };
  auto* mode = static_cast<TfrmSel_Mode*>(w.ShowPage(QStringLiteral("TfrmSel_Mode")));
  mode->btnEasy->click();
  if (w.CurrentPage()->objectName() != QLatin1String("frmLinkSource")) return fail("no power step");
  static_cast<TWizardStepPage*>(w.CurrentPage())->btnNext->click();
  if (w.CurrentPage()->objectName() != QLatin1String("frmEsy_Line")) return fail("no cabling step");
  static_cast<TWizardStepPage*>(w.CurrentPage())->btnNext->click();
  auto* list = qobject_cast<TfrmEsy_DevList*>(w.CurrentPage());
  if (!list) return fail("no device selection");
  int row = -1;
  const bool listed = PumpUntil(
      [&] {
        const auto& entries = list->Mirror().Entries();
        TfrmAdv_Main* adv = AdvancedWindow();
        for (size_t i = 0; i < entries.size(); ++i) {
          const TDevInfo* d = list->Mirror().DeviceAt(adv->Devices(), int(i));
          if (d && d->DevType == family) {
            row = int(i);
            return true;
          }
        }
        return false;
      },
      20000);
  if (!listed) return fail("the camera was not listed");
  list->ListView1->setCurrentItem(list->ListView1->topLevelItem(row));
  if (atSelection) atSelection();
  list->btnNext->click();
  if (!qobject_cast<TfrmEsy_SetIP*>(w.CurrentPage())) return fail("no address step");
  return true;
}

// Waits for the address step's verdict: the camera answers (true), or the step reported a
// failure or went back (false).
inline bool SetIpSucceeds(TfrmMain& w, TfrmEsy_SetIP& page, int timeoutMs, std::string* why) {
  const QString cannot = LangText(LoadStr("IDS_CANNOTVISIT"));
  const bool ended = PumpUntil(
      [&] {
        if (page.Configuring()) return false;
        return page.lblOK->isVisible() || page.lblChecking->text() == cannot || w.CurrentPage() != &page;
      },
      timeoutMs);
  if (page.lblOK->isVisible()) return true;
  if (why) *why = ended ? page.lblChecking->text().toStdString() : "the address step did not end";
  return false;
}

}  // namespace kestrova::e2e
