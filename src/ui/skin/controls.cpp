#include "ui/skin/controls.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMouseEvent>
#include <QPainter>
#include <QStackedWidget>
#include <QStyle>
#include <QStyleOption>
#include <QSvgRenderer>
#include <QTabWidget>

namespace kestrova {

// ---- TPanel ----

TPanel::TPanel(QWidget* parent) : QFrame(parent) {}

void TPanel::SetCaption(const QString& text) {
  if (caption_ == text) return;
  caption_ = text;
  update();
  updateGeometry();
}

void TPanel::SetAlignment(Qt::Alignment a) {
  alignment_ = a;
  update();
}

QSize TPanel::sizeHint() const {
  QSize s = QFrame::sizeHint();
  if (!caption_.isEmpty()) {
    QSize t = fontMetrics().size(0, caption_) + QSize(12, 6);
    s = s.expandedTo(t);
  }
  return s;
}

void TPanel::paintEvent(QPaintEvent* e) {
  // Lets the style sheet draw background and border, then the caption on top.
  QStyleOption opt;
  opt.initFrom(this);
  QPainter p(this);
  style()->drawPrimitive(QStyle::PE_Widget, &opt, &p, this);
  p.end();
  QFrame::paintEvent(e);
  if (caption_.isEmpty()) return;
  QPainter tp(this);
  tp.setPen(palette().color(QPalette::WindowText));
  tp.setFont(font());
  tp.drawText(contentsRect().adjusted(6, 0, -6, 0), int(alignment_) | Qt::TextWordWrap, caption_);
}

// ---- TImage ----

TImage::TImage(QWidget* parent) : QWidget(parent) {}
TImage::~TImage() = default;

bool TImage::LoadPicture(const QString& path) {
  pixmap_ = QPixmap();
  delete svg_;
  svg_ = nullptr;
  if (path.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive)) {
    auto* r = new QSvgRenderer(path, this);
    if (!r->isValid()) {
      delete r;
      update();
      return false;
    }
    svg_ = r;
    // An animated picture moves only when it is painted again on every frame.
    connect(r, &QSvgRenderer::repaintNeeded, this, qOverload<>(&QWidget::update));
  } else {
    pixmap_.load(path);
  }
  update();
  updateGeometry();
  return HasPicture();
}

void TImage::SetPixmap(const QPixmap& pm) {
  delete svg_;
  svg_ = nullptr;
  pixmap_ = pm;
  update();
}

bool TImage::HasPicture() const { return svg_ != nullptr || !pixmap_.isNull(); }

QSize TImage::sizeHint() const {
  if (svg_) return svg_->defaultSize();
  if (!pixmap_.isNull()) return pixmap_.deviceIndependentSize().toSize();
  return QSize(16, 16);
}

void TImage::paintEvent(QPaintEvent*) {
  if (!HasPicture()) return;
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::SmoothPixmapTransform);
  QSizeF natural = svg_ ? QSizeF(svg_->defaultSize()) : pixmap_.deviceIndependentSize();
  QRectF target = rect();
  if (!stretch_ && natural.width() > 0 && natural.height() > 0) {
    QSizeF s = natural.scaled(size(), Qt::KeepAspectRatio);
    target = QRectF(QPointF((width() - s.width()) / 2.0, (height() - s.height()) / 2.0), s);
  }
  if (svg_)
    svg_->render(&p, target);
  else
    p.drawPixmap(target, pixmap_, QRectF(pixmap_.rect()));
}

void TImage::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint())) emit clicked();
  QWidget::mouseReleaseEvent(e);
}

// ---- TClickLabel ----

TClickLabel::TClickLabel(QWidget* parent) : QLabel(parent) { setTextFormat(Qt::PlainText); }

void TClickLabel::SetLinkStyle() {
  QFont f = font();
  f.setUnderline(true);
  setFont(f);
  setCursor(Qt::PointingHandCursor);
}

void TClickLabel::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint())) emit clicked();
  QLabel::mouseReleaseEvent(e);
}

// ---- TTeLabel ----

TTeLabel::TTeLabel(QWidget* parent) : QLabel(parent) { setTextFormat(Qt::PlainText); }
TTeLabel::TTeLabel(const QString& text, QWidget* parent) : QLabel(parent) {
  setTextFormat(Qt::PlainText);
  setText(text);
}

// ---- TTabSheet ----

QTabWidget* TTabSheet::Host() const {
  // A tab page sits in the tab widget's internal stack.
  QWidget* p = parentWidget();
  if (p && qobject_cast<QStackedWidget*>(p)) p = p->parentWidget();
  return qobject_cast<QTabWidget*>(p);
}

