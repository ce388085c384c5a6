// The main window, the page host, the link bar, the mode page and the start-up rules, driven
// offscreen with private folders.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>

#include <stdlib.h>

#include <cstdlib>
#include <fstream>

#include "core/i18n/lang.h"
#include "core/settings/ini_file.h"
#include "net/discovery/discovery_engine.h"
#include "gui/app/app_fixture.h"
#include "gui/app/qt_test_env.h"
#include "ui/app/global.h"
#include "ui/app/lang_message_box.h"
#include "ui/app/main_form.h"
#include "ui/app/sel_mode.h"
#include "ui/app/static_steps.h"
#include "ui/remote/esy_chk_ddns.h"
#include "ui/remote/esy_port_forward.h"
#include "ui/remote/esy_sel_access.h"
#include "ui/setup/esy_set_wifi.h"
#include "ui/dialogs/q_info.h"
#include "ui/skin/controls.h"
#include "ui/skin/skin.h"
#include "ui/setup/adv_main.h"

namespace kestrova {
namespace {

const auto* const kQtEnv = ::testing::AddGlobalTestEnvironment(new testing::QtTestEnvironment("gui_app_test"));

// The texts of the program's own language file for a language (the data the program carries).
std::string Text(const std::string& code, const std::string& section, const std::string& key) {
  TIniFile ini(std::filesystem::path(KESTROVA_SOURCE_DIR) / "resources" / "lang" / (code + ".ini"));
  return ApplyEscapes(ini.ReadString(section, key, ""));
}
QString QText(const std::string& code, const std::string& section, const std::string& key) {
  return QString::fromStdString(Text(code, section, key)).replace("\r\n", "\n");
}

class MainFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("LC_ALL", "en_US.UTF-8", 1);
    SetMessageBoxHook([this](const MessageBoxCall& c) {
      boxes_.push_back(c);
      return IDOK;
    });
    SetAddressOpener([this](const QString& a) { opened_ << a; });
    SetIpBusy = false;
  }
  void TearDown() override {
    SetMessageBoxHook(nullptr);
    SetAddressOpener(nullptr);
    SetIpBusy = false;
    ::unsetenv("LC_ALL");
  }
  void UserOption(const std::string& text) { testing::TempFolders::Write(folders_.UserDir() / "option.ini", text); }
  void MachineOption(const std::string& text) {
    testing::TempFolders::Write(folders_.ProgramDir() / "option.ini", text);
  }
  template <class T>
  static T* Child(QWidget* w, const char* name) {
    return w->findChild<T*>(QString::fromLatin1(name));
  }

  testing::TempFolders folders_;
  std::vector<MessageBoxCall> boxes_;
  QStringList opened_;
};

TEST_F(MainFormTest, StartsWithTheModePageAndTheAdvancedWindowBehind) {
  TfrmMain w;
  ASSERT_TRUE(w.Started());
  EXPECT_EQ(w.objectName(), "frmMain");
  EXPECT_EQ(w.size(), QSize(652, 493));
  EXPECT_EQ(w.windowTitle(), "Kestrova");
  EXPECT_EQ(CurrentLanguage(), "en");
  ASSERT_NE(w.CurrentPage(), nullptr);
  EXPECT_EQ(w.CurrentPage()->objectName(), "frmSel_Mode");
  ASSERT_NE(w.FindPage("TfrmAdv_Main"), nullptr);
  EXPECT_TRUE(w.FindPage("TfrmAdv_Main")->isHidden());
  EXPECT_EQ(Child<QLabel>(&w, "lblCaption")->text(), w.CurrentPage()->windowTitle());
  EXPECT_EQ(Child<TPanel>(&w, "Panel3")->Caption(), QText("en", "Form_frmMain", "Panel3.Caption"));
  EXPECT_EQ(w.lblAdvTag(), 1);
  EXPECT_EQ(w.LanguageFiles().size(), 5);
  EXPECT_EQ(CameraNumber, 1);
  EXPECT_FALSE(CredentialsChecked);
  EXPECT_TRUE(boxes_.empty());
  for (const char* link : {"lblInsInfo", "lblAdv", "lblAbout", "lblClose"})
    EXPECT_EQ(Child<QLabel>(&w, link)->cursor().shape(), Qt::PointingHandCursor) << link;
}

