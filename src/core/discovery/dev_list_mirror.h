// The device-selection step's list: a filtered mirror of the discovery session's device list,
// refreshed on the step's own timer. Each entry refers to an entry of the device list by its
// stable id (it owns no record), so an entry whose camera left the list can never point at a
// freed record: it is simply dropped at the next tick.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/discovery/device_list.h"

namespace kestrova {

struct TMirrorEntry {
  std::string Number;  // the running number given when the entry was added (never renumbered)
  DeviceItemId Id = 0; // the device-list entry it shows
  // The five texts after the number: device code (DDnsUser), family letter, address, HTTP
  // port, MAC.
  std::string Code, Letter, IP, Port, MAC;
};

// What one tick changed, for the view to follow.
struct TMirrorTickResult {
  std::vector<int> Removed;          // rows deleted, highest first (positions before the tick)
  std::vector<int> Changed;          // rows (after the removals) whose texts were rewritten
  int FirstAdded = -1;               // rows from here on are new (appended), -1 for none
  std::optional<int> Select;         // the row to select afterwards; none: no selection
};

class TDevListMirror {
 public:
  // One refresh. selected: the row the view has selected before the tick (none: no selection);
  // fromTimer: the tick came from the step's timer (not from showing the page).
  //  1. entries whose device-list entry is gone are deleted (a deleted selection is forgotten);
  //  2. every device-list entry except family 4, in that list's order, updates the entry with
  //     the same MAC (texts that differ are rewritten, the entry follows that device-list
  //     entry) or is appended, numbered with the entry count after the addition;
  //  3. the remembered selection is kept; with none, the first entry is selected unless the
  //     list is empty or the tick came from the timer and the list had entries before it.
  TMirrorTickResult Tick(const DeviceList& list, std::optional<int> selected, bool fromTimer);

  const std::vector<TMirrorEntry>& Entries() const { return entries_; }
  bool Empty() const { return entries_.empty(); }
  void Clear() { entries_.clear(); }

  // The listed record the entry at row shows, or nullptr when the row is out of range or its
  // camera has left the list since the last tick. Valid until the list changes.
  const TDevInfo* DeviceAt(const DeviceList& list, int row) const;

 private:
  std::vector<TMirrorEntry> entries_;
};

}  // namespace kestrova
