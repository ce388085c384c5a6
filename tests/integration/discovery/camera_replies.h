// Camera-side reply bytes for the loopback tests, laid out by hand field by field from the
// families' byte tables (offsets written out here, independent of the app's codecs).
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace kestrova::testing {

using Bytes = std::vector<uint8_t>;

inline void Put(Bytes& b, size_t off, const std::string& text) {
  if (b.size() < off + text.size()) b.resize(off + text.size());
  std::memcpy(b.data() + off, text.data(), text.size());
}
inline void Put(Bytes& b, size_t off, std::initializer_list<uint8_t> bytes) {
  if (b.size() < off + bytes.size()) b.resize(off + bytes.size());
  size_t i = off;
  for (uint8_t v : bytes) b[i++] = v;
}
inline void PutLE16(Bytes& b, size_t off, uint16_t v) { Put(b, off, {uint8_t(v & 0xff), uint8_t(v >> 8)}); }

// Family 2 ("MO_I") search reply, body length 195, DHCP byte 1.
struct Family2Camera {
  std::string identity = "ID0000000001";  // 13-byte field
  std::string name = "cam2";
  uint8_t ip[4] = {127, 0, 0, 12};
  uint8_t mask[4] = {255, 0, 0, 0};
  uint8_t gw[4] = {127, 0, 0, 1};
  uint8_t dns[4] = {127, 0, 0, 53};
  uint8_t ver1[4] = {1, 2, 3, 4};
  uint8_t ver2[4] = {5, 6, 7, 8};
  uint16_t httpPort = 81;
  std::string ddnsServer = "ddns.example.org";
  std::string ddnsUser = "f2user";
};
inline Bytes Family2Reply(const Family2Camera& c) {
  Bytes b(23 + 195, 0);
  Put(b, 0, "MO_I");
  Put(b, 4, {0x01, 0x00});              // opcode 1, little-endian
  Put(b, 15, {195, 0x00, 0x00, 0x00});  // body length, little-endian
  Put(b, 23, c.identity);
  Put(b, 36, c.name);
  Put(b, 57, {c.ip[0], c.ip[1], c.ip[2], c.ip[3]});
  Put(b, 61, {c.mask[0], c.mask[1], c.mask[2], c.mask[3]});
  Put(b, 65, {c.gw[0], c.gw[1], c.gw[2], c.gw[3]});
  Put(b, 69, {c.dns[0], c.dns[1], c.dns[2], c.dns[3]});
  Put(b, 77, {c.ver1[0], c.ver1[1], c.ver1[2], c.ver1[3]});
  Put(b, 81, {c.ver2[0], c.ver2[1], c.ver2[2], c.ver2[3]});
  Put(b, 85, {uint8_t(c.httpPort >> 8), uint8_t(c.httpPort & 0xff)});  // big-endian
  Put(b, 87, {0x01});
  Put(b, 88, c.ddnsServer);
  Put(b, 153, c.ddnsUser);
  return b;
}

// Family 5 ("REPLY") text reply.
inline Bytes Family5Reply(const std::string& mac, const std::string& ip, const std::string& name = "cam5") {
  const std::string t = "REPLY * CTP/1.0\r\n-sn SN5000\r\n-name " + name + "\r\n-ip " + ip +
                        "\r\n-netmask 255.0.0.0\r\n-portctp 8080\r\n-mdns 127.0.0.53\r\n-sdns 127.0.0.54\r\n"
                        "-mac " + mac + "\r\n-gw 127.0.0.1\r\n-ddns ddns.example.org:8000\r\n-ddnsuser e5user\r\n"
                        "-ddnspswd e5pwd\r\n-version 5.0.1\r\n\r\n";
  return Bytes(t.begin(), t.end());
}

// Family 8: the 128-byte network block.
struct Family8Camera {
  std::string ip = "127.0.0.18";
  std::string mask = "255.0.0.0";
  std::string gw = "127.0.0.1";
  std::string dns1 = "127.0.0.53";
  std::string dns2 = "127.0.0.54";
  uint16_t httpPort = 88;
  uint16_t dataPort = 8554;
  uint8_t mac[6] = {0x00, 0x11, 0x22, 0xaa, 0xbb, 0xcc};
  uint16_t extWord = 0x1234;
  uint8_t sn[7] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07};
  uint8_t dhcp = 0;
  std::string name = "cam8";
  std::string version = "8.1.2";
  std::string ddnsServer = "h8.example.org";
  std::string ddnsUser = "h8user";
  std::string ddnsPwd = "h8pwd";
};
inline Bytes Family8NetBlock(const Family8Camera& c) {
  Bytes b(128, 0);
  Put(b, 0, c.ip);
  Put(b, 16, c.mask);
  Put(b, 32, c.gw);
  Put(b, 48, c.dns1);
  Put(b, 64, c.dns2);
  PutLE16(b, 80, c.httpPort);
  PutLE16(b, 82, c.httpPort);
  PutLE16(b, 84, c.httpPort);
  PutLE16(b, 86, c.dataPort);
  Put(b, 88, {c.mac[0], c.mac[1], c.mac[2], c.mac[3], c.mac[4], c.mac[5]});
  PutLE16(b, 94, c.extWord);
  Put(b, 96, {c.sn[0], c.sn[1], c.sn[2], c.sn[3], c.sn[4], c.sn[5], c.sn[6]});
  Put(b, 103, {c.dhcp});
  Put(b, 104, c.name);
  return b;
}
inline Bytes Family8Header(uint8_t c0, uint8_t c1, uint16_t len) {
  Bytes b(8, 0);
  Put(b, 0, {0x10, 0x10, c0, c1, 0x5a, 0xa5});  // bytes 4-5: a camera session word
  PutLE16(b, 6, len);
  return b;
}
// Search answer: header, 4 bytes, the 128-byte block at offset 12.
inline Bytes Family8SearchAnswer(const Family8Camera& c) {
  Bytes b = Family8Header(0x01, 0x8f, 132);
  Put(b, 8, {0, 0, 0, 0});
  Bytes blk = Family8NetBlock(c);
  b.insert(b.end(), blk.begin(), blk.end());
  return b;
}
// Information reply: the block at 8, version text at 136.
inline Bytes Family8InfoReply(const Family8Camera& c) {
  Bytes b = Family8Header(0x12, 0x8f, 160);
  Bytes blk = Family8NetBlock(c);
  b.insert(b.end(), blk.begin(), blk.end());
  b.resize(168, 0);
  Put(b, 136, c.version);
  return b;
}
// DDNS reply: the block at 8 (hardware address at 96), server at 142, account at 272,
// password at 336.
inline Bytes Family8DdnsReply(const Family8Camera& c) {
  Bytes b = Family8Header(0x0f, 0x8f, 392);
  Bytes blk = Family8NetBlock(c);
  b.insert(b.end(), blk.begin(), blk.end());
  b.resize(400, 0);
  Put(b, 142, c.ddnsServer);
  Put(b, 272, c.ddnsUser);
  Put(b, 336, c.ddnsPwd);
  return b;
}