TEST_F(MainFormTest, ShowPageCreatesEachPageOnceAndKeepsIt) {
  TfrmMain w;
  struct Case {
    const char* className;
    const char* windowName;
  } cases[] = {
      {"TfrmSel_Mode", "frmSel_Mode"},       {"TfrmAdv_Main", "frmAdv_Main"},
      {"TfrmEsy_Line", "frmEsy_Line"},       {"TfrmEsy_DevList", "frmEsy_DevList"},
      {"TfrmEsy_SetIP", "frmEsy_SetIP"},     {"TfrmEsy_SetWIFI", "frmEsy_SetWIFI"},
      {"TfrmEsy_ChkDDNS", "frmEsy_ChkDDNS"}, {"TfrmEsy_SelAccess", "frmEsy_SelAccess"},
      {"TfrmEsy_PortForward", "frmEsy_PortForward"}, {"TfrmLinkSource", "frmLinkSource"},
  };
  auto* caption = Child<QLabel>(&w, "lblCaption");
  for (const Case& c : cases) {
    TfrmPageBase* previous = w.CurrentPage();
    TfrmPageBase* p = w.ShowPage(c.className);
    ASSERT_NE(p, nullptr) << c.className;
    EXPECT_EQ(p->objectName(), c.windowName);
    EXPECT_EQ(w.CurrentPage(), p);
    EXPECT_EQ(p->parentWidget(), w.ContentPanel());
    EXPECT_EQ(p->size(), QSize(kContentWidth, kContentHeight));
    EXPECT_EQ(caption->text(), p->windowTitle());
    if (previous && previous != p) EXPECT_TRUE(previous->isHidden()) << c.className;
    // the step captions come from the language file
    const std::string want = Text("en", std::string("Form_") + c.windowName, "Caption");
    if (!want.empty()) EXPECT_EQ(p->windowTitle().toStdString(), want) << c.className;
  }
  // case-insensitive, same instance, state kept
  TfrmPageBase* line = w.FindPage("TfrmEsy_Line");
  line->setProperty("visited", true);
  EXPECT_EQ(w.ShowPage("tfrmesy_line"), line);
  EXPECT_TRUE(line->property("visited").toBool());
  EXPECT_EQ(w.ShowPage("TFRMESY_LINE"), line);
  // showing the current page again keeps it shown
  EXPECT_FALSE(line->isHidden());
  // not a page class
  EXPECT_EQ(w.ShowPage("TfrmNothing"), nullptr);
  EXPECT_EQ(w.CurrentPage(), line);
}

TEST_F(MainFormTest, WizardStepsRestoreTheMainTextsButModeAndAdvancedDoNot) {
  TfrmMain w;
  auto* adv = Child<QLabel>(&w, "lblAdv");
  adv->setText("changed");
  w.ShowPage("TfrmAdv_Main");
  EXPECT_EQ(adv->text(), "changed");
  w.ShowPage("TfrmSel_Mode");
  EXPECT_EQ(adv->text(), "changed");
  w.ShowPage("TfrmLinkSource");
  EXPECT_EQ(adv->text(), "Advance");
}

TEST_F(MainFormTest, AdvanceLinkCyclesThroughItsTag) {
  TfrmMain w;
  auto* adv = Child<QLabel>(&w, "lblAdv");
  w.lblAdvClick();
  EXPECT_EQ(w.CurrentPage()->objectName(), "frmAdv_Main");
  EXPECT_EQ(adv->text(), "Wizard Mode");
  EXPECT_EQ(w.lblAdvTag(), 2);
  w.lblAdvClick();
  EXPECT_EQ(w.CurrentPage()->objectName(), "frmSel_Mode");
  EXPECT_EQ(adv->text(), "Advance Mode");
  EXPECT_EQ(w.lblAdvTag(), 1);
}

