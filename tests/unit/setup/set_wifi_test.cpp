// The wireless step's rules: which fields a security shows, what choosing a network does per
// family, and the records Apply sends.
#include <gtest/gtest.h>

#include "core/setup/set_wifi.h"

namespace kestrova {
namespace {

TEST(SetWiFiRules, SecurityShowsItsKeyFields) {
  struct Case {
    int family, security;
    bool wep, shareKey;
  };
  const Case cases[] = {
      {2, -1, false, true},  // no selection: the share key shows
      {2, kWiFiSecNone, false, false},
      {2, kWiFiSecWep, true, false},
      {8, kWiFiSecWpaAes, false, true},
      {2, kWiFiSecWpa2Aes, false, true},
      {9, kWiFiSecWpa2Tkip, false, true},
      // Family 5 sends the share key for every encrypted network, and no WEP fields.
      {5, kWiFiSecNone, false, false},
      {5, kWiFiSecWep, false, true},
      {5, kWiFiSecWpa2Aes, false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.family) + "/" + std::to_string(c.security));
    const TWiFiFieldsShown f = FieldsForSecurity(c.family, c.security);
    EXPECT_EQ(f.Wep, c.wep);
    EXPECT_EQ(f.ShareKey, c.shareKey);
  }
  EXPECT_EQ(KeyFieldShown(true, 0), 0);
  EXPECT_EQ(KeyFieldShown(true, 3), 3);
  EXPECT_EQ(KeyFieldShown(false, 2), -1);
  EXPECT_EQ(KeyFieldShown(true, -1), -1);
  EXPECT_EQ(KeyFieldShown(true, 4), -1);
}

TWiFiForm Filled() {
  TWiFiForm f;
  f.SSID = "Before";
  f.ShareKey = "typed";
  f.Security = kWiFiSecWep;
  f.Mode = 1;
  f.AuthMode = 1;
  f.KeyFormat = 1;
  f.SelKey = 3;
  f.KeyBits = {1, 1, 1, 1};
  f.Keys = {"a", "b", "c", "d"};
  f.Chosen = 9;
  return f;
}

TEST(SetWiFiRules, ChoosingANetwork) {
  struct Case {
    const char* what;
    int family;
    TWiFiEntry entry;
    bool chosen;
    int security;
    std::string shareKey;
  };
  auto e = [](int32_t sec, int32_t auth = 0, int32_t cipher = 0) {
    TWiFiEntry x;
    x.SSID = "Net";
    x.Text = "Net";
    x.Security = sec;
    x.AuthType = auth;
    x.Cipher = cipher;
    return x;
  };
  const Case cases[] = {
      {"a kind the step cannot set", 2, e(kWiFiSecUnsettable), false, kWiFiSecWep, "typed"},
      {"family 8 likewise", 8, e(kWiFiSecUnsettable), false, kWiFiSecWep, "typed"},
      {"WPA2-PSK AES keeps the typed key", 2, e(kWiFiSecWpa2Aes), true, kWiFiSecWpa2Aes, "typed"},
      {"an unknown code selects nothing", 2, e(9), true, -1, "typed"},
      {"family 9 empties the share key", 9, e(kWiFiSecWpa2Aes), true, kWiFiSecWpa2Aes, ""},
      {"family 9 takes code 6 as it stands", 9, e(kWiFiSecUnsettable), true, -1, ""},
      {"CTP open network", 5, e(0, 2, 2), true, kWiFiSecNone, "typed"},
      {"CTP WEP", 5, e(1, 0, 0), true, kWiFiSecWep, "typed"},
      {"CTP WPA TKIP", 5, e(1, 1, 1), true, kWiFiSecWpaTkip, "typed"},
      {"CTP WPA AES", 5, e(1, 1, 2), true, kWiFiSecWpaAes, "typed"},
      {"CTP WPA2 AES", 5, e(1, 2, 2), true, kWiFiSecWpa2Aes, "typed"},
      {"CTP WPA2 TKIP", 5, e(1, 3, 1), true, kWiFiSecWpa2Tkip, "typed"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TWiFiForm f = Filled();
    EXPECT_EQ(ChooseNetwork(c.family, c.entry, 2, f), c.chosen);
    if (!c.chosen) {
      EXPECT_EQ(f, Filled());
      continue;
    }
    EXPECT_EQ(f.SSID, "Net");
    EXPECT_EQ(f.Chosen, 2);
    EXPECT_EQ(f.Security, c.security);
    EXPECT_EQ(f.ShareKey, c.shareKey);
    EXPECT_EQ(f.Mode, 0);
    // The WEP selectors go back to their first item; the key texts stay.
    EXPECT_EQ(f.AuthMode, 0);
    EXPECT_EQ(f.KeyFormat, 0);
    EXPECT_EQ(f.SelKey, 0);
    EXPECT_EQ(f.KeyBits, (std::array<int, 4>{0, 0, 0, 0}));
    EXPECT_EQ(f.Keys[3], "d");
  }
}

TEST(SetWiFiRules, CtpWriteRecord) {
  struct Case {
    int32_t security, auth, cipher;
    std::string before, authMode, encrypType;
  };
  const Case cases[] = {
      {1, 0, 2, "AES", "WEP", "WEPAUTO"},
      {1, 1, 1, "", "WPAPSK", "TKIP"},
      {1, 2, 2, "", "WPA2PSK", "AES"},
      {1, 7, 2, "", "WPA2PSK", "AES"},
      {1, 2, 0, "TKIP", "WPA2PSK", "TKIP"},  // an unknown cipher keeps what was read
      {0, 2, 2, "AES", "NONE", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.authMode + "/" + c.encrypType);
    TDEVWiFi read;
    read.Enable = 1;
    read.SSID = "Old";
    read.EncrypType = c.before;
    read.DhcpEn = 1;
    TWiFiForm f;
    f.UseWiFi = true;
    f.SSID = "New";
    f.ShareKey = "k";
    TWiFiEntry e;
    e.Security = c.security;
    e.AuthType = c.auth;
    e.Cipher = c.cipher;
    const TDEVWiFi w = CtpWriteRecord(read, f, e);
    EXPECT_EQ(w.Enable, 0);  // always
    EXPECT_EQ(w.SSID, "New");
    EXPECT_EQ(w.Key, "k");
    EXPECT_EQ(w.AuthMode, c.authMode);
    EXPECT_EQ(w.EncrypType, c.encrypType);
    EXPECT_EQ(w.DhcpEn, 1);
  }
}

TEST(SetWiFiRules, FindingTheCamerasNetworkInTheList) {
  auto list = [](std::vector<std::string> texts) {
    std::vector<TWiFiEntry> out;
    for (auto& t : texts) out.push_back(TWiFiEntry{t, t, 0, 0, 0, 0});
    return out;
  };
  const auto f9 = list({"Home(70)", "Home Net(50)", "Home Net(40)"});
  EXPECT_EQ(FindListedSsidBeforeParen(f9, "Home Net"), 1);
  EXPECT_EQ(FindListedSsidBeforeParen(f9, "Home"), 0);
  EXPECT_EQ(FindListedSsidBeforeParen(f9, "Hom"), -1);
  EXPECT_EQ(FindListedSsidBeforeParen(f9, ""), -1);
  const auto f5 = list({"Cafe(41%)", "Home Net(78%)"});
  EXPECT_EQ(FindListedSsidInText(f5, "Net"), 1);
  EXPECT_EQ(FindListedSsidInText(f5, "Cafe"), 0);
  EXPECT_EQ(FindListedSsidInText(f5, "Gone"), -1);
  EXPECT_EQ(FindListedSsidInText(f5, ""), -1);  // no network is the camera's
}

TEST(SetWiFiRules, SettingsReadAndWritten) {
  TWiFiParams p;
  p.Enable = 1;
  p.SSID = " Net ";
  p.Encrypt = 7;  // no such item
  p.Mode = 1;
  p.AuthType = 1;
  p.KeyFormat = 2;
  p.DefKey = 3;
  p.Key2 = " k2 ";
  p.Key2Bits = 1;
  p.Key3Bits = -1;
  p.WpaPsk = " psk ";
  TWiFiForm f;
  FormFromParams(p, f);
  EXPECT_TRUE(f.UseWiFi);
  EXPECT_EQ(f.Security, -1);
  EXPECT_EQ(f.Mode, 1);
  EXPECT_EQ(f.KeyFormat, -1);
  EXPECT_EQ(f.SelKey, 3);
  EXPECT_EQ(f.KeyBits, (std::array<int, 4>{0, 1, -1, 0}));
  const TWiFiParams w = CgiWriteValues(f);
  EXPECT_EQ(w.SSID, "Net");
  EXPECT_EQ(w.Key2, "k2");
  EXPECT_EQ(w.WpaPsk, "psk");
  EXPECT_EQ(w.Enable, 1);
  EXPECT_EQ(w.DefKey, 3);

  // Family 9: five fields from the form, the share key as typed; the rest as reported.
  TWiFiParams rec = p;
  TWiFiForm g;
  g.UseWiFi = false;
  g.SSID = " Other ";
  g.ShareKey = " typed ";
  g.Security = kWiFiSecWpa2Aes;
  g.Mode = 0;
  g.Keys = {"x", "x", "x", "x"};
  ApplyFormToFamily9(g, rec);
  EXPECT_EQ(rec.Enable, 0);
  EXPECT_EQ(rec.SSID, "Other");
  EXPECT_EQ(rec.WpaPsk, " typed ");
  EXPECT_EQ(rec.Encrypt, kWiFiSecWpa2Aes);
  EXPECT_EQ(rec.Key2, " k2 ");
  EXPECT_EQ(rec.DefKey, 3);
}

}  // namespace
}  // namespace kestrova
