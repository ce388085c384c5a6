#include "core/protocols/setnet_packets.h"

#include <algorithm>
#include <iterator>
#include <string>

#include "core/discovery/byte_reader.h"
#include "core/discovery/ip_text.h"
#include "core/text/utf8.h"

namespace kestrova {

namespace {

using wire::Field;

// Family 2, offsets from the start of the datagram.
namespace moi {
constexpr Field kMagic{0, 4};       // "MO_I"
constexpr Field kOpcode{4, 2};      // little-endian, 2 = set network
constexpr Field kBodyLength{15, 4}; // little-endian
constexpr std::size_t kHeaderSize = 23;
constexpr Field kZero{23, 4};
constexpr Field kIdentity{27, 13};
constexpr Field kUser{40, kMOIAccountBytes};
constexpr Field kPassword{53, kMOIAccountBytes};
constexpr Field kIP{66, 4};
constexpr Field kMask{70, 4};
constexpr Field kGateway{74, 4};
constexpr Field kDNS1{78, 4};
constexpr Field kHttpPort{82, 2};   // big-endian
constexpr uint16_t kOpSetNetwork = 2;
}  // namespace moi

// Family 8 NetBlock, offsets within the block.
namespace netblock {
constexpr Field kIP{0, 16};
constexpr Field kMask{16, 16};
constexpr Field kGateway{32, 16};
constexpr Field kDNS1{48, 16};
constexpr Field kDNS2{64, 16};
constexpr Field kHttpPort{80, 2};
constexpr Field kPort2{82, 2};
constexpr Field kPort3{84, 2};
constexpr Field kDataPort{86, 2};
constexpr Field kMac{88, 6};
constexpr Field kExtWord{94, 2};
constexpr Field kSerial{96, 7};
constexpr Field kDhcp{103, 1};
constexpr Field kName{104, 24};
}  // namespace netblock

namespace binset {
constexpr uint8_t kHeader[8] = {0x10, 0x10, 0x02, 0x0F, 0x00, 0x00, 0x00, 0x01};
constexpr std::size_t kOldBlock = 8;
constexpr std::size_t kNewBlock = 136;
}  // namespace binset

// Family 9 settings packet.
namespace f9 {
constexpr uint8_t kRequest[4] = {0x44, 0x48, 0x02, 0x01};
constexpr uint8_t kAnswer[4] = {0x44, 0x48, 0x02, 0x08};
constexpr Field kIP{4, 16};
constexpr Field kMask{20, 16};
constexpr Field kGateway{36, 16};
constexpr Field kDNS1{52, 16};
constexpr Field kDNS2{68, 16};
constexpr Field kMac{84, 6};
constexpr Field kHttpPort{90, 2};
constexpr Field kDeviceId{92, 32};  // sent as zero
constexpr Field kName{124, 80};
constexpr Field kVersion{204, 32};
constexpr Field kUser{236, 32};
constexpr Field kPassword{268, 32};
constexpr Field kDhcp{301, 1};
constexpr Field kStatus{324, 4};    // in the answer
}  // namespace f9

class ByteWriter {
 public:
  explicit ByteWriter(std::vector<uint8_t>& buf, std::size_t base = 0) : buf_(buf), base_(base) {}
  void Bytes(Field f, std::span<const uint8_t> src) {
    for (std::size_t i = 0; i < f.size && i < src.size(); ++i) buf_[base_ + f.offset + i] = src[i];
  }
  // Text up to maxLen bytes (the rest of the field stays zero).
  void Text(Field f, std::string_view s, std::size_t maxLen) {
    for (std::size_t i = 0; i < s.size() && i < maxLen && i < f.size; ++i)
      buf_[base_ + f.offset + i] = static_cast<uint8_t>(s[i]);
  }
  void U8(Field f, uint8_t v) { buf_[base_ + f.offset] = v; }
  void U16LE(Field f, uint16_t v) {
    buf_[base_ + f.offset] = static_cast<uint8_t>(v & 0xFF);
    buf_[base_ + f.offset + 1] = static_cast<uint8_t>(v >> 8);
  }
  void U16BE(Field f, uint16_t v) {
    buf_[base_ + f.offset] = static_cast<uint8_t>(v >> 8);
    buf_[base_ + f.offset + 1] = static_cast<uint8_t>(v & 0xFF);
  }
  void U32LE(Field f, uint32_t v) {
    for (int i = 0; i < 4; ++i) buf_[base_ + f.offset + i] = static_cast<uint8_t>(v >> (8 * i));
  }

