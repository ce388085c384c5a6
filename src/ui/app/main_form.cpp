#include "ui/app/main_form.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QScreen>

#include <system_error>

#include "core/app/app_rules.h"
#include "core/i18n/lang.h"
#include "core/settings/ini_file.h"
#include "ui/app/global.h"
#include "ui/app/lang_message_box.h"
#include "ui/app/page_base.h"
#include "ui/app/sel_mode.h"
#include "ui/app/single_instance.h"
#include "ui/app/static_steps.h"
#include "ui/discovery/esy_dev_list.h"
#include "ui/i18n/apply_strings.h"
#include "ui/remote/esy_chk_ddns.h"
#include "ui/remote/esy_port_forward.h"
#include "ui/remote/esy_sel_access.h"
#include "ui/setup/adv_main.h"
#include "ui/setup/esy_set_ip.h"
#include "ui/setup/esy_set_wifi.h"
#include "ui/skin/controls.h"
#include "ui/skin/skin.h"

namespace kestrova {

namespace {

constexpr int kTitleHeight = 43;
constexpr int kLinkBarHeight = 26;
constexpr int kBottomHeight = 22;

using PageFactory = TfrmPageBase* (*)(QWidget*);

template <class T>
TfrmPageBase* Make(QWidget* parent) {
  return new T(parent);
}

// The page classes ShowPage knows, by lower-case class name.
const std::map<QString, PageFactory>& PageClasses() {
  static const std::map<QString, PageFactory> classes = {
      {QStringLiteral("tfrmsel_mode"), &Make<TfrmSel_Mode>},
      {QStringLiteral("tfrmadv_main"), &Make<TfrmAdv_Main>},
      {QStringLiteral("tfrmesy_line"), &Make<TfrmEsy_Line>},
      {QStringLiteral("tfrmesy_devlist"), &Make<TfrmEsy_DevList>},
      {QStringLiteral("tfrmesy_setip"), &Make<TfrmEsy_SetIP>},
      {QStringLiteral("tfrmesy_setwifi"), &Make<TfrmEsy_SetWIFI>},
      {QStringLiteral("tfrmesy_chkddns"), &Make<TfrmEsy_ChkDDNS>},
      {QStringLiteral("tfrmesy_selaccess"), &Make<TfrmEsy_SelAccess>},
      {QStringLiteral("tfrmesy_portforward"), &Make<TfrmEsy_PortForward>},
      {QStringLiteral("tfrmlinksource"), &Make<TfrmLinkSource>},
  };
  return classes;
}

QString FormatRunned(const QString& pattern, const QString& title) {
  QString s = pattern;
  const qsizetype at = s.indexOf(QStringLiteral("%s"));
  if (at >= 0) s.replace(at, 2, title);
  return s;
}

}  // namespace

TfrmMain::TfrmMain(QWidget* parent) : QWidget(parent) {
  SetMainForm(this);
  setObjectName(QStringLiteral("frmMain"));
  setWindowTitle(QStringLiteral("Kestrova"));
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  setAttribute(Qt::WA_QuitOnClose, true);
  QFont f = font();
  f.setPointSize(9);
  setFont(f);
  BuildLayout();
  FormCreate();
}

TfrmMain::~TfrmMain() {
  // Pages go first: they may still look texts up; then the language folder.
  for (auto& [name, page] : pages_) delete page;
  pages_.clear();
  strRes_.reset();
  instance_.reset();
  if (MainForm() == this) SetMainForm(nullptr);
}

void TfrmMain::BuildLayout() {
  setFixedSize(kContentWidth, kTitleHeight + kContentHeight + kLinkBarHeight + kBottomHeight);

  Panel2_ = new TTePanel(this);
  Panel2_->setObjectName(QStringLiteral("Panel2"));
  Panel2_->setProperty("skinRole", QStringLiteral("title"));
  Panel2_->setGeometry(0, 0, kContentWidth, kTitleHeight);

  lblCaption_ = new QLabel(Panel2_);
  lblCaption_->setObjectName(QStringLiteral("lblCaption"));
  lblCaption_->setProperty("skinRole", QStringLiteral("caption"));
  QFont cf = lblCaption_->font();
  cf.setBold(true);
  cf.setPointSize(12);
  lblCaption_->setFont(cf);
  lblCaption_->setGeometry(54, 0, kContentWidth - 54 - 12, kTitleHeight);
  lblCaption_->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);

