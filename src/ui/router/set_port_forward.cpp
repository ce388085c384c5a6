#include "ui/router/set_port_forward.h"

#include <algorithm>
#include <filesystem>
#include <memory>

#include <QApplication>
#include <QCloseEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QThread>

#include "core/discovery/ip_text.h"
#include "core/i18n/lang.h"
#include "net/router/plugin_host.h"
#include "net/router/router_files.h"
#include "ui/app/lang_message_box.h"
#include "ui/i18n/apply_strings.h"
#include "ui/i18n/camera_text.h"
#include "ui/remote/check_threads.h"
#include "ui/skin/controls.h"

namespace kestrova {

namespace fs = std::filesystem;

namespace {

QString Q(const std::string& s) { return LangText(s); }

TTeDBGrid* Grid(QWidget* parent, const char* name, const QRect& r) {
  auto* g = new TTeDBGrid(0, 6, parent);
  g->setObjectName(QString::fromLatin1(name));
  g->setHorizontalHeaderLabels({QStringLiteral("Name"), QStringLiteral("IP Address"), QStringLiteral("Public Port"),
                                QStringLiteral("Private Port"), QStringLiteral("Protocol"), QStringLiteral("Status")});
  g->setEditTriggers(QAbstractItemView::NoEditTriggers);
  g->setSelectionBehavior(QAbstractItemView::SelectRows);
  g->setSelectionMode(QAbstractItemView::SingleSelection);
  g->verticalHeader()->setVisible(false);
  g->verticalHeader()->setDefaultSectionSize(22);
  g->horizontalHeader()->setStretchLastSection(true);
  g->setGeometry(r);
  return g;
}

void Fill(TTeDBGrid* g, const std::vector<const router::TForwardRow*>& rows) {
  g->setRowCount(static_cast<int>(rows.size()));
  for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
    const router::TForwardRow& r = *rows[static_cast<size_t>(i)];
    // Router data is bytes in the routers' own code page (the status words are GB2312).
    const QString cells[] = {DecodeLegacyText(r.name, "GB2312"), DecodeLegacyText(r.IP, "GB2312"),
                             QString::number(r.PPort),           QString::number(r.PrPort),
                             DecodeLegacyText(r.Protocol, "GB2312"), DecodeLegacyText(r.Status, "GB2312")};
    for (int c = 0; c < 6; ++c) g->setItem(i, c, new QTableWidgetItem(cells[c]));
  }
}

// Runs that must not touch the network (offscreen tests and pictures, see RemoteChecksAllowed)
// fetch from this machine only: an address elsewhere is replaced by one that the HTTP client
// refuses before anything is sent.
std::string Fetchable(const std::string& url) {
  if (RemoteChecksAllowed()) return url;
  const size_t start = url.rfind("http://", 0) == 0 ? 7 : std::string::npos;
  if (start != std::string::npos) {
    const std::string host = url.substr(start, url.find_first_of(":/", start) - start);
    if (host == "localhost" || (IsIPv4Text(host) && host.rfind("127.", 0) == 0)) return url;
  }
  return "unreachable:";
}

// The caption and icon a message of the window is shown with.
void ShowEnd(const std::string& key) {
  if (key == "IDS_PORTFORWARD_OK" || key == "IDS_DOWNLOAD_DLL_OK") {
    LangMessageBox(key, "IDS_INFORMATION", MB_ICONINFORMATION);
  } else if (key == "IDS_NO_NewVERSION") {
    LangMessageBox(key, "IDS_INFORMATION", MB_ICONWARNING);
  } else if (!key.empty() && key != "IDS_PORT_USING" && key != "IDS_DOWNLOAD_INFO") {
    // IDS_PORT_USING and IDS_DOWNLOAD_INFO end a run the user declined: the question was the message.
    LangMessageBox(key, "IDS_ERROR", MB_ICONSTOP);
  }
}

}  // namespace

