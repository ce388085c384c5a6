#include "core/upgrade/pk2.h"
#include "net/digest/md5.h"

#include <gtest/gtest.h>

#include <string>

namespace kestrova::upgrade {
namespace {

using namespace std::string_literals;

std::string U32(uint32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  return s;
}

std::string Header(uint32_t count) { return "PK2\0"s + std::string(20, 'x') + U32(count); }

std::string Record(std::string_view tag, std::string_view payload) {
  return std::string(tag) + std::string(16, '.') + U32(static_cast<uint32_t>(payload.size())) + std::string(payload);
}

std::string FilePayload(std::string_view name, std::string_view data) {
  return U32(static_cast<uint32_t>(name.size())) + std::string(name) + U32(static_cast<uint32_t>(data.size())) +
         std::string(data);
}

// Plain bytes equal to the repeated key scramble to zeros, whose digest md5sum gives independently.
std::string KeyRepeated(size_t n) {
  std::string s(n, '\0');
  const uint8_t key[8] = {0x5A, 0x3C, 0x96, 0x0F, 0xA5, 0xC3, 0x69, 0xF0};
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>(key[i % 8]);
  return s;
}

std::string Hex(std::string_view raw) {
  static const char* d = "0123456789abcdef";
  std::string h;
  for (unsigned char c : raw) { h += d[c >> 4]; h += d[c & 15]; }
  return h;
}

TEST(Pk2Messages, GoldenBytes) {
  EXPECT_EQ(GreetingMessage(), "CMD 10\r\necho hello");
  EXPECT_EQ(FileAnnouncement("fw.bin", 3000), "FILE 11\r\nfw.bin 3000");
  EXPECT_EQ(FileAnnouncement("empty", 0), "FILE 7\r\nempty 0");
  EXPECT_EQ(DataChunkMessage("\x01\x02"s), "DATA 2\r\n\x01\x02"s);
  EXPECT_EQ(Scramble("\0\0\0\0\0\0\0\0\xff"s), "\x5A\x3C\x96\x0F\xA5\xC3\x69\xF0\xA5"s);
  EXPECT_EQ(CommandMessage(Scramble("\0\0\0"s)), "CMD 3\r\n\x5A\x3C\x96"s);
  std::array<uint8_t, 16> d{};
  EXPECT_EQ(DigestMessage(d), "MD5 16\r\n"s + std::string(16, '\0'));
}

TEST(Pk2Messages, Md5OfScrambledData) {
  auto hex = [](const std::array<uint8_t, 16>& a) {
    return Hex(std::string_view(reinterpret_cast<const char*>(a.data()), a.size()));
  };
  EXPECT_EQ(hex(Md5("")), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(hex(Md5("abc")), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(hex(Md5(Scramble(KeyRepeated(3000)))), "0efa007088f326bbc072c34315f3edb8");
}

TEST(Pk2Package, FileRecordOf3000BytesAndCommand) {
  std::string data = KeyRepeated(3000);
  std::string pkg = Header(2) + Record("FILE", FilePayload("fw.bin", data)) + Record("CMD ", "reboot");
  auto p = ParsePackage(pkg);
  ASSERT_TRUE(p);
  ASSERT_EQ(p->Records.size(), 2u);
  EXPECT_EQ(p->Records[0].Kind, RecordKind::File);
  EXPECT_EQ(p->Records[0].Name, "fw.bin");
  EXPECT_EQ(p->Records[0].DataLength, 3000u);
  EXPECT_EQ(pkg.substr(p->Records[0].DataOffset, 3000), data);
  EXPECT_EQ(p->Records[1].Kind, RecordKind::Command);
  EXPECT_EQ(pkg.substr(p->Records[1].DataOffset, p->Records[1].DataLength), "reboot");
}

TEST(Pk2Package, AcceptedShapes) {
  EXPECT_TRUE(ParsePackage(Header(0)));                                     // zero records
  EXPECT_TRUE(ParsePackage(Header(1) + Record("FILE", FilePayload("a", ""))));  // D = 0
  auto other = ParsePackage(Header(1) + Record("XYZW", "skip me"));
  ASSERT_TRUE(other);
  EXPECT_EQ(other->Records[0].Kind, RecordKind::Other);
}

TEST(Pk2Package, RefusedBeforeAnythingIsSent) {
  std::string good = Record("FILE", FilePayload("fw.bin", "abcdef"));
  struct Case { const char* what; std::string bytes; } cases[] = {
      {"PK2 then a non-zero byte", "PK2X"s + std::string(24, '\0')},
      {"header shorter than 28", "PK2\0"s + std::string(10, '\0')},
      {"huge record count", Header(0xFFFFFFFF) + good},
      {"count beyond the records", Header(2) + good},
      {"truncated last record", Header(1) + good.substr(0, good.size() - 1)},
      {"record size beyond the file", Header(1) + "FILE" + std::string(16, '.') + U32(1000) + FilePayload("a", "b")},
      {"name length of 4 GB", Header(1) + Record("FILE", U32(0xFFFFFFFF) + "abcd" + U32(0))},
      {"name over 255 bytes", Header(1) + Record("FILE", FilePayload(std::string(256, 'n'), "d"))},
      {"data length disagreeing with S", Header(1) + Record("FILE", FilePayload("a", "bc") + "extra")},
      // A FILE record too short for its two length fields, whatever the bytes after it say.
      {"FILE record of size 0", Header(2) + Record("FILE", "") + std::string(8, '\0') + good},
      {"FILE record of size 4", Header(1) + Record("FILE", U32(0))},
      {"FILE record of size 7", Header(1) + Record("FILE", U32(0) + "abc")},
      {"command beyond the send buffer", Header(1) + Record("CMD ", std::string(2100, 'c'))},
  };
  for (const auto& c : cases) EXPECT_FALSE(ParsePackage(c.bytes)) << c.what;
}

TEST(Pk2Replies, Classification) {
  struct Case { const char* text; ReplyKind want; } cases[] = {
      {"REPLY OK", ReplyKind::Accepted},     {"REPLY OK\r\n", ReplyKind::Accepted},
      {"REPLY Continue 1", ReplyKind::More}, {"REPLY Continue 9", ReplyKind::More},
      {"REPLY Continue 0", ReplyKind::Refused}, {"REPLY Continue", ReplyKind::Refused},
      {"REPLY ERROR", ReplyKind::Refused},   {"CTP/1.0 200 OK", ReplyKind::NotReply},
      {"", ReplyKind::NotReply},
  };
  for (const auto& c : cases) EXPECT_EQ(ClassifyReply(c.text), c.want) << c.text;
}

TEST(UpgradeFileChecks, PerFamily) {
  std::string pk2 = Header(0);
  struct Case { int family; bool web; std::string content; FileCheck want; } cases[] = {
      {2, false, "BNEGrest", FileCheck::Ok},
      {2, true, "BNEGrest", FileCheck::Refused},
      {2, true, "\xBD\x9A\x0C\x44zz", FileCheck::Ok},
      {2, false, "\xBD\x9A\x0C\x44zz", FileCheck::Refused},
      {8, false, "abcd", FileCheck::Ok},
      {8, true, "abc", FileCheck::Refused},
      {9, true, "wxyz", FileCheck::Ok},
      {9, false, "", FileCheck::Refused},
      {5, false, pk2, FileCheck::Ok},
      {5, true, "PK2X" + std::string(24, '\0'), FileCheck::Refused},
  };
  for (const auto& c : cases)
    EXPECT_EQ(CheckUpgradeFile(c.family, c.web, c.content), c.want) << c.family << " " << c.web << " " << c.content;
}

TEST(UpgradeFileChecks, BaseAddress) {
  EXPECT_EQ(UpgradeBaseUrl("192.168.1.9", 80), "http://192.168.1.9");
  EXPECT_EQ(UpgradeBaseUrl("192.168.1.9", 81), "http://192.168.1.9:81");
}

}  // namespace
}  // namespace kestrova::upgrade
