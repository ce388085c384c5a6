#include "core/upgrade/pk2.h"

#include <cstring>

namespace kestrova::upgrade {
namespace {

// Little-endian 32-bit value at pos; false when it does not fit.
bool ReadU32(std::string_view b, size_t pos, uint32_t& out) {
  if (pos > b.size() || b.size() - pos < 4) return false;
  out = 0;
  for (int i = 3; i >= 0; --i) out = (out << 8) | static_cast<uint8_t>(b[pos + i]);
  return true;
}

std::string WithHeader(std::string_view word, std::string_view payload) {
  std::string m(word);
  m += ' ';
  m += std::to_string(payload.size());
  m += "\r\n";
  m.append(payload);
  return m;
}

}  // namespace

bool LooksLikePackage(std::string_view bytes) {
  return bytes.size() >= kPackageHeaderSize && bytes.substr(0, 4) == std::string_view("PK2\0", 4);
}

std::optional<Pk2Package> ParsePackage(std::string_view b) {
  if (!LooksLikePackage(b)) return std::nullopt;
  Pk2Package pkg;
  ReadU32(b, 24, pkg.RecordCount);
  // Each record needs at least its header, so a count beyond that is a lie about the size.
  if (pkg.RecordCount > (b.size() - kPackageHeaderSize) / kRecordHeaderSize) return std::nullopt;
  size_t pos = kPackageHeaderSize;
  for (uint32_t r = 0; r < pkg.RecordCount; ++r) {
    if (b.size() - pos < kRecordHeaderSize) return std::nullopt;
    std::string_view tag = b.substr(pos, 4);
    uint32_t s = 0;
    ReadU32(b, pos + 20, s);
    pos += kRecordHeaderSize;
    if (s > b.size() - pos) return std::nullopt;
    Pk2Record rec;
    if (tag == "FILE") {
      uint32_t l = 0, d = 0;
      // The record holds at least its name length and data length (8 bytes) besides the name.
      if (s < 8) return std::nullopt;
      if (!ReadU32(b, pos, l) || l > kMaxNameLength || l > s - 8) return std::nullopt;
      ReadU32(b, pos + 4 + l, d);
      if (d != s - 8 - l) return std::nullopt;  // S = 8 + L + D
      std::string_view raw = b.substr(pos + 4, l);
      rec.Name.assign(raw.data(), strnlen(raw.data(), raw.size()));
      rec.Kind = RecordKind::File;
      rec.DataOffset = pos + 8 + l;
      rec.DataLength = d;
      if (FileAnnouncement(rec.Name, d).empty()) return std::nullopt;
    } else if (tag == "CMD ") {
      rec.Kind = RecordKind::Command;
      rec.DataOffset = pos;
      rec.DataLength = s;
      if (s > kSendBufferSize - 16) return std::nullopt;
    } else {
      rec.DataOffset = pos;
      rec.DataLength = s;
    }
    pos += s;
    pkg.Records.push_back(std::move(rec));
  }
  return pkg;
}

std::string Scramble(std::string_view plain) {
  std::string out(plain);
  for (size_t i = 0; i < out.size(); ++i) out[i] = static_cast<char>(static_cast<uint8_t>(out[i]) ^ kScrambleKey[i % 8]);
  return out;
}

std::string GreetingMessage() { return "CMD 10\r\necho hello"; }

std::string FileAnnouncement(std::string_view name, size_t dataLength) {
  if (name.size() > kMaxNameLength) return {};
  std::string t(name);
  t += ' ';
  t += std::to_string(dataLength);
  std::string m = WithHeader("FILE", t);
  return m.size() <= kSendBufferSize ? m : std::string();
}

std::string DataChunkMessage(std::string_view scrambled) { return WithHeader("DATA", scrambled); }

std::string DigestMessage(const std::array<uint8_t, 16>& digest) {
  return "MD5 16\r\n" + std::string(reinterpret_cast<const char*>(digest.data()), digest.size());
}

std::string CommandMessage(std::string_view scrambled) {
  std::string m = WithHeader("CMD", scrambled);
  return m.size() <= kSendBufferSize ? m : std::string();
}

ReplyKind ClassifyReply(std::string_view t) {
  constexpr std::string_view kReply = "REPLY ";
  if (t.substr(0, kReply.size()) != kReply) return ReplyKind::NotReply;
  t.remove_prefix(kReply.size());
  if (t.substr(0, 2) == "OK") return ReplyKind::Accepted;
  constexpr std::string_view kCont = "Continue ";
  if (t.substr(0, kCont.size()) == kCont && t.size() > kCont.size()) {
    char c = t[kCont.size()];
    if (c >= '1' && c <= '9') return ReplyKind::More;
  }
  return ReplyKind::Refused;
}

FileCheck CheckUpgradeFile(int devType, bool webPages, std::string_view content) {
  if (devType == 5) return ParsePackage(content) ? FileCheck::Ok : FileCheck::Refused;
  if (content.size() < 4) return FileCheck::Refused;
  if (devType == 2) {
    std::string_view want = webPages ? std::string_view("\xBD\x9A\x0C\x44", 4) : std::string_view("BNEG");
    return content.substr(0, 4) == want ? FileCheck::Ok : FileCheck::Refused;
  }
  return FileCheck::Ok;
}

std::string UpgradeBaseUrl(std::string_view address, int port) {
  std::string u = "http://";
  u += address;
  if (port != 80) u += ":" + std::to_string(port);
  return u;
}

}  // namespace kestrova::upgrade
