#include "core/discovery/dev_list_mirror.h"

#include <algorithm>

namespace kestrova {

TMirrorTickResult TDevListMirror::Tick(const DeviceList& list, std::optional<int> selected, bool fromTimer) {
  TMirrorTickResult res;
  const size_t before = entries_.size();
  if (selected && (*selected < 0 || size_t(*selected) >= before)) selected.reset();
  // The selected entry is remembered by identity, not by row: rows move when others go.
  // A deleted selection is forgotten with its entry.
  const DeviceItemId rememberedId = selected ? entries_[size_t(*selected)].Id : 0;

  // 1. Entries whose camera left the device list.
  for (int row = int(entries_.size()) - 1; row >= 0; --row) {
    if (list.RowOf(entries_[size_t(row)].Id) >= 0) continue;
    entries_.erase(entries_.begin() + row);
    res.Removed.push_back(row);
  }

  // 2. Every listed camera except family 4, in the list's order.
  for (int r = 0; r < list.Count(); ++r) {
    const TDevInfo& d = list.DeviceAt(r);
    if (d.DevType == 4) continue;
    const DeviceItemId id = list.IdAt(r);
    TMirrorEntry fresh;
    fresh.Code = d.DDnsUser;
    fresh.Letter = DevTypeLetter(d.DevType);
    fresh.IP = d.IP;
    fresh.Port = std::to_string(d.HttpPort);
    fresh.MAC = d.MAC;
    auto it = std::find_if(entries_.begin(), entries_.end(), [&](const TMirrorEntry& e) { return e.MAC == d.MAC; });
    if (it == entries_.end()) {
      fresh.Number = std::to_string(entries_.size() + 1);
      fresh.Id = id;
      if (res.FirstAdded < 0) res.FirstAdded = int(entries_.size());
      entries_.push_back(std::move(fresh));
      continue;
    }
    const bool differs = it->Code != fresh.Code || it->Letter != fresh.Letter || it->IP != fresh.IP ||
                         it->Port != fresh.Port || it->MAC != fresh.MAC;
    if (differs) {
      it->Code = std::move(fresh.Code);
      it->Letter = std::move(fresh.Letter);
      it->IP = std::move(fresh.IP);
      it->Port = std::move(fresh.Port);
      it->MAC = std::move(fresh.MAC);
      res.Changed.push_back(int(it - entries_.begin()));
    }
    it->Id = id;
  }

  // 3. Selection.
  std::optional<int> rememberedRow;
  for (size_t i = 0; rememberedId != 0 && i < entries_.size(); ++i)
    if (entries_[i].Id == rememberedId) {
      rememberedRow = int(i);
      break;
    }
  const bool keep = selected.has_value() || entries_.empty() || (fromTimer && before > 0);
  res.Select = keep ? rememberedRow : std::optional<int>(0);
  return res;
}

const TDevInfo* TDevListMirror::DeviceAt(const DeviceList& list, int row) const {
  if (row < 0 || size_t(row) >= entries_.size()) return nullptr;
  return list.DeviceById(entries_[size_t(row)].Id);
}

}  // namespace kestrova
