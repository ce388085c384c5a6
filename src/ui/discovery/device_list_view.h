// A thin adapter that shows the discovery engine's device list in a report list control: one
// row per entry in the list's own order (the list sorts), columns family letter, name, address;
// the entry's id and HTTP port ride along as item data. The adapter follows the list's change
// notifications and forwards column clicks to the list's sorting.
#pragma once

#include <QObject>

#include "core/discovery/device_list.h"

class QTreeWidget;
class QTreeWidgetItem;

namespace kestrova {

class TDeviceListView : public QObject {
  Q_OBJECT
 public:
  // Item data roles.
  static constexpr int kIdRole = Qt::UserRole + 1;
  static constexpr int kPortRole = Qt::UserRole + 2;

  // view must outlive the adapter or be reset with Detach() first.
  TDeviceListView(DeviceList& list, QTreeWidget* view, QObject* parent = nullptr);
  ~TDeviceListView() override;

  // Stops following the list (before the view or the list goes away).
  void Detach();

  // The selected entry's id (0 when none) and record (nullptr when none; valid until the
  // list changes).
  DeviceItemId SelectedId() const;
  const TDevInfo* SelectedDevice() const;
  bool HasSelection() const { return SelectedId() != 0; }
  void SelectRow(int row);

  // Rebuilds the rows from the list (keeps the selection by id).
  void Sync();

 signals:
  // An entry's record was replaced (network data changed): the details panel is refilled.
  void deviceReplaced(DeviceItemId id);
  // Only the DDNS fields of an entry changed.
  void deviceDdnsUpdated(DeviceItemId id);
  // Any change of the rows (added, removed, cleared, resorted, replaced).
  void rowsChanged();

 private:
  void OnChange(const DeviceListChange& c);
  void OnHeaderClicked(int column);
  void Fill(QTreeWidgetItem* item, DeviceItemId id, const TDevInfo& dev) const;
  void UpdateSortIndicator();

  DeviceList* list_;
  QTreeWidget* view_;
};

}  // namespace kestrova