QString TTabSheet::Caption() const {
  if (QTabWidget* tw = Host()) {
    int i = tw->indexOf(const_cast<TTabSheet*>(this));
    if (i >= 0) return tw->tabText(i);
  }
  return caption_;
}

void TTabSheet::SetCaption(const QString& text) {
  caption_ = text;
  if (QTabWidget* tw = Host()) {
    int i = tw->indexOf(this);
    if (i >= 0) tw->setTabText(i, text);
  }
}

// ---- radio groups ----

void IRadioItems::InitItems(QGroupBox* box) {
  box_ = box;
  layout_ = new QVBoxLayout(box);
  layout_->setContentsMargins(8, 4, 8, 4);
  layout_->setSpacing(2);
  group_ = new QButtonGroup(box);
}

QString IRadioItems::ItemText(int i) const {
  return (i >= 0 && i < ItemCount()) ? buttons_[size_t(i)]->text() : QString();
}

void IRadioItems::SetItemText(int i, const QString& text) {
  if (i >= 0 && i < ItemCount()) buttons_[size_t(i)]->setText(text);
}

int IRadioItems::AddItem(const QString& text) {
  auto* b = new QRadioButton(text, box_);
  int id = ItemCount();
  group_->addButton(b, id);
  layout_->addWidget(b);
  buttons_.push_back(b);
  return id;
}

int IRadioItems::ItemIndex() const { return group_ ? group_->checkedId() : -1; }

void IRadioItems::SetItemIndex(int i) {
  if (i >= 0 && i < ItemCount()) buttons_[size_t(i)]->setChecked(true);
}

QRadioButton* IRadioItems::ItemButton(int i) const {
  return (i >= 0 && i < ItemCount()) ? buttons_[size_t(i)] : nullptr;
}

TRadioGroup::TRadioGroup(QWidget* parent) : QGroupBox(parent) { InitItems(this); }
TTeRadioGroup::TTeRadioGroup(QWidget* parent) : TTeGroupBox(parent) { InitItems(this); }

// ---- lists ----

TListView::TListView(QWidget* parent) : QTreeWidget(parent) {
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);
  setAllColumnsShowFocus(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
}

void TListView::SetColumns(const QStringList& titles) {
  setColumnCount(int(titles.size()));
  setHeaderLabels(titles);
}

QListWidgetItem* TCheckListBox::AddCheckItem(const QString& text, bool checked) {
  auto* it = new QListWidgetItem(text, this);
  it->setFlags(it->flags() | Qt::ItemIsUserCheckable);
  it->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
  return it;
}

// ---- file dialogs ----

QString QtFileFilter(const QString& filter) {
  const QStringList parts = filter.split(QLatin1Char('|'));
  QStringList out;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString desc = parts[i].trimmed();
    QStringList pats = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (QString& p : pats) p = p.trimmed();
    const QString joined = pats.join(QLatin1Char(' '));
    if (desc.isEmpty()) desc = joined;
    // The description often repeats the patterns already: "Upgrade package(*.bin)".
    if (desc.endsWith(QLatin1Char(')')) && desc.contains(QLatin1Char('('))) {
      QString inside = desc.mid(desc.lastIndexOf(QLatin1Char('(')) + 1);
      inside.chop(1);
      inside.replace(QLatin1Char(';'), QLatin1Char(' '));
      if (inside.simplified() == joined) {
        out << desc.left(desc.lastIndexOf(QLatin1Char('('))) + QLatin1Char('(') + joined + QLatin1Char(')');
        continue;
      }
    }
    out << desc + QStringLiteral(" (") + joined + QLatin1Char(')');
  }
  if (out.isEmpty() && !filter.trimmed().isEmpty()) out << filter.trimmed();
  return out.join(QStringLiteral(";;"));
}

bool TOpenDialog::Execute(QWidget* parent) {
  QString start = FileName.isEmpty() ? InitialDir : FileName;
  QString f = QFileDialog::getOpenFileName(parent, Title, start, QtFileFilter(Filter));
  if (f.isEmpty()) return false;
  FileName = f;
  return true;
}

bool TSaveDialog::Execute(QWidget* parent) {
  QString start = FileName.isEmpty() ? InitialDir : FileName;
  QString f = QFileDialog::getSaveFileName(parent, Title, start, QtFileFilter(Filter));
  if (f.isEmpty()) return false;
  if (!DefaultExt.isEmpty() && QFileInfo(f).suffix().isEmpty()) f += QLatin1Char('.') + DefaultExt;
  FileName = f;
  return true;
}

}  // namespace kestrova
