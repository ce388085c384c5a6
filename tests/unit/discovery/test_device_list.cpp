// The device list: merge, expiry, sorting, look-ups, the count view and change notifications.
#include <gtest/gtest.h>

#include "core/discovery/device_list.h"

namespace kestrova {
namespace {

TDevInfo Dev(int32_t type, std::string mac, std::string ip, std::string name = "cam") {
  TDevInfo d;
  d.DevType = type;
  d.MAC = std::move(mac);
  d.IP = std::move(ip);
  d.Name = std::move(name);
  d.HttpPort = 80;
  d.IPMode = 2;
  return d;
}

std::vector<std::string> Ips(const DeviceList& l) {
  std::vector<std::string> out;
  for (int i = 0; i < l.Count(); ++i) out.push_back(l.DeviceAt(i).IP);
  return out;
}

struct Recorder {
  std::vector<DeviceListChange> changes;
  void Attach(DeviceList& l) {
    l.SetOnChange([this](const DeviceListChange& c) { changes.push_back(c); });
  }
};

TEST(DeviceList, UnfilledRecordIgnored) {
  DeviceList l;
  TDevInfo d = Dev(-1, "001122aabbcc", "192.168.1.2");
  d.DDnsUser = "x";
  DeviceList::MergeResult r = l.MergeDevice(d);
  EXPECT_FALSE(r.added);
  EXPECT_EQ(r.action, DeviceList::MergeResult::Ignored);
  EXPECT_EQ(l.Count(), 0);
}

TEST(DeviceList, NewEntryLifetimes) {
  DeviceList l;
  const std::pair<int32_t, int32_t> cases[] = {{2, 10}, {4, 10}, {5, 10}, {8, 30}, {9, 10}};
  int n = 0;
  for (auto [type, ticks] : cases) {
    TDevInfo d = Dev(type, "m" + std::to_string(type), "10.0.0." + std::to_string(++n));
    d.LifeTicks = 99;  // whatever the parser left
    DeviceList::MergeResult r = l.MergeDevice(d);
    EXPECT_TRUE(r.added);
    EXPECT_EQ(l.FindDevByMAC(d.MAC)->LifeTicks, ticks) << type;
  }
}

TEST(DeviceList, MacTextIsTheIdentity) {
  DeviceList l;
  EXPECT_TRUE(l.MergeDevice(Dev(5, "001122AABBCC", "10.0.0.1")).added);
  EXPECT_TRUE(l.MergeDevice(Dev(8, "001122aabbcc", "10.0.0.2")).added);  // case differs
  EXPECT_EQ(l.Count(), 2);
  // Same MAC from another camera: one entry, later data wins.
  TDevInfo later = Dev(5, "001122AABBCC", "10.0.0.9", "other");
  EXPECT_FALSE(l.MergeDevice(later).added);
  EXPECT_EQ(l.Count(), 2);
  EXPECT_EQ(l.FindDevByMAC("001122AABBCC")->Name, "other");
  // Same IP, different MACs: two entries.
  EXPECT_TRUE(l.MergeDevice(Dev(2, "id-3", "10.0.0.2")).added);
  EXPECT_EQ(l.Count(), 3);
}

TEST(DeviceList, AddressChangeKeepsOneEntryAndResorts) {
  DeviceList l;
  Recorder rec;
  l.MergeDevice(Dev(5, "A", "192.168.1.5"));
  l.MergeDevice(Dev(5, "B", "192.168.1.9"));
  l.MergeDevice(Dev(5, "C", "192.168.1.10"));
  ASSERT_EQ(Ips(l), (std::vector<std::string>{"192.168.1.5", "192.168.1.9", "192.168.1.10"}));
  DeviceItemId idA = l.IdAt(0);
  for (int i = 0; i < 4; ++i) l.ExpireTick();
  rec.Attach(l);

  TDevInfo moved = Dev(5, "A", "192.168.1.200");
  moved.SN = "new";
  DeviceList::MergeResult r = l.MergeDevice(moved);
  EXPECT_FALSE(r.added);
  EXPECT_EQ(r.action, DeviceList::MergeResult::Replaced);
  EXPECT_EQ(r.id, idA);
  EXPECT_EQ(r.row, 2);
  EXPECT_EQ(l.Count(), 3);
  EXPECT_EQ(Ips(l), (std::vector<std::string>{"192.168.1.9", "192.168.1.10", "192.168.1.200"}));
  EXPECT_EQ(l.IdAt(2), idA);  // the same entry, at its new place
  EXPECT_EQ(l.DeviceAt(2).SN, "new");
  EXPECT_EQ(l.DeviceAt(2).LifeTicks, 10);
  ASSERT_EQ(rec.changes.size(), 1u);
  EXPECT_EQ(rec.changes[0].kind, DeviceListChange::Replaced);
  EXPECT_EQ(rec.changes[0].row, 2);
  EXPECT_EQ(rec.changes[0].fromRow, 0);

  // It keeps expiring normally afterwards: 10 ticks after this last reply.
  for (int i = 0; i < 9; ++i) l.ExpireTick();
  EXPECT_NE(l.FindDevByMAC("A"), nullptr);
  EXPECT_EQ(l.FindDevByMAC("B"), nullptr);  // B's last reply was 13 ticks ago
  l.ExpireTick();
  EXPECT_EQ(l.FindDevByMAC("A"), nullptr);
}

TEST(DeviceList, ReplacementTakesTheWholeRecord) {
  DeviceList l;
  TDevInfo first = Dev(2, "A", "10.0.0.1");
  first.DDnsUser = "x123";
  first.DDnsServer = "aa.bb.cc";
  l.MergeDevice(first);
  // Each network field on its own makes a replacement; empty DDNS fields replace full ones.
  using Mut = void (*)(TDevInfo&);
  const std::pair<const char*, Mut> changes[] = {
      {"IP", [](TDevInfo& d) { d.IP = "10.0.0.2"; }},
      {"Name", [](TDevInfo& d) { d.Name = "n2"; }},
      {"HttpPort", [](TDevInfo& d) { d.HttpPort = 81; }},
      {"DevType", [](TDevInfo& d) { d.DevType = 5; }},
      {"NetMask", [](TDevInfo& d) { d.NetMask = "255.0.0.0"; }},
      {"Gateway", [](TDevInfo& d) { d.Gateway = "10.0.0.254"; }},
      {"DNS1", [](TDevInfo& d) { d.DNS1 = "1.1.1.1"; }},
      {"DNS2", [](TDevInfo& d) { d.DNS2 = "1.0.0.1"; }},
      {"DataPort", [](TDevInfo& d) { d.DataPort = 9000; }},
      {"IPMode", [](TDevInfo& d) { d.IPMode = 1; }},
  };
  for (auto [name, mutate] : changes) {
    TDevInfo next = *l.FindDevByMAC("A");
    next.DDnsUser.clear();
    next.DDnsServer.clear();
    next.DDnsPwd.clear();
    next.Version = name;
    mutate(next);
    EXPECT_EQ(l.MergeDevice(next).action, DeviceList::MergeResult::Replaced) << name;
    const TDevInfo* d = l.FindDevByMAC("A");
    EXPECT_EQ(d->Version, name);
    EXPECT_EQ(d->DDnsUser, "") << name;
    // Put DDNS data back for the next round.
    TDevInfo withDdns = *d;
    withDdns.DDnsUser = "x123";
    l.MergeDevice(withDdns);
  }
  // Fields outside the network set alone do not replace the record.
  TDevInfo same = *l.FindDevByMAC("A");
  same.SN = "other";
  same.Version = "other";
  same.User = "u";
  EXPECT_EQ(l.MergeDevice(same).action, DeviceList::MergeResult::Refreshed);
  EXPECT_EQ(l.FindDevByMAC("A")->SN, "");
}

TEST(DeviceList, DdnsOnlyUpdate) {
  DeviceList l;
  TDevInfo base = Dev(8, "001122aabbcc", "10.0.0.8");
  base.SN = "0123";
  l.MergeDevice(base);
  Recorder rec;
  rec.Attach(l);

  TDevInfo ddns = base;
  ddns.SN = "ignored";
  ddns.DDnsUser = "x123";
  ddns.DDnsPwd = "pw";
  ddns.DDnsServer = "aa.bb.cc:9000";
  DeviceList::MergeResult r = l.MergeDevice(ddns);
  EXPECT_EQ(r.action, DeviceList::MergeResult::DdnsUpdated);
  const TDevInfo* d = l.FindDevByMAC(base.MAC);
  EXPECT_EQ(d->DDnsUser, "x123");
  EXPECT_EQ(d->DDnsPwd, "pw");
  EXPECT_EQ(d->DDnsServer, "aa.bb.cc:9000");
  EXPECT_EQ(d->SN, "0123");  // only the three DDNS fields are taken
  EXPECT_EQ(d->LifeTicks, 10);
  ASSERT_EQ(rec.changes.size(), 1u);
  EXPECT_EQ(rec.changes[0].kind, DeviceListChange::DdnsUpdated);

  // Without an account name the DDNS fields are left alone.
  TDevInfo noUser = base;
  noUser.DDnsServer = "other.server";
  EXPECT_EQ(l.MergeDevice(noUser).action, DeviceList::MergeResult::Refreshed);
  EXPECT_EQ(l.FindDevByMAC(base.MAC)->DDnsServer, "aa.bb.cc:9000");
  // The same DDNS data again is only a refresh.
  EXPECT_EQ(l.MergeDevice(ddns).action, DeviceList::MergeResult::Refreshed);
  EXPECT_EQ(rec.changes.size(), 1u);
}

TEST(DeviceList, Expiry) {
  DeviceList l;
  l.MergeDevice(Dev(5, "five", "10.0.0.5"));
  l.MergeDevice(Dev(8, "eight-once", "10.0.0.8"));
  l.MergeDevice(Dev(8, "eight-twice", "10.0.0.9"));
  l.MergeDevice(Dev(8, "eight-twice", "10.0.0.9"));  // seen again: 10 ticks
  l.MergeDevice(Dev(4, "four", "10.0.0.4"));
  auto listed = [&](const char* mac) { return l.FindItemByMAC(mac) >= 0; };

  for (int i = 0; i < 9; ++i) EXPECT_TRUE(l.ExpireTick().empty());
  std::vector<TDevInfo> gone = l.ExpireTick();  // tick 10
  ASSERT_EQ(gone.size(), 2u);
  EXPECT_FALSE(listed("five"));
  EXPECT_FALSE(listed("eight-twice"));
  EXPECT_TRUE(listed("eight-once"));
  for (int i = 11; i < 30; ++i) l.ExpireTick();
  EXPECT_TRUE(listed("eight-once"));
  l.ExpireTick();  // tick 30
  EXPECT_FALSE(listed("eight-once"));
  // A family-4 camera stays until the list is cleared.
  for (int i = 0; i < 1000; ++i) l.ExpireTick();
  EXPECT_TRUE(listed("four"));
  EXPECT_EQ(l.FindDevByMAC("four")->LifeTicks, 10);
  l.ClearDevices();
  EXPECT_EQ(l.Count(), 0);
  EXPECT_EQ(l.FindDevByMAC("four"), nullptr);
}

TEST(DeviceList, ExpiryReportsRowsFromLastToFirst) {
  DeviceList l;
  for (int i = 1; i <= 3; ++i) l.MergeDevice(Dev(5, "m" + std::to_string(i), "10.0.0." + std::to_string(i)));
  Recorder rec;
  rec.Attach(l);
  for (int i = 0; i < 10; ++i) l.ExpireTick();
  ASSERT_EQ(rec.changes.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(rec.changes[i].kind, DeviceListChange::Removed);
    EXPECT_EQ(rec.changes[i].row, 2 - i);  // each row is valid at the time it is reported
  }
}

// A flood of made-up cameras fills the list to its bound and no further; the cameras already
// listed keep being refreshed, and the whole list expiring at once is one linear pass whose
// changes still name each row as a row-by-row removal would.
TEST(DeviceList, HoldsAtMostItsBoundAndExpiresInBulk) {
  DeviceList l;
  auto mac = [](int i) { return "02" + std::to_string(1000000 + i); };
  auto ip = [](int i) { return "10." + std::to_string(i >> 16) + "." + std::to_string((i >> 8) & 255) + "." + std::to_string(i & 255); };
  for (int i = 0; i < kMaxDeviceEntries; ++i) ASSERT_TRUE(l.MergeDevice(Dev(5, mac(i), ip(i))).added);
  const DeviceList::MergeResult over = l.MergeDevice(Dev(5, mac(kMaxDeviceEntries), "10.255.0.1"));
  EXPECT_FALSE(over.added);
  EXPECT_EQ(over.action, DeviceList::MergeResult::Full);
  EXPECT_EQ(l.Count(), kMaxDeviceEntries);
  EXPECT_EQ(l.FindDevByMAC(mac(kMaxDeviceEntries)), nullptr);

  for (int tick = 0; tick < 9; ++tick) l.ExpireTick();
  // Every third camera answers again: it stays, everything else expires on the next tick.
  for (int i = 0; i < kMaxDeviceEntries; i += 3)
    EXPECT_EQ(l.MergeDevice(Dev(5, mac(i), ip(i))).action, DeviceList::MergeResult::Refreshed);
  std::vector<std::pair<int, DeviceItemId>> before;
  for (int r = 0; r < l.Count(); ++r) before.emplace_back(r, l.IdAt(r));
  Recorder rec;
  rec.Attach(l);
  const std::vector<TDevInfo> gone = l.ExpireTick();
  const int stays = (kMaxDeviceEntries + 2) / 3;
  ASSERT_EQ(l.Count(), stays);
  ASSERT_EQ(gone.size(), size_t(kMaxDeviceEntries - stays));
  ASSERT_EQ(rec.changes.size(), gone.size());
  // The entries were added in address order, so row i was camera i.
  for (size_t k = 0, i = kMaxDeviceEntries; k < rec.changes.size(); ++k) {
    do --i; while (i % 3 == 0);
    EXPECT_EQ(rec.changes[k].kind, DeviceListChange::Removed);
    ASSERT_EQ(rec.changes[k].row, int(i)) << k;
    EXPECT_EQ(rec.changes[k].id, before[i].second);
    EXPECT_EQ(gone[k].MAC, mac(int(i)));
  }
  for (int r = 0; r < l.Count(); ++r) EXPECT_EQ(l.DeviceAt(r).MAC, mac(3 * r));
  // Room again: a new camera is listed.
  EXPECT_TRUE(l.MergeDevice(Dev(5, mac(kMaxDeviceEntries), "10.255.0.1")).added);
}

TEST(DeviceList, Sorting) {
  DeviceList l;
  l.MergeDevice(Dev(9, "t", "192.168.1.10", "beta"));
  l.MergeDevice(Dev(2, "f", "192.168.1.9", "Alpha"));
  l.MergeDevice(Dev(5, "e", "10.0.0.1", "gamma"));
  l.MergeDevice(Dev(8, "h", "192.168.1.100", "ALPHA2"));
  EXPECT_EQ(l.SortColumn(), 2);
  EXPECT_TRUE(l.SortAscending());
  EXPECT_EQ(Ips(l), (std::vector<std::string>{"10.0.0.1", "192.168.1.9", "192.168.1.10", "192.168.1.100"}));

  l.ColumnClick(2);  // same column: reversed
  EXPECT_FALSE(l.SortAscending());
  EXPECT_EQ(Ips(l), (std::vector<std::string>{"192.168.1.100", "192.168.1.10", "192.168.1.9", "10.0.0.1"}));
  // New entries go to their place under the current order.
  l.MergeDevice(Dev(5, "e2", "192.168.1.50", "delta"));
  EXPECT_EQ(l.DeviceAt(1).IP, "192.168.1.50");

  l.ColumnClick(1);  // another column: ascending, names compared case-insensitively
  EXPECT_EQ(l.SortColumn(), 1);
  EXPECT_TRUE(l.SortAscending());
  std::vector<std::string> names;
  for (int i = 0; i < l.Count(); ++i) names.push_back(l.DeviceAt(i).Name);
  EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "ALPHA2", "beta", "delta", "gamma"}));

  l.ColumnClick(0);  // letters: E E F H T
  std::string letters;
  for (int i = 0; i < l.Count(); ++i) letters += DevTypeLetter(l.DeviceAt(i).DevType);
  EXPECT_EQ(letters, "EEFHT");
  l.ColumnClick(0);
  letters.clear();
  for (int i = 0; i < l.Count(); ++i) letters += DevTypeLetter(l.DeviceAt(i).DevType);
  EXPECT_EQ(letters, "THFEE");
}

