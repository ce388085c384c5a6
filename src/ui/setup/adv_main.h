// The advanced window: the PC's own network settings, the list of cameras found on the LAN and
// every network parameter of the selected camera. Created at start in both modes; it owns the
// discovery engine and the device list for the whole run.
//
// Discovery on the UI thread: a QSocketNotifier per engine descriptor runs ProcessPending
// (parse, family-8 follow-ups, merge, the SDK's handed-over reports), and Timer1 (1000 ms)
// runs the search round, the expiry and the count. The closed-SDK driver of family 4 is
// created with the window from 286/ in the program folder; its search runs with Find only.
//
// Where the engine really broadcasts is chosen by KESTROVA_DISCOVERY: "live" starts it,
// "off" keeps it stopped. Unset, it starts except in offscreen runs (tests, screenshots),
// which must never broadcast on the machine's network.
//
// The window's list adapter holds the device list's change callback and the engine's merge
// callback; other readers of the list (the easy-mode device page) read it on their own timer.
//
// KESTROVA_SCREENSHOT=file saves a picture of the top-level window after
// KESTROVA_SCREENSHOT_DELAY_MS (default 4000); KESTROVA_SCREENSHOT_QUIT=1 then ends the program.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "core/discovery/device_list.h"
#include "core/hostnet/address_state.h"
#include "core/hostnet/net_card.h"
#include "core/remote/outer_check.h"
#include "ui/app/page_base.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QSocketNotifier;
class QSpinBox;
class QTabWidget;
class QTimer;
class QTreeWidget;

namespace kestrova {

class DiscoveryEngine;
class IDeviceSeries;
class TfrmUpgradeSoft;
class TIPEdit;
class TfrmAddAddress;
class TfrmAuthInput;
class TDeviceListView;
class TPanel;
class TSaveDialog;
class TTeButton;
class TTeGroupBox;
class TTeListView;
class TTeSpeedButton;
class TTeTabSheet;
class TSdkDiscovery;

class TfrmAdv_Main : public TfrmPageBase {
  Q_OBJECT
 public:
  // The window with an engine of the default configuration (real ports, limited broadcast,
  // the added addresses stored in option.ini).
  explicit TfrmAdv_Main(QWidget* parent = nullptr);
  // The window with the given engine (tests: loopback ports). startDiscovery false leaves the
  // engine stopped and the timer off, so that a test fills the list itself.
  TfrmAdv_Main(QWidget* parent, std::unique_ptr<DiscoveryEngine> engine, bool startDiscovery);
  ~TfrmAdv_Main() override;

  bool GoPrevious() override;

  DiscoveryEngine& Engine() { return *engine_; }
  DeviceList& Devices();
  QTimer* Timer1() const { return Timer1_; }

  // Discovery session operations (see the engine for the parts below the window).
  void SearchDevices(int round, bool withSdk);
  void ClearDevices();
  // The count label and the empty-list panel, and the status line below the list that says
  // when the last round could leave through no adapter at all.
  void UpdateDevCount();
  // The record of the camera chosen in the wizard (SelectedMac, else SelectedIp), or nullptr.
  const TDevInfo* CurrentDevice() const;
  // The selected entry's record, or nullptr.
  const TDevInfo* SelectedDevice() const;

