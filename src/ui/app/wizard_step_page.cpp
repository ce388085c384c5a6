#include "ui/app/wizard_step_page.h"

#include "ui/app/global.h"
#include "ui/app/main_form.h"
#include "ui/i18n/apply_strings.h"
#include "ui/skin/controls.h"

namespace kestrova {

namespace {

QString Q(std::string_view s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

const TWizardStep& StepOf(std::string_view className) {
  static const TWizardStep kNone{};
  const TWizardStep* s = FindWizardStep(className);
  return s ? *s : kNone;
}

}  // namespace

void TWizardStepPage::ShowStep(std::string_view className) {
  if (className.empty()) return;
  if (TfrmMain* m = MainForm()) m->ShowPage(Q(className));
}

TWizardStepPage::TWizardStepPage(QWidget* parent, std::string_view className)
    : TfrmPageBase(parent), step_(&StepOf(className)) {
  setObjectName(Q(step_->WindowName));
  setWindowTitle(Q(step_->Caption));
  resize(kContentWidth, kContentHeight);

  const int y = kContentHeight - 42;
  auto make = [this, y](const char* name, const QString& text, int x, int w) {
    auto* b = new TTeButton(text, this);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(x, y, w, 28);
    return b;
  };
  const int right = kContentWidth - 16;
  btnJNext = step_->HasJNext ? make("btnJNext", QStringLiteral("\u300B"), right - 30, 30) : nullptr;
  const int nextRight = step_->HasJNext ? right - 34 : right;
  btnNext = make("btnNext", QStringLiteral("&Next"), nextRight - 96, 96);
  btnPre = make("btnPre", QStringLiteral("&Back"), nextRight - 96 - 8 - 96, 96);
  BtnJPre = make("BtnJPre", QStringLiteral("\u300A"), nextRight - 96 - 8 - 96 - 34, 30);
  btnNext->setProperty("skinRole", QStringLiteral("primary"));
  for (TTeButton* j : {BtnJPre, btnJNext}) {
    if (!j) continue;
    j->setProperty("skinRole", QStringLiteral("jump"));
  }

  connect(btnPre, &QPushButton::clicked, this, [this] { GoPrevious(); });
  connect(BtnJPre, &QPushButton::clicked, this, [this] { GoPrevious(); });
  connect(btnNext, &QPushButton::clicked, this, [this] { GoNext(); });
  if (btnJNext) connect(btnJNext, &QPushButton::clicked, this, [this] { GoNext(); });

  ApplyStrings(this);
}

bool TWizardStepPage::GoPrevious() {
  ShowStep(step_->Prev);
  return true;
}

bool TWizardStepPage::GoNext() {
  if (step_->NextCountsCamera) ++CameraNumber;
  ShowStep(step_->Next);
  return true;
}

}  // namespace kestrova