TEST_F(MainFormTest, AdvancedModeAtStartLeavesTheTagAtOne) {
  UserOption("[DevFind]\r\nadvmode=1\r\n");
  TfrmMain w;
  EXPECT_EQ(w.CurrentPage()->objectName(), "frmAdv_Main");
  ASSERT_NE(w.FindPage("TfrmSel_Mode"), nullptr);
  EXPECT_TRUE(w.FindPage("TfrmSel_Mode")->isHidden());
  EXPECT_EQ(w.lblAdvTag(), 1);
  w.lblAdvClick();  // re-shows the advanced window, which stays shown
  EXPECT_EQ(w.CurrentPage()->objectName(), "frmAdv_Main");
  EXPECT_FALSE(w.FindPage("TfrmAdv_Main")->isHidden());
  EXPECT_EQ(Child<QLabel>(&w, "lblAdv")->text(), "Wizard Mode");
  EXPECT_EQ(w.lblAdvTag(), 2);
}

TEST_F(MainFormTest, OnlineCdAndAboutLinks) {
  testing::TempFolders::Write(folders_.ProgramDir() / "Config.ini",
                              "[LINK]\r\nOnlineCD = http://host/cd/index_cn.htm \r\nAbout=http://host/about.htm\r\n");
  TfrmMain w;
  w.lblInsInfoClick();
  w.lblAboutClick();
  SetLanguage("cn");
  w.lblInsInfoClick();
  EXPECT_EQ(opened_, (QStringList{"http://host/cd/index_en.htm", "http://host/about.htm",
                                  "http://host/cd/index_cn.htm"}));
}

TEST_F(MainFormTest, LinksWithoutConfigDoNothing) {
  testing::TempFolders::Write(folders_.ProgramDir() / "Config.ini", "\x01\x02 not an ini [[[\r\n=\r\n");
  TfrmMain w;
  ASSERT_TRUE(w.Started());
  w.lblInsInfoClick();
  w.lblAboutClick();
  EXPECT_TRUE(opened_.isEmpty());
}

TEST_F(MainFormTest, UserOptionWinsOverMachineOption) {
  struct Case {
    const char* machine;
    const char* user;
    const char* lang;
  } cases[] = {
      {"[Global]\r\nlan=cn\r\n", "[Global]\r\nlan=en\r\n", "en"},
      {"[Global]\r\nlan=cn\r\n", nullptr, "cn"},
      {"[Global]\r\nlan=cn\r\n", "[Global]\r\nother=1\r\n", "cn"},
      {nullptr, "[global]\r\n LAN = kr \r\n", "kr"},
  };
  for (const Case& c : cases) {
    testing::TempFolders f;
    if (c.machine) testing::TempFolders::Write(f.ProgramDir() / "option.ini", c.machine);
    if (c.user) testing::TempFolders::Write(f.UserDir() / "option.ini", c.user);
    TfrmMain w;
    EXPECT_EQ(CurrentLanguage(), c.lang) << (c.user ? c.user : "no user file");
  }
}

TEST_F(MainFormTest, DefaultLanguageFromTheLocale) {
  struct Case {
    const char* locale;
    const char* lang;
  } cases[] = {
      {"zh_CN.UTF-8", "cn"},
      {"zh_TW.UTF-8", "b5"},
      {"fr_CA.UTF-8", "en"},  // 863 gives "fr", which has no file
      {"ja_JP.UTF-8", "en"},
      {"pl_PL.UTF-8", "en"},
  };
  for (const Case& c : cases) {
    testing::TempFolders f;
    ::setenv("LC_ALL", c.locale, 1);
    TfrmMain w;
    EXPECT_EQ(CurrentLanguage(), c.lang) << c.locale;
  }
}

