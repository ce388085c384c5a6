// The device list of the discovery session: one entry per camera (keyed by the MAC text), kept
// in the user's sort order, aged by timer ticks. A plain class: the caller passes the ticks in
// and a Qt model over it only forwards the change notifications.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/discovery/dev_info.h"

namespace kestrova {

// Sort columns of the list: family letter, name, address.
enum DeviceColumn : int { kColType = 0, kColName = 1, kColIP = 2 };

// Lifetimes in ticks.
inline constexpr int32_t kLifeTicksRefresh = 10;
inline constexpr int32_t kLifeTicksFirstFamily8 = 30;

// Most entries the list holds. A record of a new camera beyond it is not listed (the known
// ones are still refreshed), so a flood of made-up cameras cannot exhaust the program's
// memory or make every list operation slow; large sites stay well below it.
inline constexpr int kMaxDeviceEntries = 20000;

// A stable handle of an entry: survives re-sorting, never reused within one list.
using DeviceItemId = uint64_t;

struct DeviceListChange {
  enum Kind : uint8_t {
    Added,        // a new entry (row = its position after sorting)
    Replaced,     // the entry's record was replaced (network data changed); re-sorted. The
                  // details panel is refilled from the selected entry.
    DdnsUpdated,  // only DDnsUser/DDnsPwd/DDnsServer changed (no re-sort)
    Removed,      // expired or deleted (row = its position before removal)
    Cleared,      // every entry removed
    Resorted,     // order changed by a column click (SortColumn/SortAscending)
  };
  Kind kind;
  DeviceItemId id = 0;  // 0 for Cleared/Resorted
  int row = -1;         // -1 for Cleared/Resorted
  int fromRow = -1;     // Replaced: the row before the change (row is the row after it)
};

// What the count label and the empty-list panel show.
struct DevCountView {
  int count = 0;
  std::string countText;   // the number in decimal; the UI puts the "IDS_DEVCOUNT" text first
  bool showEmptyPanel = true;
  bool selectFirst = false;  // there are entries and none is selected: select row 0
};

class DeviceList {
 public:
  using ChangeFn = std::function<void(const DeviceListChange&)>;

  DeviceList() = default;
  DeviceList(const DeviceList&) = delete;
  DeviceList& operator=(const DeviceList&) = delete;

  // Called after every change (may be empty). Runs synchronously inside the changing call.
  void SetOnChange(ChangeFn fn) { onChange_ = std::move(fn); }

  struct MergeResult {
    bool added = false;  // the value MergeDevice reports: true only for a new entry
    // Full: a new camera that was not listed because the list holds kMaxDeviceEntries.
    enum Action : uint8_t { Ignored, Added, Replaced, DdnsUpdated, Refreshed, Full } action = Ignored;
    DeviceItemId id = 0;
    int row = -1;  // position of the entry after the merge
  };
  // Adds or refreshes the entry of rec.MAC. A record with DevType -1 is ignored. A known MAC
  // whose network data (IP, Name, HttpPort, DevType, NetMask, Gateway, DNS1, DNS2, DataPort,
  // IPMode) differs gets rec as its whole record and is re-sorted; otherwise a non-empty
  // rec.DDnsUser that differs in the DDNS fields updates only those three. A known MAC gets
  // LifeTicks 10; a new entry 30 for family 8, else 10. A new MAC while the list is full is
  // not listed (action Full).
  MergeResult MergeDevice(const TDevInfo& rec);

  // One timer tick: every entry except family 4 loses one LifeTick; entries reaching exactly 0
  // are removed (walked from the last row to the first; one Removed change each, row as
  // before that removal). Returns the removed records. Linear in the list's size however
  // many entries expire at once.
  std::vector<TDevInfo> ExpireTick();

  // Removes one entry (after a successful settings command or upgrade). False when unknown.
  bool Remove(DeviceItemId id);
  void ClearDevices();

  int Count() const { return static_cast<int>(rows_.size()); }
  bool Empty() const { return rows_.empty(); }
  // Row access in display order; row must be in [0, Count()).
  const TDevInfo& DeviceAt(int row) const { return rows_[row]->dev; }
  DeviceItemId IdAt(int row) const { return rows_[row]->id; }
  int RowOf(DeviceItemId id) const;  // -1 when unknown
  const TDevInfo* DeviceById(DeviceItemId id) const;

  // First row in list order whose MAC / IP equals the text exactly, or -1.
  int FindItemByMAC(std::string_view mac) const;
  int FindItemByIP(std::string_view ip) const;
  // The listed record with that MAC, or nullptr. Valid until the list changes.
  const TDevInfo* FindDevByMAC(std::string_view mac) const;
  // The row that owns the record (pointer identity), or -1.
  int FindItemByData(const TDevInfo* rec) const;

  // The camera chosen in the wizard: the first entry whose MAC equals selectedMac, else the
  // first whose IP equals selectedIp, else nullptr. Valid until the list changes.
  const TDevInfo* CurrentDevice(std::string_view selectedMac, std::string_view selectedIp) const;

  // Count label and empty panel, given whether the view has a selected entry.
  DevCountView UpdateDevCount(bool hasSelection) const;

  // Sorting. Column 0 compares the letters, 1 the names (both case-insensitively), 2 the
  // addresses with CompareIP; descending negates. Initially column 2, ascending.
  int SortColumn() const { return sortColumn_; }
  bool SortAscending() const { return sortAscending_; }
  void SetSort(int column, bool ascending);
  // A click on the sort column flips the direction; on another column makes it the sort
  // column, ascending.
  void ColumnClick(int column);
  // <0, 0, >0 as a sorts before, with, after b under the current sort.
  int CompareDevices(const TDevInfo& a, const TDevInfo& b) const;

 private:
  struct Entry {
    DeviceItemId id;
    TDevInfo dev;
  };
  int InsertSorted(std::unique_ptr<Entry> e);
  int RowOfEntry(const Entry* e) const;
  void Notify(DeviceListChange::Kind kind, DeviceItemId id, int row, int fromRow = -1);

  std::vector<std::unique_ptr<Entry>> rows_;  // display order
  std::unordered_map<std::string, Entry*> byMac_;
  DeviceItemId nextId_ = 1;
  int sortColumn_ = kColIP;
  bool sortAscending_ = true;
  ChangeFn onChange_;
};

}  // namespace kestrova
