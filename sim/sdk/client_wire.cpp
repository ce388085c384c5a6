#include "client_wire.h"

#include <algorithm>

namespace kestrova::sdksim {

using namespace camsim;

namespace {

// Header: "DVS4", kind, version, sequence (LE).
constexpr size_t kHeader = 8;
constexpr size_t kRecord = 200;  // header + device record
constexpr size_t kConfig = kRecord + 64;
constexpr size_t kConfigAnswerSize = 16;
constexpr uint8_t kSearch = 0x01, kSearchAnswer = 0x81, kConfigure = 0x02, kConfigureAnswer = 0x82;

Bytes Header(uint8_t kind, uint16_t seq, size_t total) {
  Bytes b(total, 0);
  PutRaw(b, 0, ByteView(reinterpret_cast<const uint8_t*>("DVS4"), 4));
  PutU8(b, 4, kind);
  PutU8(b, 5, 1);
  PutLe16(b, 6, seq);
  return b;
}

bool IsMessage(ByteView d, uint8_t kind, size_t size) {
  return d.size() == size && HasTextPrefix(d, "DVS4") && d[4] == kind && d[5] == 1;
}

std::array<uint8_t, 6> Mac(ByteView d) {
  std::array<uint8_t, 6> m{};
  std::copy(d.begin() + 8, d.begin() + 14, m.begin());
  return m;
}

}  // namespace

Bytes BuildSearchRequest(uint16_t seq) { return Header(kSearch, seq, kHeader); }

Bytes BuildConfigRequest(const ConfigRequest& r) {
  Bytes b = Header(kConfigure, r.seq, kConfig);
  PutRaw(b, 8, r.mac);
  PutU8(b, 14, r.dhcp ? 1 : 0);
  PutLe16(b, 16, r.httpPort);
  PutLe16(b, 18, r.dataPort);
  PutLe16(b, 20, r.auxPort);
  PutText(b, 24, 32, r.name, false);
  PutText(b, 72, 16, r.ip, false);
  PutText(b, 88, 16, r.netMask, false);
  PutText(b, 104, 16, r.gateway, false);
  PutText(b, 120, 16, r.dns, false);
  PutText(b, 136, 64, r.auxAddr, false);
  PutText(b, 200, 32, r.user, false);
  PutText(b, 232, 32, r.password, false);
  return b;
}

std::optional<DeviceAnswer> ParseSearchAnswer(ByteView d) {
  if (!IsMessage(d, kSearchAnswer, kRecord)) return std::nullopt;
  DeviceAnswer a;
  a.seq = GetLe16(d, 6);
  a.mac = Mac(d);
  a.dhcp = GetU8(d, 14) == 1;
  a.httpPort = GetLe16(d, 16);
  a.dataPort = GetLe16(d, 18);
  a.auxPort = GetLe16(d, 20);
  a.name = GetText(d, 24, 32);
  a.model = GetText(d, 56, 16);
  a.ip = GetText(d, 72, 16);
  a.netMask = GetText(d, 88, 16);
  a.gateway = GetText(d, 104, 16);
  a.dns = GetText(d, 120, 16);
  a.auxAddr = GetText(d, 136, 64);
  return a;
}

std::optional<ConfigAnswer> ParseConfigAnswer(ByteView d) {
  if (!IsMessage(d, kConfigureAnswer, kConfigAnswerSize)) return std::nullopt;
  ConfigAnswer a;
  a.seq = GetLe16(d, 6);
  a.mac = Mac(d);
  a.status = GetU8(d, 14);
  return a;
}

}  // namespace kestrova::sdksim
