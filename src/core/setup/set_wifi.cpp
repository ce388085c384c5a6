#include "core/setup/set_wifi.h"

#include "core/protocols/text_util.h"

namespace kestrova {

bool ListableEntry(const TWiFiEntry& e) { return !e.SSID.empty() && e.SSID.size() <= kMaxSsidBytes; }

TWiFiEntry EntryOf(const TWiFiRecord& rec, std::string text) {
  TWiFiEntry e;
  e.Text = std::move(text);
  e.SSID = rec.SSID;
  e.Security = rec.Security;
  e.Mode = rec.Mode;
  return e;
}

TWiFiEntry EntryOf(const TCtpNetwork& net) {
  TWiFiEntry e;
  e.Text = net.Text;
  e.SSID = net.WiFi.SSID;
  e.Security = net.WiFi.Security;
  e.Mode = net.WiFi.Mode;
  e.AuthType = net.WiFi.AuthType;
  e.Cipher = net.WiFi.Cipher;
  return e;
}

TWiFiEntry EntryOf(const TWiFi& net) {
  TWiFiEntry e;
  e.Text = net.SSID;
  e.SSID = net.SSID;
  e.Security = net.Security;
  e.Mode = net.Mode;
  return e;
}

int SelectorPosition(int32_t value, int items) { return value >= 0 && value < items ? int(value) : -1; }

namespace {

// The security position of a CTP network.
int CtpSecurityPosition(const TWiFiEntry& e) {
  if (e.Security != 1) return kWiFiSecNone;
  if (e.AuthType == 0) return kWiFiSecWep;
  const bool tkip = e.Cipher == 1;
  if (e.AuthType == 1) return tkip ? kWiFiSecWpaTkip : kWiFiSecWpaAes;
  return tkip ? kWiFiSecWpa2Tkip : kWiFiSecWpa2Aes;
}

}  // namespace

int SecurityPositionOf(int32_t devType, const TWiFiEntry& entry) {
  return devType == 5 ? CtpSecurityPosition(entry) : SelectorPosition(entry.Security, kWiFiSecurityItems);
}

bool ChooseNetwork(int32_t devType, const TWiFiEntry& entry, int position, TWiFiForm& form) {
  if (devType != 9 && devType != 5 && entry.Security == kWiFiSecUnsettable) return false;
  form.Chosen = position;
  form.SSID = entry.SSID;
  if (devType == 9) form.ShareKey.clear();
  form.Security = SecurityPositionOf(devType, entry);
  form.Mode = SelectorPosition(entry.Mode, kWiFiModeItems);
  form.AuthMode = 0;
  form.KeyFormat = 0;
  form.SelKey = 0;
  form.KeyBits = {0, 0, 0, 0};
  return true;
}

TWiFiFieldsShown FieldsForSecurity(int32_t devType, int s) {
  TWiFiFieldsShown f;
  if (devType == 5) {
    f.ShareKey = s != kWiFiSecNone;  // every encrypted network, and no selection
    return f;
  }
  f.Wep = s == kWiFiSecWep;
  f.ShareKey = s > kWiFiSecWep || s < 0;
  return f;
}

int KeyFieldShown(bool wepShown, int selKey) { return wepShown && selKey >= 0 && selKey < 4 ? selKey : -1; }

int FindListedSsidBeforeParen(const std::vector<TWiFiEntry>& list, std::string_view ssid) {
  for (size_t i = 0; i < list.size(); ++i) {
    std::string_view t = list[i].Text;
    if (auto p = t.find('('); p != std::string_view::npos) t = t.substr(0, p);
    if (t == ssid) return int(i);
  }
  return -1;
}

int FindListedSsidInText(const std::vector<TWiFiEntry>& list, std::string_view ssid) {
  if (ssid.empty()) return -1;
  for (size_t i = 0; i < list.size(); ++i)
    if (list[i].Text.find(ssid) != std::string::npos) return int(i);
  return -1;
}

void FormFromParams(const TWiFiParams& p, TWiFiForm& form) {
  form.UseWiFi = p.Enable == 1;
  form.SSID = p.SSID;
  form.Security = SelectorPosition(p.Encrypt, kWiFiSecurityItems);
  form.Mode = SelectorPosition(p.Mode, kWiFiModeItems);
  form.ShareKey = p.WpaPsk;
  form.AuthMode = SelectorPosition(p.AuthType, 2);
  form.KeyFormat = SelectorPosition(p.KeyFormat, 2);
  form.SelKey = SelectorPosition(p.DefKey, 4);
  form.Keys = {p.Key1, p.Key2, p.Key3, p.Key4};
  form.KeyBits = {SelectorPosition(p.Key1Bits, 2), SelectorPosition(p.Key2Bits, 2), SelectorPosition(p.Key3Bits, 2),
                  SelectorPosition(p.Key4Bits, 2)};
}

TWiFiParams CgiWriteValues(const TWiFiForm& f) {
  TWiFiParams p;
  p.Enable = f.UseWiFi ? 1 : 0;
  p.SSID = TrimCopy(f.SSID);
  p.Mode = f.Mode;
  p.Encrypt = f.Security;
  p.AuthType = f.AuthMode;
  p.KeyFormat = f.KeyFormat;
  p.DefKey = f.SelKey;
  p.Key1 = TrimCopy(f.Keys[0]);
  p.Key2 = TrimCopy(f.Keys[1]);
  p.Key3 = TrimCopy(f.Keys[2]);
  p.Key4 = TrimCopy(f.Keys[3]);
  p.Key1Bits = f.KeyBits[0];
  p.Key2Bits = f.KeyBits[1];
  p.Key3Bits = f.KeyBits[2];
  p.Key4Bits = f.KeyBits[3];
  p.WpaPsk = TrimCopy(f.ShareKey);
  return p;
}

void ApplyFormToFamily9(const TWiFiForm& f, TWiFiParams& rec) {
  rec.Enable = f.UseWiFi ? 1 : 0;
  rec.SSID = TrimCopy(f.SSID);
  rec.WpaPsk = f.ShareKey;
  rec.Mode = f.Mode;
  rec.Encrypt = f.Security;
}

TDEVWiFi CtpWriteRecord(const TDEVWiFi& read, const TWiFiForm& f, const TWiFiEntry& e) {
  TDEVWiFi w = read;
  w.Enable = 0;
  w.SSID = f.SSID;
  w.Key = f.ShareKey;
  if (e.Security == 1) {
    if (e.AuthType == 0) {
      w.AuthMode = "WEP";
      w.EncrypType = "WEPAUTO";
    } else {
      w.AuthMode = e.AuthType == 1 ? "WPAPSK" : "WPA2PSK";
      if (e.Cipher == 1) w.EncrypType = "TKIP";
      else if (e.Cipher == 2) w.EncrypType = "AES";
    }
  } else {
    w.AuthMode = "NONE";
    w.EncrypType.clear();
  }
  return w;
}

}  // namespace kestrova
