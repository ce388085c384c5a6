// The program's control set. Qt offers most kinds directly (QLabel, QPushButton, QComboBox ...);
// the classes here add the kinds Qt lacks or does not tell apart (a panel with a caption, a
// picture, a tab page with a caption, a radio group, a report list, file-dialog holders) and the
// skinned kinds ("TTe..." classes) that the theme styles differently and that the string walk
// treats on their own rows (see ui/i18n/apply_strings.cpp).
#pragma once

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWidget>

class QSvgRenderer;

namespace kestrova {

// A panel: a frame that shows its caption in the middle (or where Alignment says).
class TPanel : public QFrame {
  Q_OBJECT
 public:
  explicit TPanel(QWidget* parent = nullptr);
  QString Caption() const { return caption_; }
  void SetCaption(const QString& text);
  void SetAlignment(Qt::Alignment a);
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* e) override;

 private:
  QString caption_;
  Qt::Alignment alignment_ = Qt::AlignCenter;
};

// Skinned panel: the theme draws it; its caption is design-time only.
class TTePanel : public TPanel {
  Q_OBJECT
 public:
  using TPanel::TPanel;
};

// A picture: an SVG or bitmap scaled into the control, keeping its proportions, centred.
class TImage : public QWidget {
  Q_OBJECT
 public:
  explicit TImage(QWidget* parent = nullptr);
  ~TImage() override;
  // Loads a picture from a file or a resource path (":/images/logo.svg"); false when unreadable.
  bool LoadPicture(const QString& path);
  void SetPixmap(const QPixmap& pm);
  void SetStretch(bool stretch) { stretch_ = stretch; update(); }
  bool HasPicture() const;
  QSize sizeHint() const override;

 signals:
  void clicked();

 protected:
  void paintEvent(QPaintEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;

 private:
  QSvgRenderer* svg_ = nullptr;
  QPixmap pixmap_;
  bool stretch_ = false;
};

// The project's labels show their text as plain text: a text from a camera or a service (a MAC,
// a name, a reply) is never read as markup.
//
// A label that reacts to clicks (the link-bar links, "how should I do?" links).
class TClickLabel : public QLabel {
  Q_OBJECT
 public:
  explicit TClickLabel(QWidget* parent = nullptr);
  // Underlined text and the hand cursor.
  void SetLinkStyle();

 signals:
  void clicked();

 protected:
  void mouseReleaseEvent(QMouseEvent* e) override;
};

class TTeLabel : public QLabel {
  Q_OBJECT
 public:
  explicit TTeLabel(QWidget* parent = nullptr);
  explicit TTeLabel(const QString& text, QWidget* parent = nullptr);
};

class TTeCheckBox : public QCheckBox {
  Q_OBJECT
 public:
  using QCheckBox::QCheckBox;
};

class TTeButton : public QPushButton {
  Q_OBJECT
 public:
  using QPushButton::QPushButton;
};

class TTeSpeedButton : public QToolButton {
  Q_OBJECT
 public:
  using QToolButton::QToolButton;
};

class TTeRadioButton : public QRadioButton {
  Q_OBJECT
 public:
  using QRadioButton::QRadioButton;
};

// A page of a QTabWidget whose caption is its tab text.
class TTabSheet : public QWidget {
  Q_OBJECT
 public:
  using QWidget::QWidget;
  QString Caption() const;
  void SetCaption(const QString& text);

 private:
  QTabWidget* Host() const;
  QString caption_;
};

class TTeTabSheet : public TTabSheet {
  Q_OBJECT
 public:
  using TTabSheet::TTabSheet;
};

// The items of a radio group (one radio button per item, stacked).
class IRadioItems {
 public:
  virtual ~IRadioItems() = default;
  int ItemCount() const { return static_cast<int>(buttons_.size()); }
  QString ItemText(int i) const;
  void SetItemText(int i, const QString& text);
  int AddItem(const QString& text);
  int ItemIndex() const;
  void SetItemIndex(int i);
  QRadioButton* ItemButton(int i) const;

 protected:
  void InitItems(QGroupBox* box);

 private:
  QGroupBox* box_ = nullptr;
  QVBoxLayout* layout_ = nullptr;
  QButtonGroup* group_ = nullptr;
  std::vector<QRadioButton*> buttons_;
};

class TRadioGroup : public QGroupBox, public IRadioItems {
  Q_OBJECT
 public:
  explicit TRadioGroup(QWidget* parent = nullptr);
};

class TTeGroupBox : public QGroupBox {
  Q_OBJECT
 public:
  using QGroupBox::QGroupBox;
};

class TTeRadioGroup : public TTeGroupBox, public IRadioItems {
  Q_OBJECT
 public:
  explicit TTeRadioGroup(QWidget* parent = nullptr);
};

// A report-style list with columns (one row per entry, no tree lines).
class TListView : public QTreeWidget {
  Q_OBJECT
 public:
  explicit TListView(QWidget* parent = nullptr);
  // Sets the column titles (and so the column count).
  void SetColumns(const QStringList& titles);
};

class TTeListView : public TListView {
  Q_OBJECT
 public:
  using TListView::TListView;
};

class TTeDBGrid : public QTableWidget {
  Q_OBJECT
 public:
  using QTableWidget::QTableWidget;
};

class TTeTreeView : public QTreeWidget {
  Q_OBJECT
 public:
  using QTreeWidget::QTreeWidget;
};

class TTeComboBox : public QComboBox {
  Q_OBJECT
 public:
  using QComboBox::QComboBox;
};

// The skinned drop-down list. It is a plain combo for the string walk.
class TTeSComboBox : public QComboBox {
  Q_OBJECT
 public:
  using QComboBox::QComboBox;
};

class TTeFileListBox : public QListWidget {
  Q_OBJECT
 public:
  using QListWidget::QListWidget;
};

class TTeStatusBar : public QStatusBar {
  Q_OBJECT
 public:
  using QStatusBar::QStatusBar;
};

class TCheckListBox : public QListWidget {
  Q_OBJECT
 public:
  using QListWidget::QListWidget;
  // Adds an item with a check box.
  QListWidgetItem* AddCheckItem(const QString& text, bool checked = false);
};

// A skinned menu or tool item (text and hint).
class TTeItem : public QAction {
  Q_OBJECT
 public:
  using QAction::QAction;
};

// File dialogs as owned objects with a filter in the "Description|*.ext|..." form that the
// language files carry. Execute() shows the Qt dialog with the filter converted.
class TOpenDialog : public QObject {
  Q_OBJECT
 public:
  explicit TOpenDialog(QObject* parent = nullptr) : QObject(parent) {}
  QString Filter;
  QString Title;
  QString InitialDir;
  QString FileName;
  // Shows the dialog; true with FileName set when the user chose a file.
  virtual bool Execute(QWidget* parent);
};

class TSaveDialog : public TOpenDialog {
  Q_OBJECT
 public:
  using TOpenDialog::TOpenDialog;
  QString DefaultExt;
  bool Execute(QWidget* parent) override;
};

// "Upgrade package(*.bin)|*.bin|All files|*.*" -> "Upgrade package(*.bin);;All files (*.*)".
// A description that already ends with its patterns in brackets is kept as it is; several
// patterns separated by ";" become space-separated.
QString QtFileFilter(const QString& filter);

}  // namespace kestrova