TEST_F(MainFormTest, BrokenOrUnwritableSettingsGiveTheDefaults) {
  // garbage in both option files
  MachineOption(std::string("\0\xff[[Global\r\nlan\r\n=cn=\r\n", 24));
  UserOption("\xef\xbb\xbf[Global\r\n\x01\x02");
  {
    TfrmMain w;
    ASSERT_TRUE(w.Started());
    EXPECT_EQ(w.CurrentPage()->objectName(), "frmSel_Mode");
  }
  // the per-user folder cannot be created: a file stands where it should be
  testing::TempFolders f;
  testing::TempFolders::Write(f.Root() / "blocker", "x");
  AppPaths p = Paths();
  p.userDir = f.Root() / "blocker" / "kestrova";
  SetPaths(p);
  TfrmMain w;
  ASSERT_TRUE(w.Started());
  EXPECT_EQ(CurrentLanguage(), "en");
  auto* mode = static_cast<TfrmSel_Mode*>(w.FindPage("TfrmSel_Mode"));
  boxes_.clear();
  mode->cmbLanChange();  // neither write can be made: each is reported, naming the file
  mode->Label4Click();
  EXPECT_EQ(CurrentLanguage(), "en");
  const QString file = QString::fromStdString((p.userDir / "option.ini").string());
  ASSERT_EQ(boxes_.size(), 2u);
  for (const auto& b : boxes_) {
    EXPECT_EQ(b.text, QText("en", "StrRes", "IDS_SETTINGSWRITEERR").replace("%s", file));
    EXPECT_EQ(b.caption, QText("en", "StrRes", "IDS_WARNING"));
    EXPECT_EQ(b.flags, MB_ICONWARNING);
  }
}

// An option.ini that cannot be read (here: larger than the reader takes) is never replaced by
// the next write; the user is told instead.
TEST_F(MainFormTest, AnUnreadableOptionFileIsNeverOverwritten) {
  UserOption("[Global]\r\nlan=cn\r\n");
  const auto file = folders_.UserDir() / "option.ini";
  std::filesystem::resize_file(file, (64u << 20) + 1);
  TfrmMain w;
  ASSERT_TRUE(w.Started());
  auto* mode = static_cast<TfrmSel_Mode*>(w.FindPage("TfrmSel_Mode"));
  mode->cmbLanChange();
  mode->Label4Click();
  ASSERT_EQ(boxes_.size(), 2u);
  EXPECT_EQ(boxes_[0].text,
            QText("en", "StrRes", "IDS_SETTINGSREADERR").replace("%s", QString::fromStdString(file.string())));
  EXPECT_EQ(std::filesystem::file_size(file), (64u << 20) + 1);
  std::string head(18, '\0');
  std::ifstream(file, std::ios::binary).read(head.data(), 18);
  EXPECT_EQ(head, "[Global]\r\nlan=cn\r\n");
}

// lan=CN (another case than the file's) names the Chinese file: texts and boxes are Chinese,
// not blank.
TEST_F(MainFormTest, AStoredCodeMatchesWithoutRegardToCase) {
  UserOption("[Global]\r\nlan=CN\r\n");
  TfrmMain w;
  ASSERT_TRUE(w.Started());
  EXPECT_EQ(CurrentLanguage(), "cn");
  EXPECT_EQ(Child<QLabel>(&w, "lblAdv")->text(), QText("cn", "Form_frmMain", "lblAdv.Caption"));
  LangMessageBox("IDS_INPUTPORT", "IDS_WARNING", MB_ICONWARNING);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text, QText("cn", "StrRes", "IDS_INPUTPORT"));
  EXPECT_FALSE(boxes_[0].text.isEmpty());
}

TEST_F(MainFormTest, AStoredCodeIsTakenAsItStands) {
  // a code without a file keeps the designed texts; lookups fall back to nothing
  UserOption("[Global]\r\nlan=xx\r\n");
  TfrmMain w;
  EXPECT_TRUE(w.Started());
  EXPECT_EQ(CurrentLanguage(), "xx");
  EXPECT_EQ(Child<QLabel>(&w, "lblAdv")->text(), "Advance");
}

