#include "ui/app/sel_mode.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "core/app/app_rules.h"
#include "core/i18n/lang.h"
#include "ui/app/global.h"
#include "ui/app/main_form.h"
#include "ui/i18n/apply_strings.h"
#include "ui/skin/controls.h"

namespace kestrova {

TfrmSel_Mode::TfrmSel_Mode(QWidget* parent) : TfrmPageBase(parent) {
  setObjectName(QStringLiteral("frmSel_Mode"));
  setWindowTitle(QStringLiteral("Welcome"));
  resize(kContentWidth, kContentHeight);

  Image1 = new TImage(this);
  Image1->setObjectName(QStringLiteral("Image1"));
  Image1->LoadPicture(QStringLiteral(":/images/sel_mode.svg"));
  Image1->setGeometry(18, 28, 232, 300);

  auto* column = new QWidget(this);
  column->setGeometry(270, 18, kContentWidth - 270 - 24, kContentHeight - 18 - 16);
  auto* v = new QVBoxLayout(column);
  v->setContentsMargins(0, 0, 0, 0);
  v->setSpacing(10);

  Label5 = new QLabel(QStringLiteral("Welcome"), column);
  Label5->setObjectName(QStringLiteral("Label5"));
  Label5->setProperty("skinRole", QStringLiteral("heading"));
  QFont hf = Label5->font();
  hf.setPointSize(18);
  hf.setBold(true);
  Label5->setFont(hf);
  v->addWidget(Label5);

  TeLabel2 = new TTeLabel(column);
  TeLabel2->setObjectName(QStringLiteral("TeLabel2"));
  TeLabel2->setText(QStringLiteral("This wizard guides you step by step through the set-up of your IP camera."));
  TeLabel2->setWordWrap(true);
  TeLabel2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  QFont bf = TeLabel2->font();
  bf.setPointSize(10);
  TeLabel2->setFont(bf);
  v->addWidget(TeLabel2);

  Label3 = new QLabel(column);
  Label3->setObjectName(QStringLiteral("Label3"));
  Label3->setProperty("skinRole", QStringLiteral("note"));
  Label3->setText(QStringLiteral(
      "Note: Please make sure the IP camera and the PC running this software are in the same local network(LAN)."));
  Label3->setWordWrap(true);
  Label3->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Label3->setFont(bf);
  v->addWidget(Label3);

  v->addStretch(1);

  auto* lanRow = new QHBoxLayout();
  lanRow->setSpacing(8);
  lblLan = new QLabel(QStringLiteral("Language:"), column);
  lblLan->setObjectName(QStringLiteral("lblLan"));
  cmbLan = new TTeSComboBox(column);
  cmbLan->setObjectName(QStringLiteral("cmbLan"));
  cmbLan->setMinimumWidth(150);
  lanRow->addWidget(lblLan);
  lanRow->addWidget(cmbLan);
  lanRow->addStretch(1);
  v->addLayout(lanRow);

  v->addSpacing(18);

  auto* startRow = new QHBoxLayout();
  startRow->setSpacing(4);
  startRow->addStretch(1);
  btnEasy = new TTeButton(QStringLiteral("&Start"), column);
  btnEasy->setObjectName(QStringLiteral("btnEasy"));
  btnEasy->setProperty("skinRole", QStringLiteral("primary"));
  btnEasy->setMinimumSize(110, 30);
  btnEasy->setDefault(true);
  TeButton1 = new TTeButton(QStringLiteral(" \u300B"), column);
  TeButton1->setObjectName(QStringLiteral("TeButton1"));
  TeButton1->setProperty("skinRole", QStringLiteral("primary"));
  TeButton1->setFixedSize(36, 30);
  startRow->addWidget(btnEasy);
  startRow->addWidget(TeButton1);
  v->addLayout(startRow);

  chkAdvMode = new QCheckBox(this);
  chkAdvMode->setObjectName(QStringLiteral("chkAdvMode"));
  chkAdvMode->setGeometry(270, 372, 16, 16);
  chkAdvMode->setVisible(false);
  Label4 = new TClickLabel(this);
  Label4->setObjectName(QStringLiteral("Label4"));
  Label4->setText(QStringLiteral("Start in advanced mode"));
  Label4->setGeometry(290, 372, 200, 16);
  Label4->setVisible(false);

  connect(btnEasy, &QPushButton::clicked, this, &TfrmSel_Mode::btnEasyClick);
  connect(TeButton1, &QPushButton::clicked, this, &TfrmSel_Mode::btnEasyClick);
  connect(cmbLan, &QComboBox::activated, this, [this](int) { cmbLanChange(); });
  connect(chkAdvMode, &QCheckBox::clicked, this, [this](bool) { chkAdvModeClick(); });
  connect(Label4, &TClickLabel::clicked, this, &TfrmSel_Mode::Label4Click);

  // FormCreate
  ApplyStrings(this);
  FillLanguages();
  chkAdvMode->setChecked(OpenOptionFile().ReadBool("DevFind", "advmode", false));
}

TfrmSel_Mode::~TfrmSel_Mode() = default;

void TfrmSel_Mode::FillLanguages() {
  const QSignalBlocker block(cmbLan);
  cmbLan->clear();
  TfrmMain* main = MainForm();
  if (!main) return;
  const QStringList& files = main->LanguageFiles();
  const std::string current = CurrentLanguage();
  int selected = -1;
  WithOpenLangFile([&](const TIniFile& ini) {
    for (const QString& file : files) {
      const std::string code = LanguageCodeOfFile(std::filesystem::path(file.toStdString()));
      cmbLan->addItem(LangText(ini.ReadString("Global", "Name_" + code, "")), file);
      if (code == current) selected = cmbLan->count() - 1;
    }
  });
  cmbLan->setCurrentIndex(selected);
}

void TfrmSel_Mode::cmbLanChange() {
  const int i = cmbLan->currentIndex();
  if (i >= 0) {
    const QString file = cmbLan->itemData(i).toString();
    SetLanguage(LanguageCodeOfFile(std::filesystem::path(file.toStdString())));
    if (TfrmMain* main = MainForm()) main->ReapplyLanguage();
    FillLanguages();
  }
  WriteOptionString("Global", "lan", CurrentLanguage());
}

void TfrmSel_Mode::btnEasyClick() {
  if (TfrmMain* main = MainForm()) main->ShowPage(QStringLiteral("TfrmLinkSource"));
}

void TfrmSel_Mode::chkAdvModeClick() { WriteOptionBool("DevFind", "advmode", chkAdvMode->isChecked()); }

void TfrmSel_Mode::Label4Click() {
  chkAdvMode->setChecked(!chkAdvMode->isChecked());
  chkAdvModeClick();
}

}  // namespace kestrova
