// The string walk over real Qt widget trees, with a hand-written language file.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QTabWidget>
#include <QToolBar>

#include <stdexcept>

#include "core/i18n/lang.h"
#include "gui/app/app_fixture.h"
#include "ui/app/page_base.h"
#include "ui/i18n/apply_strings.h"
#include "ui/skin/controls.h"

namespace kestrova {
namespace {

class ApplyStringsTest : public ::testing::Test {
 protected:
  // Installs text as the English file "t.len" of a private language folder.
  void UseLanguageFile(const std::string& text, const std::string& code = "en") {
    testing::TempFolders::Write(folders_.Root() / "lang" / ("t.l" + code), text);
    SetLanguageLocation(folders_.Root() / "lang", "t");
    SetLanguage(code);
  }
  void TearDown() override { SetApplyStringsProbe(nullptr); }

  testing::TempFolders folders_;
};

template <class T>
T* Add(QObject* parent, const char* name) {
  T* o = new T(static_cast<QWidget*>(parent));
  o->setObjectName(QString::fromLatin1(name));
  return o;
}

TEST_F(ApplyStringsTest, LabelsPanelsEditsAndCaption) {
  UseLanguageFile(
      "[Form_frmTest]\r\n"
      "Caption=Test window\r\n"
      "lblLan.Caption=Language:\r\n"
      "lblTwo.Caption=Line 1$nLine 2\r\n"
      "lblEmpty.Caption=\r\n"
      "plSkin.Caption=skinned caption\r\n"
      "plSkin.Hint=skinned hint\r\n"
      "plInfo.Caption=There is no camera found in the LAN.\r\n"
      "edName.Caption=never\r\n"
      "edName.Hint=never\r\n");
  QWidget w;
  w.setObjectName("frmTest");
  w.setWindowTitle("designed");
  auto* lblLan = Add<QLabel>(&w, "lblLan");
  lblLan->setText("designed lan");
  auto* lblTwo = Add<QLabel>(&w, "lblTwo");
  auto* lblKeep = Add<QLabel>(&w, "lblKeep");
  lblKeep->setText("kept");
  auto* lblEmpty = Add<QLabel>(&w, "lblEmpty");
  lblEmpty->setText("to be blanked");
  auto* plSkin = Add<TTePanel>(&w, "plSkin");
  plSkin->SetCaption("designed skin");
  auto* plInfo = Add<TPanel>(&w, "plInfo");
  plInfo->SetCaption("designed info");
  auto* edName = Add<QLineEdit>(&w, "edName");
  edName->setText("typed");

  ApplyStrings(&w);

  EXPECT_EQ(w.windowTitle(), "Test window");
  EXPECT_EQ(lblLan->text(), "Language:");
  EXPECT_EQ(lblTwo->text(), "Line 1\nLine 2");
  EXPECT_EQ(lblKeep->text(), "kept");
  EXPECT_EQ(lblEmpty->text(), "");
  EXPECT_EQ(plSkin->Caption(), "designed skin");  // the skinned panel takes only its hint
  EXPECT_EQ(plSkin->toolTip(), "skinned hint");
  EXPECT_EQ(plInfo->Caption(), "There is no camera found in the LAN.");
  EXPECT_EQ(edName->text(), "typed");
  EXPECT_EQ(edName->toolTip(), "");
  EXPECT_FALSE(edName->testAttribute(Qt::WA_SetFont));  // no row: not even the font
}

TEST_F(ApplyStringsTest, ItemsColumnsNodesAndFilters) {
  UseLanguageFile(
      "[Form_frmTest]\r\n"
      "cmbSecurity.Items0.Caption=None\r\n"
      "cmbSecurity.Items1.Caption=WEP\r\n"
      "cmbSkin.Items0.Caption=first\r\n"
      "cmbSkinS.Items1.Caption=second\r\n"
      "ListView1.Columns0.Caption=#\r\n"
      "ListView1.Columns2.Caption=Series\r\n"
      "Grid.Columns1.Caption=B\r\n"
      "Tree.Items0.Text=root\r\n"
      "Tree.Items1.Text=child\r\n"
      "Tree.Items2.Text=grandchild\r\n"
      "Tree.Items3.Text=second root\r\n"
      "rgHex.Caption=Key Format\r\n"
      "rgHex.Items0.Caption=Hexadecimal Number\r\n"
      "rgHex.Items1.Caption=ASCII Character\r\n"
      "lbNames.Items1.Caption=b!\r\n"
      "tabBase.Caption=General\r\n"
      "mnuOpen.Caption=&Open\r\n"
      "spbOpen.Caption=Open\r\n"
      "spbOpen.Hint=Open in browser\r\n"
      "OpenDialog1.Filter=Upgrade package(*.bin)|*.bin\r\n");
  QWidget w;
  w.setObjectName("frmTest");
  auto* cmb = Add<QComboBox>(&w, "cmbSecurity");
  cmb->addItems({"a", "b", "c"});
  auto* cmbSkin = Add<TTeComboBox>(&w, "cmbSkin");
  cmbSkin->addItems({"x", "y"});
  auto* cmbSkinS = Add<TTeSComboBox>(&w, "cmbSkinS");
  cmbSkinS->addItems({"x", "y"});
  auto* lv = Add<TTeListView>(&w, "ListView1");
  lv->SetColumns({"c0", "c1", "c2"});
  auto* grid = Add<TTeDBGrid>(&w, "Grid");
  grid->setColumnCount(2);
  auto* tree = Add<QTreeWidget>(&w, "Tree");
  auto* root = new QTreeWidgetItem(tree, QStringList{"r"});
  auto* child = new QTreeWidgetItem(root, QStringList{"c"});
  new QTreeWidgetItem(child, QStringList{"g"});
  auto* root2 = new QTreeWidgetItem(tree, QStringList{"r2"});
  auto* rg = Add<TTeRadioGroup>(&w, "rgHex");
  rg->AddItem("hex");
  rg->AddItem("ascii");
  rg->AddItem("third");
  auto* lb = Add<QListWidget>(&w, "lbNames");
  lb->addItems({"a", "b"});
  auto* tabs = Add<QTabWidget>(&w, "pcMain");
  auto* tab = new TTeTabSheet();
  tab->setObjectName("tabBase");
  tabs->addTab(tab, "designed tab");
  auto* menu = new QMenu(&w);
  menu->setObjectName("pmMain");
  QAction* open = menu->addAction("designed open");
  open->setObjectName("mnuOpen");
  auto* spb = Add<TTeSpeedButton>(&w, "spbOpen");
  auto* dlg = new TOpenDialog(&w);
  dlg->setObjectName("OpenDialog1");

  ApplyStrings(&w);

  EXPECT_EQ(cmb->itemText(0), "None");
  EXPECT_EQ(cmb->itemText(1), "WEP");
  EXPECT_EQ(cmb->itemText(2), "c");
  EXPECT_EQ(cmbSkin->itemText(0), "first");
  EXPECT_EQ(cmbSkinS->itemText(1), "second");
  EXPECT_EQ(lv->headerItem()->text(0), "#");
  EXPECT_EQ(lv->headerItem()->text(1), "c1");
  EXPECT_EQ(lv->headerItem()->text(2), "Series");
  ASSERT_NE(grid->horizontalHeaderItem(1), nullptr);
  EXPECT_EQ(grid->horizontalHeaderItem(1)->text(), "B");
  EXPECT_EQ(root->text(0), "root");
  EXPECT_EQ(child->text(0), "child");
  EXPECT_EQ(child->child(0)->text(0), "grandchild");
  EXPECT_EQ(root2->text(0), "second root");
  EXPECT_EQ(rg->title(), "Key Format");
  EXPECT_EQ(rg->ItemText(0), "Hexadecimal Number");
  EXPECT_EQ(rg->ItemText(1), "ASCII Character");
  EXPECT_EQ(rg->ItemText(2), "third");
  EXPECT_EQ(lb->item(0)->text(), "a");
  EXPECT_EQ(lb->item(1)->text(), "b!");
  EXPECT_EQ(tabs->tabText(0), "General");
  EXPECT_EQ(open->text(), "&Open");
  EXPECT_EQ(spb->text(), "Open");
  EXPECT_EQ(spb->toolTip(), "Open in browser");
  EXPECT_EQ(dlg->Filter, "Upgrade package(*.bin)|*.bin");
}

TEST(ComponentKinds, FirstMatchingRowDecides) {
  QWidget w;
  struct Case {
    QObject* obj;
    const char* kind;
  } cases[] = {
      {new TTePanel(&w), "TTePanel"},
      {new TPanel(&w), "TPanel"},
      {new TTeLabel(&w), "TTeLabel"},
      {new TClickLabel(&w), "TLabel"},
      {new QLabel(&w), "TLabel"},
      {new TTeButton(&w), "TTeButton"},
      {new QPushButton(&w), "TButton"},
      {new TTeRadioGroup(&w), "TTeRadioGroup"},  // before its base TTeGroupBox
      {new TTeGroupBox(&w), "TTeGroupBox"},
      {new TRadioGroup(&w), "TRadioGroup"},      // not a TGroupBox
      {new QGroupBox(&w), "TGroupBox"},
      {new TTeSComboBox(&w), "TComboBox"},       // the skinned drop-down is a plain combo
      {new TTeComboBox(&w), "TTeComboBox"},
      {new QComboBox(&w), "TComboBox"},
      {new TTeListView(&w), "TTeListView"},
      {new TListView(&w), "TListView"},
      {new TTeTreeView(&w), "TTeTreeView"},
      {new QTreeWidget(&w), "TTreeView"},
      {new TTeDBGrid(&w), "TTeDBGrid"},
      {new QTableWidget(&w), "TDBGrid"},
      {new TTeFileListBox(&w), "TTeFileListBox"},
      {new TCheckListBox(&w), "TCheckListBox"},
      {new QListWidget(&w), "TListBox"},
      {new TTeStatusBar(&w), "TStatusBar"},
      {new TImage(&w), "TImage"},
      {new TTeSpeedButton(&w), "TTeSpeedButton"},
      {new QToolButton(&w), "TSpeedButton"},
      {new QToolBar(&w), "TToolBar"},
      {new TTeTabSheet(&w), "TTeTabSheet"},
      {new TTabSheet(&w), "TTabSheet"},
      {new TTeItem(&w), "TTeItem"},
      {new QAction(&w), "TMenuItem"},
      {new TSaveDialog(&w), "TSaveDialog"},
      {new TOpenDialog(&w), "TOpenDialog"},
      {new QCheckBox(&w), "TCheckBox"},
      {new TTeCheckBox(&w), "TTeCheckBox"},
      {new QRadioButton(&w), "TRadioButton"},
      {new QLineEdit(&w), ""},
      {new QTabWidget(&w), ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ComponentKindName(c.obj).toStdString(), c.kind) << c.obj->metaObject()->className();
  auto* bar = new QToolBar(&w);
  auto* tb = new QToolButton(bar);
  EXPECT_EQ(ComponentKindName(tb), "TToolButton");
}

TEST_F(ApplyStringsTest, HostedPagesAndDialogsAreWalkedOnlyByThemselves) {
  UseLanguageFile(
      "[Form_frmMain]\r\n"
      "lblOwn.Caption=own\r\n"
      "lblPage.Caption=from the main section\r\n"
      "lblDlg.Caption=from the main section\r\n"
      "[Form_frmPage]\r\n"
      "Caption=Page caption\r\n"
      "lblPage.Caption=from the page section\r\n");
  QWidget main;
  main.setObjectName("frmMain");
  auto* content = Add<TTePanel>(&main, "plContent");
  auto* lblOwn = Add<QLabel>(content, "lblOwn");
  auto* page = new TfrmPageBase(content);
  page->setObjectName("frmPage");
  auto* lblPage = Add<QLabel>(page, "lblPage");
  lblPage->setText("designed");
  auto* dlg = new QDialog(&main);
  auto* lblDlg = Add<QLabel>(dlg, "lblDlg");
  lblDlg->setText("designed");

  ApplyStrings(&main);
  EXPECT_EQ(lblOwn->text(), "own");
  EXPECT_EQ(lblPage->text(), "designed");
  EXPECT_EQ(page->windowTitle(), "");
  EXPECT_EQ(lblDlg->text(), "designed");

  ApplyStrings(page);
  EXPECT_EQ(lblPage->text(), "from the page section");
  EXPECT_EQ(page->windowTitle(), "Page caption");
}

TEST_F(ApplyStringsTest, AnErrorEndsTheWalkSilently) {
  UseLanguageFile("[Form_frmTest]\r\nlblA.Caption=A\r\nlblB.Caption=B\r\nlblC.Caption=C\r\n");
  QWidget w;
  w.setObjectName("frmTest");
  auto* a = Add<QLabel>(&w, "lblA");
  auto* b = Add<QLabel>(&w, "lblB");
  auto* c = Add<QLabel>(&w, "lblC");
  SetApplyStringsProbe([](QObject* o) {
    if (o->objectName() == "lblB") throw std::runtime_error("broken component");
  });
  ApplyStrings(&w);
  EXPECT_EQ(a->text(), "A");
  EXPECT_EQ(b->text(), "");
  EXPECT_EQ(c->text(), "");

  // The lock is released: the next walk runs to the end.
  SetApplyStringsProbe(nullptr);
  ApplyStrings(&w);
  EXPECT_EQ(c->text(), "C");
}

TEST_F(ApplyStringsTest, MissingSectionChangesOnlyTheFont) {
  UseLanguageFile("[Form_frmOther]\r\nlblA.Caption=A\r\nCaption=other\r\n");
  QWidget w;
  w.setObjectName("frmTest");
  w.setWindowTitle("designed");
  QFont f = w.font();
  f.setPointSize(9);
  w.setFont(f);
  auto* a = Add<QLabel>(&w, "lblA");
  a->setText("designed");

  ApplyStrings(&w);
  EXPECT_EQ(w.windowTitle(), "designed");
  EXPECT_EQ(a->text(), "designed");
  EXPECT_EQ(w.property("langFace").toString(), "Tahoma");
  EXPECT_EQ(w.font().pointSize(), 8);
}

TEST_F(ApplyStringsTest, FontFollowsTheLanguage) {
  QWidget w;
  w.setObjectName("frmTest");
  auto* small = Add<QLabel>(&w, "lblSmall");
  auto* big = Add<QLabel>(&w, "lblBig");
  auto setSize = [](QWidget* x, int pt) {
    QFont f = x->font();
    f.setPointSize(pt);
    x->setFont(f);
  };
  setSize(small, 8);
  setSize(big, 10);

  UseLanguageFile("[Global]\r\nName_cn=x\r\n", "cn");
  ApplyStrings(&w);
  EXPECT_EQ(small->font().pointSize(), 9);
  EXPECT_EQ(big->font().pointSize(), 10);
  EXPECT_EQ(small->property("langFace").toString(), QString::fromUtf8("宋体"));
  EXPECT_EQ(small->font().family(), PlatformFontFamily("cn", "宋体"));

  UseLanguageFile("[Global]\r\nName_pl=x\r\n", "pl");
  ApplyStrings(&w);
  EXPECT_EQ(small->font().pointSize(), 8);  // 9 under pl becomes 8
  EXPECT_EQ(big->font().pointSize(), 10);
  EXPECT_EQ(small->property("langFace").toString(), "Tahoma");
}

TEST(PlatformFontFamily, CjkFacesMapOntoInstalledFamilies) {
  // fonts-noto-cjk is a dependency of the program; without it Chinese and Korean show as boxes.
  EXPECT_EQ(PlatformFontFamily("cn", "宋体"), "Noto Sans CJK SC");
  EXPECT_EQ(PlatformFontFamily("b5", "PMingLiU"), "Noto Sans CJK TC");
  EXPECT_EQ(PlatformFontFamily("kr", "Tahoma"), "Noto Sans CJK KR");
  EXPECT_FALSE(PlatformFontFamily("en", "Tahoma").isEmpty());
}

TEST(QtFileFilter, ConvertsPairs) {
  EXPECT_EQ(QtFileFilter("Upgrade package(*.bin)|*.bin"), "Upgrade package(*.bin)");
  EXPECT_EQ(QtFileFilter("Text|*.txt|All files|*.*"), "Text (*.txt);;All files (*.*)");
  EXPECT_EQ(QtFileFilter("Packages (*.bin;*.pk2)|*.bin;*.pk2"), "Packages (*.bin *.pk2)");
  EXPECT_EQ(QtFileFilter(""), "");
}

}  // namespace
}  // namespace kestrova