// Minimising and restoring the main window is no page change: what the user typed into the
// advanced window, its Apply state and its tab stay. Coming back from another page refills it.
TEST_F(MainFormTest, MinimiseAndRestoreLeaveTheAdvancedWindowAsItWas) {
  TfrmMain w;
  w.show();
  auto* adv = static_cast<TfrmAdv_Main*>(w.ShowPage("TfrmAdv_Main"));
  ASSERT_NE(adv, nullptr);
  TDevInfo cam;
  cam.DevType = 5;
  cam.MAC = "001A2B3C4D5E";
  cam.Name = "Garage";
  cam.IP = "192.168.1.20";
  cam.NetMask = "255.255.255.0";
  cam.HttpPort = 81;
  cam.IPMode = 2;
  adv->Engine().PostRecord(cam);
  adv->Engine().ProcessPending();
  ASSERT_NE(adv->SelectedDevice(), nullptr);
  auto* port = Child<QSpinBox>(adv, "edPort");
  auto* apply = Child<QPushButton>(adv, "btnApply");
  auto* tabs = Child<QTabWidget>(adv, "PageControl1");
  port->setValue(8081);
  ASSERT_TRUE(apply->isEnabled());
  tabs->setCurrentIndex(1);

  w.showMinimized();
  QApplication::processEvents();
  w.showNormal();
  QApplication::processEvents();
  EXPECT_EQ(port->value(), 8081);
  EXPECT_TRUE(apply->isEnabled());
  EXPECT_EQ(tabs->currentIndex(), 1);

  w.ShowPage("TfrmSel_Mode");
  w.ShowPage("TfrmAdv_Main");
  EXPECT_EQ(port->value(), 81);
  EXPECT_FALSE(apply->isEnabled());
  EXPECT_EQ(tabs->currentIndex(), 0);
}

TEST_F(MainFormTest, CloseIsRefusedWhileSetIpIsBusy) {
  TfrmMain w;
  w.show();
  SetIpBusy = true;
  EXPECT_FALSE(w.close());
  EXPECT_TRUE(w.isVisible());
  w.lblCloseClick();
  EXPECT_TRUE(w.isVisible());
  SetIpBusy = false;
  w.lblCloseClick();
  EXPECT_FALSE(w.isVisible());
}

TEST_F(MainFormTest, LanguageSwitchRelabelsEverythingAndWritesLan) {
  TfrmMain w;
  w.ShowPage("TfrmLinkSource");
  w.ShowPage("TfrmSel_Mode");
  auto* mode = static_cast<TfrmSel_Mode*>(w.FindPage("TfrmSel_Mode"));
  int cn = -1;
  for (int i = 0; i < mode->cmbLan->count(); ++i)
    if (mode->cmbLan->itemData(i).toString().endsWith(".lcn")) cn = i;
  ASSERT_GE(cn, 0);
  EXPECT_EQ(mode->cmbLan->itemText(cn), QText("en", "Global", "Name_cn"));
  mode->cmbLan->setCurrentIndex(cn);
  mode->cmbLanChange();

  EXPECT_EQ(CurrentLanguage(), "cn");
  EXPECT_EQ(Child<QLabel>(&w, "lblAdv")->text(), QText("cn", "Form_frmMain", "lblAdv.Caption"));
  EXPECT_EQ(Child<TPanel>(&w, "Panel3")->Caption(), QText("cn", "Form_frmMain", "Panel3.Caption"));
  EXPECT_EQ(mode->lblLan->text(), QText("cn", "Form_frmSel_Mode", "lblLan.Caption"));
  EXPECT_EQ(mode->windowTitle(), QText("cn", "Form_frmSel_Mode", "Caption"));
  EXPECT_EQ(Child<QLabel>(&w, "lblCaption")->text(), mode->windowTitle());
  auto* link = static_cast<TWizardStepPage*>(w.FindPage("TfrmLinkSource"));
  EXPECT_EQ(link->btnNext->text(), QText("cn", "Form_frmLinkSource", "btnNext.Caption"));
  // the combo is refilled in the new language and keeps the current one selected
  EXPECT_EQ(mode->cmbLan->count(), 5);
  ASSERT_GE(mode->cmbLan->currentIndex(), 0);
  EXPECT_TRUE(mode->cmbLan->itemData(mode->cmbLan->currentIndex()).toString().endsWith(".lcn"));
  EXPECT_EQ(mode->cmbLan->currentText(), QText("cn", "Global", "Name_cn"));
  EXPECT_EQ(TIniFile(folders_.UserDir() / "option.ini").ReadString("Global", "lan", ""), "cn");

  // without a selection the language stays and lan is still written
  std::filesystem::remove(folders_.UserDir() / "option.ini");
  mode->cmbLan->setCurrentIndex(-1);
  mode->cmbLanChange();
  EXPECT_EQ(CurrentLanguage(), "cn");
  EXPECT_EQ(TIniFile(folders_.UserDir() / "option.ini").ReadString("Global", "lan", ""), "cn");
  // the machine file is never written
  EXPECT_FALSE(std::filesystem::exists(folders_.ProgramDir() / "option.ini"));
}

