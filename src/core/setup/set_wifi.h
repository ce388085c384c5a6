// The wireless step's rules: the networks a camera lists, what choosing one puts into the form,
// which key fields the chosen security shows, the camera's current settings as the form shows
// them, and the records each family's Apply sends. The page and kestrova-cli wifi-set share them.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/protocols/cgi_reply.h"
#include "core/protocols/ctp_message.h"

namespace kestrova {

// Positions of the security selector (the CGI security codes).
inline constexpr int kWiFiSecNone = 0;
inline constexpr int kWiFiSecWep = 1;
inline constexpr int kWiFiSecWpaAes = 2;
inline constexpr int kWiFiSecWpaTkip = 3;
inline constexpr int kWiFiSecWpa2Aes = 4;
inline constexpr int kWiFiSecWpa2Tkip = 5;
// The security code of a scanned network the step cannot set.
inline constexpr int kWiFiSecUnsettable = 6;
inline constexpr int kWiFiSecurityItems = 6;
inline constexpr int kWiFiModeItems = 2;  // Infra, Adhoc

// One network of the list, whatever the family reported. For family 5 Security is the
// encryption flag (1 = encrypted) and AuthType/Cipher say which kind.
struct TWiFiEntry {
  std::string Text;  // the list text
  std::string SSID;
  int32_t Security = 0;
  int32_t Mode = 0;
  int32_t AuthType = 0;  // family 5 only
  int32_t Cipher = 0;    // family 5 only
  bool operator==(const TWiFiEntry&) const = default;
};

// A network name is 1 to 32 bytes: an entry whose SSID is empty or longer is no network (a
// broken scan reply) and is not listed.
inline constexpr size_t kMaxSsidBytes = 32;
bool ListableEntry(const TWiFiEntry& entry);

TWiFiEntry EntryOf(const TWiFiRecord& rec, std::string text);  // family 9
TWiFiEntry EntryOf(const TCtpNetwork& net);                    // family 5
TWiFiEntry EntryOf(const TWiFi& net);                          // families 2, 8 and the others

// The form of the step: the check box, the edits and the positions of the selectors (-1: no
// selection).
struct TWiFiForm {
  bool UseWiFi = true;
  std::string SSID;
  std::string ShareKey;
  int Mode = 0;
  int Security = 0;
  int AuthMode = 0;
  int KeyFormat = 0;
  int SelKey = 0;
  std::array<std::string, 4> Keys;
  std::array<int, 4> KeyBits{0, 0, 0, 0};
  int Chosen = 0;  // the list position of the chosen network (the SSID edit's Tag)
  bool operator==(const TWiFiForm&) const = default;
};

// A selector position as a combo box of `items` items takes it: -1 for anything out of range.
int SelectorPosition(int32_t value, int items);

// The network choice: false (and the form unchanged) when the entry cannot be chosen, a
// family-2/8 network of security code 6. Otherwise the form takes the entry's SSID, security
// and mode (family 9 also empties the share key), the authentication, key format, default key
// and key lengths go back to their first item, and Chosen becomes position.
// Family 5: the encrypted flag and the kind become the security position (WEP, WPA or WPA2 with
// AES or TKIP), so that the share key, which the CTP write sends, shows for every encrypted
// network.
bool ChooseNetwork(int32_t devType, const TWiFiEntry& entry, int position, TWiFiForm& form);

// The security position an entry selects (family 5: from its flag and kind).
int SecurityPositionOf(int32_t devType, const TWiFiEntry& entry);

// Which fields the security position shows.
struct TWiFiFieldsShown {
  bool Wep = false;       // key format, default key, authentication and their labels
  bool ShareKey = false;  // the share key and its label
};
// Family 5 sends the share key for every encrypted network and no WEP fields.
TWiFiFieldsShown FieldsForSecurity(int32_t devType, int securityPosition);
// The key (0..3) whose label, edit and length show, or -1: only while the WEP fields show.
int KeyFieldShown(bool wepShown, int selKeyPosition);

// The first entry whose text before its first "(" equals ssid (family 9), or -1.
int FindListedSsidBeforeParen(const std::vector<TWiFiEntry>& list, std::string_view ssid);
// The first entry whose text contains ssid (family 5), or -1. An empty SSID names no network.
int FindListedSsidInText(const std::vector<TWiFiEntry>& list, std::string_view ssid);

// The form from a family-2/8 settings read (every field, positions as read).
void FormFromParams(const TWiFiParams& p, TWiFiForm& form);

// What Apply of families 2 and 8 (and the others) sends: positions as they stand, the SSID,
// keys and share key trimmed.
TWiFiParams CgiWriteValues(const TWiFiForm& form);

// Family 9: the driver's kept record with the form's enable, trimmed SSID, share key as typed,
// mode and security; every other field as the camera reported it.
void ApplyFormToFamily9(const TWiFiForm& form, TWiFiParams& rec);

// Family 5: the record read from the camera with enable 0 (always), the SSID and key from the
// form, and the kind from the chosen entry: encrypted and AuthType 0 WEP/WEPAUTO, 1 WPAPSK,
// other WPA2PSK; for the WPA kinds Cipher 1 TKIP, 2 AES, any other keeps EncrypType; not
// encrypted NONE with an empty EncrypType.
TDEVWiFi CtpWriteRecord(const TDEVWiFi& read, const TWiFiForm& form, const TWiFiEntry& entry);

}  // namespace kestrova
