// The device-selection step's mirror of the device list, and where the reachability check asks.
#include <gtest/gtest.h>

#include "core/discovery/check_target.h"
#include "core/discovery/dev_list_mirror.h"

namespace kestrova {
namespace {

TDevInfo Dev(int32_t type, std::string mac, std::string ip) {
  TDevInfo d;
  d.DevType = type;
  d.MAC = std::move(mac);
  d.IP = std::move(ip);
  d.HttpPort = 80;
  d.IPMode = 2;
  d.DDnsUser = "sn-" + d.MAC;
  return d;
}

// "number ip" per row.
std::vector<std::string> Rows(const TDevListMirror& m) {
  std::vector<std::string> out;
  for (const auto& e : m.Entries()) out.push_back(e.Number + " " + e.IP);
  return out;
}

using V = std::vector<std::string>;

TEST(DevListMirror, FollowsTheListWithoutFamily4) {
  DeviceList list;
  list.MergeDevice(Dev(5, "aa", "192.168.0.3"));
  list.MergeDevice(Dev(4, "sdk", "192.168.0.1"));  // the SDK family is never offered
  list.MergeDevice(Dev(2, "bb", "192.168.0.2"));
  TDevListMirror m;
  TMirrorTickResult r = m.Tick(list, std::nullopt, /*fromTimer=*/false);
  EXPECT_EQ(Rows(m), (V{"1 192.168.0.2", "2 192.168.0.3"}));  // the list's order
  EXPECT_EQ(r.FirstAdded, 0);
  EXPECT_EQ(r.Select, 0);  // the first showing selects the first entry
  const TMirrorEntry& e = m.Entries()[0];
  EXPECT_EQ(e.Code, "sn-bb");
  EXPECT_EQ(e.Letter, "F");
  EXPECT_EQ(e.Port, "80");
  EXPECT_EQ(e.MAC, "bb");
  ASSERT_NE(m.DeviceAt(list, 0), nullptr);
  EXPECT_EQ(m.DeviceAt(list, 0)->MAC, "bb");
  EXPECT_EQ(m.DeviceAt(list, 2), nullptr);
}

TEST(DevListMirror, VanishedCamerasLeaveGapsAndChangedAddressesKeepTheirEntry) {
  DeviceList list;
  for (const char* mac : {"a1", "a2", "a3"}) list.MergeDevice(Dev(5, mac, std::string("192.168.0.1") + mac[1]));
  TDevListMirror m;
  m.Tick(list, std::nullopt, false);
  ASSERT_EQ(Rows(m), (V{"1 192.168.0.11", "2 192.168.0.12", "3 192.168.0.13"}));

  // a2 goes, a3 moves to another address (same MAC, same entry), a4 arrives.
  list.Remove(list.IdAt(list.FindItemByMAC("a2")));
  list.MergeDevice(Dev(5, "a3", "192.168.0.99"));
  list.MergeDevice(Dev(5, "a4", "192.168.0.50"));
  const TMirrorTickResult r = m.Tick(list, 2, /*fromTimer=*/true);
  EXPECT_EQ(r.Removed, (std::vector<int>{1}));
  EXPECT_EQ(r.Changed, (std::vector<int>{1}));
  EXPECT_EQ(r.FirstAdded, 2);
  // Not renumbered: the new entry takes the count after its addition.
  EXPECT_EQ(Rows(m), (V{"1 192.168.0.11", "3 192.168.0.99", "3 192.168.0.50"}));
  EXPECT_EQ(r.Select, 1);  // the user's choice follows its entry
}

TEST(DevListMirror, SelectionRules) {
  DeviceList list;
  list.MergeDevice(Dev(5, "a1", "192.168.0.11"));
  list.MergeDevice(Dev(5, "a2", "192.168.0.12"));
  {
    SCOPED_TRACE("later ticks keep the user's selection, and no selection stays none");
    TDevListMirror m;
    m.Tick(list, std::nullopt, false);
    EXPECT_EQ(m.Tick(list, 1, true).Select, 1);
    EXPECT_EQ(m.Tick(list, std::nullopt, true).Select, std::nullopt);
  }
  {
    SCOPED_TRACE("a selected camera that vanishes leaves no selection");
    DeviceList two;
    two.MergeDevice(Dev(5, "b1", "192.168.0.21"));
    two.MergeDevice(Dev(5, "b2", "192.168.0.22"));
    TDevListMirror m;
    m.Tick(two, std::nullopt, false);
    two.Remove(two.IdAt(0));
    EXPECT_EQ(m.Tick(two, 0, true).Select, std::nullopt);
    EXPECT_EQ(Rows(m), (V{"2 192.168.0.22"}));
  }
  {
    SCOPED_TRACE("the first cameras to arrive on a timer tick select the first entry");
    DeviceList empty;
    TDevListMirror m;
    EXPECT_EQ(m.Tick(empty, std::nullopt, false).Select, std::nullopt);
    EXPECT_TRUE(m.Empty());
    EXPECT_EQ(m.Tick(list, std::nullopt, true).Select, 0);
  }
  {
    SCOPED_TRACE("showing the page again with entries and no selection selects the first");
    TDevListMirror m;
    m.Tick(list, std::nullopt, false);
    EXPECT_EQ(m.Tick(list, std::nullopt, false).Select, 0);
  }
}

TEST(DevListMirror, AnEntryNeverOutlivesItsRecord) {
  DeviceList list;
  list.MergeDevice(Dev(9, "t1", "192.168.0.21"));
  TDevListMirror m;
  m.Tick(list, std::nullopt, false);
  list.ClearDevices();  // Find, or the camera expired, between two ticks
  EXPECT_EQ(m.DeviceAt(list, 0), nullptr);
  list.MergeDevice(Dev(9, "t1", "192.168.0.21"));  // back as a new entry
  EXPECT_EQ(m.DeviceAt(list, 0), nullptr);
  const TMirrorTickResult r = m.Tick(list, 0, true);
  EXPECT_EQ(r.Removed, (std::vector<int>{0}));
  EXPECT_EQ(r.FirstAdded, 0);
  ASSERT_NE(m.DeviceAt(list, 0), nullptr);
  EXPECT_EQ(m.Entries()[0].Number, "1");
}

TEST(CheckTarget, HostAndPortOfTheLanAddress) {
  struct Case {
    const char* url;
    bool ok;
    const char* host;
    int port;
  } cases[] = {
      {"http://192.168.0.5:81", true, "192.168.0.5", 81},
      {"http://192.168.0.5", true, "192.168.0.5", 80},   // port 80 is not written
      {"http://192.168.0.5:", true, "192.168.0.5", 81},  // not a number
      {"http://192.168.0.5:8x", true, "192.168.0.5", 81},
      {"http://192.168.0.5:70000", true, "192.168.0.5", 81},
      {"http://camera.local:80", false, "", 0},          // never a name
      {"http://192.168.0:80", false, "", 0},
      {"http://", false, "", 0},
      {"", false, "", 0},
      {"http://10.0.0.1/../:80", false, "", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.url);
    const auto t = CheckTargetOfUrl(c.url);
    ASSERT_EQ(t.has_value(), c.ok);
    if (!t) continue;
    EXPECT_EQ(t->Host, c.host);
    EXPECT_EQ(t->Port, c.port);
  }
}

}  // namespace
}  // namespace kestrova
