#include "ui/i18n/apply_strings.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAction>
#include <QComboBox>
#include <QFontDatabase>
#include <QHash>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTabBar>
#include <QTextEdit>
#include <QToolBar>
#include <QTreeWidgetItemIterator>
#include <QWidget>

#include <exception>

#include "core/i18n/lang.h"
#include "ui/app/page_base.h"
#include "ui/skin/controls.h"

namespace kestrova {

namespace {

std::function<void(QObject*)>& Probe() {
  static std::function<void(QObject*)> probe;
  return probe;
}

std::string U8(const QString& s) { return s.toStdString(); }

// Reads the keys of one component: name + suffix in the window's section, with the current
// value as the default.
class KeyReader {
 public:
  KeyReader(const TIniFile& ini, const std::string& section, const QString& name)
      : ini_(ini), section_(section), name_(U8(name)) {}

  QString Read(const std::string& suffix, const QString& current) const {
    return LangText(ReadEscaped(ini_, section_, name_ + suffix, U8(current)));
  }

 private:
  const TIniFile& ini_;
  const std::string& section_;
  std::string name_;
};

using Setter = void (*)(QObject*, const KeyReader&);

template <class T, class Get, class Set>
void ReadInto(T* obj, const KeyReader& r, const std::string& suffix, Get get, Set set) {
  const QString cur = (obj->*get)();
  const QString v = r.Read(suffix, cur);
  if (v != cur) (obj->*set)(v);
}

// Property helpers for the keys ".Caption", ".Hint", ".Items<i>.Caption", ".Items<i>.Text",
// ".Columns<i>.Caption" and ".Filter".
void HintOf(QWidget* w, const KeyReader& r) { ReadInto(w, r, ".Hint", &QWidget::toolTip, &QWidget::setToolTip); }

void LabelCaption(QObject* o, const KeyReader& r) {
  auto* l = static_cast<QLabel*>(o);
  ReadInto(l, r, ".Caption", &QLabel::text, &QLabel::setText);
}
void ButtonCaption(QObject* o, const KeyReader& r) {
  auto* b = static_cast<QAbstractButton*>(o);
  ReadInto(b, r, ".Caption", &QAbstractButton::text, &QAbstractButton::setText);
}
void ButtonCaptionHint(QObject* o, const KeyReader& r) {
  ButtonCaption(o, r);
  HintOf(static_cast<QWidget*>(o), r);
}
void WidgetHint(QObject* o, const KeyReader& r) { HintOf(static_cast<QWidget*>(o), r); }
void PanelCaption(QObject* o, const KeyReader& r) {
  auto* p = static_cast<TPanel*>(o);
  ReadInto(p, r, ".Caption", &TPanel::Caption, &TPanel::SetCaption);
}
void TabCaption(QObject* o, const KeyReader& r) {
  auto* t = static_cast<TTabSheet*>(o);
  ReadInto(t, r, ".Caption", &TTabSheet::Caption, &TTabSheet::SetCaption);
}
void GroupCaption(QObject* o, const KeyReader& r) {
  auto* g = static_cast<QGroupBox*>(o);
  ReadInto(g, r, ".Caption", &QGroupBox::title, &QGroupBox::setTitle);
}
void RadioGroupCaptionItems(QObject* o, const KeyReader& r) {
  GroupCaption(o, r);
  auto* items = dynamic_cast<IRadioItems*>(o);
  if (!items) return;
  for (int i = 0; i < items->ItemCount(); ++i) {
    const QString cur = items->ItemText(i);
    const QString v = r.Read(".Items" + std::to_string(i) + ".Caption", cur);
    if (v != cur) items->SetItemText(i, v);
  }
}
void ListItems(QObject* o, const KeyReader& r) {
  auto* l = static_cast<QListWidget*>(o);
  for (int i = 0; i < l->count(); ++i) {
    QListWidgetItem* it = l->item(i);
    const QString v = r.Read(".Items" + std::to_string(i) + ".Caption", it->text());
    if (v != it->text()) it->setText(v);
  }
}
void ComboItems(QObject* o, const KeyReader& r) {
  auto* c = static_cast<QComboBox*>(o);
  for (int i = 0; i < c->count(); ++i) {
    const QString cur = c->itemText(i);
    const QString v = r.Read(".Items" + std::to_string(i) + ".Caption", cur);
    if (v != cur) c->setItemText(i, v);
  }
}
void TreeColumns(QObject* o, const KeyReader& r) {
  auto* t = static_cast<QTreeWidget*>(o);
  QTreeWidgetItem* h = t->headerItem();
  for (int i = 0; i < t->columnCount(); ++i) {
    const QString v = r.Read(".Columns" + std::to_string(i) + ".Caption", h->text(i));
    if (v != h->text(i)) h->setText(i, v);
  }
}
void GridColumns(QObject* o, const KeyReader& r) {
  auto* g = static_cast<QTableWidget*>(o);
  for (int i = 0; i < g->columnCount(); ++i) {
    QTableWidgetItem* h = g->horizontalHeaderItem(i);
    const QString cur = h ? h->text() : g->model()->headerData(i, Qt::Horizontal).toString();
    const QString v = r.Read(".Columns" + std::to_string(i) + ".Caption", cur);
    if (v == cur) continue;
    if (!h) {
      h = new QTableWidgetItem();
      g->setHorizontalHeaderItem(i, h);
    }
    h->setText(v);
  }
}
void TreeNodes(QObject* o, const KeyReader& r) {
  // Nodes in index order: every node before its children, children in order.
  auto* t = static_cast<QTreeWidget*>(o);
  int i = 0;
  for (QTreeWidgetItemIterator it(t); *it; ++it, ++i) {
    const QString cur = (*it)->text(0);
    const QString v = r.Read(".Items" + std::to_string(i) + ".Text", cur);
    if (v != cur) (*it)->setText(0, v);
  }
}
void ActionCaption(QObject* o, const KeyReader& r) {
  if (auto* m = qobject_cast<QMenu*>(o)) {
    ReadInto(m, r, ".Caption", &QMenu::title, &QMenu::setTitle);
    return;
  }
  auto* a = static_cast<QAction*>(o);
  ReadInto(a, r, ".Caption", &QAction::text, &QAction::setText);
}
void ActionCaptionHint(QObject* o, const KeyReader& r) {
  auto* a = static_cast<QAction*>(o);
  ReadInto(a, r, ".Caption", &QAction::text, &QAction::setText);
  ReadInto(a, r, ".Hint", &QAction::toolTip, &QAction::setToolTip);
}
void DialogFilter(QObject* o, const KeyReader& r) {
  auto* d = static_cast<TOpenDialog*>(o);
  d->Filter = r.Read(".Filter", d->Filter);
}
void Nothing(QObject*, const KeyReader&) {}

template <class T>
bool Is(const QObject* o) {
  return qobject_cast<const T*>(o) != nullptr;
}
bool IsToolBarButton(const QObject* o) {
  return Is<QToolButton>(o) && Is<QToolBar>(o->parent());
}
bool IsMenuItem(const QObject* o) { return Is<QAction>(o) || Is<QMenu>(o); }
bool IsPlainGroupBox(const QObject* o) { return Is<QGroupBox>(o) && !Is<TRadioGroup>(o); }

struct Kind {
  const char* name;
  bool (*match)(const QObject*);
  bool font;
  Setter keys;
};

// The component kinds, tested in this order; the first row that matches decides and later rows
// are not tried. A class matches its own row and the rows of its bases, so a more specific
// kind stands before its base.
//
// | #  | Kind           | Qt class in this program                         | Font | Keys read                      |
// |----|----------------|--------------------------------------------------|------|--------------------------------|
// | 1  | TStatusBar     | QStatusBar                                       | yes  | none                           |
// | 2  | TTeFileListBox | TTeFileListBox (QListWidget)                     | yes  | none                           |
// | 3  | TTeStatusBar   | TTeStatusBar (QStatusBar, so row 1 takes it)     | yes  | none                           |
// | 4  | TTePanel       | TTePanel (TPanel)                                | no   | .Hint                          |
// | 5  | TTeLabel       | TTeLabel (QLabel)                                | yes  | .Caption                       |
// | 6  | TTeCheckBox    | TTeCheckBox (QCheckBox)                          | yes  | .Caption .Hint                 |
// | 7  | TTeButton      | TTeButton (QPushButton)                          | yes  | .Caption .Hint                 |
// | 8  | TTeSpeedButton | TTeSpeedButton (QToolButton)                     | yes  | .Caption .Hint                 |
// | 9  | TTeRadioButton | TTeRadioButton (QRadioButton)                    | yes  | .Caption .Hint                 |
// | 10 | TTeTabSheet    | TTeTabSheet (TTabSheet, a QTabWidget page)       | yes  | .Caption (the tab text)        |
// | 11 | TTeRadioGroup  | TTeRadioGroup (TTeGroupBox)                      | yes  | .Caption, .Items<i>.Caption    |
// | 12 | TTeGroupBox    | TTeGroupBox (QGroupBox)                          | yes  | .Caption (the title)           |
// | 13 | TTeListView    | TTeListView (TListView)                          | yes  | .Columns<i>.Caption            |
// | 14 | TTeDBGrid      | TTeDBGrid (QTableWidget)                         | yes  | .Columns<i>.Caption            |
// | 15 | TTeTreeView    | TTeTreeView (QTreeWidget)                        | yes  | .Items<i>.Text (preorder)      |
// | 16 | TTeComboBox    | TTeComboBox (QComboBox)                          | yes  | .Items<i>.Caption              |
// | 17 | TTeItem        | TTeItem (QAction)                                | no   | .Caption .Hint                 |
// | 18 | TPanel         | TPanel (QFrame with a caption)                   | yes  | .Caption                       |
// | 19 | TLabel         | QLabel (TClickLabel too)                         | yes  | .Caption                       |
// | 20 | TCheckBox      | QCheckBox                                        | yes  | .Caption                       |
// | 21 | TButton        | QPushButton                                      | yes  | .Caption .Hint                 |
// | 22 | TToolBar       | QToolBar                                         | yes  | none                           |
// | 23 | TToolButton    | QToolButton placed directly on a QToolBar        | no   | .Caption .Hint                 |
// | 24 | TImage         | TImage (a picture QWidget)                       | no   | .Hint                          |
// | 25 | TSpeedButton   | QToolButton                                      | yes  | .Caption .Hint                 |
// | 26 | TRadioButton   | QRadioButton                                     | yes  | .Caption .Hint                 |
// | 27 | TMenuItem      | QAction, QMenu (its title)                       | no   | .Caption                       |
// | 28 | TTabSheet      | TTabSheet                                        | yes  | .Caption (the tab text)        |
// | 29 | TGroupBox      | QGroupBox that is not a TRadioGroup (siblings)   | yes  | .Caption (the title)           |
// | 30 | TRadioGroup    | TRadioGroup (QGroupBox with radio items)         | yes  | .Caption, .Items<i>.Caption    |
// | 31 | TCheckListBox  | TCheckListBox (QListWidget)                      | yes  | .Items<i>.Caption              |
// | 32 | TListBox       | QListWidget                                      | yes  | .Items<i>.Caption              |
// | 33 | TListView      | TListView (QTreeWidget with columns)             | yes  | .Columns<i>.Caption            |
// | 34 | TDBGrid        | QTableWidget                                     | yes  | .Columns<i>.Caption            |
// | 35 | TTreeView      | QTreeWidget                                      | yes  | .Items<i>.Text (preorder)      |
// | 36 | TComboBox      | QComboBox (TTeSComboBox too)                     | yes  | .Items<i>.Caption              |
// | 37 | TSaveDialog    | TSaveDialog (TOpenDialog)                        | no   | .Filter                        |
// | 38 | TOpenDialog    | TOpenDialog (QObject holding the filter)         | no   | .Filter                        |
//
// Everything else (line edits, spin boxes, text edits, tab widgets, timers, sockets ...) is
// left alone.
const Kind kKinds[] = {
    {"TStatusBar", &Is<QStatusBar>, true, &Nothing},
    {"TTeFileListBox", &Is<TTeFileListBox>, true, &Nothing},
    {"TTeStatusBar", &Is<TTeStatusBar>, true, &Nothing},
    {"TTePanel", &Is<TTePanel>, false, &WidgetHint},
    {"TTeLabel", &Is<TTeLabel>, true, &LabelCaption},
    {"TTeCheckBox", &Is<TTeCheckBox>, true, &ButtonCaptionHint},
    {"TTeButton", &Is<TTeButton>, true, &ButtonCaptionHint},
    {"TTeSpeedButton", &Is<TTeSpeedButton>, true, &ButtonCaptionHint},
    {"TTeRadioButton", &Is<TTeRadioButton>, true, &ButtonCaptionHint},
    {"TTeTabSheet", &Is<TTeTabSheet>, true, &TabCaption},
    {"TTeRadioGroup", &Is<TTeRadioGroup>, true, &RadioGroupCaptionItems},
    {"TTeGroupBox", &Is<TTeGroupBox>, true, &GroupCaption},
    {"TTeListView", &Is<TTeListView>, true, &TreeColumns},
    {"TTeDBGrid", &Is<TTeDBGrid>, true, &GridColumns},
    {"TTeTreeView", &Is<TTeTreeView>, true, &TreeNodes},
    {"TTeComboBox", &Is<TTeComboBox>, true, &ComboItems},
    {"TTeItem", &Is<TTeItem>, false, &ActionCaptionHint},
    {"TPanel", &Is<TPanel>, true, &PanelCaption},
    {"TLabel", &Is<QLabel>, true, &LabelCaption},
    {"TCheckBox", &Is<QCheckBox>, true, &ButtonCaption},
    {"TButton", &Is<QPushButton>, true, &ButtonCaptionHint},
    {"TToolBar", &Is<QToolBar>, true, &Nothing},
    {"TToolButton", &IsToolBarButton, false, &ButtonCaptionHint},
    {"TImage", &Is<TImage>, false, &WidgetHint},
    {"TSpeedButton", &Is<QToolButton>, true, &ButtonCaptionHint},
    {"TRadioButton", &Is<QRadioButton>, true, &ButtonCaptionHint},
    {"TMenuItem", &IsMenuItem, false, &ActionCaption},
    {"TTabSheet", &Is<TTabSheet>, true, &TabCaption},
    {"TGroupBox", &IsPlainGroupBox, true, &GroupCaption},
    {"TRadioGroup", &Is<TRadioGroup>, true, &RadioGroupCaptionItems},
    {"TCheckListBox", &Is<TCheckListBox>, true, &ListItems},
    {"TListBox", &Is<QListWidget>, true, &ListItems},
    {"TListView", &Is<TListView>, true, &TreeColumns},
    {"TDBGrid", &Is<QTableWidget>, true, &GridColumns},
    {"TTreeView", &Is<QTreeWidget>, true, &TreeNodes},
    {"TComboBox", &Is<QComboBox>, true, &ComboItems},
    {"TSaveDialog", &Is<TSaveDialog>, false, &DialogFilter},
    {"TOpenDialog", &Is<TOpenDialog>, false, &DialogFilter},
};
static_assert(sizeof(kKinds) / sizeof(kKinds[0]) == 38);

const Kind* FindKind(const QObject* o) {
  for (const Kind& k : kKinds)
    if (k.match(o)) return &k;
  return nullptr;
}

// Qt's own inner parts carry no name or a "qt_" name; they are not components of the window.
bool IsComponent(const QObject* o) {
  const QString n = o->objectName();
  return !n.isEmpty() && !n.startsWith(QLatin1String("qt_"));
}

// A child that is a window of its own: a hosted page or any top-level widget (dialogs). Menus
// are popups but belong to the window.
bool IsOwnWindow(const QObject* o) {
  auto* w = qobject_cast<const QWidget*>(o);
  if (!w) return false;
  if (qobject_cast<const TfrmPageBase*>(w)) return true;
  return w->isWindow() && !qobject_cast<const QMenu*>(w);
}

// Controls whose children are their own inner parts (radio items, edit of a spin box ...).
bool IsClosedControl(const QObject* o) {
  return dynamic_cast<const IRadioItems*>(o) != nullptr || Is<QAbstractItemView>(o) || Is<QComboBox>(o) ||
         Is<QAbstractSpinBox>(o) || Is<QLineEdit>(o) || Is<QTextEdit>(o) || Is<QPlainTextEdit>(o) ||
         Is<QTabBar>(o) || Is<QAbstractButton>(o);
}

void Visit(QObject* o, const TIniFile& ini, const std::string& section, const std::string& code) {
  if (Probe()) Probe()(o);
  const Kind* k = FindKind(o);
  if (!k) return;
  if (k->font)
    if (auto* w = qobject_cast<QWidget*>(o)) ApplyLangFontTo(code, w);
  KeyReader r(ini, section, o->objectName());
  k->keys(o, r);
}

void Walk(QObject* parent, const TIniFile& ini, const std::string& section, const std::string& code) {
  const QObjectList kids = parent->children();  // a copy: the walk may add header items
  for (QObject* child : kids) {
    if (IsOwnWindow(child)) continue;
    if (IsComponent(child)) Visit(child, ini, section, code);
    if (!IsClosedControl(child)) Walk(child, ini, section, code);
  }
}

}  // namespace

QString LangText(const std::string& utf8) {
  QString s = QString::fromStdString(utf8);
  s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return s;
}

QString ComponentKindName(const QObject* obj) {
  const Kind* k = obj ? FindKind(obj) : nullptr;
  return k ? QString::fromLatin1(k->name) : QString();
}

void SetApplyStringsProbe(std::function<void(QObject*)> probe) { Probe() = std::move(probe); }

QString PlatformFontFamily(const std::string& code, const std::string& logicalFace) {
  static QHash<QString, QString> cache;
  const QString key = QString::fromStdString(code + "|" + logicalFace);
  auto found = cache.constFind(key);
  if (found != cache.constEnd()) return *found;

  QStringList wanted;
  if (logicalFace == "宋体" || logicalFace == "SimSun")
    wanted = {QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Sans SC"), QStringLiteral("WenQuanYi Zen Hei")};
  else if (logicalFace == "PMingLiU")
    wanted = {QStringLiteral("Noto Sans CJK TC"), QStringLiteral("Noto Sans TC"), QStringLiteral("Noto Sans CJK HK")};
  else if (logicalFace == "MS Mincho")
    wanted = {QStringLiteral("Noto Sans CJK JP"), QStringLiteral("Noto Serif CJK JP")};
  else if (code == "kr")
    wanted = {QStringLiteral("Noto Sans CJK KR"), QStringLiteral("Noto Sans KR"), QStringLiteral("NanumGothic")};
  wanted << QString::fromStdString(logicalFace) << QStringLiteral("DejaVu Sans") << QStringLiteral("Noto Sans")
         << QStringLiteral("Liberation Sans");

  QString result;
  for (const QString& f : wanted) {
    if (QFontDatabase::hasFamily(f)) {
      result = f;
      break;
    }
  }
  if (result.isEmpty()) result = QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
  cache.insert(key, result);
  return result;
}

QFont LangQFont(const std::string& code, const QFont& base) {
  LangFont lf;
  lf.size = base.pointSize();
  ApplyLangFont(code, lf);
  QFont f = base;
  f.setFamilies({PlatformFontFamily(code, lf.face)});
  if (base.pointSize() > 0 && lf.size > 0) f.setPointSize(lf.size);
  return f;
}

void ApplyLangFontTo(const std::string& code, QWidget* widget) {
  LangFont lf;
  lf.size = widget->font().pointSize();
  ApplyLangFont(code, lf);
  QFont f = widget->font();
  f.setFamilies({PlatformFontFamily(code, lf.face)});
  if (widget->font().pointSize() > 0 && lf.size > 0) f.setPointSize(lf.size);
  widget->setProperty("langFace", QString::fromStdString(lf.face));
  if (f != widget->font() || !widget->testAttribute(Qt::WA_SetFont)) widget->setFont(f);
}

void ApplyStrings(QWidget* window) {
  if (!window) return;
  try {
    WithOpenLangFile([window](const TIniFile& ini) {
      try {
        const std::string code = CurrentLanguage();
        const std::string section = "Form_" + U8(window->objectName());
        const QString cur = window->windowTitle();
        const QString caption = LangText(ReadEscaped(ini, section, "Caption", U8(cur)));
        if (caption != cur) window->setWindowTitle(caption);
        ApplyLangFontTo(code, window);
        Walk(window, ini, section, code);
      } catch (...) {
        // The components not reached keep their texts.
      }
    });
  } catch (...) {
  }
}

}  // namespace kestrova
