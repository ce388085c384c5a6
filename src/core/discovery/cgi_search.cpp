#include "core/discovery/cgi_search.h"

#include "core/discovery/byte_reader.h"

namespace kestrova {

using wire::ByteReader;
using wire::Field;

namespace {
// Search answer of the CGI family; little-endian numbers, texts end at a NUL inside their
// width (a text that fills its width has none).
namespace f9 {
constexpr uint8_t kAnswerMagic[4] = {0x44, 0x48, 0x01, 0x08};
constexpr Field kIP{4, 16};
constexpr Field kNetMask{20, 16};
constexpr Field kGateway{36, 16};
constexpr Field kDns1{52, 16};
constexpr Field kDns2{68, 16};
constexpr Field kMac{84, 6};
constexpr Field kHttpPort{90, 2};
constexpr Field kDeviceId{92, 32};
constexpr Field kName{124, 80};
constexpr Field kVersion{204, 16};  // of a 32-byte field, only the first 16 are read
constexpr Field kUser{236, 32};
constexpr Field kPwd{268, 32};
constexpr Field kDhcp{301, 1};
constexpr Field kDdnsServer{324, 64};
constexpr Field kDdnsUser{452, 32};
constexpr Field kDdnsPwd{484, 32};
}  // namespace f9

std::string MacUpperColons(std::span<const uint8_t> b) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (std::size_t i = 0; i < b.size(); ++i) {
    if (i) out.push_back(':');
    out.push_back(kDigits[b[i] >> 4]);
    out.push_back(kDigits[b[i] & 15]);
  }
  return out;
}

// A field of the optional tail: read only when the answer holds it whole.
std::string WholeText(const ByteReader& r, Field f) { return r.Has(f) ? r.Text(f) : std::string(); }
}  // namespace

std::vector<uint8_t> BuildFamily9Search() { return {0x44, 0x48, 0x01, 0x01}; }

std::optional<TDevInfo> ParseFamily9Answer(std::span<const uint8_t> data) {
  if (data.size() > kFamily9ReceiveMax) data = data.first(kFamily9ReceiveMax);
  ByteReader r(data);
  if (!r.StartsWith(f9::kAnswerMagic) || r.size() < kFamily9AnswerMinSize) return std::nullopt;
  TDevInfo d;
  d.DevType = 9;
  d.IP = r.Text(f9::kIP);
  d.NetMask = r.Text(f9::kNetMask);
  d.Gateway = r.Text(f9::kGateway);
  d.DNS1 = r.Text(f9::kDns1);
  d.DNS2 = r.Text(f9::kDns2);
  d.MAC = MacUpperColons(r.Bytes(f9::kMac));
  d.HttpPort = r.U16LE(f9::kHttpPort.offset);
  d.SN = r.Text(f9::kDeviceId);
  d.Name = r.Text(f9::kName);
  d.Version = r.Text(f9::kVersion);
  d.User = r.Text(f9::kUser);
  d.Pwd = r.Text(f9::kPwd);
  d.IPMode = r.U8(f9::kDhcp.offset) == 1 ? 1 : 2;
  d.DDnsServer = WholeText(r, f9::kDdnsServer);
  d.DDnsUser = WholeText(r, f9::kDdnsUser);
  d.DDnsPwd = WholeText(r, f9::kDdnsPwd);
  if (!KeepReportedAddresses(d)) return std::nullopt;
  return d;
}

}  // namespace kestrova
