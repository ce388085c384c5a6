// The easy mode in a main window of its own, offscreen, for the wizard tests and screenshots:
// the advanced window's list is filled by hand (discovery stays off), the PC side is one
// adapter of the test's choosing, and the address step's settings command, reachability
// question and credential dialog are the test's, so nothing leaves the host.
#pragma once

#include <QApplication>
#include <QTimer>
#include <QTreeWidget>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "core/discovery/dev_info.h"
#include "core/hostnet/net_card.h"
#include "gui/app/app_fixture.h"
#include "net/platform/scaled_clock.h"
#include "ui/app/global.h"
#include "ui/app/main_form.h"
#include "ui/discovery/esy_dev_list.h"
#include "ui/setup/adv_main.h"
#include "ui/setup/esy_set_ip.h"
#include "ui/skin/controls.h"

namespace kestrova::testing {

inline TDevInfo WizardCamera(int family, const char* mac, const char* ip, uint16_t port = 80) {
  TDevInfo d;
  d.DevType = family;
  d.MAC = mac;
  d.Name = "Camera";
  d.IP = ip;
  d.NetMask = "255.255.255.0";
  d.Gateway = "192.168.1.1";
  d.DNS1 = "192.168.1.1";
  d.HttpPort = port;
  d.DataPort = 554;
  d.IPMode = 2;
  d.DDnsUser = "sn" + std::string(mac).substr(std::string(mac).size() - 2);
  return d;
}

inline TNET_CARD WizardPc(const char* ip = "192.168.0.10", const char* gateway = "192.168.0.1") {
  TNET_CARD c;
  c.Desc = "eth0";
  c.IfName = "eth0";
  c.IP = ip;
  c.NetMask = "255.255.255.0";
  c.Gateway = gateway;
  return c;
}

// Runs the event loop until cond() holds or timeoutMs passes (a bound, not a timing
// assumption); true when it holds.
inline bool PumpUntil(const std::function<bool()>& cond, int timeoutMs = 10000) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!cond()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 20);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// The main window with the wizard's helpers.
class WizardWindow {
 public:
  explicit WizardWindow(const char* language = "en", std::vector<TNET_CARD> cards = {WizardPc()})
      : language_(WriteLanguage(folders, language)) {
    // Shown (offscreen), but closing it never ends the test's application.
    w.setAttribute(Qt::WA_QuitOnClose, false);
    w.show();
    adv = AdvancedWindow();
    adv->SetNetCards(std::move(cards));
    adv->SetAddressProbe([this](const TNET_CARD&, const std::string& ip, int) {
      probed.push_back(ip);
      return probe;
    });
    // Created now (shown once, with no camera chosen) so that its hooks are in place before
    // a test reaches it.
    setIp = static_cast<TfrmEsy_SetIP*>(w.ShowPage(QStringLiteral("TfrmEsy_SetIP")));
    setIp->SetApply([this](const TDevInfo& old, const TDevInfo& neu) {
      applied.push_back(neu);
      return apply ? apply(old, neu) : true;
    });
    setIp->SetCheck([this](int, const std::string& url) {
      checked.push_back(url);
      return reachable;
    });
    devList = static_cast<TfrmEsy_DevList*>(w.ShowPage(QStringLiteral("TfrmEsy_DevList")));
    w.ShowPage(QStringLiteral("TfrmSel_Mode"));
    QApplication::processEvents();
  }
  ~WizardWindow() { SetIpBusy = false; }

  // Puts a camera into the advanced window's list (as a discovery answer would).
  void Listed(const TDevInfo& d) { adv->Devices().MergeDevice(d); }
  // Shows a page by class name.
  TfrmPageBase* Show(const char* cls) { return w.ShowPage(QString::fromLatin1(cls)); }
  QString Current() const { return w.CurrentPage() ? w.CurrentPage()->objectName() : QString(); }

  // Chooses the camera with that MAC on the device-selection step and presses Next.
  bool Choose(const std::string& mac) {
    Show("TfrmEsy_DevList");
    devList->Timer1Timer(true);
    const auto& entries = devList->Mirror().Entries();
    for (size_t i = 0; i < entries.size(); ++i) {
      if (entries[i].MAC != mac) continue;
      QTreeWidgetItem* item = devList->ListView1->topLevelItem(int(i));
      devList->ListView1->setCurrentItem(item);
      return devList->GoNext();
    }
    return false;
  }
  TempFolders folders;  // before the window: it reads its settings from these folders
 private:
  static std::string WriteLanguage(TempFolders& f, const char* code) {
    TempFolders::Write(f.UserDir() / "option.ini", std::string("[Global]\r\nlan=") + code + "\r\n");
    return code;
  }
  std::string language_;

 public:
  TfrmMain w;
  TfrmAdv_Main* adv = nullptr;
  TfrmEsy_SetIP* setIp = nullptr;
  TfrmEsy_DevList* devList = nullptr;

  // The address step's I/O as the test sets it.
  std::function<bool(const TDevInfo&, const TDevInfo&)> apply;  // default: sent, nothing moves
  int reachable = 1;
  TProbeResult probe;  // default: not probed (Refused) = free
  std::vector<TDevInfo> applied;
  std::vector<std::string> checked;
  std::vector<std::string> probed;
};

}  // namespace kestrova::testing