TfrmPortForward::TfrmPortForward(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmPortForward"));
  setWindowTitle(QStringLiteral("Port Mapping of Router"));
  setModal(true);
  setFixedSize(640, 470);

  auto label = [this](const char* name, const char* text, int x, int y, int w) {
    auto* l = new QLabel(QString::fromLatin1(text), this);
    l->setObjectName(QString::fromLatin1(name));
    l->setGeometry(x, y, w, 24);
    return l;
  };
  auto edit = [this](const char* name, int x, int y, int w) {
    auto* e = new QLineEdit(this);
    e->setObjectName(QString::fromLatin1(name));
    e->setGeometry(x, y, w, 26);
    return e;
  };
  Label1 = label("Label1", "Router brand:", 16, 16, 130);
  cmbRouter = new TTeComboBox(this);
  cmbRouter->setObjectName(QStringLiteral("cmbRouter"));
  cmbRouter->setGeometry(150, 15, 320, 26);
  BitBtn3 = new TTeSpeedButton(this);
  BitBtn3->setObjectName(QStringLiteral("BitBtn3"));
  BitBtn3->setText(QStringLiteral("&New Version"));
  BitBtn3->setAutoRaise(true);  // a flat, link-like button
  BitBtn3->setCursor(Qt::PointingHandCursor);
  BitBtn3->setGeometry(480, 14, 144, 28);
  Label2 = label("Label2", "User Name:", 16, 52, 130);
  edtUser = edit("edtUser", 150, 51, 160);
  edtUser->setText(QStringLiteral("admin"));
  Label3 = label("Label3", "Password:", 326, 52, 110);
  edtPassword = edit("edtPassword", 440, 51, 184);
  edtPassword->setEchoMode(QLineEdit::Password);

  Label4 = label("Label4", "Port mappings on the router:", 16, 90, 608);
  dbgRouter = Grid(this, "dbgRouter", QRect(16, 114, 608, 160));
  Label5 = label("Label5", "Port mappings to add:", 16, 282, 608);
  dbgNeed = Grid(this, "dbgNeed", QRect(16, 306, 608, 90));

  lblState = new QLabel(this);
  lblState->setObjectName(QStringLiteral("lblState"));
  lblState->setGeometry(16, 424, 360, 24);

  BitBtn1 = new TTeButton(QStringLiteral("&OK"), this);
  BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
  BitBtn1->setProperty("skinRole", QStringLiteral("primary"));
  BitBtn1->setDefault(true);
  BitBtn2 = new TTeButton(QStringLiteral("&Cancel"), this);
  BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
  connect(BitBtn1, &QPushButton::clicked, this, &TfrmPortForward::BitBtn1Click);
  connect(BitBtn2, &QPushButton::clicked, this, &TfrmPortForward::BitBtn2Click);
  connect(BitBtn3, &QToolButton::clicked, this, &TfrmPortForward::BitBtn3Click);

  ApplyStrings(this);
  // The captions of some languages are wider than the English ones.
  int w = 96;
  for (TTeButton* b : {BitBtn1, BitBtn2}) w = std::max(w, b->sizeHint().width() + 8);
  BitBtn2->setGeometry(624 - w, 420, w, 30);
  BitBtn1->setGeometry(624 - 2 * w - 8, 420, w, 30);
  lblState->setGeometry(16, 424, 624 - 2 * w - 8 - 16 - 8, 24);
  const int bw = std::max(144, BitBtn3->sizeHint().width() + 8);
  BitBtn3->setGeometry(624 - bw, 14, bw, 28);
  cmbRouter->setGeometry(150, 15, 624 - bw - 8 - 150, 26);

  urls_ = ReadDownloadUrls();
  urls_.routerUrl = Fetchable(urls_.routerUrl);
  urls_.downDllUrl = Fetchable(urls_.downDllUrl);
  const fs::path list = RouterFolder() / std::string(router::kRouterList);
  std::error_code ec;
  if (fs::exists(list, ec)) {
    LoadRouters(urls_, CurrentLanguage(), routers_);
    AddBuiltInRouter(routers_, LoadStr("IDS_ROUTER_AUTOMATIC"));
    FillRouters();
  } else {
    // The list comes from the download site first; the window opens meanwhile.
    const std::string lang = CurrentLanguage();
    auto routers = std::make_shared<std::vector<router::TRouter>>();
    const router::TDownloadUrls urls = urls_;
    RunJob(
        "IDS_ROUTER_DOWNLOADING",
        [routers, urls, lang](const Ask&) { return LoadRouters(urls, lang, *routers) ? "" : "IDS_READROUTER_ERROR"; },
        [this, routers](const std::string& key) {
          routers_ = *routers;
          AddBuiltInRouter(routers_, LoadStr("IDS_ROUTER_AUTOMATIC"));
          FillRouters();
          // The built-in router needs no list.
          if (!key.empty() && routers_.empty()) LangMessageBox(key, "IDS_ERROR", MB_ICONSTOP);
        });
  }
  ShowTables();
}