TEST_F(MainFormTest, AdvancedModeOptionIsReadAndWritten) {
  TfrmMain w;
  auto* mode = static_cast<TfrmSel_Mode*>(w.FindPage("TfrmSel_Mode"));
  EXPECT_TRUE(mode->chkAdvMode->isHidden());
  EXPECT_TRUE(mode->Label4->isHidden());
  EXPECT_FALSE(mode->chkAdvMode->isChecked());
  mode->Label4Click();
  EXPECT_TRUE(mode->chkAdvMode->isChecked());
  EXPECT_TRUE(TIniFile(folders_.UserDir() / "option.ini").ReadBool("DevFind", "advmode", false));
  mode->Label4Click();
  EXPECT_FALSE(TIniFile(folders_.UserDir() / "option.ini").ReadBool("DevFind", "advmode", true));
}

TEST_F(MainFormTest, StartButtonsAndStepNavigation) {
  TfrmMain w;
  auto* mode = static_cast<TfrmSel_Mode*>(w.FindPage("TfrmSel_Mode"));
  mode->TeButton1->click();
  EXPECT_EQ(w.CurrentPage()->objectName(), "frmLinkSource");
  w.ShowPage("TfrmSel_Mode");
  mode->btnEasy->click();
  auto* link = static_cast<TWizardStepPage*>(w.CurrentPage());
  ASSERT_EQ(link->objectName(), "frmLinkSource");
  link->btnNext->click();
  EXPECT_EQ(w.CurrentPage()->objectName(), "frmEsy_Line");
  static_cast<TWizardStepPage*>(w.CurrentPage())->BtnJPre->click();
  EXPECT_EQ(w.CurrentPage()->objectName(), "frmLinkSource");
  link->btnPre->click();
  EXPECT_EQ(w.CurrentPage()->objectName(), "frmSel_Mode");

  // the last two steps count the cameras
  CameraNumber = 3;
  static_cast<TWizardStepPage*>(w.ShowPage("TfrmEsy_PortForward"))->btnNext->click();
  EXPECT_EQ(w.CurrentPage()->objectName(), "frmEsy_SelAccess");
  static_cast<TWizardStepPage*>(w.CurrentPage())->btnNext->click();
  EXPECT_EQ(w.CurrentPage()->objectName(), "frmEsy_DevList");
  EXPECT_EQ(CameraNumber, 5);
  EXPECT_EQ(static_cast<TWizardStepPage*>(w.FindPage("TfrmEsy_PortForward"))->btnJNext, nullptr);
}

TEST_F(MainFormTest, StaticStepsHelpLinksShowTheirInfoText) {
  TfrmMain w;
  auto* power = static_cast<TfrmLinkSource*>(w.ShowPage("TfrmLinkSource"));
  auto* cable = static_cast<TfrmEsy_Line*>(w.ShowPage("TfrmEsy_Line"));
  EXPECT_EQ(power->Label4->cursor().shape(), Qt::PointingHandCursor);
  EXPECT_TRUE(power->lblPC1->isHidden());
  EXPECT_EQ(cable->lblPC1->text(), QText("en", "Form_frmEsy_Line", "lblPC1.Caption"));
  struct Case {
    std::function<void()> click;
    const char* key;
  } cases[] = {
      {[power] { power->Label4Click(); }, "IDS_LINKSOURCE"},
      {[cable] { cable->Label3Click(); }, "IDS_LINKNETWORK"},
  };
  for (const Case& c : cases) {
    QString shown;
    QTimer::singleShot(0, [&] {
      auto* info = qobject_cast<TFrmQInfo*>(QApplication::activeModalWidget());
      ASSERT_NE(info, nullptr);
      shown = info->Info();
      info->reject();
    });
    c.click();
    EXPECT_EQ(shown.toStdString(), QText("en", "StrRes", c.key).toStdString()) << c.key;
    EXPECT_TRUE(shown.contains('\n')) << c.key;  // "$n" is a line break
  }
}