 private:
  std::vector<uint8_t>& buf_;
  std::size_t base_;
};

}  // namespace

std::optional<std::vector<uint8_t>> BuildMOISet(const TDevInfo& d, std::string_view user, std::string_view password) {
  auto ip = IPStrToBytes(d.IP);
  auto mask = IPStrToBytes(d.NetMask);
  auto gw = IPStrToBytes(d.Gateway);
  auto dns = IPStrToBytes(d.DNS1);
  if (!ip || !mask || !gw || !dns) return std::nullopt;
  std::vector<uint8_t> out(kMOISetSize, 0);
  ByteWriter w(out);
  w.Text(moi::kMagic, "MO_I", 4);
  w.U16LE(moi::kOpcode, moi::kOpSetNetwork);
  w.U32LE(moi::kBodyLength, static_cast<uint32_t>(kMOISetSize - moi::kHeaderSize));
  w.U32LE(moi::kZero, 0);
  w.Text(moi::kIdentity, d.MAC, moi::kIdentity.size);
  // The account fields are cut at a character boundary: half a UTF-8 character would make the
  // account one the camera cannot know.
  w.Text(moi::kUser, Utf8Prefix(user, moi::kUser.size), moi::kUser.size);
  w.Text(moi::kPassword, Utf8Prefix(password, moi::kPassword.size), moi::kPassword.size);
  w.Bytes(moi::kIP, *ip);
  w.Bytes(moi::kMask, *mask);
  w.Bytes(moi::kGateway, *gw);
  w.Bytes(moi::kDNS1, *dns);
  w.U16BE(moi::kHttpPort, d.HttpPort);
  return out;
}

std::vector<uint8_t> BuildNetBlock(const TDevInfo& d, bool isNewBlock) {
  using namespace netblock;
  std::vector<uint8_t> out(kNetBlockSize, 0);
  ByteWriter w(out);
  w.Text(kIP, d.IP, kIP.size);
  w.Text(kMask, d.NetMask, kMask.size);
  w.Text(kGateway, d.Gateway, kGateway.size);
  w.Text(kDNS1, d.DNS1, kDNS1.size);
  w.Text(kDNS2, d.DNS2, kDNS2.size);
  w.U16LE(kHttpPort, d.HttpPort);
  w.U16LE(kPort2, d.HttpPort);
  w.U16LE(kPort3, d.HttpPort);
  w.U16LE(kDataPort, d.DataPort);
  w.Bytes(kMac, HexToBytes(d.MAC, kMac.size));
  w.U16LE(kExtWord, d.ExtWord);
  w.Bytes(kSerial, HexToBytes(d.SN, kSerial.size));
  w.U8(kDhcp, isNewBlock ? (d.IPMode == 2 ? 0 : 1) : d.IPMode);
  w.Text(kName, d.Name, kName.size - 1);
  return out;
}

std::vector<uint8_t> BuildBinSet(const TDevInfo& oldDev, const TDevInfo& newDev) {
  std::vector<uint8_t> out(kBinSetSize, 0);
  std::copy(std::begin(binset::kHeader), std::end(binset::kHeader), out.begin());
  auto a = BuildNetBlock(oldDev, false);
  auto b = BuildNetBlock(newDev, true);
  std::copy(a.begin(), a.end(), out.begin() + binset::kOldBlock);
  std::copy(b.begin(), b.end(), out.begin() + binset::kNewBlock);
  return out;
}

std::vector<uint8_t> Family9MacBytes(std::string_view mac) {
  std::string hex;
  for (char c : mac) {
    if (c == '-' || c == ':') continue;
    hex += c == ' ' ? '0' : c;
  }
  return HexToBytes(hex, f9::kMac.size);
}

std::vector<uint8_t> BuildFamily9Set(const TDevInfo& d, std::string_view user, std::string_view password) {
  using namespace f9;
  std::vector<uint8_t> out(kFamily9SetSize, 0);
  ByteWriter w(out);
  w.Bytes(Field{0, 4}, kRequest);
  auto text = [&](Field f, std::string_view s) { w.Text(f, s, f.size - 1); };
  text(kIP, d.IP);
  text(kMask, d.NetMask);
  text(kGateway, d.Gateway);
  text(kDNS1, d.DNS1);
  text(kDNS2, d.DNS2);
  w.Bytes(kMac, Family9MacBytes(d.MAC));
  w.U16LE(kHttpPort, d.HttpPort);
  (void)kDeviceId;  // stays zero
  text(kName, d.Name);
  text(kVersion, d.Version);
  text(kUser, user);
  text(kPassword, password);
  w.U8(kDhcp, d.IPMode == 2 ? 0 : 1);
  return out;
}

Family9SetAnswer ParseFamily9SetAnswer(std::span<const uint8_t> data) {
  wire::ByteReader r(data);
  if (!r.StartsWith(f9::kAnswer)) return Family9SetAnswer::NotAnswer;
  return r.U32LE(f9::kStatus.offset) == kFamily9Accepted ? Family9SetAnswer::Accepted : Family9SetAnswer::Refused;
}

}  // namespace kestrova
