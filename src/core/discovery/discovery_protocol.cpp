#include "core/discovery/discovery_protocol.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "core/discovery/byte_reader.h"
#include "core/discovery/ip_text.h"

namespace kestrova {

using wire::ByteReader;
using wire::Field;

namespace {

std::vector<uint8_t> TextBytes(std::string_view s) { return {s.begin(), s.end()}; }

constexpr std::array<uint8_t, 4> kMoiMagic = {'M', 'O', '_', 'I'};
constexpr std::array<uint8_t, 5> kReplyMagic = {'R', 'E', 'P', 'L', 'Y'};
constexpr std::array<uint8_t, 2> kFamily8Magic = {0x10, 0x10};

// ---- Family 2 ("MO_I"): 23-byte header, little-endian numbers ----
namespace f2 {
constexpr std::size_t kHeaderSize = 23;
constexpr std::size_t kOpcode = 4;       // u16 LE
constexpr std::size_t kBodyLength = 15;  // u32 LE
constexpr uint16_t kOpSearch = 0;
constexpr uint16_t kOpSearchReply = 1;
// Search reply fields, from the start of the datagram.
constexpr Field kIdentity{23, 13};
constexpr Field kName{36, 21};
constexpr Field kIP{57, 4};
constexpr Field kNetMask{61, 4};
constexpr Field kGateway{65, 4};
constexpr Field kDns{69, 4};
constexpr Field kVersion1{77, 4};
constexpr Field kVersion2{81, 4};
constexpr Field kHttpPort{85, 2};     // big-endian
constexpr Field kDhcp{87, 1};         // body length 195 only
constexpr Field kDdnsServer{88, 65};  // body length 195 only
constexpr Field kDdnsUser{153, 65};   // body length 195 only
constexpr uint32_t kBodyShort = 64, kBodyShortPlus = 65, kBodyLong = 195;
}  // namespace f2

// ---- Family 8 (0x10 0x10): 8-byte header, little-endian numbers ----
namespace f8 {
constexpr std::size_t kHeaderSize = 8;
constexpr Field kCommand{2, 2};
constexpr Field kLength{6, 2};
constexpr uint8_t kSearch[2] = {0x01, 0x0F};
constexpr uint8_t kSearchAnswer[2] = {0x01, 0x8F};
constexpr uint8_t kInfoRequest[2] = {0x12, 0x0F};
constexpr uint8_t kInfoReply[2] = {0x12, 0x8F};
constexpr uint8_t kDdnsRequest[2] = {0x0F, 0x0F};
constexpr uint8_t kDdnsReply[2] = {0x0F, 0x8F};
constexpr uint8_t kFollowUpLength[2] = {0x80, 0x00};  // 128, the block that follows
constexpr std::size_t kBlockSize = 128;
// Search answer: the 128-byte block the information request sends back.
constexpr Field kAnswerBlock{12, kBlockSize};
// Information reply / DDNS reply: the NetBlock right after the header.
constexpr std::size_t kNetBlockAt = 8;
constexpr Field kNetBlock{kNetBlockAt, kBlockSize};
constexpr std::size_t kVersionAt = 136;  // information reply, NUL-terminated
// NetBlock fields (offsets within the block).
constexpr Field kNbIP{0, 16};
constexpr Field kNbNetMask{16, 16};
constexpr Field kNbGateway{32, 16};
constexpr Field kNbDns1{48, 16};
constexpr Field kNbDns2{64, 16};
constexpr Field kNbHttpPort{80, 2};
constexpr Field kNbDataPort{86, 2};
constexpr Field kNbMac{88, 6};
constexpr Field kNbExtWord{94, 2};
constexpr Field kNbSerial{96, 7};
constexpr Field kNbDhcp{103, 1};
constexpr Field kNbName{104, 24};
// DDNS reply, from the start of the datagram. The server and account texts end where the next
// field begins; the password text runs to its NUL or the end of the datagram.
constexpr Field kDdnsMac{kNetBlockAt + 88, 6};
constexpr Field kDdnsServer{142, 130};
constexpr Field kDdnsUser{272, 64};
constexpr std::size_t kDdnsPwdAt = 336;
// Smallest replies that hold every field read from them (an open-ended text needs at least
// its first byte or terminator).
constexpr std::size_t kSearchAnswerMin = kAnswerBlock.end();  // 140
constexpr std::size_t kInfoReplyMin = kVersionAt + 1;        // 137
constexpr std::size_t kDdnsReplyMin = kDdnsPwdAt + 1;        // 337

constexpr Field At(Field blockField) { return Field{kNetBlockAt + blockField.offset, blockField.size}; }
}  // namespace f8

bool CommandIs(const ByteReader& r, const uint8_t (&cmd)[2]) {
  auto b = r.Bytes(f8::kCommand);
  return b.size() == 2 && b[0] == cmd[0] && b[1] == cmd[1];
}

// A follow-up of the family-8 exchange: the received header with a new command and the length
// 128, then a 128-byte block of the received datagram.
OutDatagram Family8FollowUp(std::span<const uint8_t> data, const uint8_t (&cmd)[2], Field block) {
  OutDatagram out;
  out.from = DiscoverySocket::IdUDPServer5;
  out.port = kFamily8Port;
  out.bytes.resize(f8::kHeaderSize + block.size);
  std::copy_n(data.begin(), f8::kHeaderSize, out.bytes.begin());
  std::copy_n(data.begin() + block.offset, block.size, out.bytes.begin() + f8::kHeaderSize);
  out.bytes[f8::kCommand.offset] = cmd[0];
  out.bytes[f8::kCommand.offset + 1] = cmd[1];
  out.bytes[f8::kLength.offset] = f8::kFollowUpLength[0];
  out.bytes[f8::kLength.offset + 1] = f8::kFollowUpLength[1];
  return out;
}

std::string Ip4(const ByteReader& r, Field f) {
  auto b = r.Bytes(f);
  if (b.size() != 4) return {};
  return IPBytesToStr(std::span<const uint8_t, 4>(b.data(), 4));
}

}  // namespace

// ---------------------------------------------------------------- requests

std::span<const DiscoverySocketInfo, kDiscoverySocketCount> DiscoverySocketsInBindOrder() {
  static constexpr std::array<DiscoverySocketInfo, kDiscoverySocketCount> kSockets = {{
      {DiscoverySocket::IdUDPServer2, "IdUDPServer2", 10000},
      {DiscoverySocket::IdUDPServer1, "IdUDPServer1", 10001},
      {DiscoverySocket::IdUDPServer3, "IdUDPServer3", 10002},
      {DiscoverySocket::IdUDPServer4, "IdUDPServer4", 7999},
      {DiscoverySocket::IdUDPServer5, "IdUDPServer5", 6800},
  }};
  return kSockets;
}

std::vector<uint8_t> BuildFamily2Search() {
  std::vector<uint8_t> out(f2::kHeaderSize + 4, 0);
  std::copy(kMoiMagic.begin(), kMoiMagic.end(), out.begin());
  out[f2::kOpcode] = f2::kOpSearch;
  out[f2::kBodyLength] = 4;
  out[f2::kHeaderSize + 3] = 1;  // body 00 00 00 01
  return out;
}

std::vector<uint8_t> BuildImagiaQuery() { return TextBytes("IMAGIAQUERY,0"); }
std::vector<uint8_t> BuildUicamQuery() { return TextBytes("uicam query"); }

std::vector<uint8_t> BuildSq610Search() {
  struct Tag { uint8_t tag, length; };
  static constexpr Tag kEntries[] = {
      {0x10, 6}, {0x20, 16}, {0x21, 16}, {0x11, 4}, {0x12, 4}, {0x13, 4}, {0x14, 4},
      {0x1F, 4}, {0x22, 16}, {0x23, 16}, {0x24, 4}, {0x28, 4}, {0x25, 30}, {0x26, 1},
  };
  std::vector<uint8_t> out = TextBytes("SQ610");
  for (const Tag& e : kEntries) {
    out.push_back(e.tag);
    out.push_back(e.length);
    out.insert(out.end(), e.length, 0);
  }
  out.resize(256, 0);
  return out;
}

std::vector<uint8_t> BuildFamily5Search() { return TextBytes("SEARCH * CTP/1.0\r\nFrom:0.0.0.0\r\n\r\n"); }

std::vector<uint8_t> BuildFamily8Search() {
  std::vector<uint8_t> out(f8::kHeaderSize, 0);
  out[0] = kFamily8Magic[0];
  out[1] = kFamily8Magic[1];
  out[f8::kCommand.offset] = f8::kSearch[0];
  out[f8::kCommand.offset + 1] = f8::kSearch[1];
  return out;
}

std::vector<OutDatagram> BuildSearchRound(int round) {
  std::vector<OutDatagram> out;
  if (round % 3 == 0) out.push_back({DiscoverySocket::IdUDPServer1, kImagiaQueryPort, BuildImagiaQuery()});
  out.push_back({DiscoverySocket::Family9Search, kFamily9Port, BuildFamily9Search()});
  out.push_back({DiscoverySocket::IdUDPServer1, kSq610Port, BuildSq610Search()});
  out.push_back({DiscoverySocket::IdUDPServer2, kFamily2Port, BuildFamily2Search()});
  out.push_back({DiscoverySocket::IdUDPServer3, kUicamQueryPort, BuildUicamQuery()});
  out.push_back({DiscoverySocket::IdUDPServer4, kFamily5Port, BuildFamily5Search()});
  out.push_back({DiscoverySocket::IdUDPServer5, kFamily8Port, BuildFamily8Search()});
  return out;
}

// ---------------------------------------------------------------- replies

ParseResult ParseFamily2Reply(std::span<const uint8_t> data) {
  ParseResult res;
  res.kind = DatagramKind::Family2Rejected;
  ByteReader r(data);
  if (r.size() < f2::kHeaderSize || r.U16LE(f2::kOpcode) != f2::kOpSearchReply) return res;
  uint32_t body = r.U32LE(f2::kBodyLength);
  if (body != f2::kBodyShort && body != f2::kBodyShortPlus && body != f2::kBodyLong) return res;
  // Every field read must have arrived: a cut reply is not turned into a device.
  if (r.size() < f2::kHeaderSize + body) {
    res.kind = DatagramKind::Malformed;
    return res;
  }
  TDevInfo& d = res.rec;
  d.MAC = r.Text(f2::kIdentity);
  if (d.MAC.empty()) {
    // Without its identity the reply cannot be told apart from any other camera's.
    res.rec = TDevInfo{};
    res.kind = DatagramKind::Malformed;
    return res;
  }
  d.DevType = 2;
  d.Name = r.Text(f2::kName);  // UTF-8, kept as it is
  d.IP = Ip4(r, f2::kIP);
  d.NetMask = Ip4(r, f2::kNetMask);
  d.Gateway = Ip4(r, f2::kGateway);
  d.DNS1 = Ip4(r, f2::kDns);
  d.Version = Ip4(r, f2::kVersion1) + ":" + Ip4(r, f2::kVersion2);
  d.HttpPort = r.U16BE(f2::kHttpPort.offset);
  d.IPMode = 2;
  if (body == f2::kBodyLong) {
    d.IPMode = r.U8(f2::kDhcp.offset) == 1 ? 1 : 2;
    d.DDnsServer = r.Text(f2::kDdnsServer);
    d.DDnsUser = r.Text(f2::kDdnsUser);
  }
  res.accepted = true;
  res.kind = DatagramKind::Family2Reply;
  return res;
}

ParseResult ParseFamily5Reply(std::span<const uint8_t> data) {
  ParseResult res;
  res.kind = DatagramKind::Family5Reply;
  std::string_view text(reinterpret_cast<const char*>(data.data()), data.size());
  // The reply is text; a NUL (a terminator some cameras send) ends it.
  if (std::size_t nul = text.find('\0'); nul != std::string_view::npos) text = text.substr(0, nul);
  std::vector<std::string_view> lines;
  for (std::size_t start = 0;;) {
    std::size_t end = text.find("\r\n", start);
    if (end == std::string_view::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  // Value of the first line that begins with key: the rest after the key and one separator.
  auto value = [&](std::string_view key, std::string& out) {
    for (std::string_view line : lines) {
      if (line.substr(0, key.size()) == key) {
        std::string_view rest = line.substr(key.size());
        if (!rest.empty()) rest.remove_prefix(1);
        out.assign(rest);
        return true;
      }
    }
    return false;
  };
  TDevInfo& d = res.rec;
  std::string v;
  d.DevType = 5;
  if (value("-sn", v)) d.SN = v;
  if (value("-name", v)) d.Name = v;
  if (value("-ip", v)) d.IP = v;
  if (value("-netmask", v)) d.NetMask = v;
  if (value("-portctp", v)) {
    // A value that is not a port number gives the default web port. Leading blanks are
    // allowed before the number.
    std::size_t blanks = v.find_first_not_of(' ');
    v.erase(0, blanks == std::string::npos ? v.size() : blanks);
    uint32_t port = 0;
    bool number = !v.empty() && v.size() <= 5;
    for (char c : v) {
      if (c < '0' || c > '9') { number = false; break; }
      port = port * 10 + static_cast<uint32_t>(c - '0');
    }
    d.HttpPort = number && port <= 65535 ? static_cast<uint16_t>(port) : 80;
  }
  if (value("-mdns", v)) d.DNS1 = v;
  if (value("-sdns", v)) d.DNS2 = v;
  if (value("-mac", v)) {
    d.MAC.clear();
    for (char c : v)
      if (c != ':') d.MAC.push_back(c);
  }
  if (value("-gw", v)) d.Gateway = v;
  if (value("-ddnsuser", v)) d.DDnsUser = v;
  if (value("-ddnspswd", v)) d.DDnsPwd = v;
  if (value("-ddns", v)) d.DDnsServer = v;
  if (value("-version", v)) d.Version = v;
  d.IPMode = 2;
  if (d.MAC.empty()) {
    // Without its identity the reply cannot be told apart from any other camera's.
    res.rec = TDevInfo{};
    res.kind = DatagramKind::Malformed;
    return res;
  }
  if (!KeepReportedAddresses(d)) {
    res.rec = TDevInfo{};
    res.kind = DatagramKind::AddressRejected;
    return res;
  }
  res.accepted = true;
  return res;
}

ParseResult ParseFamily8(std::span<const uint8_t> data, const FindDevByMacFn& findDevByMac) {
  ParseResult res;
  ByteReader r(data);
  if (CommandIs(r, f8::kSearchAnswer)) {
    res.kind = DatagramKind::Family8SearchAnswer;
    if (r.size() < f8::kSearchAnswerMin) {
      res.kind = DatagramKind::Malformed;
      return res;
    }
    res.followUps.push_back(Family8FollowUp(data, f8::kInfoRequest, f8::kAnswerBlock));
    return res;  // no record yet
  }
  if (CommandIs(r, f8::kInfoReply)) {
    res.kind = DatagramKind::Family8InfoReply;
    if (r.size() < f8::kInfoReplyMin) {
      res.kind = DatagramKind::Malformed;
      return res;
    }
    using f8::At;
    TDevInfo& d = res.rec;
    d.DevType = 8;
    d.IP = r.Text(At(f8::kNbIP));
    d.NetMask = r.Text(At(f8::kNbNetMask));
    d.Gateway = r.Text(At(f8::kNbGateway));
    d.DNS1 = r.Text(At(f8::kNbDns1));
    d.DNS2 = r.Text(At(f8::kNbDns2));
    d.HttpPort = r.U16LE(At(f8::kNbHttpPort).offset);
    d.DataPort = r.U16LE(At(f8::kNbDataPort).offset);
    d.MAC = BytesToHexLower(r.Bytes(At(f8::kNbMac)));
    d.ExtWord = r.U16LE(At(f8::kNbExtWord).offset);
    d.SN = BytesToHexLower(r.Bytes(At(f8::kNbSerial)));
    d.IPMode = r.U8(At(f8::kNbDhcp).offset) == 0 ? 2 : 1;
    d.Name = r.Text(At(f8::kNbName));  // UTF-8, kept as it is
    d.Version = r.TextToEnd(f8::kVersionAt);
    if (!KeepReportedAddresses(d)) {
      // Not listed, so its DDNS reply would find no entry: no follow-up either.
      res.rec = TDevInfo{};
      res.kind = DatagramKind::AddressRejected;
      return res;
    }
    res.accepted = true;
    res.followUps.push_back(Family8FollowUp(data, f8::kDdnsRequest, f8::kNetBlock));
    return res;
  }
  if (CommandIs(r, f8::kDdnsReply)) {
    res.kind = DatagramKind::Family8DdnsReply;
    if (r.size() < f8::kDdnsReplyMin) {
      res.kind = DatagramKind::Malformed;
      return res;
    }
    std::string mac = BytesToHexLower(r.Bytes(f8::kDdnsMac));
    const TDevInfo* listed = findDevByMac ? findDevByMac(mac) : nullptr;
    if (listed) {
      res.rec = *listed;
      res.rec.DDnsServer = r.Text(f8::kDdnsServer);
      res.rec.DDnsUser = r.Text(f8::kDdnsUser);
      res.rec.DDnsPwd = r.TextToEnd(f8::kDdnsPwdAt);
    }
    res.accepted = true;  // an unlisted camera leaves the record unfilled
    return res;
  }
  res.kind = r.size() < f8::kCommand.end() ? DatagramKind::Malformed : DatagramKind::Family8Other;
  return res;
}

ParseResult ParseDatagram(std::span<const uint8_t> data, const FindDevByMacFn& findDevByMac) {
  ByteReader r(data);
  if (data.size() > kDiscoveryDatagramMax) {
    ParseResult res;
    res.kind = DatagramKind::Malformed;
    return res;
  }
  if (r.StartsWith(kMoiMagic)) return ParseFamily2Reply(data);
  if (r.StartsWith(kReplyMagic)) return ParseFamily5Reply(data);
  if (data.size() > 2 && r.StartsWith(kFamily8Magic)) return ParseFamily8(data, findDevByMac);
  return ParseResult{};
}

}  // namespace kestrova
