// The advanced window's decisions, as pure functions: the window shows what they return and
// runs the dialogs and commands they name.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/config/deployment.h"
#include "core/discovery/dev_info.h"
#include "core/hostnet/address_state.h"

namespace kestrova {

// Connection-mode numbers (the data of the mode entries).
inline constexpr int kModePPPoE = 0;
inline constexpr int kModeDHCP = 1;
inline constexpr int kModeStatic = 2;

// The DNS servers every settings record is given.
inline constexpr std::string_view kSettingsDNS1 = "8.8.8.8";
inline constexpr std::string_view kSettingsDNS2 = "208.67.222.222";

// How long the automatic setting waits for an answer at the proposed address.
inline constexpr int kAutoSettingProbeTimeoutMs = 1000;

// ---- Details panel -------------------------------------------------------------------------

// What the details panel shows for a record (the family rules of the panel).
struct TDetailsView {
  std::vector<int> Modes;        // mode entries in order (numbers 0, 1, 2; PPPoE dropped for 8 and 9)
  std::optional<int> ModeIndex;  // index into Modes of the record's IPMode; none when absent
  bool NameReadOnly = false;     // family 2
  bool ModeBoxVisible = true;    // hidden for family 2
  bool DataPortVisible = false;  // family 4 only
  bool DDnsPwdVisible = true;    // hidden for family 2
  bool UpgradeVisible = false;   // families 2, 5, 8, 9
  std::string MacText;           // MAC with every blank replaced by '0'
  std::string LanUrl;            // "http://" + IP [+ ":" + port unless 80]
  std::string OuterUrl;          // see OuterAddressFor
  bool OuterEnabled = false;     // open/check buttons and the label: OuterUrl not empty
};
TDetailsView DetailsViewFor(const TDevInfo& rec,
                            std::string_view defaultSuffix = deployment::kDefaultDdnsDomainSuffix);

// The advanced window's outer address of a record: empty when DDnsServer or DDnsUser is empty;
// with a DDnsServer without '.', "http://" + DDnsUser + defaultSuffix; otherwise "http://" +
// DDnsUser + DDnsServer from its first '.', cut before the first ':' in that part. Empty when
// that host is not a plain host name (OuterUrlOf).
std::string OuterAddressFor(const TDevInfo& rec,
                            std::string_view defaultSuffix = deployment::kDefaultDdnsDomainSuffix);

// Mode rule of the panel: static shows the address fields editable, DHCP shows them read-only,
// PPPoE hides them.
struct TAddressFieldsState {
  bool Visible = true;
  bool Editable = true;
};
TAddressFieldsState AddressFieldsFor(int mode);

// ---- Reading the panel ---------------------------------------------------------------------

// The panel's texts as the window holds them.
struct TPanelSettings {
  std::string Name;      // edName
  std::string Port;      // edPort
  std::string DataPort;  // edDataPort
  std::optional<int> Mode;  // the selected mode entry's number; none when no entry is selected
  std::string IP, NetMask, Gateway;  // the three address fields as dotted text
  // The name field still shows the record's name as decoded from a legacy code page: the
  // record's bytes are kept instead of Name.
  bool KeepName = false;
};

struct TReadSettingsResult {
  bool Ok = false;
  std::string MessageKey;  // IDS_INPUTPORT (warning, caption IDS_WARNING)
  std::string Focus;       // the field to focus: "edPort" or "edDataPort"
};

// Copies the panel into out (which starts as a copy of the selected record). An empty HTTP port
// warns; so does a port that is not a number of 1..65535 (the spin field holds five digits, and a
// larger number would wrap to another port), or a data port that is empty (cleared by the user)
// or above 65535. DNS1 and DNS2 become 8.8.8.8 and 208.67.222.222 whatever the camera had. With
// no mode selected IPMode stays.
TReadSettingsResult ReadSettings(const TPanelSettings& panel, TDevInfo& out);

// Octet 3 of an address text as the address control reads it: an empty or missing octet
// reads as 255.
int LastOctet(std::string_view ipText);

// Apply sends nothing when the address's last octet is 0 or 255.
bool LastOctetAllowsApply(std::string_view ipText);

// ---- Credential dialog ---------------------------------------------------------------------

// What the credential dialog starts with before a settings command (Apply) or a firmware
// upgrade: user "admin" for every family; the factory password "vemra" for families 4 and 5
// before Apply, for family 5 only before an upgrade; an empty password otherwise.
enum class TCredentialUse { Apply, Upgrade };
struct TCameraCredentials {
  std::string User;
  std::string Password;
};
TCameraCredentials PrefilledCredentials(int family, TCredentialUse use);

// ---- Automatic setting ---------------------------------------------------------------------

struct TAutoSettingInput {
  std::optional<int> SelectedMode;  // cmbIPAss
  std::string PcIP, PcMask, PcGateway;  // edCurIP, edCurSubmask, edCurGate
  std::string CameraIP;                 // edIP as it stands
  int CameraNumber = 1;
};

struct TAutoSetting {
  std::string IP, NetMask, Gateway;
  int HttpPort = 0;
  int DataPort = 0;
};

// Step 1: "IDS_NOFIXIP" (information box, caption IDS_INFORMATION) unless the static mode is
// selected; empty when the setting may go on (then the window asks IDS_AUTOCONFIGIPCAM).
std::string AutoSettingPrecheck(std::optional<int> selectedMode);

struct TAutoProposal {
  bool Ok = false;
  std::string MessageKey;  // when not Ok: the message to show (IDS_AUTOIPINVALID, information box)
  std::string MessageArg;  // the address the message names (its text carries one "%s")
  TAutoSetting Setting;    // when Ok: the values for edIP, edPort, edDataPort, edSubMask, edGateway
  bool NeedsProbe = false; // when Ok: the address must be probed before Apply
};

// The camera keeps its host number (the last octet of edIP; an empty octet reads 255) and gets
// the PC's first three octets, the PC's mask and gateway, HTTP port CameraNumber + 81 and data
// port CameraNumber + 554. A result that is not a usable host address of the PC's subnet (the
// subnet's network or broadcast address, or outside it under a mask longer than /24) is not
// proposed: IDS_AUTOIPINVALID. The address needs probing unless it is the camera's own current
// address (current: the selected record, may be null).
TAutoProposal ProposeAutoSetting(const TAutoSettingInput& in, const TDevInfo* current);

// After the probe: empty when the address may be given, else IDS_IPINUSE (information box; its
// text carries one "%s" for setting.IP). An answer from the camera itself (same hardware address) does not
// count; a probe that could not run (Refused) does not stop the setting.
std::string AutoSettingProbeVerdict(const TAutoSetting& setting, const TDevInfo* current,
                                    const TProbeResult& probe);

// ---- Export --------------------------------------------------------------------------------

// One line per record, in list order: the 1-based number, TAB, the family letter, TAB, Name,
// TAB, IP, TAB, MAC without '-', blanks as '0', upper-cased; every line ends with CR LF. A TAB,
// CR or LF inside a field becomes a blank so that every record stays one line of five columns.
std::string ExportDeviceList(const std::vector<TDevInfo>& list);

// The export's default file name, filter and extension.
inline constexpr std::string_view kExportFileName = "ipcam.txt";
inline constexpr std::string_view kExportFilter = "*.txt|*.txt";
inline constexpr std::string_view kExportDefaultExt = "*.txt";

}  // namespace kestrova
