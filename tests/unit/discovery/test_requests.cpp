// Search requests of a round, byte for byte.
#include <gtest/gtest.h>

#include "core/discovery/cgi_search.h"
#include "core/discovery/discovery_protocol.h"
#include "unit/discovery/wire_bytes.h"

namespace kestrova {
namespace {

using test::Bytes;
using test::Cat;
using test::Hex;
using test::Zeros;

TEST(SearchRequests, GoldenBytes) {
  struct Case { const char* name; Bytes built; Bytes expected; };
  const Case cases[] = {
      {"family 2", BuildFamily2Search(),
       Hex("4d 4f 5f 49  00 00  00 00 00 00 00 00 00 00 00  04 00 00 00  00 00 00 00  00 00 00 01")},
      {"IMAGIAQUERY,0", BuildImagiaQuery(), Hex("49 4d 41 47 49 41 51 55 45 52 59 2c 30")},
      {"uicam query", BuildUicamQuery(), Hex("75 69 63 61 6d 20 71 75 65 72 79")},
      {"family 5", BuildFamily5Search(),
       Hex("53 45 41 52 43 48 20 2a 20 43 54 50 2f 31 2e 30 0d 0a"
           "46 72 6f 6d 3a 30 2e 30 2e 30 2e 30 0d 0a 0d 0a")},
      {"family 8", BuildFamily8Search(), Hex("10 10 01 0f 00 00 00 00")},
      {"family 9", BuildFamily9Search(), Hex("44 48 01 01")},
      {"SQ610", BuildSq610Search(),
       Cat({Hex("53 51 36 31 30"),
            Hex("10 06"), Zeros(6), Hex("20 10"), Zeros(16), Hex("21 10"), Zeros(16),
            Hex("11 04"), Zeros(4), Hex("12 04"), Zeros(4), Hex("13 04"), Zeros(4),
            Hex("14 04"), Zeros(4), Hex("1f 04"), Zeros(4), Hex("22 10"), Zeros(16),
            Hex("23 10"), Zeros(16), Hex("24 04"), Zeros(4), Hex("28 04"), Zeros(4),
            Hex("25 1e"), Zeros(30), Hex("26 01"), Zeros(1),
            Zeros(256 - 162)})},
  };
  for (const Case& c : cases) EXPECT_EQ(c.built, c.expected) << c.name;
  EXPECT_EQ(BuildFamily2Search().size(), 27u);
  EXPECT_EQ(BuildSq610Search().size(), 256u);
}

TEST(SearchRequests, RoundOrderSocketsAndPorts) {
  using S = DiscoverySocket;
  struct Step { S from; uint16_t port; Bytes bytes; };
  auto expectRound = [](int round, const std::vector<Step>& steps) {
    std::vector<OutDatagram> got = BuildSearchRound(round);
    ASSERT_EQ(got.size(), steps.size()) << "round " << round;
    for (std::size_t i = 0; i < steps.size(); ++i) {
      EXPECT_EQ(got[i].from, steps[i].from) << "round " << round << " step " << i;
      EXPECT_EQ(got[i].port, steps[i].port) << "round " << round << " step " << i;
      EXPECT_EQ(got[i].bytes, steps[i].bytes) << "round " << round << " step " << i;
    }
  };
  const Bytes imagia = Hex("49 4d 41 47 49 41 51 55 45 52 59 2c 30");
  std::vector<Step> rest = {
      {S::Family9Search, 8600, Hex("44 48 01 01")},
      {S::IdUDPServer1, 4000, BuildSq610Search()},  // bytes checked above
      {S::IdUDPServer2, 10000, BuildFamily2Search()},
      {S::IdUDPServer3, 10139, Hex("75 69 63 61 6d 20 71 75 65 72 79")},
      {S::IdUDPServer4, 7999, BuildFamily5Search()},
      {S::IdUDPServer5, 6801, Hex("10 10 01 0f 00 00 00 00")},
  };
  std::vector<Step> withImagia = rest;
  withImagia.insert(withImagia.begin(), Step{S::IdUDPServer1, 10000, imagia});
  // "IMAGIAQUERY,0" only on rounds 0, 3, 6, ...
  for (int round : {0, 3, 6, 99}) expectRound(round, withImagia);
  for (int round : {1, 2, 4, 5, 100}) expectRound(round, rest);
}

TEST(SearchRequests, SocketBindOrder) {
  auto socks = DiscoverySocketsInBindOrder();
  const std::pair<DiscoverySocket, uint16_t> expected[] = {
      {DiscoverySocket::IdUDPServer2, 10000}, {DiscoverySocket::IdUDPServer1, 10001},
      {DiscoverySocket::IdUDPServer3, 10002}, {DiscoverySocket::IdUDPServer4, 7999},
      {DiscoverySocket::IdUDPServer5, 6800}};
  for (std::size_t i = 0; i < socks.size(); ++i) {
    EXPECT_EQ(socks[i].socket, expected[i].first) << i;
    EXPECT_EQ(socks[i].preferredPort, expected[i].second) << i;
  }
}

}  // namespace
}  // namespace kestrova