TEST(DeviceList, AddressTextsOfMixedShapesSortSafely) {
  // Texts with different numbers of parts compare as text, the others as numbers, so this
  // order has cycles (9.0.0.0 < 10.0.0.0 < 5.0.0 < 9.0.0.0). Sorting must still keep every entry.
  DeviceList l;
  const char* ips[] = {"9.0.0.0", "10.0.0.0", "5.0.0", "", "1.2", "200.1.1.1", "x.y.z.w", "3.0.0",
                       "10.0.0.0.0", "0.0.0.1", "7", "1.2.3.4.5.6", "...", "192.168.1.10"};
  int n = 0;
  for (int round = 0; round < 4; ++round)
    for (const char* ip : ips) l.MergeDevice(Dev(5, "m" + std::to_string(n++), ip));
  for (int col : {2, 2, 1, 2, 0, 2}) {
    l.ColumnClick(col);
    EXPECT_EQ(l.Count(), n);
  }
  for (int i = 0; i < n; ++i) EXPECT_GE(l.FindItemByMAC("m" + std::to_string(i)), 0) << i;
}

TEST(DeviceList, Lookups) {
  DeviceList l;
  l.MergeDevice(Dev(5, "A", "10.0.0.2"));
  l.MergeDevice(Dev(5, "B", "10.0.0.1"));
  l.MergeDevice(Dev(2, "C", "10.0.0.1"));  // same address as B, sorted after it
  EXPECT_EQ(l.FindItemByMAC("A"), 2);
  EXPECT_EQ(l.FindItemByMAC("a"), -1);
  EXPECT_EQ(l.FindItemByIP("10.0.0.1"), 0);  // the first in list order
  EXPECT_EQ(l.DeviceAt(0).MAC, "B");
  EXPECT_EQ(l.FindItemByIP("10.0.0.3"), -1);
  const TDevInfo* c = l.FindDevByMAC("C");
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(l.FindItemByData(c), 1);
  TDevInfo copy = *c;
  EXPECT_EQ(l.FindItemByData(&copy), -1);  // owning the record, not holding equal data
  EXPECT_EQ(l.FindItemByData(nullptr), -1);
  EXPECT_EQ(l.DeviceById(l.IdAt(1)), c);
  EXPECT_TRUE(l.Remove(l.IdAt(1)));
  EXPECT_EQ(l.FindDevByMAC("C"), nullptr);
  EXPECT_FALSE(l.Remove(12345));
}