  Image1_ = new TImage(Panel2_);
  Image1_->setObjectName(QStringLiteral("Image1"));
  Image1_->LoadPicture(QStringLiteral(":/images/logo.svg"));
  Image1_->setGeometry(10, 4, 35, 35);

  plContent_ = new TTePanel(this);
  plContent_->setObjectName(QStringLiteral("plContent"));
  plContent_->setProperty("skinRole", QStringLiteral("content"));
  plContent_->setGeometry(0, kTitleHeight, kContentWidth, kContentHeight);

  Panel4_ = new TTePanel(this);
  Panel4_->setObjectName(QStringLiteral("Panel4"));
  Panel4_->setProperty("skinRole", QStringLiteral("linkbar"));
  Panel4_->setGeometry(0, kTitleHeight + kContentHeight, kContentWidth, kLinkBarHeight);
  auto* links = new QHBoxLayout(Panel4_);
  links->setContentsMargins(10, 0, 12, 0);
  links->setSpacing(16);
  links->addStretch(1);
  auto makeLink = [this, links](const char* name, const char* text, void (TfrmMain::*slot)()) {
    auto* l = new TClickLabel(Panel4_);
    l->setObjectName(QString::fromLatin1(name));
    l->setText(QString::fromLatin1(text));
    l->setProperty("skinRole", QStringLiteral("link"));
    l->SetLinkStyle();
    connect(l, &TClickLabel::clicked, this, slot);
    links->addWidget(l);
    return l;
  };
  lblInsInfo_ = makeLink("lblInsInfo", "Online CD", &TfrmMain::lblInsInfoClick);
  lblAdv_ = makeLink("lblAdv", "Advance", &TfrmMain::lblAdvClick);
  lblAbout_ = makeLink("lblAbout", "About...", &TfrmMain::lblAboutClick);
  lblClose_ = makeLink("lblClose", "Exit", &TfrmMain::lblCloseClick);

  Panel3_ = new TPanel(this);
  Panel3_->setObjectName(QStringLiteral("Panel3"));
  Panel3_->setProperty("skinRole", QStringLiteral("bottom"));
  Panel3_->SetAlignment(Qt::AlignVCenter | Qt::AlignLeft);
  Panel3_->setGeometry(0, kTitleHeight + kContentHeight + kLinkBarHeight, kContentWidth, kBottomHeight);
}

void TfrmMain::FormCreate() {
  const AppPaths& paths = Paths();
  // The instance lock is taken before anything touches the shared folders; the refusal is
  // reported below, once the texts can be read.
  instance_ = std::make_unique<TSingleInstance>(QStringLiteral("Kestrova"),
                                                QString::fromStdString(paths.runtimeDir.string()));

  // 1. Config.ini, section LINK.
  {
    TIniFile config(paths.programDir / "Config.ini");
    OnlineCD = config.ReadString("LINK", "OnlineCD", "");
    AboutLink = config.ReadString("LINK", "About", "");
  }
  // 2. The language files.
  strRes_ = std::make_unique<TStrRes>(paths.languageDir, paths.programBaseName);
  // 3., 4. The language: option.ini, else the machine's default, else English.
  {
    std::string lan = OpenOptionFile().ReadString("Global", "lan", "");
    lan = StartLanguage(lan, DefaultLanguage(PlatformOemCodePage()), [](const std::string& code) {
      std::error_code ec;
      return std::filesystem::exists(LangFileFor(code), ec);
    });
    SetCurrentLanguage(lan);
  }
  // 5. The title.
  const QString title = LangText(ReadFormString("Form_frmMain", "Caption"));
  // 6. One instance only.
  if (!instance_->IsFirst()) {
    ShowMessageBox(FormatRunned(LangText(LoadStr("IDS_RUNNED")), title), LangText(LoadStr("IDS_WARNING")),
                   MB_OK | MB_ICONWARNING);
    instance_->ActivateFirst(title);
    started_ = false;
    return;
  }
  connect(instance_.get(), &TSingleInstance::activateRequested, this, [this](const QString&) { BringToFront(); });
  // 7. Texts of this window.
  ApplyStrings(this);
  // 8. The look: the theme file beside the program, else the default style.
  if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) LoadSkin(*app);
  // 9. The usable language files.
  languageFiles_.clear();
  for (const auto& p : ListLanguageFiles(LangFilePath().parent_path(), CurrentLanguage()))
    languageFiles_ << QString::fromStdString(p.string());
  // 10. Application title.
  QGuiApplication::setApplicationDisplayName(windowTitle());
  // 11. Wizard state.
  CredentialsChecked = false;
  CameraNumber = 1;
  // 12. The advanced window exists in both modes; the mode page is shown, or the advanced
  // window when the user chose to start in it.
  ShowPage(QStringLiteral("TfrmAdv_Main"));
  auto* mode = static_cast<TfrmSel_Mode*>(ShowPage(QStringLiteral("TfrmSel_Mode")));
  if (mode && mode->chkAdvMode->isChecked()) ShowPage(QStringLiteral("TfrmAdv_Main"));
  started_ = true;
}

