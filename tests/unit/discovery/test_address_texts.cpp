// Addresses from the wire: the dotted-quad test, the family parsers that take a camera's
// address from its own datagram, and the one builder of URLs to a camera.
#include <gtest/gtest.h>

#include <string>

#include "core/discovery/cgi_search.h"
#include "core/discovery/discovery_protocol.h"
#include "core/discovery/ip_text.h"
#include "unit/discovery/address_texts.h"
#include "unit/discovery/wire_bytes.h"

namespace kestrova {
namespace {

using test::Bytes;
using test::Cat;
using test::Hex;
using test::kAddressTexts;
using test::Raw;
using test::Text;
using test::Zeros;

// The address fields of a reply, as the camera sends them.
struct Addresses {
  std::string ip = "192.168.1.30", mask = "255.255.255.0", gateway = "192.168.1.1", dns1 = "8.8.8.8",
              dns2 = "8.8.4.4";
};

Bytes Family5Reply(const Addresses& a) {
  return Raw("REPLY * CTP/1.0\r\n-sn SN1\r\n-ip " + a.ip + "\r\n-netmask " + a.mask + "\r\n-portctp 81\r\n-mdns " +
             a.dns1 + "\r\n-sdns " + a.dns2 + "\r\n-mac 00:11:22:AA:BB:CC\r\n-gw " + a.gateway + "\r\n");
}

Bytes AddressBlock(const Addresses& a) {
  return Cat({Text(a.ip, 16), Text(a.mask, 16), Text(a.gateway, 16), Text(a.dns1, 16), Text(a.dns2, 16)});
}

// Information reply: header, NetBlock (addresses, ports, hardware address 00 11 22 aa bb cc,
// the rest zero), version text.
Bytes Family8InfoReply(const Addresses& a) {
  return Cat({Hex("10 10 12 8f 01 00 86 00"), AddressBlock(a), Hex("50 00 50 00 50 00 00 00"),
              Hex("00 11 22 aa bb cc"), Zeros(34), Raw("V1"), Hex("00")});
}

Bytes Family9Answer(const Addresses& a) {
  return Cat({Hex("44 48 01 08"), AddressBlock(a), Hex("00 1a 2b 3c 4d 5e"), Hex("50 00"), Zeros(516 - 92)});
}

// What each family's parser makes of the addresses: the record, or none when it is not listed.
struct Parsed {
  const char* family;
  std::optional<TDevInfo> rec;
};

std::vector<Parsed> ParseEveryFamily(const Addresses& a) {
  std::vector<Parsed> out;
  for (auto [family, bytes] : {std::pair{"family 5", Family5Reply(a)}, std::pair{"family 8", Family8InfoReply(a)}}) {
    const ParseResult r = ParseDatagram(bytes);
    if (r.accepted) {
      EXPECT_EQ(r.followUps.size(), std::string(family) == "family 8" ? 1u : 0u) << family;
      out.push_back({family, r.rec});
    } else {
      EXPECT_EQ(r.kind, DatagramKind::AddressRejected) << family;
      EXPECT_EQ(r.rec.DevType, -1) << family;
      EXPECT_TRUE(r.followUps.empty()) << family;  // no DDNS request for a camera that is not listed
      out.push_back({family, std::nullopt});
    }
  }
  out.push_back({"family 9", ParseFamily9Answer(Family9Answer(a))});
  return out;
}

TEST(ReportedAddress, OnlyDottedQuadAddressesAreListed) {
  for (const auto& t : kAddressTexts) {
    SCOPED_TRACE(std::string("address \"") + t.text + "\"");
    EXPECT_EQ(IsIPv4Text(t.text), t.ipv4);
    Addresses a;
    a.ip = t.text;
    for (const Parsed& p : ParseEveryFamily(a)) {
      EXPECT_EQ(p.rec.has_value(), t.ipv4) << p.family;
      if (p.rec) {
        EXPECT_EQ(p.rec->IP, t.text) << p.family;
      }
    }
  }
}

TEST(ReportedAddress, OtherAddressFieldsKeepOnlyAddresses) {
  // The camera is listed; a mask, gateway or DNS text that is not an address is not kept.
  std::string Addresses::*fields[] = {&Addresses::mask, &Addresses::gateway, &Addresses::dns1, &Addresses::dns2};
  std::string TDevInfo::*into[] = {&TDevInfo::NetMask, &TDevInfo::Gateway, &TDevInfo::DNS1, &TDevInfo::DNS2};
  for (const auto& t : kAddressTexts) {
    for (std::size_t f = 0; f < std::size(fields); ++f) {
      SCOPED_TRACE(std::string("field ") + std::to_string(f) + " \"" + t.text + "\"");
      Addresses a;
      a.*fields[f] = t.text;
      for (const Parsed& p : ParseEveryFamily(a)) {
        ASSERT_TRUE(p.rec.has_value()) << p.family;
        EXPECT_EQ((*p.rec).*into[f], t.ipv4 ? t.text : "") << p.family;
        EXPECT_EQ(p.rec->IP, "192.168.1.30") << p.family;
      }
    }
  }
}

TEST(ReportedAddress, FamilyFiveWithoutAddressIsNotListed) {
  const ParseResult r = ParseDatagram(Raw("REPLY * CTP/1.0\r\n-sn SN1\r\n-mac 00:11:22:AA:BB:CC\r\n"));
  EXPECT_FALSE(r.accepted);
  EXPECT_EQ(r.kind, DatagramKind::AddressRejected);
}

TEST(CameraUrl, BuiltOnlyFromAnAddressARequestMayGoTo) {
  for (const auto& t : kAddressTexts) {
    const std::string ip = t.text;
    const bool target = t.ipv4 && ip != "0.0.0.0" && ip != "255.255.255.255";
    EXPECT_EQ(CameraBaseUrl(ip, 81), target ? "http://" + ip + ":81" : "") << ip;
    TDevInfo d;
    d.IP = ip;
    d.HttpPort = 80;
    EXPECT_EQ(DeviceLanUrl(d), target ? "http://" + ip : "") << ip;
  }
  struct Case {
    const char* ip;
    uint16_t port;
    TUrlPort style;
    const char* scheme;
    const char* url;
  } cases[] = {
      {"192.168.1.20", 80, TUrlPort::UnlessDefault, "http", "http://192.168.1.20"},
      {"192.168.1.20", 80, TUrlPort::Always, "Http", "Http://192.168.1.20:80"},
      {"192.168.1.20", 0, TUrlPort::UnlessDefault, "http", "http://192.168.1.20:0"},
      {"223.255.255.254", 8600, TUrlPort::Always, "http", "http://223.255.255.254:8600"},
      // This host, multicast, reserved and broadcast addresses are no camera.
      {"0.1.2.3", 80, TUrlPort::UnlessDefault, "http", ""},
      {"224.0.0.1", 80, TUrlPort::UnlessDefault, "http", ""},
      {"240.0.0.1", 80, TUrlPort::UnlessDefault, "http", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(CameraBaseUrl(c.ip, c.port, c.style, c.scheme), c.url) << c.ip;
}

TEST(CameraUrl, BaseAddressesTakenApart) {
  using E = TCameraEndpoint;
  struct Case {
    const char* base;
    std::optional<E> endpoint;
  } cases[] = {
      {"http://192.168.1.20", E{"192.168.1.20", 80, false}},
      {"http://192.168.1.20:81", E{"192.168.1.20", 81, true}},
      {"Http://10.0.0.9:80", E{"10.0.0.9", 80, true}},
      {"HTTP://10.0.0.9:0", E{"10.0.0.9", 0, true}},
      {"http://x@10.0.0.9", std::nullopt},
      {"http://x@host/:81", std::nullopt},
      {"http://10.0.0.9/", std::nullopt},
      {"http://10.0.0.9:81/x", std::nullopt},
      {"http://10.0.0.9:80:81", std::nullopt},
      {"http://10.0.0.9:", std::nullopt},
      {"http://10.0.0.9:65536", std::nullopt},
      {"http://10.0.0.9:+81", std::nullopt},
      {"http://cam.example.test:81", std::nullopt},
      {"http://0.0.0.0:81", std::nullopt},
      {"https://10.0.0.9", std::nullopt},
      {"10.0.0.9:81", std::nullopt},
      {"", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseCameraBaseUrl(c.base), c.endpoint) << c.base;
}

TEST(CameraUrl, LanAddressesAndHostNames) {
  for (auto [ip, lan] : {std::pair{"127.0.0.1", true}, {"127.255.0.9", true}, {"10.1.2.3", true},
                         {"172.16.0.1", true}, {"172.31.255.255", true}, {"172.32.0.1", false},
                         {"172.15.0.1", false}, {"192.168.0.1", true}, {"192.169.0.1", false},
                         {"169.254.10.1", true}, {"8.8.8.8", false}, {"010.1.2.3", false}, {"x@10.1.2.3", false}})
    EXPECT_EQ(IsLanIPv4Text(ip), lan) << ip;
  for (auto [host, ok] : {std::pair{"ddns.example.test", true}, {"a-b_c.9", true}, {"", false},
                          {"x@evil.test", false}, {"evil.test/x", false}, {"a.test:81", false}, {"a b", false}})
    EXPECT_EQ(IsHostNameText(host), ok) << host;
}

}  // namespace
}  // namespace kestrova