TEST(DeviceList, CurrentDevice) {
  DeviceList l;
  l.MergeDevice(Dev(5, "A", "192.168.1.20"));
  l.MergeDevice(Dev(5, "B", "192.168.1.30"));
  // Found by its MAC even after its address changed.
  l.MergeDevice(Dev(5, "A", "192.168.1.99"));
  const TDevInfo* d = l.CurrentDevice("A", "192.168.1.20");
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->MAC, "A");
  // The chosen MAC is gone, its old address now held by another camera: that camera.
  l.MergeDevice(Dev(5, "C", "192.168.1.20"));
  d = l.CurrentDevice("Z", "192.168.1.20");
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->MAC, "C");
  EXPECT_EQ(l.CurrentDevice("Z", "192.168.1.21"), nullptr);
  EXPECT_EQ(l.CurrentDevice("", ""), nullptr);
}

TEST(DeviceList, CountView) {
  DeviceList l;
  DevCountView v = l.UpdateDevCount(false);
  EXPECT_EQ(v.count, 0);
  EXPECT_EQ(v.countText, "0");
  EXPECT_TRUE(v.showEmptyPanel);
  EXPECT_FALSE(v.selectFirst);
  for (int i = 0; i < 12; ++i) l.MergeDevice(Dev(5, "m" + std::to_string(i), "10.0.0." + std::to_string(i)));
  v = l.UpdateDevCount(false);
  EXPECT_EQ(v.countText, "12");
  EXPECT_FALSE(v.showEmptyPanel);
  EXPECT_TRUE(v.selectFirst);
  EXPECT_FALSE(l.UpdateDevCount(true).selectFirst);
}

TEST(DeviceList, ChangeNotifications) {
  DeviceList l;
  Recorder rec;
  rec.Attach(l);
  l.MergeDevice(Dev(5, "A", "10.0.0.2"));
  l.MergeDevice(Dev(5, "B", "10.0.0.1"));
  l.MergeDevice(Dev(5, "B", "10.0.0.1"));  // refresh: nothing to show
  l.ColumnClick(2);
  l.ClearDevices();
  ASSERT_EQ(rec.changes.size(), 4u);
  EXPECT_EQ(rec.changes[0].kind, DeviceListChange::Added);
  EXPECT_EQ(rec.changes[0].row, 0);
  EXPECT_EQ(rec.changes[1].kind, DeviceListChange::Added);
  EXPECT_EQ(rec.changes[1].row, 0);  // 10.0.0.1 sorts first
  EXPECT_NE(rec.changes[0].id, rec.changes[1].id);
  EXPECT_EQ(rec.changes[2].kind, DeviceListChange::Resorted);
  EXPECT_EQ(rec.changes[3].kind, DeviceListChange::Cleared);
}

}  // namespace
}  // namespace kestrova