TfrmPortForward::~TfrmPortForward() {
  if (!job_) return;
  // Only when the window is destroyed from outside while a job runs: any question still to come
  // is answered No, and the job's blocking hand-overs are delivered while it ends.
  closing_ = true;
  QThread* t = job_;
  t->disconnect(this);
  while (!t->wait(20)) QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
  delete t;
  if (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
}

void TfrmPortForward::FillRouters() {
  cmbRouter->clear();
  for (const auto& r : routers_) cmbRouter->addItem(Q(r.name));
  if (cmbRouter->count() > 0) cmbRouter->setCurrentIndex(0);
}

void TfrmPortForward::ShowTables() {
  Fill(dbgRouter, tables_.VisibleRouterRows());
  Fill(dbgNeed, tables_.VisibleNeedRows());
}

const router::TRouter* TfrmPortForward::SelectedRouter() const {
  const int i = cmbRouter->currentIndex();
  return i >= 0 && i < static_cast<int>(routers_.size()) ? &routers_[static_cast<size_t>(i)] : nullptr;
}

void TfrmPortForward::AddMapping(const std::string& address, const std::string& port, const std::string& protocol) {
  if (tablesInUse_) return;  // an OK run has them
  if (tables_.AddMapping(address, port, protocol) == router::TPortForwardTables::AddResult::Exists)
    LangMessageBox("IDS_INPUT_EXISTS", "IDS_ERROR", MB_ICONSTOP);
  ShowTables();
}

void TfrmPortForward::SetBusy(bool busy, const std::string& stateKey) {
  for (QWidget* w : std::initializer_list<QWidget*>{cmbRouter, BitBtn3, edtUser, edtPassword, BitBtn1, BitBtn2})
    w->setEnabled(!busy);
  lblState->setText(busy && !stateKey.empty() ? Q(LoadStr(stateKey)) : QString());
  if (busy)
    QApplication::setOverrideCursor(Qt::WaitCursor);
  else
    QApplication::restoreOverrideCursor();
}

void TfrmPortForward::RunJob(const std::string& stateKey, Job job, std::function<void(const std::string&)> after) {
  auto key = std::make_shared<std::string>();
  QThread* t = QThread::create([this, key, job = std::move(job)] {
    *key = job([this](const std::string& k) { return AskFromWorker(k); });
  });
  job_ = t;
  SetBusy(true, stateKey);
  connect(t, &QThread::finished, this, [this, t, key, after = std::move(after)] {
    if (job_ != t) return;
    job_ = nullptr;
    t->deleteLater();
    SetBusy(false);
    lastKey_ = *key;
    after(*key);
  });
  t->start();
}

bool TfrmPortForward::AskFromWorker(const std::string& key) {
  bool yes = false;
  QMetaObject::invokeMethod(
      this,
      [this, &yes, &key] {
        if (closing_) return;
        QApplication::restoreOverrideCursor();
        const int flags = MB_YESNO | MB_ICONQUESTION;
        yes = LangMessageBox(key, key == "IDS_PORT_USING" ? "IDS_ERROR" : "IDS_INFORMATION", flags) == IDYES;
        QApplication::setOverrideCursor(Qt::WaitCursor);
      },
      Qt::BlockingQueuedConnection);
  return yes;
}

void TfrmPortForward::BitBtn1Click() {
  if (Busy()) return;
  const router::TRouter* r = SelectedRouter();
  if (!r) {
    lastKey_ = "IDS_SELECTROUTER_ERROR";
    ShowEnd(lastKey_);
    cmbRouter->setFocus();
    return;
  }
  const std::string user = edtUser->text().toStdString();
  if (user.empty()) {
    lastKey_ = "IDS_NOUSER";
    ShowEnd(lastKey_);
    edtUser->setFocus();
    return;
  }
  router::TPortMapInput in;
  in.routerSelected = true;
  in.user = user;
  const fs::path lib = RouterFolder() / r->file;
  std::error_code ec;
  in.pluginFileExists = fs::is_regular_file(lib, ec);
  const std::string address = RouterAddress, password = edtPassword->text().toStdString();
  tablesInUse_ = true;
  RunJob(
      "IDS_ROUTER_BUSY",
      [this, in, lib, address, user, password](const Ask& ask) {
        return router::RunPortMapping(
            tables_, in,
            [&](const std::string& exportName, std::string& text) {
              return CallPlugin(lib, exportName, address, user, password, text);
            },
            [&] { return ask("IDS_PORT_USING"); });
      },
      [this](const std::string& key) {
        tablesInUse_ = false;
        ShowTables();
        ShowEnd(key);
        if (key != "IDS_PORTFORWARD_OK") return;
        if (router::IsCarrierGradeNat(tables_.WanAddress)) LangMessageBox("IDS_ROUTER_CGNAT", "IDS_WARNING", MB_ICONWARNING);
        accept();
      });
}

void TfrmPortForward::BitBtn2Click() { reject(); }

void TfrmPortForward::BitBtn3Click() {
  if (Busy()) return;
  const router::TRouter* selected = SelectedRouter();
  std::shared_ptr<router::TRouter> r = selected ? std::make_shared<router::TRouter>(*selected) : nullptr;
  const router::TDownloadUrls urls = urls_;
  RunJob(
      "IDS_ROUTER_DOWNLOADING",
      [r, urls](const Ask& ask) {
        return RunRouterUpdate(r.get(), urls, [&] { return ask("IDS_DOWNLOAD_INFO"); }).key;
      },
      [](const std::string& key) { ShowEnd(key); });
}

void TfrmPortForward::done(int result) {
  if (Busy()) return;  // the running job ends first
  QDialog::done(result);
}

void TfrmPortForward::closeEvent(QCloseEvent* e) {
  if (Busy()) {
    e->ignore();
    return;
  }
  QDialog::closeEvent(e);
}

}  // namespace kestrova
