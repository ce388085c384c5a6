#include "ui/discovery/esy_dev_list.h"

#include <QHeaderView>
#include <QLabel>
#include <QShowEvent>
#include <QTimer>
#include <QTreeWidget>

#include "core/app/wizard.h"
#include "core/i18n/lang.h"
#include "ui/app/global.h"
#include "ui/app/main_form.h"
#include "net/cgi/device_series.h"
#include "ui/dialogs/q_info.h"
#include "ui/i18n/apply_strings.h"
#include "ui/setup/adv_main.h"
#include "ui/skin/controls.h"

namespace kestrova {

namespace {

constexpr int kRefreshMs = 500;  // the mirror's rhythm, not a wait: never scaled

QString Q(const std::string& s) { return QString::fromStdString(s); }

void Fill(QTreeWidgetItem* item, const TMirrorEntry& e) {
  const std::string* texts[] = {&e.Number, &e.Code, &e.Letter, &e.IP, &e.Port, &e.MAC};
  for (int c = 0; c < 6; ++c) {
    const QString t = Q(*texts[c]);
    if (item->text(c) != t) item->setText(c, t);
  }
}

}  // namespace

TfrmEsy_DevList::TfrmEsy_DevList(QWidget* parent) : TWizardStepPage(parent, "TfrmEsy_DevList") {
  Label3 = new QLabel(QStringLiteral("IP cameras found:"), this);
  Label3->setObjectName(QStringLiteral("Label3"));
  Label3->setProperty("skinRole", QStringLiteral("heading"));
  QFont hf = Label3->font();
  hf.setPointSize(10);
  hf.setBold(true);
  Label3->setFont(hf);
  Label3->setGeometry(20, 10, kContentWidth - 40, 22);

  Label1 = new QLabel(QStringLiteral("Select the IP camera that you want to configure, then click \"Next\"."), this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setWordWrap(true);
  Label1->setGeometry(20, 34, kContentWidth - 40, 34);

  ListView1 = new TTeListView(this);
  ListView1->setObjectName(QStringLiteral("ListView1"));
  ListView1->SetColumns({QStringLiteral("#"), QStringLiteral("SN"), QStringLiteral("Series"),
                         QStringLiteral("IP Address"), QStringLiteral("Port"), QStringLiteral("MAC")});
  ListView1->setRootIsDecorated(false);
  ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
  ListView1->setAllColumnsShowFocus(true);
  ListView1->setUniformRowHeights(true);
  ListView1->header()->setStretchLastSection(true);
  ListView1->setGeometry(20, 72, kContentWidth - 40, 208);
  // "#", "Series" and "Port" keep the list's default width of a column.
  const int widths[] = {50, 70, 60, 130, 60, 150};
  for (int c = 0; c < 6; ++c) ListView1->setColumnWidth(c, widths[c]);
  connect(ListView1, &QTreeWidget::itemDoubleClicked, this, [this] { GoNext(); });

  // The empty-list panel lies over the list.
  plInfo = new TPanel(this);
  plInfo->setObjectName(QStringLiteral("plInfo"));
  plInfo->SetCaption(QStringLiteral("There is no camera found in the LAN."));
  plInfo->setFrameShape(QFrame::NoFrame);
  plInfo->setAutoFillBackground(true);
  plInfo->setGeometry(20 + (kContentWidth - 40 - 360) / 2, 72 + (208 - 48) / 2 + 10, 360, 48);

  btnRefresh = new TTeButton(QStringLiteral("&Refresh"), this);
  btnRefresh->setObjectName(QStringLiteral("btnRefresh"));
  btnRefresh->setGeometry(kContentWidth - 20 - 96, 288, 96, 28);
  btnRefresh->setEnabled(false);
  connect(btnRefresh, &QPushButton::clicked, this, &TfrmEsy_DevList::btnRefreshClick);

  Image1 = new TImage(this);
  Image1->setObjectName(QStringLiteral("Image1"));
  Image1->LoadPicture(QStringLiteral(":/images/help.svg"));
  Image1->setGeometry(20, 326, 16, 16);
  Label2 = new TClickLabel(this);
  Label2->setObjectName(QStringLiteral("Label2"));
  Label2->setText(QStringLiteral("If my IP camera is not shown in the above list, how to do?"));
  Label2->setProperty("skinRole", QStringLiteral("link"));
  Label2->SetLinkStyle();
  Label2->setGeometry(42, 324, kContentWidth - 42 - 20, 20);
  connect(Label2, &TClickLabel::clicked, this, &TfrmEsy_DevList::Label2Click);

  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(kRefreshMs);
  connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(true); });

