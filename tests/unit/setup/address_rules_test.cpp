#include "core/setup/address_rules.h"

#include <gtest/gtest.h>

namespace kestrova {
namespace {

TDevInfo Dev(int family) {
  TDevInfo d;
  d.DevType = family;
  d.MAC = "00 1a2b3c4d5e";
  d.IP = "10.1.1.77";
  d.HttpPort = 80;
  d.IPMode = 2;
  return d;
}

TEST(DetailsPanel, FamilyRules) {
  struct Case {
    int family;
    std::vector<int> modes;
    bool nameReadOnly, modeBox, dataPort, ddnsPwd, upgrade;
  };
  const Case cases[] = {
      {2, {0, 1, 2}, true, false, false, false, true},
      {4, {0, 1, 2}, false, true, true, true, false},
      {5, {0, 1, 2}, false, true, false, true, true},
      {8, {1, 2}, false, true, false, true, true},
      {9, {1, 2}, false, true, false, true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.family);
    TDetailsView v = DetailsViewFor(Dev(c.family));
    EXPECT_EQ(v.Modes, c.modes);
    EXPECT_EQ(v.NameReadOnly, c.nameReadOnly);
    EXPECT_EQ(v.ModeBoxVisible, c.modeBox);
    EXPECT_EQ(v.DataPortVisible, c.dataPort);
    EXPECT_EQ(v.DDnsPwdVisible, c.ddnsPwd);
    EXPECT_EQ(v.UpgradeVisible, c.upgrade);
    ASSERT_TRUE(v.ModeIndex.has_value());
    EXPECT_EQ(v.Modes[*v.ModeIndex], 2);
    EXPECT_EQ(v.MacText, "0001a2b3c4d5e");
  }
}

TEST(DetailsPanel, ModeEntryMissingForFamily) {
  TDevInfo d = Dev(9);
  d.IPMode = 0;  // PPPoE has no entry for family 9
  EXPECT_FALSE(DetailsViewFor(d).ModeIndex.has_value());
  d.DevType = 5;
  EXPECT_EQ(DetailsViewFor(d).ModeIndex, std::optional<int>(0));
}

TEST(DetailsPanel, Addresses) {
  TDevInfo d = Dev(5);
  d.IP = "192.168.1.20";
  EXPECT_EQ(DetailsViewFor(d).LanUrl, "http://192.168.1.20");
  d.HttpPort = 81;
  EXPECT_EQ(DetailsViewFor(d).LanUrl, "http://192.168.1.20:81");

  struct Case {
    std::string server, user, outer;
  };
  const Case cases[] = {
      {"aa.bb.cc:9000", "x123", "http://x123.bb.cc"},
      {"www.dyn.example.test", "x123", "http://x123.dyn.example.test"},
      {"nodot", "x123", "http://x123.ddns.kestrova.test"},  // the default domain
      {"nodot:808", "x123", "http://x123.ddns.kestrova.test"},
      {"a.b:1.c", "u", "http://u.b"},                        // cut at the first ':' after the dot
      {"", "x123", ""},
      {"aa.bb.cc", "", ""},
      // Texts from the camera that would name another host.
      {"aa.bb.cc", "x@evil.test/", ""},
      {"nodot", "evil.test/x?", ""},
      {"a.evil.test/x@b", "u", ""},
  };
  for (const auto& c : cases) {
    d.DDnsServer = c.server;
    d.DDnsUser = c.user;
    TDetailsView v = DetailsViewFor(d);
    EXPECT_EQ(v.OuterUrl, c.outer) << c.server;
    EXPECT_EQ(v.OuterEnabled, !c.outer.empty()) << c.server;
  }
}

TEST(DetailsPanel, AddressFieldsPerMode) {
  EXPECT_TRUE(AddressFieldsFor(kModeStatic).Visible && AddressFieldsFor(kModeStatic).Editable);
  EXPECT_TRUE(AddressFieldsFor(kModeDHCP).Visible);
  EXPECT_FALSE(AddressFieldsFor(kModeDHCP).Editable);
  EXPECT_FALSE(AddressFieldsFor(kModePPPoE).Visible);
}

TEST(ReadSettings, CopiesPanelAndForcesDns) {
  TDevInfo out = Dev(8);
  out.DNS1 = "192.168.0.1";
  out.DNS2 = "192.168.0.2";
  TPanelSettings p{"  Garden cam ", "82", "555", kModeDHCP, "192.168.0.77", "255.255.255.0", "192.168.0.1"};
  TReadSettingsResult r = ReadSettings(p, out);
  ASSERT_TRUE(r.Ok);
  EXPECT_EQ(out.Name, "Garden cam");
  EXPECT_EQ(out.HttpPort, 82);
  EXPECT_EQ(out.DataPort, 555);
  EXPECT_EQ(out.IPMode, kModeDHCP);
  EXPECT_EQ(out.IP, "192.168.0.77");
  EXPECT_EQ(out.NetMask, "255.255.255.0");
  EXPECT_EQ(out.Gateway, "192.168.0.1");
  EXPECT_EQ(out.DNS1, "8.8.8.8");
  EXPECT_EQ(out.DNS2, "208.67.222.222");
  EXPECT_EQ(out.MAC, "00 1a2b3c4d5e");  // the rest of the copy stays
}

TEST(ReadSettings, Ports) {
  struct Case {
    std::string port, dataPort;
    bool ok;
    std::string focus;
    uint16_t http, data;
  };
  const Case cases[] = {
      {"", "0", false, "edPort", 0, 0},
      {"   ", "0", false, "edPort", 0, 0},
      {"0", "0", false, "edPort", 0, 0},
      {"65536", "0", false, "edPort", 0, 0},  // would wrap to port 0
      {"99999", "0", false, "edPort", 0, 0},
      {"8a", "0", false, "edPort", 0, 0},
      {"81.6", "0", true, "", 82, 0},         // the spin value is rounded
      {"80", "", false, "edDataPort", 0, 0},  // a cleared data port is no port either
      {" 65535 ", "65535", true, "", 65535, 65535},
      {"80", "70000", false, "edDataPort", 0, 0},
  };
  for (const auto& c : cases) {
    TDevInfo out = Dev(4);
    TPanelSettings p{"n", c.port, c.dataPort, kModeStatic, "1.2.3.4", "255.0.0.0", "1.2.3.1"};
    TReadSettingsResult r = ReadSettings(p, out);
    SCOPED_TRACE(c.port + "/" + c.dataPort);
    EXPECT_EQ(r.Ok, c.ok);
    EXPECT_EQ(r.Focus, c.focus);
    if (c.ok) {
      EXPECT_EQ(out.HttpPort, c.http);
      EXPECT_EQ(out.DataPort, c.data);
    } else {
      EXPECT_EQ(r.MessageKey, "IDS_INPUTPORT");
      EXPECT_EQ(out.DNS1, "");  // nothing copied
    }
  }
}

TEST(ReadSettings, NoModeSelectedKeepsRecordsMode) {
  TDevInfo out = Dev(2);
  out.IPMode = 1;
  TPanelSettings p{"n", "80", "0", std::nullopt, "1.2.3.4", "255.0.0.0", "1.2.3.1"};
  ASSERT_TRUE(ReadSettings(p, out).Ok);
  EXPECT_EQ(out.IPMode, 1);
}

// A name shown decoded from the camera's code page and left alone goes back byte for byte.
TEST(ReadSettings, KeptNameKeepsTheRecordsBytes) {
  TDevInfo out = Dev(5);
  out.Name = "\xbf\xcd\xcc\xfc ";  // GBK, with the blank the camera sent
  TPanelSettings p{"\xe5\xae\xa2\xe5\x8e\x85", "80", "0", kModeStatic, "1.2.3.4", "255.0.0.0", "1.2.3.1"};
  p.KeepName = true;
  ASSERT_TRUE(ReadSettings(p, out).Ok);
  EXPECT_EQ(out.Name, "\xbf\xcd\xcc\xfc ");
  p.KeepName = false;  // edited: the text as typed, trimmed
  p.Name = " New name ";
  ASSERT_TRUE(ReadSettings(p, out).Ok);
  EXPECT_EQ(out.Name, "New name");
}

TEST(ApplyRule, LastOctet) {
  struct Case {
    std::string ip;
    int octet;
    bool allows;
  };
  const Case cases[] = {
      {"192.168.0.77", 77, true}, {"192.168.0.1", 1, true},  {"192.168.0.254", 254, true},
      {"192.168.0.0", 0, false},  {"192.168.0.255", 255, false}, {"192.168.0.", 255, false},
      {"192.168.0", 255, false},  {"", 255, false},             {"1.2.3.x", 255, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(LastOctet(c.ip), c.octet) << c.ip;
    EXPECT_EQ(LastOctetAllowsApply(c.ip), c.allows) << c.ip;
  }
}

TEST(CredentialDialog, PrefilledPerFamilyAndUse) {
  struct Case {
    int family;
    TCredentialUse use;
    const char* password;
  } cases[] = {
      {2, TCredentialUse::Apply, ""},        {4, TCredentialUse::Apply, "vemra"},
      {5, TCredentialUse::Apply, "vemra"},   {8, TCredentialUse::Apply, ""},
      {9, TCredentialUse::Apply, ""},        {2, TCredentialUse::Upgrade, ""},
      {4, TCredentialUse::Upgrade, ""},      {5, TCredentialUse::Upgrade, "vemra"},
      {8, TCredentialUse::Upgrade, ""},      {9, TCredentialUse::Upgrade, ""},
  };
  for (const Case& c : cases) {
    const TCameraCredentials got = PrefilledCredentials(c.family, c.use);
    EXPECT_EQ(got.User, "admin") << c.family;
    EXPECT_EQ(got.Password, c.password) << c.family << (c.use == TCredentialUse::Apply ? " apply" : " upgrade");
  }
}

TAutoSettingInput Pc(const std::string& cameraIp, const std::string& mask = "255.255.255.0") {
  TAutoSettingInput in;
  in.SelectedMode = kModeStatic;
  in.PcIP = "192.168.0.10";
  in.PcMask = mask;
  in.PcGateway = "192.168.0.1";
  in.CameraIP = cameraIp;
  in.CameraNumber = 1;
  return in;
}

TEST(AutoSetting, OnlyForStaticMode) {
  EXPECT_EQ(AutoSettingPrecheck(kModeDHCP), "IDS_NOFIXIP");
  EXPECT_EQ(AutoSettingPrecheck(kModePPPoE), "IDS_NOFIXIP");
  EXPECT_EQ(AutoSettingPrecheck(std::nullopt), "IDS_NOFIXIP");
  EXPECT_EQ(AutoSettingPrecheck(kModeStatic), "");
}

TEST(AutoSetting, KeepsHostNumberInPcSubnet) {
  TDevInfo cam = Dev(8);
  TAutoProposal p = ProposeAutoSetting(Pc("10.1.1.77"), &cam);
  ASSERT_TRUE(p.Ok);
  EXPECT_EQ(p.Setting.IP, "192.168.0.77");
  EXPECT_EQ(p.Setting.NetMask, "255.255.255.0");
  EXPECT_EQ(p.Setting.Gateway, "192.168.0.1");
  EXPECT_EQ(p.Setting.HttpPort, 82);
  EXPECT_EQ(p.Setting.DataPort, 555);
  EXPECT_TRUE(p.NeedsProbe);

  TAutoSettingInput third = Pc("10.1.1.77");
  third.CameraNumber = 3;
  p = ProposeAutoSetting(third, &cam);
  EXPECT_EQ(p.Setting.HttpPort, 84);
  EXPECT_EQ(p.Setting.DataPort, 557);

  // Under a shorter mask the first three octets still come from the PC.
  p = ProposeAutoSetting(Pc("10.1.1.77", "255.255.0.0"), &cam);
  ASSERT_TRUE(p.Ok);
  EXPECT_EQ(p.Setting.IP, "192.168.0.77");
}

TEST(AutoSetting, CameraAlreadyThereNeedsNoProbe) {
  TDevInfo cam = Dev(8);
  cam.IP = "192.168.0.77";
  TAutoProposal p = ProposeAutoSetting(Pc("192.168.0.77"), &cam);
  ASSERT_TRUE(p.Ok);
  EXPECT_FALSE(p.NeedsProbe);
}

TEST(AutoSetting, UnusableAddressesAreNotProposed) {
  struct Case {
    std::string cameraIp, mask;
  };
  const Case cases[] = {
      {"10.1.1.0", "255.255.255.0"},
      {"10.1.1.255", "255.255.255.0"},
      {"10.1.1.", "255.255.255.0"},          // an empty octet reads 255
      {"10.1.1.200", "255.255.255.128"},     // outside 192.168.0.0/25
      {"10.1.1.127", "255.255.255.128"},     // its broadcast address
      {"10.1.1.77", "255.0.255.0"},          // not a mask
  };
  for (const auto& c : cases) {
    TAutoProposal p = ProposeAutoSetting(Pc(c.cameraIp, c.mask), nullptr);
    EXPECT_FALSE(p.Ok) << c.cameraIp << " " << c.mask;
    EXPECT_EQ(p.MessageKey, "IDS_AUTOIPINVALID");
  }
  TAutoSettingInput noPc = Pc("10.1.1.77");
  noPc.PcIP = "";
  EXPECT_FALSE(ProposeAutoSetting(noPc, nullptr).Ok);
}

TEST(AutoSetting, ProbeVerdict) {
  TDevInfo cam = Dev(8);
  cam.MAC = "001a2b3c4d5e";
  TAutoSetting s;
  s.IP = "192.168.0.77";
  auto probe = [](TAddressState st, std::string mac, std::string method) {
    TProbeResult r;
    r.State = st;
    r.Mac = std::move(mac);
    r.Method = std::move(method);
    return r;
  };
  EXPECT_EQ(AutoSettingProbeVerdict(s, &cam, probe(TAddressState::Free, "", "icmp-raw")), "");
  EXPECT_EQ(AutoSettingProbeVerdict(s, &cam, probe(TAddressState::Refused, "", "")), "");
  EXPECT_EQ(AutoSettingProbeVerdict(s, &cam, probe(TAddressState::InUse, "02:fc:00:00:00:05", "icmp-raw")), "IDS_IPINUSE");
  EXPECT_EQ(AutoSettingProbeVerdict(s, &cam, probe(TAddressState::InUse, "", "self")), "IDS_IPINUSE");
  // the camera itself answering (same hardware address) is not a conflict
  EXPECT_EQ(AutoSettingProbeVerdict(s, &cam, probe(TAddressState::InUse, "00:1a:2b:3c:4d:5e", "neighbour")), "");
  TDevInfo cgi = Dev(9);
  cgi.MAC = "00:1A:2B:3C:4D:5E";
  EXPECT_EQ(AutoSettingProbeVerdict(s, &cgi, probe(TAddressState::InUse, "00:1a:2b:3c:4d:5e", "icmp")), "");
}

TEST(Export, ThreeCameras) {
  TDevInfo a = Dev(2), b = Dev(8), c = Dev(9);
  a.Name = "Hall";
  a.IP = "192.168.0.101";
  a.MAC = "ab-cd ef";
  b.Name = "Yard\tside";
  b.IP = "192.168.0.102";
  b.MAC = "001a2b3c4d5e";
  c.Name = "";
  c.IP = "192.168.0.103";
  c.MAC = "00:1A:2B:3C:4D:5F";
  EXPECT_EQ(ExportDeviceList({a, b, c}),
            "1\tF\tHall\t192.168.0.101\tABCD0EF\r\n"
            "2\tH\tYard side\t192.168.0.102\t001A2B3C4D5E\r\n"
            "3\tT\t\t192.168.0.103\t00:1A:2B:3C:4D:5F\r\n");
  EXPECT_EQ(ExportDeviceList({}), "");
}

}  // namespace
}  // namespace kestrova
