#include "ui/setup/adv_main.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QShowEvent>
#include <QSaveFile>
#include <QSocketNotifier>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "core/config/deployment.h"
#include "core/discovery/added_addresses.h"
#include "core/setup/address_rules.h"
#include "core/i18n/lang.h"
#include "net/cgi/device_series.h"
#include "net/discovery/discovery_engine.h"
#include "net/hostnet/address_probe.h"
#include "net/hostnet/net_cards.h"
#include "ui/remote/port_mapping_call.h"
#include "net/http/tools.h"
#include "net/sdk/sdk_discovery.h"
#include "net/setnet/setnet.h"
#include "ui/app/global.h"
#include "ui/app/lang_message_box.h"
#include "ui/app/main_form.h"
#include "ui/dialogs/auth_input.h"
#include "ui/dialogs/countdown.h"
#include "ui/dialogs/dialog_placement.h"
#include "ui/discovery/add_address.h"
#include "ui/discovery/device_list_view.h"
#include "ui/i18n/apply_strings.h"
#include "ui/i18n/camera_text.h"
#include "ui/setup/ip_edit.h"
#include "ui/setup/port_spin.h"
#include "ui/skin/controls.h"
#include "ui/upgrade/upgrade_soft.h"

namespace kestrova {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// Whether this run may broadcast on the network it is in (see the header).
bool DiscoveryAllowed() {
  const QByteArray mode = qgetenv("KESTROVA_DISCOVERY");
  if (mode == "live") return true;
  if (mode == "off") return false;
  return QGuiApplication::platformName() != QLatin1String("offscreen");
}

template <class T>
T* Make(QWidget* parent, const char* name) {
  T* w = new T(parent);
  w->setObjectName(QString::fromLatin1(name));
  return w;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const char* text) {
  auto* l = Make<TTeLabel>(parent, name);
  l->setText(QString::fromUtf8(text));
  return l;
}

QLineEdit* MakeEdit(QWidget* parent, const char* name) {
  auto* e = Make<QLineEdit>(parent, name);
  e->setReadOnly(true);
  return e;
}

std::string Trimmed(const QString& s) { return s.trimmed().toStdString(); }

// A box whose text is a language string with its "%s" replaced by arg.
int LangBoxWithArg(const std::string& textKey, const std::string& arg, const std::string& captionKey, int flags) {
  QString text = LangText(LoadStr(textKey));
  text.replace(QStringLiteral("%s"), Q(arg));
  return ShowMessageBox(text, LangText(LoadStr(captionKey)), flags);
}

// The window whose device list the restart countdowns look into.
const TfrmAdv_Main* g_countdownListOwner = nullptr;

// Wait cursor for the lifetime of the object.
struct WaitCursor {
  WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitCursor() { QApplication::restoreOverrideCursor(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace

namespace {

constexpr const char* kAddressesSection = "DevFind";
constexpr const char* kAddressesKey = "Addresses";

DiscoveryConfig StoredConfig() {
  DiscoveryConfig cfg;
  cfg.addresses = ParseAddressList(OpenOptionFile().ReadString(kAddressesSection, kAddressesKey, ""));
  return cfg;
}

}  // namespace

TfrmAdv_Main::TfrmAdv_Main(QWidget* parent) : TfrmPageBase(parent) {
  Init(std::make_unique<DiscoveryEngine>(StoredConfig()), DiscoveryAllowed());
}

TfrmAdv_Main::TfrmAdv_Main(QWidget* parent, std::unique_ptr<DiscoveryEngine> engine, bool startDiscovery)
    : TfrmPageBase(parent) {
  Init(engine ? std::move(engine) : std::make_unique<DiscoveryEngine>(), startDiscovery);
}

TfrmAdv_Main::~TfrmAdv_Main() {
  if (g_countdownListOwner == this) {
    SetCountdownLookup(nullptr);
    g_countdownListOwner = nullptr;
  }
  FormClose();
  if (listView_) listView_->Detach();
}

DeviceList& TfrmAdv_Main::Devices() { return engine_->List(); }

void TfrmAdv_Main::Init(std::unique_ptr<DiscoveryEngine> engine, bool startDiscovery) {
  setObjectName(QStringLiteral("frmAdv_Main"));
  setWindowTitle(QStringLiteral("Advance Mode"));
  engine_ = std::move(engine);
  // The closed-SDK driver with its report target; its search runs with Find only.
  sdk_ = std::make_unique<TSdkDiscovery>(*engine_);
  BuildLayout();

  // Creation order: the connection-mode master list, the language, the sort, the adapters,
  // then discovery.
  cmbIPAssBak->addItem(QStringLiteral("ADSL Virtual Dial(PPPoE)"), 0);
  cmbIPAssBak->addItem(QStringLiteral("Dynamic IP Address(DHCP)"), 1);
  cmbIPAssBak->addItem(QStringLiteral("Static IP Address"), 2);
  ApplyStrings(this);
  FitTypeColumn();
  engine_->List().SetSort(kColIP, true);
  std::vector<TNET_CARD> cards;
  GetNetCards(cards);
  connect(cmbCards, &QComboBox::currentIndexChanged, this, &TfrmAdv_Main::cmbCardsChange);
  SetNetCards(std::move(cards));

  listView_ = std::make_unique<TDeviceListView>(engine_->List(), ListView);
  connect(listView_.get(), &TDeviceListView::deviceReplaced, this, [this] { ShowDeviceInfo(); });
  connect(listView_.get(), &TDeviceListView::deviceDdnsUpdated, this, &TfrmAdv_Main::OnDdnsUpdated);
  connect(ListView, &QTreeWidget::itemSelectionChanged, this, &TfrmAdv_Main::ShowDeviceInfo);
  connect(ListView, &QTreeWidget::itemDoubleClicked, this, [this] {
    ShowDeviceInfo();
    spbOpenClick();
  });
  engine_->SetOnMerged([this](const DeviceList::MergeResult& r) { OnMerged(r); });
  // A restart countdown waits for its camera to come back into this list: by MAC, else by
  // address.
  SetCountdownLookup([this](const std::string& mac, const std::string& ip) {
    return engine_->List().CurrentDevice(mac, ip) != nullptr;
  });
  g_countdownListOwner = this;
  // The CGI family driver's Search is left without a hook here: every search round of the
  // engine already runs the family-9 search on its own socket and merges what it finds, so a
  // hook would only send the same request twice a round. The driver serves this window as
  // the settings sender of family 9 and as the holder of the selected camera (SetDevice).

  connect(btnFind, &QPushButton::clicked, this, &TfrmAdv_Main::btnFindClick);
  connect(spbExport, &QToolButton::clicked, this, &TfrmAdv_Main::spbExportClick);
  connect(btnAddAddr, &QToolButton::clicked, this, &TfrmAdv_Main::btnAddAddrClick);
  connect(spbOpen, &QToolButton::clicked, this, &TfrmAdv_Main::spbOpenClick);
  connect(spbOpenOuterUrl, &QToolButton::clicked, this, &TfrmAdv_Main::spbOpenOuterUrlClick);
  connect(spbCheckOuterUrl, &QToolButton::clicked, this, &TfrmAdv_Main::spbCheckOuterUrlClick);
  connect(btnApply, &QPushButton::clicked, this, &TfrmAdv_Main::btnApplyClick);
  connect(btnFill, &QPushButton::clicked, this, &TfrmAdv_Main::btnFillClick);
  connect(btnUpgrade, &QPushButton::clicked, this, [this] { UpgradeDevice(upgradeFamily_); });
  connect(BtnPortMap, &QPushButton::clicked, this, &TfrmAdv_Main::BtnPortMapClick);
  connect(cmbIPAss, &QComboBox::currentIndexChanged, this, &TfrmAdv_Main::cmbIPAssChange);
  // Address, mask, gateway and the two ports enable Apply; the name alone does not.
  for (TIPEdit* e : {edIP, edSubMask, edGateway}) connect(e, &TIPEdit::changed, this, &TfrmAdv_Main::EditChanged);
  for (QSpinBox* e : {edPort, edDataPort}) {
    connect(e, &QSpinBox::textChanged, this, &TfrmAdv_Main::EditChanged);
  }
  connect(edCurIP, &QLineEdit::textChanged, this,
          [this] { btnFill->setEnabled(SelectedDevice() && !edCurIP->text().isEmpty()); });

  Timer1_ = new QTimer(this);
  Timer1_->setObjectName(QStringLiteral("Timer1"));
  Timer1_->setInterval(1000);
  connect(Timer1_, &QTimer::timeout, this, &TfrmAdv_Main::Timer1Timer);

  ShowDeviceInfo();
  UpdateDevCount();
  if (startDiscovery) StartDiscovery();

  const QByteArray shot = qgetenv("KESTROVA_SCREENSHOT");
  if (!shot.isEmpty()) {
    bool ok = false;
    int delay = qEnvironmentVariableIntValue("KESTROVA_SCREENSHOT_DELAY_MS", &ok);
    if (!ok || delay < 0) delay = 4000;
    ScheduleScreenshot(QString::fromLocal8Bit(shot), delay, qgetenv("KESTROVA_SCREENSHOT_QUIT") == "1");
  }
}

void TfrmAdv_Main::BuildLayout() {
  auto* root = new QHBoxLayout(this);
  root->setContentsMargins(6, 6, 6, 6);
  root->setSpacing(6);

  // ---- left column: the PC and the device list ----
  auto* left = new QVBoxLayout;
  left->setSpacing(6);
  root->addLayout(left);

  TeGroupBox1 = Make<TTeGroupBox>(this, "TeGroupBox1");
  TeGroupBox1->setTitle(QStringLiteral("Current Computer information"));
  auto* pc = new QGridLayout(TeGroupBox1);
  pc->setContentsMargins(8, 4, 8, 6);
  pc->setVerticalSpacing(3);
  pc->addWidget(MakeLabel(TeGroupBox1, "lblCard", "Network Card:"), 0, 0);
  cmbCards = Make<TTeSComboBox>(TeGroupBox1, "cmbCards");
  cmbCards->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  cmbCards->setMinimumContentsLength(12);
  pc->addWidget(cmbCards, 0, 1);
  pc->addWidget(MakeLabel(TeGroupBox1, "Label1", "IP Address:"), 1, 0);
  edCurIP = MakeEdit(TeGroupBox1, "edCurIP");
  pc->addWidget(edCurIP, 1, 1);
  pc->addWidget(MakeLabel(TeGroupBox1, "Label7", "Sub Mask:"), 2, 0);
  edCurSubmask = MakeEdit(TeGroupBox1, "edCurSubmask");
  pc->addWidget(edCurSubmask, 2, 1);
  pc->addWidget(MakeLabel(TeGroupBox1, "Label9", "Gateway:"), 3, 0);
  edCurGate = MakeEdit(TeGroupBox1, "edCurGate");
  pc->addWidget(edCurGate, 3, 1);
  pc->setColumnStretch(1, 1);
  left->addWidget(TeGroupBox1);

  TeGroupBox2 = Make<TTeGroupBox>(this, "TeGroupBox2");
  TeGroupBox2->setTitle(QStringLiteral("Cameras list"));
  auto* lg = new QGridLayout(TeGroupBox2);
  lg->setContentsMargins(6, 4, 6, 6);
  lg->setVerticalSpacing(4);
  ListView = Make<TTeListView>(TeGroupBox2, "ListView");
  ListView->SetColumns({QStringLiteral("Series"), QStringLiteral("Name"), QStringLiteral("IP Address")});
  ListView->setColumnWidth(0, 40);
  ListView->setColumnWidth(1, 90);
  ListView->setColumnWidth(2, 105);
  ListView->setRootIsDecorated(false);
  ListView->setSelectionMode(QAbstractItemView::SingleSelection);
  ListView->setAllColumnsShowFocus(true);
  ListView->header()->setStretchLastSection(false);
  ListView->setMinimumWidth(40 + 90 + 105 + 6);
  lg->addWidget(ListView, 0, 0, 1, 4);
  // The empty-list panel lies over the list.
  plInfo = Make<TPanel>(TeGroupBox2, "plInfo");
  plInfo->SetCaption(QStringLiteral("There is no camera found in the LAN."));
  plInfo->setFrameShape(QFrame::NoFrame);
  plInfo->setAutoFillBackground(true);
  plInfo->setMinimumHeight(40);
  lg->addWidget(plInfo, 0, 0, 1, 4, Qt::AlignHCenter | Qt::AlignVCenter);
  plInfo->setFixedSize(40 + 90 + 105 - 20, 48);
  lblDevNum = MakeLabel(TeGroupBox2, "lblDevNum", "Count:");
  lg->addWidget(lblDevNum, 1, 0);
  lg->setColumnStretch(1, 1);
  btnFind = Make<TTeButton>(TeGroupBox2, "btnFind");
  btnFind->setText(QStringLiteral("&Find"));
  lg->addWidget(btnFind, 1, 2);
  spbExport = Make<TTeSpeedButton>(TeGroupBox2, "spbExport");
  spbExport->setText(QStringLiteral("&Export"));
  spbExport->setEnabled(false);
  lg->addWidget(spbExport, 1, 3);
  btnAddAddr = Make<TTeSpeedButton>(TeGroupBox2, "btnAddAddr");
  btnAddAddr->setText(QStringLiteral("Add by address..."));
  lg->addWidget(btnAddAddr, 2, 0, 1, 4, Qt::AlignLeft);
  lblSendState = MakeLabel(TeGroupBox2, "lblSendState", "");
  lblSendState->setWordWrap(true);
  // Wraps inside the group's width instead of widening the column in longer languages.
  lblSendState->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Minimum);
  lblSendState->setStyleSheet(QStringLiteral("color: #b00000;"));
  lblSendState->setVisible(false);
  lg->addWidget(lblSendState, 3, 0, 1, 4);
  lg->setRowStretch(0, 1);
  left->addWidget(TeGroupBox2, 1);
  SaveDialog1 = new TSaveDialog(this);
  SaveDialog1->setObjectName(QStringLiteral("SaveDialog1"));
  SaveDialog1->Filter = Q(std::string(kExportFilter));
  SaveDialog1->DefaultExt = QStringLiteral("txt");  // the dialog appends ".txt" to a bare name
  SaveDialog1->FileName = Q(std::string(kExportFileName));

  // ---- right column: the selected camera ----
  TeGroupBox3 = Make<TTeGroupBox>(this, "TeGroupBox3");
  TeGroupBox3->setTitle(QStringLiteral("Camera Information"));
  auto* dg = new QVBoxLayout(TeGroupBox3);
  dg->setContentsMargins(6, 4, 6, 6);
  PageControl1 = Make<QTabWidget>(TeGroupBox3, "PageControl1");
  dg->addWidget(PageControl1);
  root->addWidget(TeGroupBox3, 1);

  tabBase = Make<TTeTabSheet>(PageControl1, "tabBase");
  PageControl1->addTab(tabBase, QStringLiteral("General"));
  tabBase->SetCaption(QStringLiteral("General"));
  auto* bg = new QGridLayout(tabBase);
  bg->setContentsMargins(8, 8, 8, 8);
  bg->setVerticalSpacing(5);
  int row = 0;
  bg->addWidget(MakeLabel(tabBase, "Label3", "Name:"), row, 0);
  edName = Make<QLineEdit>(tabBase, "edName");
  edName->setMaxLength(15);
  bg->addWidget(edName, row++, 1, 1, 3);
  bg->addWidget(MakeLabel(tabBase, "Label8", "HTTP Port:"), row, 0);
  edPort = Make<TPortSpin>(tabBase, "edPort");
  bg->addWidget(edPort, row, 1);
  lblDataPort = MakeLabel(tabBase, "lblDataPort", "Data Port:");
  bg->addWidget(lblDataPort, row, 2);
  edDataPort = Make<TPortSpin>(tabBase, "edDataPort");
  bg->addWidget(edDataPort, row++, 3);
  lblDataPort->hide();
  edDataPort->hide();
  Label4 = MakeLabel(tabBase, "Label4", "Network:");
  bg->addWidget(Label4, row, 0);
  cmbIPAss = Make<TTeSComboBox>(tabBase, "cmbIPAss");
  bg->addWidget(cmbIPAss, row++, 1, 1, 3);
  cmbIPAssBak = Make<TTeSComboBox>(this, "cmbIPAssBak");
  cmbIPAssBak->hide();
  lblIP = MakeLabel(tabBase, "lblIP", "IP Address :");
  bg->addWidget(lblIP, row, 0);
  edIP = Make<TIPEdit>(tabBase, "edIP");
  bg->addWidget(edIP, row++, 1, 1, 3);
  lblSubmask = MakeLabel(tabBase, "lblSubmask", "Sub Mask:");
  bg->addWidget(lblSubmask, row, 0);
  edSubMask = Make<TIPEdit>(tabBase, "edSubMask");
  bg->addWidget(edSubMask, row++, 1, 1, 3);
  lblGateway = MakeLabel(tabBase, "lblGateway", "Gateway:");
  bg->addWidget(lblGateway, row, 0);
  edGateway = Make<TIPEdit>(tabBase, "edGateway");
  bg->addWidget(edGateway, row++, 1, 1, 3);
  bg->addWidget(MakeLabel(tabBase, "Label5", "Inner URL:"), row, 0);
  {
    auto* h = new QHBoxLayout;
    edUrl = MakeEdit(tabBase, "edUrl");
    h->addWidget(edUrl, 1);
    spbOpen = Make<TTeSpeedButton>(tabBase, "spbOpen");
    spbOpen->setText(QStringLiteral("Open"));
    h->addWidget(spbOpen);
    bg->addLayout(h, row++, 1, 1, 3);
  }
  Label6 = MakeLabel(tabBase, "Label6", "Outer URL:");
  bg->addWidget(Label6, row, 0);
  {
    auto* h = new QHBoxLayout;
    edOuterUrl = MakeEdit(tabBase, "edOuterUrl");
    h->addWidget(edOuterUrl, 1);
    spbCheckOuterUrl = Make<TTeSpeedButton>(tabBase, "spbCheckOuterUrl");
    spbCheckOuterUrl->setText(QStringLiteral("Check"));
    h->addWidget(spbCheckOuterUrl);
    spbOpenOuterUrl = Make<TTeSpeedButton>(tabBase, "spbOpenOuterUrl");
    spbOpenOuterUrl->setText(QStringLiteral("Open"));
    h->addWidget(spbOpenOuterUrl);
    bg->addLayout(h, row++, 1, 1, 3);
  }
  bg->setRowStretch(row++, 1);
  {
    // Two rows, so that the longer captions of some languages are never cut.
    auto* h = new QHBoxLayout;
    btnFill = Make<TTeButton>(tabBase, "btnFill");
    btnFill->setText(QStringLiteral("One &Key Set"));
    h->addWidget(btnFill);
    h->addStretch(1);
    bg->addLayout(h, row++, 0, 1, 4);
    auto* h2 = new QHBoxLayout;
    BtnPortMap = Make<TTeButton>(tabBase, "BtnPortMap");
    BtnPortMap->setText(QStringLiteral("&Set port mapping"));
    h2->addWidget(BtnPortMap);
    h2->addStretch(1);
    btnApply = Make<TTeButton>(tabBase, "btnApply");
    btnApply->setText(QStringLiteral("&Apply"));
    btnApply->setEnabled(false);
    h2->addWidget(btnApply);
    bg->addLayout(h2, row++, 0, 1, 4);
  }
  bg->setColumnStretch(1, 1);
  bg->setColumnStretch(3, 1);

  tabOther = Make<TTeTabSheet>(PageControl1, "tabOther");
  PageControl1->addTab(tabOther, QStringLiteral("Other"));
  tabOther->SetCaption(QStringLiteral("Other"));
  auto* og = new QGridLayout(tabOther);
  og->setContentsMargins(8, 8, 8, 8);
  og->setVerticalSpacing(5);
  og->addWidget(MakeLabel(tabOther, "Label11", "Version:"), 0, 0);
  edVersion = MakeEdit(tabOther, "edVersion");
  og->addWidget(edVersion, 0, 1);
  og->addWidget(MakeLabel(tabOther, "lblPreMac", "MAC Value:"), 1, 0);
  lblMac = Make<TTeLabel>(tabOther, "lblMac");
  lblMac->setTextInteractionFlags(Qt::TextSelectableByMouse);
  og->addWidget(lblMac, 1, 1);
  Label2 = MakeLabel(tabOther, "Label2", "DDNS Password:");
  og->addWidget(Label2, 2, 0);
  edDDnsPwd = MakeEdit(tabOther, "edDDnsPwd");
  og->addWidget(edDDnsPwd, 2, 1);
  btnUpgrade = Make<TTeButton>(tabOther, "btnUpgrade");
  btnUpgrade->setText(QStringLiteral("Upgrade Fireware"));
  og->addWidget(btnUpgrade, 3, 1, Qt::AlignLeft);
  og->setRowStretch(4, 1);
  og->setColumnStretch(1, 1);
}

const TNET_CARD* TfrmAdv_Main::SelectedCard() const {
  const int i = cmbCards->currentIndex();
  if (i < 0) return nullptr;
  const int at = cmbCards->itemData(i).toInt();
  return at >= 0 && size_t(at) < cards_.size() ? &cards_[size_t(at)] : nullptr;
}

std::string TfrmAdv_Main::PcAddress() const { return Trimmed(edCurIP->text()); }
std::string TfrmAdv_Main::PcGateway() const { return Trimmed(edCurGate->text()); }
std::string TfrmAdv_Main::PcMask() const { return Trimmed(edCurSubmask->text()); }

TProbeResult TfrmAdv_Main::ProbeAddress(const std::string& ip, int timeoutMs) {
  const TNET_CARD* card = SelectedCard();
  if (!card) return {};
  WaitCursor wait;
  return addressProbe_ ? addressProbe_(*card, ip, timeoutMs) : AddressInUse(*card, ip, timeoutMs);
}

IDeviceSeries& TfrmAdv_Main::Series() const { return series_ ? *series_ : DeviceSeries(); }

void TfrmAdv_Main::cmbCardsChange() {
  const TNET_CARD* card = SelectedCard();
  edCurIP->setText(card ? Q(card->IP) : QString());
  edCurSubmask->setText(card ? Q(card->NetMask) : QString());
  edCurGate->setText(card ? Q(card->Gateway) : QString());
  btnFill->setEnabled(SelectedDevice() && !edCurIP->text().isEmpty());
}

// The type column is 40 pixels wide; it grows only as far as its title needs in the current
// language and font, so that the title is never cut.
void TfrmAdv_Main::FitTypeColumn() {
  const QFontMetrics fm(ListView->header()->font());
  const int need = fm.horizontalAdvance(ListView->headerItem()->text(0)) + 2 * fm.averageCharWidth() + 14;
  const int type = std::max(40, need);
  ListView->setColumnWidth(0, type);
  // The name column gives up what the type column took, so the list keeps its width.
  ListView->setColumnWidth(1, std::max(60, 90 - (type - 40)));
}

void TfrmAdv_Main::SetNetCards(std::vector<TNET_CARD> cards) {
  cards_ = std::move(cards);
  const QSignalBlocker block(cmbCards);
  cmbCards->clear();
  for (size_t i = 0; i < cards_.size(); ++i) cmbCards->addItem(Q(cards_[i].Desc), int(i));
  if (cmbCards->count() > 0) cmbCards->setCurrentIndex(0);
  cmbCardsChange();
}

void TfrmAdv_Main::StartDiscovery() {
  engine_->Start();  // a socket whose range is exhausted stays inactive, without a message
  RebuildNotifiers();
  Timer1_->start();
}

void TfrmAdv_Main::RebuildNotifiers() {
  for (QSocketNotifier* n : notifiers_) delete n;
  notifiers_.clear();
  for (int fd : engine_->fds()) {
    auto* n = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(n, &QSocketNotifier::activated, this, [this] { engine_->ProcessPending(); });
    notifiers_.push_back(n);
  }
}

bool TfrmAdv_Main::GoPrevious() {
  if (MainForm()) MainForm()->ShowPage(QStringLiteral("TfrmSel_Mode"));
  return true;
}

void TfrmAdv_Main::SearchDevices(int round, bool withSdk) { engine_->SearchDevices(round, withSdk); }

void TfrmAdv_Main::ClearDevices() {
  engine_->List().ClearDevices();
  UpdateDevCount();
}

void TfrmAdv_Main::UpdateDevCount() {
  const DevCountView v = engine_->List().UpdateDevCount(listView_ && listView_->HasSelection());
  lblDevNum->setText(LangText(LoadStr("IDS_DEVCOUNT")) + Q(v.countText));
  plInfo->setVisible(v.showEmptyPanel);
  if (v.showEmptyPanel) plInfo->raise();
  if (v.selectFirst && listView_) listView_->SelectRow(0);
  // Texts of the message table (every language has them, the Korean file too, which keeps this
  // window's designed texts otherwise); refreshed here so that a change of language shows.
  const std::string add = LoadStr("IDS_ADDBYADDR");
  if (!add.empty()) btnAddAddr->setText(LangText(add));
  const bool unsent = engine_->Running() && engine_->RoundUnsent();
  if (unsent) lblSendState->setText(LangText(LoadStr("IDS_NOADAPTERSEND")));
  lblSendState->setVisible(unsent);
}

const TDevInfo* TfrmAdv_Main::CurrentDevice() const { return engine_->List().CurrentDevice(SelectedMac, SelectedIp); }

const TDevInfo* TfrmAdv_Main::SelectedDevice() const { return listView_ ? listView_->SelectedDevice() : nullptr; }

void TfrmAdv_Main::OnMerged(const DeviceList::MergeResult& r) {
  if (r.added && !listView_->HasSelection() && !engine_->List().Empty()) listView_->SelectRow(0);
  if (r.added) spbExport->setEnabled(engine_->List().Count() > 0 && isVisible());
  UpdateDevCount();
}

void TfrmAdv_Main::OnDdnsUpdated(DeviceItemId id) {
  const TDevInfo* d = engine_->List().DeviceById(id);
  if (!d) return;
  if (edName->text() == CameraName(*d) && !d->DDnsServer.empty() && !d->DDnsUser.empty()) ShowOuterUrl(*d);
}

void TfrmAdv_Main::Timer1Timer() {
  engine_->Tick();  // search round, expiry, round counter
  UpdateDevCount();
}

void TfrmAdv_Main::btnFindClick() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  engine_->Find();
  UpdateDevCount();
  QApplication::restoreOverrideCursor();
}

bool TfrmAdv_Main::ExportDevices(const QString& path) const {
  const DeviceList& list = engine_->List();
  std::vector<TDevInfo> devs;
  devs.reserve(size_t(list.Count()));
  for (int r = 0; r < list.Count(); ++r) devs.push_back(list.DeviceAt(r));
  const std::string out = ExportDeviceList(devs);
  QSaveFile f(path);  // an existing file is replaced whole
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  if (f.write(out.data(), qint64(out.size())) != qint64(out.size())) {
    f.cancelWriting();
    return false;
  }
  return f.commit();
}

void TfrmAdv_Main::btnAddAddrClick() {
  TfrmAddAddress dlg(this);
  dlg.SetAddresses(engine_->Addresses());
  int result;
  if (addressPrompt_) {
    result = addressPrompt_(dlg);
  } else {
    CenterOnMainWindow(&dlg);
    result = dlg.exec();
  }
  if (result != QDialog::Accepted) return;
  const std::vector<std::string> before = engine_->Addresses();
  std::vector<std::string> list = ParseAddressList(FormatAddressList(dlg.Addresses()));  // after Remove
  const bool removed = list != before;
  const QString text = dlg.edAddress->text().trimmed();
  // OK with nothing typed only takes the removals; an address typed is checked.
  if (!text.isEmpty() || !removed) {
    switch (AddAddress(list, text.toStdString())) {
      case AddAddressResult::Invalid:
        LangMessageBox("IDS_BADADDRESS", "IDS_WARNING", MB_ICONWARNING);
        return;  // nothing is changed, the removals neither
      case AddAddressResult::Full:
        LangMessageBox("IDS_ADDRLISTFULL", "IDS_WARNING", MB_ICONWARNING);
        return;
      case AddAddressResult::Known:
      case AddAddressResult::Added:
        break;
    }
  }
  if (list != before) {
    engine_->SetAddresses(list);
    // A file that cannot be written says so itself; the addresses still hold for this run.
    WriteOptionString(kAddressesSection, kAddressesKey, FormatAddressList(list));
  }
  // Asked at once, not only from the next tick on.
  if (engine_->Running()) engine_->SearchDevices(engine_->Round(), false);
  UpdateDevCount();
}

void TfrmAdv_Main::spbExportClick() {
  QString path;
  if (exportPath_) {
    path = exportPath_();
  } else {
    SaveDialog1->FileName = Q(std::string(kExportFileName));
    if (!SaveDialog1->Execute(this)) return;
    path = SaveDialog1->FileName;
  }
  if (path.isEmpty()) return;
  if (!ExportDevices(path)) LangBoxWithArg("IDS_EXPORTFAIL", path.toStdString(), "IDS_ERROR", MB_ICONSTOP);
}

void TfrmAdv_Main::spbOpenClick() {
  if (!edUrl->text().isEmpty()) OpenAddress(edUrl->text());
}

void TfrmAdv_Main::SetTabsEnabled(bool on) {
  for (QWidget* tab : {static_cast<QWidget*>(tabBase), static_cast<QWidget*>(tabOther)}) {
    for (QWidget* w : tab->findChildren<QWidget*>()) w->setEnabled(on);
  }
}

void TfrmAdv_Main::cmbIPAssChange() {
  const int i = cmbIPAss->currentIndex();
  if (i < 0) return;
  const TAddressFieldsState st = AddressFieldsFor(cmbIPAss->itemData(i).toInt());
  const bool visible = st.Visible;
  for (QWidget* w : {static_cast<QWidget*>(lblIP), static_cast<QWidget*>(edIP), static_cast<QWidget*>(lblSubmask),
                     static_cast<QWidget*>(edSubMask), static_cast<QWidget*>(lblGateway),
                     static_cast<QWidget*>(edGateway)})
    w->setVisible(visible);
  for (TIPEdit* e : {edIP, edSubMask, edGateway}) e->SetReadOnly(!st.Editable);
  if (!Filling) btnApply->setEnabled(true);
}

void TfrmAdv_Main::ShowOuterUrl(const TDevInfo& rec) {
  const QString url = Q(OuterAddressFor(rec));
  edOuterUrl->setText(url);
  edOuterUrl->home(false);
  const bool on = !url.isEmpty();
  spbOpenOuterUrl->setEnabled(on);
  Label6->setEnabled(on);
  spbCheckOuterUrl->setEnabled(on);
}

void TfrmAdv_Main::ShowDeviceInfo() {
  Filling = true;
  const TDevInfo* rec = SelectedDevice();
  const bool selected = rec != nullptr;
  SetTabsEnabled(selected);
  btnFill->setEnabled(selected && !edCurIP->text().isEmpty());
  btnApply->setEnabled(false);
  edName->setReadOnly(false);
  if (rec) {
    const TDetailsView v = DetailsViewFor(*rec);
    cmbIPAss->clear();
    for (int mode : v.Modes) {
      const int bak = cmbIPAssBak->findData(mode);
      cmbIPAss->addItem(bak >= 0 ? cmbIPAssBak->itemText(bak) : QString::number(mode), mode);
    }
    if (rec->DevType == 9) Series().SetDevice(*rec);
    edName->setReadOnly(v.NameReadOnly);
    // Read-only: the button colour; writable: the field's own colour.
    QPalette pal = edPort->palette();
    if (v.NameReadOnly) pal.setColor(QPalette::Base, pal.color(QPalette::Button));
    edName->setPalette(pal);
    btnUpgrade->setVisible(v.UpgradeVisible);
    upgradeFamily_ = rec->DevType;
    edName->setText(CameraName(*rec));
    edPort->setValue(rec->HttpPort);
    edDataPort->setValue(rec->DataPort);
    cmbIPAss->setCurrentIndex(v.ModeIndex ? *v.ModeIndex : -1);
    cmbIPAssChange();
    edIP->SetIPString(Q(rec->IP));
    edSubMask->SetIPString(Q(rec->NetMask));
    edGateway->SetIPString(Q(rec->Gateway));
    lblMac->setText(Q(v.MacText));
    Label2->setVisible(v.DDnsPwdVisible);
    edDDnsPwd->setVisible(v.DDnsPwdVisible);
    edDDnsPwd->setText(Q(rec->DDnsPwd));
    edVersion->setText(Q(rec->Version));
    edUrl->setText(Q(v.LanUrl));
    lblDataPort->setVisible(v.DataPortVisible);
    edDataPort->setVisible(v.DataPortVisible);
    cmbIPAss->setVisible(v.ModeBoxVisible);
    Label4->setVisible(v.ModeBoxVisible);
    ShowOuterUrl(*rec);
    for (QLineEdit* e : {edName, edUrl, edOuterUrl, edDDnsPwd, edVersion}) e->home(false);
  } else {
    edName->clear();
    edUrl->clear();
    edOuterUrl->clear();
    lblMac->clear();
    edDDnsPwd->clear();
    edVersion->clear();
    edIP->SetIP(0);
    edSubMask->SetIP(0);
    edGateway->SetIP(0);
  }
  Filling = false;
}

void TfrmAdv_Main::EditChanged() {
  if (!Filling) btnApply->setEnabled(true);
}

bool TfrmAdv_Main::ReadSettings(TDevInfo& out) {
  TPanelSettings panel;
  panel.Name = Trimmed(edName->text());
  // A name shown decoded from the camera's code page and left as it was goes back as the very
  // bytes the camera sent.
  panel.KeepName = NameInLegacyCodePage(out) && edName->text() == CameraName(out);
  panel.Port = Trimmed(edPort->text());
  panel.DataPort = Trimmed(edDataPort->text());
  if (cmbIPAss->currentIndex() >= 0) panel.Mode = cmbIPAss->currentData().toInt();
  panel.IP = edIP->IPString().toStdString();
  panel.NetMask = edSubMask->IPString().toStdString();
  panel.Gateway = edGateway->IPString().toStdString();
  const TReadSettingsResult r = kestrova::ReadSettings(panel, out);
  if (r.Ok) return true;
  LangMessageBox(r.MessageKey, "IDS_WARNING", MB_ICONWARNING);
  (r.Focus == "edDataPort" ? edDataPort : edPort)->setFocus();
  return false;
}

void TfrmAdv_Main::BtnPortMapClick() {
  const TDevInfo* sel = SelectedDevice();
  if (!sel) return;
  const std::string ip = edIP->IPString().toStdString();
  std::vector<TPortMappingAsk> mappings{{ip, Trimmed(edPort->text()), "TCP"}};
  if (sel->DevType == 8) mappings.push_back({ip, Trimmed(edDataPort->text()), "TCP"});
  RunPortMapping(edGateway->IPString().toStdString(), mappings);
}

void TfrmAdv_Main::btnApplyClick() {
  const TDevInfo* sel = SelectedDevice();
  if (!sel) return;
  TDevInfo rec = *sel;
  // The address control's last octet (an empty one reads 255).
  if (edIP->Octet(3) == 0 || edIP->Octet(3) == 255) return;
  if (!ReadSettings(rec)) return;
  ApplyDevice(*sel, std::move(rec));
}

int TfrmAdv_Main::RunCredentialDialog(TfrmAuthInput& dlg) {
  if (credentialPrompt_) return credentialPrompt_(dlg);
  CenterOnMainWindow(&dlg);
  return dlg.exec();
}

bool TfrmAdv_Main::ApplyDevice(const TDevInfo& listed, TDevInfo rec) {
  // The dialog runs an event loop in which discovery may replace or expire the entry: keep
  // copies and the entry's id, not the list's record.
  const TDevInfo old = listed;
  const DeviceItemId id = listView_ ? listView_->SelectedId() : 0;
  const int family = old.DevType;

  TfrmAuthInput dlg(this);
  dlg.SetFamily(family);
  dlg.SetBaseAddress(CameraBaseUrl(old.IP, old.HttpPort, TUrlPort::Always));
  const TCameraCredentials pre = PrefilledCredentials(family, TCredentialUse::Apply);
  dlg.edUser->setText(Q(pre.User));
  dlg.edPwd->setText(Q(pre.Password));
  if (RunCredentialDialog(dlg) != QDialog::Accepted) return false;
  const std::string user = Trimmed(dlg.edUser->text());
  const std::string password = Trimmed(dlg.edPwd->text());

  bool ok = false;
  {
    WaitCursor wait;
    // The commands leave from the discovery sockets; family 8 from the advanced window's
    // socket (IdUDPServer5); family 4 through the SDK.
    SettingsTransport t;
    t.Family2 = [this](uint16_t port, const std::vector<uint8_t>& b) {
      return engine_->SendFrom(DiscoverySocket::IdUDPServer2, port, b);
    };
    t.Family5 = [this](uint16_t port, const std::vector<uint8_t>& b) {
      return engine_->SendFrom(DiscoverySocket::IdUDPServer4, port, b);
    };
    t.Family8 = [this](uint16_t port, const std::vector<uint8_t>& b) {
      return engine_->SendFrom(DiscoverySocket::IdUDPServer5, port, b);
    };
    t.Series = &Series();
    t.Family4 = [this](const TDevInfo& r) {
      if (sdkConfigure_) return sdkConfigure_(r);
      return sdk_ && sdk_->Configure(r);
    };
    ok = ApplyDeviceSettings(old, rec, user, password, t);
  }
  if (!ok) {
    // Not sent, not answered or refused: the list stays as it was, and the user knows. The SDK
    // library answers whether a family-4 camera took the settings.
    if (family == 4) LangMessageBox("IDS_SDKCONFIGFAIL", "IDS_WARNING", MB_ICONWARNING);
    else LangMessageBox("IDS_SETNETFAIL", "IDS_ERROR", MB_ICONSTOP);
    return false;
  }
  // The camera comes back with its new settings at its next reply.
  if (id != 0) engine_->List().Remove(id);
  btnFindClick();
  ShowDeviceInfo();
  return true;
}

void TfrmAdv_Main::btnFillClick() {
  const TDevInfo* sel = SelectedDevice();
  if (!sel) return;
  std::optional<int> mode;
  if (cmbIPAss->currentIndex() >= 0) mode = cmbIPAss->currentData().toInt();
  const std::string pre = AutoSettingPrecheck(mode);
  if (!pre.empty()) {
    LangMessageBox(pre, "IDS_INFORMATION", MB_ICONWARNING);
    return;
  }
  if (LangMessageBox("IDS_AUTOCONFIGIPCAM", "IDS_CONFIRM", MB_YESNO | MB_ICONQUESTION) != IDYES) return;
  sel = SelectedDevice();  // the box ran an event loop
  if (!sel) return;
  const TDevInfo current = *sel;

  TAutoSettingInput in;
  in.SelectedMode = mode;
  in.PcIP = Trimmed(edCurIP->text());
  in.PcMask = Trimmed(edCurSubmask->text());
  in.PcGateway = Trimmed(edCurGate->text());
  in.CameraIP = edIP->Text().toStdString();
  in.CameraNumber = CameraNumber;
  const TAutoProposal p = ProposeAutoSetting(in, &current);
  if (!p.Ok) {
    LangBoxWithArg(p.MessageKey, p.MessageArg, "IDS_INFORMATION", MB_ICONINFORMATION);
    return;
  }
  if (p.NeedsProbe) {
    // Nobody else may already answer at the address the camera is about to get.
    const TProbeResult probe = ProbeAddress(p.Setting.IP, kAutoSettingProbeTimeoutMs);
    const std::string verdict = AutoSettingProbeVerdict(p.Setting, &current, probe);
    if (!verdict.empty()) {
      LangBoxWithArg(verdict, p.Setting.IP, "IDS_INFORMATION", MB_ICONINFORMATION);
      return;
    }
  }
  edIP->SetIPString(Q(p.Setting.IP));
  edPort->setValue(p.Setting.HttpPort);
  edDataPort->setValue(p.Setting.DataPort);
  edSubMask->SetIPString(Q(p.Setting.NetMask));
  edGateway->SetIPString(Q(p.Setting.Gateway));
  btnApplyClick();
}

void TfrmAdv_Main::spbOpenOuterUrlClick() {
  if (!edOuterUrl->text().isEmpty()) OpenAddress(edOuterUrl->text());
}

void TfrmAdv_Main::spbCheckOuterUrlClick() {
  const TDevInfo* sel = SelectedDevice();
  if (!sel) return;
  const TDevInfo rec = *sel;
  remote::OuterCheckResult r;
  {
    WaitCursor wait;
    remote::HttpGetFn get = httpGet_;
    if (!get) {
      get = [](const std::string& url, int timeoutMs) -> std::optional<std::string> {
        THttpReply reply = TTools::HttpGet(url, {}, {}, timeoutMs);
        if (!reply.Ok) return std::nullopt;
        return std::move(reply.Text);
      };
    }
    r = remote::CheckOuterAddress(edOuterUrl->text().toStdString(), rec.DDnsUser, rec.DDnsPwd, get,
                                  deployment::kDdnsServiceTimeoutMs);
  }
  if (!r.ran) return;
  ShowMessageBox(LangText(LoadStr(r.messageKey)) + Q(r.appendix), LangText(LoadStr("IDS_INFORMATION")),
                 MB_ICONINFORMATION);
}

bool TfrmAdv_Main::UpgradeDevice(int family) {
  TfrmAuthInput dlg(this);
  dlg.SetFamily(family);
  const TCameraCredentials pre = PrefilledCredentials(family, TCredentialUse::Upgrade);
  dlg.edUser->setText(Q(pre.User));
  dlg.edPwd->setText(Q(pre.Password));
  if (RunCredentialDialog(dlg) != QDialog::Accepted) return false;
  // The window runs an event loop: keep the entry's id, not the list's record.
  const DeviceItemId id = listView_ ? listView_->SelectedId() : 0;
  upgrade::TUpgradeTarget target;
  target.DevType = family;
  target.IP = edIP->IPString().toStdString();
  target.HttpPort = edPort->value();
  target.User = Trimmed(dlg.edUser->text());
  target.Password = Trimmed(dlg.edPwd->text());

  btnUpgrade->setEnabled(false);
  const bool timerWasOn = Timer1_->isActive();
  Timer1_->stop();  // no discovery rounds and no expiry while the upgrade window is open
  int result = QDialog::Rejected;
  {
    TfrmUpgradeSoft up(this);
    up.SetSeries(&Series());
    up.SetTarget(target);
    if (upgradeRunner_) {
      result = upgradeRunner_(up);
    } else {
      CenterOnMainWindow(&up);
      result = up.exec();
    }
  }
  btnUpgrade->setEnabled(true);
  if (timerWasOn && !closed_) Timer1_->start();
  if (result != QDialog::Accepted) return false;
  // The camera comes back with its new firmware at its next reply.
  if (id != 0) engine_->List().Remove(id);
  btnFindClick();
  ShowDeviceInfo();
  return true;
}

bool TfrmAdv_Main::DiscoveryTimerActive() const { return Timer1_ && Timer1_->isActive(); }

// A spontaneous show or hide comes from the window system (the main window restored from or
// going to the task bar): the page was never left, so typed settings, Apply and the tab stay.
void TfrmAdv_Main::showEvent(QShowEvent* e) {
  TfrmPageBase::showEvent(e);
  if (e->spontaneous()) return;
  if (listView_) listView_->Sync();  // names follow a language chosen meanwhile
  ShowDeviceInfo();
  SearchDevices(0, false);
  if (cmbCards->currentIndex() < 0 && cmbCards->count() > 0) cmbCards->setCurrentIndex(0);
  spbExport->setEnabled(engine_->List().Count() > 0);
  PageControl1->setCurrentWidget(tabBase);
}

void TfrmAdv_Main::hideEvent(QHideEvent* e) {
  TfrmPageBase::hideEvent(e);
  if (e->spontaneous()) return;
  spbExport->setEnabled(false);
  btnFill->setEnabled(false);
  BtnPortMap->setEnabled(false);
}

void TfrmAdv_Main::closeEvent(QCloseEvent* e) {
  FormClose();
  TfrmPageBase::closeEvent(e);
}

void TfrmAdv_Main::FormClose() {
  if (closed_) return;
  closed_ = true;
  if (Timer1_) Timer1_->stop();
  for (QSocketNotifier* n : notifiers_) delete n;
  notifiers_.clear();
  if (engine_) {
    engine_->Stop();  // stops the family-9 searches, closes the sockets, clears the list
    sdk_.reset();     // stops the SDK's search and unloads it; later reports are ignored
    engine_->SetOnMerged({});
  }
  if (lblDevNum) UpdateDevCount();
}

TfrmAdv_Main* AdvancedWindow() {
  TfrmMain* m = MainForm();
  return m ? qobject_cast<TfrmAdv_Main*>(m->FindPage(QStringLiteral("TfrmAdv_Main"))) : nullptr;
}

void TfrmAdv_Main::ScheduleScreenshot(const QString& path, int delayMs, bool quitAfter) {
  QTimer::singleShot(delayMs, this, [this, path, quitAfter] {
    QWidget* top = window();
    const QPixmap pm = top->grab();
    QDir().mkpath(QFileInfo(path).absolutePath());
    const bool ok = pm.save(path);
    std::fprintf(stderr, "kestrova: screenshot %s %s\n", qPrintable(path), ok ? "saved" : "NOT saved");
    if (quitAfter) QApplication::quit();
  });
}

}  // namespace kestrova
