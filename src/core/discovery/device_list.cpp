#include "core/discovery/device_list.h"

#include <algorithm>

#include "core/discovery/ip_text.h"

namespace kestrova {

namespace {

bool NetworkDataDiffers(const TDevInfo& a, const TDevInfo& b) {
  return a.IP != b.IP || a.Name != b.Name || a.HttpPort != b.HttpPort || a.DevType != b.DevType ||
         a.NetMask != b.NetMask || a.Gateway != b.Gateway || a.DNS1 != b.DNS1 || a.DNS2 != b.DNS2 ||
         a.DataPort != b.DataPort || a.IPMode != b.IPMode;
}

bool DdnsDiffers(const TDevInfo& a, const TDevInfo& b) {
  return a.DDnsUser != b.DDnsUser || a.DDnsPwd != b.DDnsPwd || a.DDnsServer != b.DDnsServer;
}

// A stable merge sort that stays within the range whatever the comparison does. The address
// order is not transitive across texts with different numbers of parts (those compare as
// text, the rest as numbers), and the standard sorts must not be given such an order.
template <class T, class Less>
void GuardedStableSort(std::vector<T>& v, Less less) {
  const std::size_t n = v.size();
  if (n < 2) return;
  std::vector<T> buf(n);
  for (std::size_t width = 1; width < n; width *= 2) {
    for (std::size_t lo = 0; lo < n; lo += 2 * width) {
      std::size_t mid = std::min(lo + width, n), hi = std::min(lo + 2 * width, n);
      std::size_t i = lo, j = mid, k = lo;
      while (i < mid && j < hi) buf[k++] = less(v[j], v[i]) ? std::move(v[j++]) : std::move(v[i++]);
      while (i < mid) buf[k++] = std::move(v[i++]);
      while (j < hi) buf[k++] = std::move(v[j++]);
    }
    v.swap(buf);
  }
}

}  // namespace

int DeviceList::CompareDevices(const TDevInfo& a, const TDevInfo& b) const {
  int c = 0;
  switch (sortColumn_) {
    case kColType: c = CompareTextNoCase(DevTypeLetter(a.DevType), DevTypeLetter(b.DevType)); break;
    case kColName: c = CompareTextNoCase(a.Name, b.Name); break;
    case kColIP: c = CompareIP(a.IP, b.IP); break;
    default: c = 0; break;
  }
  return sortAscending_ ? c : -c;
}

int DeviceList::InsertSorted(std::unique_ptr<Entry> e) {
  // After the last entry that does not sort after the new one: the list stays sorted and
  // entries with equal keys keep their order. (A binary search stays within the range even
  // when the order is not transitive.)
  auto pos = std::upper_bound(rows_.begin(), rows_.end(), e, [this](const auto& x, const auto& y) {
    return CompareDevices(x->dev, y->dev) < 0;
  });
  pos = rows_.insert(pos, std::move(e));
  return static_cast<int>(pos - rows_.begin());
}

int DeviceList::RowOfEntry(const Entry* e) const {
  // The rows are sorted by the current order, so the entry is among those that sort with it;
  // should the order not hold for some texts, the walk over every row still finds it.
  const auto less = [this](const std::unique_ptr<Entry>& x, const Entry* y) { return CompareDevices(x->dev, y->dev) < 0; };
  const auto greater = [this](const Entry* x, const std::unique_ptr<Entry>& y) { return CompareDevices(x->dev, y->dev) < 0; };
  const auto lo = std::lower_bound(rows_.begin(), rows_.end(), e, less);
  const auto hi = std::upper_bound(lo, rows_.end(), e, greater);
  for (auto it = lo; it != hi; ++it)
    if (it->get() == e) return static_cast<int>(it - rows_.begin());
  for (std::size_t i = 0; i < rows_.size(); ++i)
    if (rows_[i].get() == e) return static_cast<int>(i);
  return -1;
}

void DeviceList::Notify(DeviceListChange::Kind kind, DeviceItemId id, int row, int fromRow) {
  if (onChange_) onChange_(DeviceListChange{kind, id, row, fromRow});
}

DeviceList::MergeResult DeviceList::MergeDevice(const TDevInfo& rec) {
  MergeResult res;
  if (rec.DevType == -1) return res;
  auto it = byMac_.find(rec.MAC);
  if (it != byMac_.end()) {
    Entry* e = it->second;
    res.id = e->id;
    int row = RowOfEntry(e);
    if (NetworkDataDiffers(e->dev, rec)) {
      const int fromRow = row;
      // The whole record is replaced (DDNS fields included) and the entry takes its new place.
      std::unique_ptr<Entry> owned = std::move(rows_[row]);
      rows_.erase(rows_.begin() + row);
      owned->dev = rec;
      owned->dev.LifeTicks = kLifeTicksRefresh;
      row = InsertSorted(std::move(owned));
      res.action = MergeResult::Replaced;
      res.row = row;
      Notify(DeviceListChange::Replaced, res.id, row, fromRow);
      return res;
    }
    e->dev.LifeTicks = kLifeTicksRefresh;
    res.row = row;
    if (!rec.DDnsUser.empty() && DdnsDiffers(e->dev, rec)) {
      e->dev.DDnsUser = rec.DDnsUser;
      e->dev.DDnsPwd = rec.DDnsPwd;
      e->dev.DDnsServer = rec.DDnsServer;
      res.action = MergeResult::DdnsUpdated;
      Notify(DeviceListChange::DdnsUpdated, res.id, row);
    } else {
      res.action = MergeResult::Refreshed;
    }
    return res;
  }
  if (Count() >= kMaxDeviceEntries) {
    res.action = MergeResult::Full;
    return res;
  }
  auto e = std::make_unique<Entry>(Entry{nextId_++, rec});
  e->dev.LifeTicks = rec.DevType == 8 ? kLifeTicksFirstFamily8 : kLifeTicksRefresh;
  Entry* raw = e.get();
  byMac_[raw->dev.MAC] = raw;
  res.added = true;
  res.action = MergeResult::Added;
  res.id = raw->id;
  res.row = InsertSorted(std::move(e));
  Notify(DeviceListChange::Added, res.id, res.row);
  return res;
}

std::vector<TDevInfo> DeviceList::ExpireTick() {
  // One pass ages every entry and compacts the rows; the Removed changes follow from the last
  // expired row to the first. Removing a row never moves the rows before it, so each change's
  // row is the one it had at that point of a row-by-row removal.
  std::vector<std::pair<int, DeviceItemId>> gone;
  std::vector<TDevInfo> removed;
  std::size_t kept = 0;
  for (std::size_t row = 0; row < rows_.size(); ++row) {
    Entry* e = rows_[row].get();
    const bool expires = e->dev.DevType != 4 && --e->dev.LifeTicks == 0;  // family 4: until Find
    if (!expires) {
      if (kept != row) rows_[kept] = std::move(rows_[row]);
      ++kept;
      continue;
    }
    gone.emplace_back(static_cast<int>(row), e->id);
    byMac_.erase(e->dev.MAC);
    removed.push_back(std::move(e->dev));
    rows_[row].reset();
  }
  rows_.resize(kept);
  std::reverse(removed.begin(), removed.end());
  for (auto it = gone.rbegin(); it != gone.rend(); ++it) Notify(DeviceListChange::Removed, it->second, it->first);
  return removed;
}

bool DeviceList::Remove(DeviceItemId id) {
  int row = RowOf(id);
  if (row < 0) return false;
  byMac_.erase(rows_[row]->dev.MAC);
  rows_.erase(rows_.begin() + row);
  Notify(DeviceListChange::Removed, id, row);
  return true;
}

void DeviceList::ClearDevices() {
  rows_.clear();
  byMac_.clear();
  Notify(DeviceListChange::Cleared, 0, -1);
}

int DeviceList::RowOf(DeviceItemId id) const {
  for (std::size_t i = 0; i < rows_.size(); ++i)
    if (rows_[i]->id == id) return static_cast<int>(i);
  return -1;
}

const TDevInfo* DeviceList::DeviceById(DeviceItemId id) const {
  int row = RowOf(id);
  return row < 0 ? nullptr : &rows_[row]->dev;
}

int DeviceList::FindItemByMAC(std::string_view mac) const {
  auto it = byMac_.find(std::string(mac));
  return it == byMac_.end() ? -1 : RowOfEntry(it->second);
}

int DeviceList::FindItemByIP(std::string_view ip) const {
  for (std::size_t i = 0; i < rows_.size(); ++i)
    if (rows_[i]->dev.IP == ip) return static_cast<int>(i);
  return -1;
}

const TDevInfo* DeviceList::FindDevByMAC(std::string_view mac) const {
  auto it = byMac_.find(std::string(mac));
  return it == byMac_.end() ? nullptr : &it->second->dev;
}

int DeviceList::FindItemByData(const TDevInfo* rec) const {
  if (!rec) return -1;
  for (std::size_t i = 0; i < rows_.size(); ++i)
    if (&rows_[i]->dev == rec) return static_cast<int>(i);
  return -1;
}

const TDevInfo* DeviceList::CurrentDevice(std::string_view selectedMac, std::string_view selectedIp) const {
  if (const TDevInfo* d = FindDevByMAC(selectedMac)) return d;
  int row = FindItemByIP(selectedIp);
  return row < 0 ? nullptr : &rows_[row]->dev;
}

DevCountView DeviceList::UpdateDevCount(bool hasSelection) const {
  DevCountView v;
  v.count = Count();
  v.countText = std::to_string(v.count);
  v.showEmptyPanel = v.count == 0;
  v.selectFirst = v.count > 0 && !hasSelection;
  return v;
}

void DeviceList::SetSort(int column, bool ascending) {
  sortColumn_ = column;
  sortAscending_ = ascending;
  GuardedStableSort(rows_, [this](const auto& x, const auto& y) { return CompareDevices(x->dev, y->dev) < 0; });
  Notify(DeviceListChange::Resorted, 0, -1);
}

void DeviceList::ColumnClick(int column) {
  if (column == sortColumn_)
    SetSort(column, !sortAscending_);
  else
    SetSort(column, true);
}

}  // namespace kestrova