  ApplyStrings(this);
  ShowEmpty();
}

TfrmEsy_DevList::~TfrmEsy_DevList() = default;

std::optional<int> TfrmEsy_DevList::SelectedRow() const {
  const QList<QTreeWidgetItem*> sel = ListView1->selectedItems();
  if (sel.isEmpty()) return std::nullopt;
  const int row = ListView1->indexOfTopLevelItem(sel.front());
  return row >= 0 ? std::optional<int>(row) : std::nullopt;
}

void TfrmEsy_DevList::ShowEmpty() {
  const bool empty = mirror_.Empty();
  plInfo->setVisible(empty);
  if (empty) plInfo->raise();
  Label2->setVisible(empty);
  Image1->setVisible(empty);
}

void TfrmEsy_DevList::Timer1Timer(bool fromTimer) {
  if (isHidden()) return;
  TfrmAdv_Main* adv = AdvancedWindow();
  if (!adv) return;
  const TMirrorTickResult r = mirror_.Tick(adv->Devices(), SelectedRow(), fromTimer);
  const QSignalBlocker block(ListView1);
  for (int row : r.Removed) delete ListView1->takeTopLevelItem(row);
  const auto& entries = mirror_.Entries();
  for (int row : r.Changed) Fill(ListView1->topLevelItem(row), entries[size_t(row)]);
  for (int row = r.FirstAdded; row >= 0 && size_t(row) < entries.size(); ++row) {
    auto* item = new QTreeWidgetItem(ListView1);
    Fill(item, entries[size_t(row)]);
  }
  ListView1->clearSelection();
  if (r.Select) {
    QTreeWidgetItem* item = ListView1->topLevelItem(*r.Select);
    ListView1->setCurrentItem(item);
    item->setSelected(true);
  }
  ShowEmpty();
  ListView1->setFocus();
}

void TfrmEsy_DevList::btnRefreshClick() {
  ListView1->clear();
  mirror_.Clear();
  ShowEmpty();
  if (TfrmAdv_Main* adv = AdvancedWindow()) adv->btnFindClick();
}

void TfrmEsy_DevList::Label2Click() { ShowQInfo(LangText(LoadStr("IDS_FOUNDIPCAM"))); }

bool TfrmEsy_DevList::GoNext() {
  TfrmAdv_Main* adv = AdvancedWindow();
  const std::optional<int> row = SelectedRow();
  if (!adv || !row) return false;
  // The entry may have outlived its camera since the last refresh: then nothing is chosen.
  const TDevInfo* dev = mirror_.DeviceAt(adv->Devices(), *row);
  if (!dev) return false;
  const TWizardSelection s = SelectCamera(*dev, *row);
  SelectedMac = s.SelectedMac;
  SelectedIp = s.SelectedIp;
  CameraUser = s.CameraUser;
  CameraPassword = s.CameraPassword;
  CredentialsChecked = s.CredentialsChecked;
  CameraNumber = s.CameraNumber;
  if (s.HandToFamily9Driver) adv->Series().SetDevice(*dev);
  ShowStep("TfrmEsy_SetIP");
  return true;
}

void TfrmEsy_DevList::showEvent(QShowEvent* e) {
  TWizardStepPage::showEvent(e);
  if (e->spontaneous()) return;  // the main window coming back from the task bar
  Timer1->start();
  Timer1Timer(false);
  btnRefresh->setEnabled(true);
}

void TfrmEsy_DevList::hideEvent(QHideEvent* e) {
  TWizardStepPage::hideEvent(e);
  if (e->spontaneous()) return;
  Timer1->stop();
  btnRefresh->setEnabled(false);
}

}  // namespace kestrova