  // Handlers.
  void Timer1Timer();
  void btnFindClick();
  void spbExportClick();
  // "Add by address": asks for a camera's address; a unicast dotted IPv4 address is added to
  // the engine's added addresses, stored in the per-user option.ini ([DevFind] Addresses) and
  // searched at once; anything else is refused with a warning and nothing is stored. The
  // addresses removed in the dialog are forgotten the same way.
  void btnAddAddrClick();
  void spbOpenClick();
  void ShowDeviceInfo();
  void ShowOuterUrl(const TDevInfo& rec);
  void btnApplyClick();
  void btnFillClick();
  void spbCheckOuterUrlClick();
  void spbOpenOuterUrlClick();
  // The port-mapping window for the selected camera: its address and HTTP port, for family 8
  // its data port too, through the router at the panel's gateway.
  void BtnPortMapClick();
  // Copies the panel into out (a copy of the selected record); false after the port warning.
  // A name decoded from a legacy code page and not edited keeps the record's bytes.
  bool ReadSettings(TDevInfo& out);
  // Asks for credentials and sends the family's settings command (old: the listed record, rec:
  // the settings record); on success the entry is deleted and Find runs. True when sent (family
  // 9: accepted); a command that could not be sent or was refused says so (IDS_SETNETFAIL).
  bool ApplyDevice(const TDevInfo& old, TDevInfo rec);
  // Runs the credential dialog (or the installed prompt of a test); the dialog's result.
  int RunCredentialDialog(TfrmAuthInput& dlg);
  // The upgrade button: asks for the credentials, then opens the upgrade window for the camera
  // as the panel shows it, with the discovery timer stopped while it is open. True when the
  // window closed after a successful upgrade; the entry is then deleted and Find runs.
  bool UpgradeDevice(int family);
  // Closing: stop the timer and discovery, close the sockets, clear the list.
  void FormClose();

  // Writes the export file (one line per entry, in list order, CR LF). False when the file
  // could not be written; Export then says so (IDS_EXPORTFAIL with the path).
  bool ExportDevices(const QString& path) const;
  // Tests: the save dialog is replaced by a function returning the chosen path ("" = cancel).
  void SetExportPathProvider(std::function<QString()> provider) { exportPath_ = std::move(provider); }
  // Replaces the adapter list (read from the system at creation) and selects the first.
  void SetNetCards(std::vector<TNET_CARD> cards);
  // Tests and the end-to-end driver replace what would block or reach the network:
  // the modal run of the credential dialog (gets the prepared, pre-filled dialog and returns
  // its modal result), the closed-SDK configuration call of family 4 (the window's SDK driver
  // by default), the address-in-use probe of the automatic setting, the HTTP GET of Check and
  // the family-9 driver (the process-wide one by default).
  using CredentialPrompt = std::function<int(TfrmAuthInput&)>;
  using SdkConfigure = std::function<bool(const TDevInfo&)>;
  using AddressProbe = std::function<TProbeResult(const TNET_CARD&, const std::string&, int)>;
  void SetCredentialPrompt(CredentialPrompt fn) { credentialPrompt_ = std::move(fn); }
  // The modal run of the upgrade window (gets it prepared; returns its modal result).
  using UpgradeRunner = std::function<int(TfrmUpgradeSoft&)>;
  void SetUpgradeRunner(UpgradeRunner fn) { upgradeRunner_ = std::move(fn); }
  bool DiscoveryTimerActive() const;
  // The modal run of the address dialog (gets the dialog, returns its result).
  using AddressPrompt = std::function<int(TfrmAddAddress&)>;
  void SetAddressPrompt(AddressPrompt fn) { addressPrompt_ = std::move(fn); }
  void SetSdkConfigure(SdkConfigure fn) { sdkConfigure_ = std::move(fn); }
  void SetAddressProbe(AddressProbe fn) { addressProbe_ = std::move(fn); }
  void SetHttpGet(remote::HttpGetFn fn) { httpGet_ = std::move(fn); }
  void SetSeries(IDeviceSeries* series) { series_ = series; }
  IDeviceSeries& Series() const;
  // The adapter selected in cmbCards, or nullptr.
  const TNET_CARD* SelectedCard() const;
  // The PC side as the adapter fields show it (edCurIP, edCurGate, edCurSubmask), trimmed.
  std::string PcAddress() const;
  std::string PcGateway() const;
  std::string PcMask() const;
  // Whether ip already answers on the selected adapter (the installed probe of a test, else
  // AddressInUse); Refused without an adapter.
  TProbeResult ProbeAddress(const std::string& ip, int timeoutMs);

  // Saves a picture of the top-level window after delayMs (used by the demo).
  void ScheduleScreenshot(const QString& path, int delayMs, bool quitAfter);

