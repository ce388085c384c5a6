#include "ui/discovery/device_list_view.h"

#include <QHeaderView>
#include <QTreeWidget>

#include <unordered_map>

#include "ui/i18n/camera_text.h"

namespace kestrova {

TDeviceListView::TDeviceListView(DeviceList& list, QTreeWidget* view, QObject* parent)
    : QObject(parent), list_(&list), view_(view) {
  view_->setSortingEnabled(false);  // the list keeps the order
  view_->header()->setSectionsClickable(true);
  view_->header()->setSortIndicatorShown(true);
  connect(view_->header(), &QHeaderView::sectionClicked, this, &TDeviceListView::OnHeaderClicked);
  list_->SetOnChange([this](const DeviceListChange& c) { OnChange(c); });
  Sync();
}

TDeviceListView::~TDeviceListView() { Detach(); }

void TDeviceListView::Detach() {
  if (list_) list_->SetOnChange({});
  list_ = nullptr;
  if (view_) disconnect(view_->header(), nullptr, this, nullptr);
  view_ = nullptr;
}

void TDeviceListView::Fill(QTreeWidgetItem* item, DeviceItemId id, const TDevInfo& dev) const {
  item->setText(0, QString::fromStdString(DevTypeLetter(dev.DevType)));
  item->setText(1, CameraName(dev));
  item->setText(2, QString::fromStdString(dev.IP));
  item->setData(0, kIdRole, QVariant::fromValue<qulonglong>(id));
  item->setData(0, kPortRole, QString::number(dev.HttpPort));
}

DeviceItemId TDeviceListView::SelectedId() const {
  if (!view_) return 0;
  const auto sel = view_->selectedItems();
  if (sel.isEmpty()) return 0;
  return sel.first()->data(0, kIdRole).toULongLong();
}

const TDevInfo* TDeviceListView::SelectedDevice() const {
  const DeviceItemId id = SelectedId();
  return id && list_ ? list_->DeviceById(id) : nullptr;
}

void TDeviceListView::SelectRow(int row) {
  if (!view_ || row < 0 || row >= view_->topLevelItemCount()) return;
  QTreeWidgetItem* it = view_->topLevelItem(row);
  view_->setCurrentItem(it);
  it->setSelected(true);
}

void TDeviceListView::Sync() {
  if (!view_ || !list_) return;
  const DeviceItemId selected = SelectedId();
  const QSignalBlocker block(view_);
  std::unordered_map<DeviceItemId, QTreeWidgetItem*> byId;
  while (view_->topLevelItemCount() > 0) {
    QTreeWidgetItem* it = view_->takeTopLevelItem(0);
    byId[it->data(0, kIdRole).toULongLong()] = it;
  }
  QTreeWidgetItem* toSelect = nullptr;
  for (int r = 0; r < list_->Count(); ++r) {
    const DeviceItemId id = list_->IdAt(r);
    QTreeWidgetItem* it;
    if (auto f = byId.find(id); f != byId.end()) {
      it = f->second;
      byId.erase(f);
    } else {
      it = new QTreeWidgetItem;
    }
    Fill(it, id, list_->DeviceAt(r));
    view_->addTopLevelItem(it);
    if (id == selected) toSelect = it;
  }
  for (auto& [id, it] : byId) delete it;
  if (toSelect) {
    view_->setCurrentItem(toSelect);
    toSelect->setSelected(true);
  }
  UpdateSortIndicator();
}

void TDeviceListView::OnChange(const DeviceListChange& c) {
  if (!view_ || !list_) return;
  switch (c.kind) {
    case DeviceListChange::Added:
      if (c.row >= 0 && c.row <= view_->topLevelItemCount() && c.row < list_->Count()) {
        auto* it = new QTreeWidgetItem;
        Fill(it, c.id, list_->DeviceAt(c.row));
        const QSignalBlocker block(view_);
        view_->insertTopLevelItem(c.row, it);
      } else {
        Sync();
      }
      break;
    case DeviceListChange::Removed: {
      QTreeWidgetItem* it = c.row >= 0 ? view_->topLevelItem(c.row) : nullptr;
      if (it && it->data(0, kIdRole).toULongLong() == c.id) {
        const bool wasSelected = it->isSelected();
        {
          const QSignalBlocker block(view_);
          delete it;
        }
        if (wasSelected) emit view_->itemSelectionChanged();
      } else {
        Sync();
      }
      break;
    }
    case DeviceListChange::DdnsUpdated:
      emit deviceDdnsUpdated(c.id);
      return;
    case DeviceListChange::Replaced: {
      // Move the one row from where it was to where the list put it; rebuild only when the
      // rows and the list disagree.
      QTreeWidgetItem* it = c.fromRow >= 0 ? view_->topLevelItem(c.fromRow) : nullptr;
      if (it && it->data(0, kIdRole).toULongLong() == c.id && c.row >= 0 && c.row < list_->Count() &&
          list_->IdAt(c.row) == c.id) {
        const bool wasSelected = it->isSelected(), wasCurrent = view_->currentItem() == it;
        const QSignalBlocker block(view_);
        if (c.row != c.fromRow) {
          view_->takeTopLevelItem(c.fromRow);
          view_->insertTopLevelItem(c.row, it);
        }
        Fill(it, c.id, list_->DeviceAt(c.row));
        if (wasCurrent) view_->setCurrentItem(it);
        if (wasSelected) it->setSelected(true);
      } else {
        Sync();
      }
      emit deviceReplaced(c.id);
      break;
    }
    case DeviceListChange::Cleared: {
      const bool had = HasSelection();
      {
        const QSignalBlocker block(view_);
        view_->clear();
      }
      if (had) emit view_->itemSelectionChanged();
      break;
    }
    case DeviceListChange::Resorted:
      Sync();
      break;
  }
  emit rowsChanged();
}

void TDeviceListView::OnHeaderClicked(int column) {
  if (!list_) return;
  list_->ColumnClick(column);
  UpdateSortIndicator();
}

void TDeviceListView::UpdateSortIndicator() {
  if (!view_ || !list_) return;
  view_->header()->setSortIndicator(list_->SortColumn(),
                                    list_->SortAscending() ? Qt::AscendingOrder : Qt::DescendingOrder);
}

}  // namespace kestrova
