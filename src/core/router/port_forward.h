// The port-mapping tables and the XML a router plug-in exchanges with the program. Pure: the
// plug-in call itself is injected (net/router calls the library).
//
// A plug-in's answer is untrusted input: every count is bounded by the entries actually
// present, every number is checked, and nothing is read past the answer text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova::router {

// The buffer a plug-in call gets, zero-filled; a request must leave room for its NUL.
inline constexpr std::size_t kPluginBufferSize = 102400;

// "有效" and "无效" as the GB2312 bytes the routers and plug-ins use.
inline constexpr std::string_view kStatusValid = "\xD3\xD0\xD0\xA7";
inline constexpr std::string_view kStatusInvalid = "\xCE\xDE\xD0\xA7";

// Status codes of both exports.
enum PluginStatus : int {
  kPluginOk = 0,
  kPluginLoginRefused = 1,
  kPluginWrongRouter = 2,
  kPluginReadFailed = 3,
  kPluginBadData = 4,
  kPluginProgramError = 6,
  kPluginBadParameters = 7,
};
// The message key of a status code; "" for 0.
std::string PluginStatusMessage(int status);

struct TForwardRow {
  int ID = 0;
  std::string name, IP;
  long PPort = 0, PrPort = 0;
  std::string Protocol, Status;
  int isUpdate = 0;
  std::string OrderId;
  long PPort2 = 0, PrPort2 = 0;
  bool isUse = false;  // needed table only
};

// The window's state: the router table (dsRouter), the needed table (dsNeed), MaxCount and
// HasSecondPorts. Rows whose isUpdate is 3 or more are hidden from every operation.
class TPortForwardTables {
 public:
  std::vector<TForwardRow> router, need;
  int MaxCount = 0;
  bool HasSecondPorts = false;
  // The router's public address as the plug-in gave it (optional root attribute "WanAddress",
  // an IPv4 text): set by each table read (empty when absent or not an address), and by a
  // write's answer that carries one.
  std::string WanAddress;

  enum class AddResult { Added, Exists /* IDS_INPUT_EXISTS */, Ignored };
  // Adds a needed mapping of the camera at address for the port text (a decimal number
  // 1..65535; anything else is Ignored).
  AddResult AddMapping(const std::string& address, const std::string& port, const std::string& protocol);

  // Replaces the router table with the plug-in's answer; false when it is not a table.
  bool ParseRouterTable(std::string_view answer);
  bool FindConflicts();
  void OverrideConflicts();
  void MergeNeeded();
  // "" when the router table has no visible row.
  std::string BuildRequestXml() const;
  // Reads the answer's MaxCount into MaxCount.
  bool VerifyReply(std::string_view request, std::string_view answer);

  // Visible rows (isUpdate below 3).
  std::vector<const TForwardRow*> VisibleRouterRows() const;
  std::vector<const TForwardRow*> VisibleNeedRows() const;

 private:
  int nextRouterId_ = 1, nextNeedId_ = 1;
  void AppendRouter(TForwardRow row);
  TForwardRow* FindRouterFor(const TForwardRow& need);
};

// Whether an IPv4 address text lies in the shared address space of carrier-grade NAT
// (100.64.0.0/10): a router with such a public address sits behind the provider's NAT, where
// no forwarding of the router makes a camera reachable from the Internet.
bool IsCarrierGradeNat(std::string_view ipv4);

// The answer text of a plug-in buffer: the bytes up to the first NUL, or the whole buffer
// when it holds none (never past its end).
std::string AnswerText(const char* buffer, std::size_t size);

// The export call OK makes: export name ("GetPortForward"/"SetPortForward"), the text in
// (request) and out (answer); returns the status code.
using PluginCall = std::function<int(const std::string& exportName, std::string& text)>;

struct TPortMapInput {
  bool routerSelected = false;
  std::string user;              // as typed
  bool pluginFileExists = false;
};
// Asks the conflict question; true for Yes.
using ConflictQuestion = std::function<bool()>;

// The ten steps behind OK on tables that hold the needed rows. Returns the message key that
// ended the run (IDS_PORTFORWARD_OK on success). A request too large for the plug-in buffer is
// refused before the call with IDS_CREATEXML_ERROR. IDS_PORT_USING when the user answered the
// conflict question No (nothing written).
std::string RunPortMapping(TPortForwardTables& tables, const TPortMapInput& in, const PluginCall& call,
                           const ConflictQuestion& ask);

}  // namespace kestrova::router