TEST_F(MainFormTest, SecondInstanceIsRefusedAndRaisesTheFirst) {
  TfrmMain first;
  ASSERT_TRUE(first.Started());
  QSignalSpy raised(&first, &TfrmMain::activated);
  const std::filesystem::path langDir = LangFilePath().parent_path();
  {
    TfrmMain second;
    EXPECT_FALSE(second.Started());
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text, "Kestrova has been already running.");
    EXPECT_EQ(boxes_[0].caption, "Warning");
    EXPECT_EQ(boxes_[0].flags, MB_OK | MB_ICONWARNING);
    EXPECT_TRUE(second.LanguageFiles().isEmpty());
  }
  EXPECT_TRUE(raised.wait(5000) || raised.count() > 0);
  // the ending second instance left the first one's language files alone
  SetLanguage("en");
  EXPECT_TRUE(std::filesystem::exists(LangFileFor("en")));
  EXPECT_EQ(LoadStr("IDS_WZ"), "Wizard Mode");
  (void)langDir;
}

TEST_F(MainFormTest, TheLanguageFolderGoesWithTheWindow) {
  std::filesystem::path file;
  {
    TfrmMain w;
    file = LangFileFor("en");
    EXPECT_TRUE(std::filesystem::exists(file));
  }
  EXPECT_FALSE(std::filesystem::exists(file));
}

TEST(LangMessageBox, FlagsMapOntoTheBox) {
  // A real box, answered by a timer that presses the default button.
  struct Case {
    int flags;
    QMessageBox::Icon icon;
    int defaultResult;
  } cases[] = {
      {MB_OK, QMessageBox::NoIcon, IDOK},
      {16, QMessageBox::Critical, IDOK},
      {48, QMessageBox::Warning, IDOK},
      {64, QMessageBox::Information, IDOK},
      {36, QMessageBox::Question, IDYES},
      {52, QMessageBox::Warning, IDYES},
      {292, QMessageBox::Question, IDNO},
  };
  for (const Case& c : cases) {
    QMessageBox::Icon seen = QMessageBox::NoIcon;
    QString title;
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      seen = box->icon();
      title = box->windowTitle();
      EXPECT_EQ(box->textFormat(), Qt::PlainText);  // a camera's or a service's words, never markup
      box->defaultButton()->click();
    });
    EXPECT_EQ(ShowMessageBox("<b>text</b>", "caption", c.flags), c.defaultResult) << c.flags;
    EXPECT_EQ(seen, c.icon) << c.flags;
    EXPECT_EQ(title, "caption");
  }
  // the other button of a yes/no box
  QTimer::singleShot(0, [] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    box->button(QMessageBox::No)->click();
  });
  EXPECT_EQ(ShowMessageBox("text", "caption", 36), IDNO);
}

TEST_F(MainFormTest, LangMessageBoxLooksTheKeysUp) {
  TfrmMain w;
  SetMessageBoxHook([this](const MessageBoxCall& c) {
    boxes_.push_back(c);
    return IDYES;
  });
  EXPECT_EQ(LangMessageBox("IDS_WZ", "IDS_WARNING", 36), IDYES);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text, "Wizard Mode");
  EXPECT_EQ(boxes_[0].caption, "Warning");
  EXPECT_EQ(boxes_[0].flags, 36);
}

TEST_F(MainFormTest, ThemeFileBesideTheProgramReplacesTheDefaultStyle) {
  auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
  ASSERT_NE(app, nullptr);
  EXPECT_EQ(LoadSkin(*app), ":/style/default.qss");
  EXPECT_FALSE(app->styleSheet().isEmpty());
  EXPECT_EQ(app->styleSheet(), DefaultStyleSheet());
  const std::string theme = "QWidget { background: #102030; }\n";
  testing::TempFolders::Write(folders_.ProgramDir() / "kestrova.mskn", theme);
  EXPECT_EQ(LoadSkin(*app).toStdString(), (folders_.ProgramDir() / "kestrova.mskn").string());
  EXPECT_EQ(app->styleSheet().toStdString(), theme);
  TfrmMain w;  // start-up takes the theme as well
  EXPECT_EQ(app->styleSheet().toStdString(), theme);
  std::filesystem::remove(folders_.ProgramDir() / "kestrova.mskn");
  LoadSkin(*app);
}

}  // namespace
}  // namespace kestrova