QWidget* TfrmMain::ContentPanel() const { return plContent_; }

TfrmPageBase* TfrmMain::FindPage(const QString& className) const {
  auto it = pages_.find(className.toLower());
  return it == pages_.end() ? nullptr : it->second;
}

TfrmPageBase* TfrmMain::ShowPage(const QString& className) {
  const QString key = className.toLower();
  auto cls = PageClasses().find(key);
  if (cls == PageClasses().end()) return nullptr;

  QApplication::setOverrideCursor(Qt::WaitCursor);
  TfrmPageBase* previous = CurrentPage();
  TfrmPageBase*& page = pages_[key];
  if (!page) {
    page = cls->second(plContent_);
    page->hide();
  }
  if (page->parentWidget() != plContent_) page->setParent(plContent_, Qt::Widget);
  page->setGeometry(plContent_->contentsRect());
  lblCaption_->setText(page->windowTitle());
  page->show();
  if (previous && previous != page) previous->hide();
  if (key != QLatin1String("tfrmadv_main") && key != QLatin1String("tfrmsel_mode")) ApplyStrings(this);
  QApplication::restoreOverrideCursor();
  return page;
}

TfrmPageBase* TfrmMain::CurrentPage() const {
  for (QObject* o : plContent_->children()) {
    auto* p = qobject_cast<TfrmPageBase*>(o);
    if (p && !p->isHidden()) return p;
  }
  return nullptr;
}

void TfrmMain::ReapplyLanguage() {
  ApplyStrings(this);
  QGuiApplication::setApplicationDisplayName(windowTitle());
  for (QObject* o : plContent_->children())
    if (auto* p = qobject_cast<TfrmPageBase*>(o)) ApplyStrings(p);
  if (TfrmPageBase* cur = CurrentPage()) lblCaption_->setText(cur->windowTitle());
}

void TfrmMain::lblInsInfoClick() {
  if (OnlineCD.empty()) return;
  OpenAddress(QString::fromStdString(OnlineCdAddress(OnlineCD, CurrentLanguage())));
}

void TfrmMain::lblAdvClick() {
  if (lblAdvTag_ == 1) {
    ShowPage(QStringLiteral("TfrmAdv_Main"));
    lblAdv_->setText(LangText(LoadStr("IDS_WZ")));
    lblAdvTag_ = 2;
  } else {
    ShowPage(QStringLiteral("TfrmSel_Mode"));
    lblAdv_->setText(LangText(LoadStr("IDS_AM")));
    lblAdvTag_ = 1;
  }
}

void TfrmMain::lblAboutClick() {
  if (AboutLink.empty()) return;
  OpenAddress(QString::fromStdString(AboutLink));
}

void TfrmMain::lblCloseClick() {
  TfrmPageBase* first = nullptr;
  for (QObject* o : plContent_->children())
    if ((first = qobject_cast<TfrmPageBase*>(o))) break;
  if (!first || first->CanClosePage()) close();
}

void TfrmMain::closeEvent(QCloseEvent* e) {
  // The set-IP step must not be left half-way through its automatic configuration.
  if (SetIpBusy) {
    e->ignore();
    return;
  }
  e->accept();
}

void TfrmMain::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  if (centred_) return;
  centred_ = true;
  if (QScreen* s = screen()) {
    const QRect avail = s->availableGeometry();
    move(avail.center() - QPoint(frameGeometry().width() / 2, frameGeometry().height() / 2));
  }
}

void TfrmMain::BringToFront() {
  if (isMinimized()) showNormal();
  show();
  raise();
  activateWindow();
  emit activated();
}

}  // namespace kestrova