 protected:
  void showEvent(QShowEvent* e) override;
  void hideEvent(QHideEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  void Init(std::unique_ptr<DiscoveryEngine> engine, bool startDiscovery);
  void BuildLayout();
  void StartDiscovery();
  void RebuildNotifiers();
  void OnMerged(const DeviceList::MergeResult& r);
  void OnDdnsUpdated(DeviceItemId id);
  void cmbIPAssChange();
  void cmbCardsChange();
  void FitTypeColumn();
  void SetTabsEnabled(bool on);
  void EditChanged();

  std::unique_ptr<DiscoveryEngine> engine_;
  std::unique_ptr<TSdkDiscovery> sdk_;  // after engine_: goes first
  std::vector<TNET_CARD> cards_;
  std::unique_ptr<TDeviceListView> listView_;
  std::vector<QSocketNotifier*> notifiers_;
  std::function<QString()> exportPath_;
  CredentialPrompt credentialPrompt_;
  UpgradeRunner upgradeRunner_;
  AddressPrompt addressPrompt_;
  SdkConfigure sdkConfigure_;
  AddressProbe addressProbe_;
  remote::HttpGetFn httpGet_;
  IDeviceSeries* series_ = nullptr;
  bool Filling = false;
  bool closed_ = false;

  QTimer* Timer1_ = nullptr;
  // PC group.
  TTeGroupBox* TeGroupBox1 = nullptr;
  QComboBox* cmbCards = nullptr;
  QLineEdit* edCurIP = nullptr;
  QLineEdit* edCurSubmask = nullptr;
  QLineEdit* edCurGate = nullptr;
  // Device list group.
  TTeGroupBox* TeGroupBox2 = nullptr;
  TTeListView* ListView = nullptr;
  QLabel* lblDevNum = nullptr;
  QLabel* lblSendState = nullptr;  // shown while no adapter could send the search rounds
  TTeSpeedButton* btnAddAddr = nullptr;
  TTeButton* btnFind = nullptr;
  TTeSpeedButton* spbExport = nullptr;
  TPanel* plInfo = nullptr;
  TSaveDialog* SaveDialog1 = nullptr;
  // Details group.
  TTeGroupBox* TeGroupBox3 = nullptr;
  QTabWidget* PageControl1 = nullptr;
  TTeTabSheet* tabBase = nullptr;
  TTeTabSheet* tabOther = nullptr;
  QLineEdit* edName = nullptr;
  QSpinBox* edPort = nullptr;
  QSpinBox* edDataPort = nullptr;
  QLabel* lblDataPort = nullptr;
  QLabel* Label4 = nullptr;
  QComboBox* cmbIPAss = nullptr;
  QComboBox* cmbIPAssBak = nullptr;
  QLabel* lblIP = nullptr;
  QLabel* lblSubmask = nullptr;
  QLabel* lblGateway = nullptr;
  TIPEdit* edIP = nullptr;
  TIPEdit* edSubMask = nullptr;
  TIPEdit* edGateway = nullptr;
  QLineEdit* edUrl = nullptr;
  TTeSpeedButton* spbOpen = nullptr;
  QLabel* Label6 = nullptr;
  QLineEdit* edOuterUrl = nullptr;
  TTeSpeedButton* spbCheckOuterUrl = nullptr;
  TTeSpeedButton* spbOpenOuterUrl = nullptr;
  TTeButton* btnFill = nullptr;
  TTeButton* BtnPortMap = nullptr;
  TTeButton* btnApply = nullptr;
  QLineEdit* edVersion = nullptr;
  QLabel* lblMac = nullptr;
  QLabel* Label2 = nullptr;
  QLineEdit* edDDnsPwd = nullptr;
  TTeButton* btnUpgrade = nullptr;
  int upgradeFamily_ = -1;
};

// The advanced window of the main window (created at start), or nullptr before and after.
TfrmAdv_Main* AdvancedWindow();

}  // namespace kestrova
