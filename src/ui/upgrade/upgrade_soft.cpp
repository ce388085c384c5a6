#include "ui/upgrade/upgrade_soft.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

#include "core/i18n/lang.h"
#include "net/cgi/device_series.h"
#include "net/upgrade/upgrade_io.h"
#include "ui/app/lang_message_box.h"
#include "ui/i18n/apply_strings.h"
#include "ui/skin/controls.h"

namespace kestrova {

namespace {

QString Key(const char* key) { return LangText(LoadStr(key)); }

// "%s" of a language text replaced in order.
QString Formatted(const char* key, std::initializer_list<QString> values) {
  QString text = Key(key);
  for (const QString& v : values) {
    const int at = text.indexOf(QStringLiteral("%s"));
    if (at < 0) break;
    text.replace(at, 2, v);
  }
  return text;
}

}  // namespace

TfrmUpgradeSoft::TfrmUpgradeSoft(QWidget* owner) : QDialog(owner), shared_(std::make_shared<Shared>()) {
  setObjectName(QStringLiteral("frmUpgradeSoft"));
  setWindowTitle(QStringLiteral("Select Firmware"));
  setModal(true);
  setMinimumSize(480, 230);

  auto* v = new QVBoxLayout(this);
  v->setContentsMargins(16, 12, 16, 12);
  auto* kinds = new QHBoxLayout;
  RadioButton1 = new QRadioButton(QStringLiteral("System Firmware"), this);
  RadioButton1->setObjectName(QStringLiteral("RadioButton1"));
  RadioButton2 = new QRadioButton(QStringLiteral("Embeded Web UI Firmware"), this);
  RadioButton2->setObjectName(QStringLiteral("RadioButton2"));
  RadioButton2->setChecked(true);
  kinds->addWidget(RadioButton1);
  kinds->addWidget(RadioButton2);
  kinds->addStretch(1);
  v->addLayout(kinds);

  auto* fileRow = new QHBoxLayout;
  Label1 = new QLabel(QStringLiteral("Source File:"), this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Edit1 = new QLineEdit(this);
  Edit1->setObjectName(QStringLiteral("Edit1"));
  BitBtn1 = new QPushButton(QStringLiteral("..."), this);
  BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
  BitBtn1->setFixedWidth(36);
  fileRow->addWidget(Label1);
  fileRow->addWidget(Edit1, 1);
  fileRow->addWidget(BitBtn1);
  v->addLayout(fileRow);

  pbUpgrade = new QProgressBar(this);
  pbUpgrade->setObjectName(QStringLiteral("pbUpgrade"));
  pbUpgrade->setRange(0, 1000);
  pbUpgrade->setValue(0);
  pbUpgrade->setTextVisible(false);
  v->addWidget(pbUpgrade);
  lblProgress = new QLabel(this);
  lblProgress->setObjectName(QStringLiteral("lblProgress"));
  lblProgress->setWordWrap(true);
  lblProgress->setMinimumHeight(lblProgress->fontMetrics().height() * 2);
  v->addWidget(lblProgress);
  v->addStretch(1);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  BitBtn2 = new QPushButton(QStringLiteral("&Upgrade"), this);
  BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
  BitBtn2->setDefault(true);
  BitBtn3 = new QPushButton(QStringLiteral("&Exit"), this);
  BitBtn3->setObjectName(QStringLiteral("BitBtn3"));
  buttons->addWidget(BitBtn2);
  buttons->addWidget(BitBtn3);
  v->addLayout(buttons);

  OpenDialog1 = new TOpenDialog(this);
  OpenDialog1->setObjectName(QStringLiteral("OpenDialog1"));
  OpenDialog1->Filter = QStringLiteral("Upgrade package(*.bin)|*.bin");

  repaint_ = new QTimer(this);
  repaint_->setInterval(100);
  connect(repaint_, &QTimer::timeout, this, &TfrmUpgradeSoft::ShowProgress);
  connect(BitBtn1, &QPushButton::clicked, this, &TfrmUpgradeSoft::BitBtn1Click);
  connect(BitBtn2, &QPushButton::clicked, this, &TfrmUpgradeSoft::BitBtn2Click);
  connect(BitBtn3, &QPushButton::clicked, this, &TfrmUpgradeSoft::BitBtn3Click);

  ApplyStrings(this);
  for (QPushButton* b : {BitBtn2, BitBtn3})  // each button as wide as its caption needs
    b->setMinimumWidth(std::max(90, b->sizeHint().width()));
}

TfrmUpgradeSoft::~TfrmUpgradeSoft() {
  shared_->cancel = true;
  if (worker_.joinable()) worker_.join();
}

void TfrmUpgradeSoft::BitBtn1Click() {
  // Family-5 cameras take packages: the filter offers .pk2 files on every browse.
  if (target_.DevType == 5) OpenDialog1->Filter.replace(QStringLiteral("bin"), QStringLiteral("pk2"));
  const bool chosen = chooser_ ? chooser_(*OpenDialog1) : OpenDialog1->Execute(this);
  if (chosen) Edit1->setText(OpenDialog1->FileName);
}

void TfrmUpgradeSoft::SetBusy(bool busy) {
  running_ = busy;
  for (QWidget* w : std::initializer_list<QWidget*>{Edit1, BitBtn1, BitBtn2, RadioButton1, RadioButton2})
    w->setEnabled(!busy);
  if (busy) {
    repaint_->start();
  } else {
    repaint_->stop();
  }
}

void TfrmUpgradeSoft::BitBtn2Click() {
  if (running_) return;
  const std::string file = Edit1->text().trimmed().toStdString();
  const upgrade::TUpgradeKind kind =
      RadioButton2->isChecked() ? upgrade::TUpgradeKind::WebPages : upgrade::TUpgradeKind::Firmware;
  {
    std::lock_guard lock(shared_->mu);
    shared_->progress = {};
  }
  shared_->cancel = false;
  closeWhenDone_ = false;
  pbUpgrade->setValue(0);
  lblProgress->clear();
  SetBusy(true);

  std::shared_ptr<Shared> shared = shared_;
  upgrade::TPk2ProgressFn progress = [shared](const upgrade::TPk2Progress& p) {
    {
      std::lock_guard lock(shared->mu);
      shared->progress = p;
    }
    return !shared->cancel;
  };
  IDeviceSeries* series = series_ ? series_ : &DeviceSeries();
  // The upload thread gets a driver of its own with the camera's record, so that the window
  // thread may go on using the shared one meanwhile.
  std::shared_ptr<TT517Series> own;
  if (auto* t517 = dynamic_cast<TT517Series*>(series)) {
    own = std::make_shared<TT517Series>(t517->NetConfig());
    if (const TDevInfo* d = t517->GetDevice()) own->SetDevice(*d);
    series = own.get();
  }
  upgrade::TUpgradeIo io = ioFactory_ ? ioFactory_(progress) : upgrade::NetUpgradeIo(*series, progress);
  const upgrade::TUpgradeTarget target = target_;
  if (worker_.joinable()) worker_.join();
  worker_ = std::thread([this, shared, own, target, kind, file, io = std::move(io)] {
    upgrade::TUpgradeOutcome o = upgrade::RunUpgrade(target, kind, file, io);
    // A cancel that came after the last step still leaves a finished upload finished.
    QMetaObject::invokeMethod(this, [this, o] { Finished(o); }, Qt::QueuedConnection);
  });
}

void TfrmUpgradeSoft::ShowProgress() {
  upgrade::TPk2Progress p;
  {
    std::lock_guard lock(shared_->mu);
    p = shared_->progress;
  }
  if (shared_->cancel) return;
  if (p.AwaitingCamera) {
    pbUpgrade->setValue(pbUpgrade->maximum());
    lblProgress->setText(Key("IDS_UPGRADEWAITBACK"));
    return;
  }
  if (p.Total > 0) pbUpgrade->setValue(static_cast<int>(p.Sent * 1000 / p.Total));
  QString text = Formatted("IDS_UPGRADESENT", {QLocale().toString(static_cast<qulonglong>(p.Sent)),
                                               QLocale().toString(static_cast<qulonglong>(p.Total))});
  if (p.Records > 0 && p.Record > 0)
    text += QStringLiteral("  ") + Formatted("IDS_UPGRADERECORD", {QString::number(p.Record), QString::number(p.Records)});
  lblProgress->setText(text);
}

void TfrmUpgradeSoft::Finished(const upgrade::TUpgradeOutcome& o) {
  if (worker_.joinable()) worker_.join();
  ShowProgress();
  SetBusy(false);
  last_ = o;
  switch (o.Status) {
    case upgrade::TUpgradeStatus::Success:
      LangMessageBox("IDS_UPGRADESUCC", "IDS_INFORMATION", MB_ICONINFORMATION);
      accept();
      return;
    case upgrade::TUpgradeStatus::FileRefused:
      lblProgress->clear();
      LangMessageBox("IDS_ERRFILE", "IDS_ERROR", MB_ICONSTOP);
      return;
    case upgrade::TUpgradeStatus::NoFile:
      lblProgress->clear();
      return;
    case upgrade::TUpgradeStatus::Cancelled:
      lblProgress->setText(Key("IDS_UPGRADECANCELLED"));
      LangMessageBox("IDS_UPGRADECANCELLED", "IDS_WARNING", MB_ICONWARNING);
      BitBtn3->setEnabled(true);
      if (closeWhenDone_) QDialog::reject();
      return;
    case upgrade::TUpgradeStatus::Failed: {
      // The failure with what went wrong beside it.
      QString text = Key("IDS_UPGRADEFAIL");
      if (!o.DetailKey.empty()) text += QStringLiteral("\n") + LangText(LoadStr(o.DetailKey));
      if (!o.Detail.empty()) text += QStringLiteral("\n(") + QString::fromStdString(o.Detail) + QStringLiteral(")");
      lblProgress->clear();
      ShowMessageBox(text, Key("IDS_ERROR"), MB_ICONSTOP, this);
      BitBtn3->setEnabled(true);
      if (closeWhenDone_) QDialog::reject();
      return;
    }
  }
}

bool TfrmUpgradeSoft::MayClose() {
  if (!running_) return true;
  if (closeWhenDone_) return false;  // already stopping
  if (LangMessageBox("IDS_UPGRADECLOSEASK", "IDS_CONFIRM", MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
    return false;
  closeWhenDone_ = true;
  shared_->cancel = true;
  BitBtn3->setEnabled(false);
  return false;  // closes once the upload has stopped
}

void TfrmUpgradeSoft::BitBtn3Click() {
  if (MayClose()) QDialog::reject();
}

void TfrmUpgradeSoft::reject() { BitBtn3Click(); }

void TfrmUpgradeSoft::closeEvent(QCloseEvent* e) {
  if (MayClose()) {
    QDialog::closeEvent(e);
    return;
  }
  e->ignore();
}

}  // namespace kestrova