// Family 9 search answer, 516 bytes.
struct Family9Camera {
  std::string ip = "127.0.0.19";
  std::string mask = "255.0.0.0";
  std::string gw = "127.0.0.1";
  std::string dns1 = "127.0.0.53";
  std::string dns2 = "127.0.0.54";
  uint8_t mac[6] = {0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e};
  uint16_t httpPort = 8099;
  std::string devId = "T9ID";
  std::string name = "cam9";
  std::string version = "9.0.0.1";
  std::string user = "admin";
  std::string pwd = "t9pwd";
  uint8_t dhcp = 1;
  std::string ddnsServer = "t9.example.org";
  std::string ddnsUser = "t9user";
  std::string ddnsPwd = "t9ddnspwd";
};
inline Bytes Family9Answer(const Family9Camera& c) {
  Bytes b(516, 0);
  Put(b, 0, {0x44, 0x48, 0x01, 0x08});
  Put(b, 4, c.ip);
  Put(b, 20, c.mask);
  Put(b, 36, c.gw);
  Put(b, 52, c.dns1);
  Put(b, 68, c.dns2);
  Put(b, 84, {c.mac[0], c.mac[1], c.mac[2], c.mac[3], c.mac[4], c.mac[5]});
  PutLE16(b, 90, c.httpPort);
  Put(b, 92, c.devId);
  Put(b, 124, c.name);
  Put(b, 204, c.version);
  Put(b, 236, c.user);
  Put(b, 268, c.pwd);
  Put(b, 301, {c.dhcp});
  Put(b, 324, c.ddnsServer);
  Put(b, 388, "t9host");
  Put(b, 452, c.ddnsUser);
  Put(b, 484, c.ddnsPwd);
  return b;
}

}  // namespace kestrova::testing
