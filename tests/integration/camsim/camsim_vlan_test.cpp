// The virtual LAN with the simulated cameras of the example configuration, seen from the PC's
// namespace: real broadcasts on the real ports, a camera in another subnet, the family-8
// exchange, the control servers at the cameras' addresses, and cameras taking new addresses.
// Needs root and network namespaces; skipped otherwise. It builds a LAN of its own (its own
// namespace prefix), so it can run next to other users of the virtual LAN.
#include <gtest/gtest.h>

#include <string>

#include "support/net_namespace.h"
#include "support/pc_sockets.h"
#include "support/sim_process.h"
#include "support/tcp_client.h"
#include "support/virtual_lan.h"

using kestrova::testsupport::Bytes;
using kestrova::testsupport::Datagram;
using kestrova::testsupport::HttpExchange;
using kestrova::testsupport::PcSockets;
using kestrova::testsupport::RunInNamespace;
using kestrova::testsupport::SimProcess;
using kestrova::testsupport::VirtualLan;
using kestrova::testsupport::WaitForLog;

namespace {

const std::string kLanConf = std::string(KESTROVA_SOURCE_DIR) + "/sim/camsim/examples/lan.conf";

Bytes B(std::initializer_list<int> v) {
  Bytes b;
  for (int x : v) b.push_back(uint8_t(x));
  return b;
}
void Put(Bytes& b, size_t off, const std::string& s) {
  for (size_t i = 0; i < s.size(); ++i) b.at(off + i) = uint8_t(s[i]);
}

const Bytes kF2Search = B({'M', 'O', '_', 'I', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1});
const std::string kF5Search = "SEARCH * CTP/1.0\r\nFrom:0.0.0.0\r\n\r\n";

class CamsimVlan : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!VirtualLan::Available()) GTEST_SKIP() << "needs root and network namespaces";
    ASSERT_TRUE(lan.Up()) << lan.output;
    ASSERT_TRUE(sim.StartCommand({"ip", "netns", "exec", lan.Ns("cam"), kestrova::testsupport::CamsimPath(),
                                  "--config", kLanConf, "--iface", "eth0", "--log", sim.LogPath(), "--upload-dir",
                                  sim.UploadDir()}))
        << sim.output;
  }
  void TearDown() override { sim.Stop(); }
  VirtualLan lan{"", "kvc"};
  SimProcess sim;
};

TEST_F(CamsimVlan, EveryFamilyIsFoundByBroadcastAndAnswersAtItsAddress) {
  RunInNamespace(lan.Ns("pc"), [&] {
    PcSockets pc({10000, 7999, 6800, 3565});
    pc.Broadcast(10000, 10000, kF2Search);
    auto f2 = pc.Next([](const Datagram& d) { return d.local_port == 10000 && d.bytes.size() == 218; });
    ASSERT_TRUE(f2) << "family 2 (another subnet than the PC)";
    EXPECT_EQ(f2->from, "192.168.1.88");
    EXPECT_EQ(Bytes(f2->bytes.begin() + 57, f2->bytes.begin() + 61), B({192, 168, 1, 88}));

    pc.Broadcast(7999, 7999, Bytes(kF5Search.begin(), kF5Search.end()));
    auto f5 = pc.Next([](const Datagram& d) { return d.local_port == 7999 && d.bytes.size() > 5 && d.bytes[0] == 'R'; });
    ASSERT_TRUE(f5);
    EXPECT_EQ(f5->from, "192.168.0.102");

    pc.Broadcast(6800, 6801, B({0x10, 0x10, 0x01, 0x0F, 0, 0, 0, 0}));
    auto a8 = pc.Next([](const Datagram& d) { return d.local_port == 6800 && d.bytes.size() == 140; });
    ASSERT_TRUE(a8);
    Bytes info(a8->bytes.begin(), a8->bytes.begin() + 8);
    info[2] = 0x12;
    info[3] = 0x0F;
    info[6] = 0x80;
    info[7] = 0;
    info.insert(info.end(), a8->bytes.begin() + 12, a8->bytes.begin() + 140);
    pc.Broadcast(6800, 6801, info);
    auto i8 = pc.Next([](const Datagram& d) { return d.local_port == 6800 && d.bytes.size() == 168; });
    ASSERT_TRUE(i8);
    Bytes ddns(i8->bytes.begin(), i8->bytes.begin() + 8);
    ddns[2] = 0x0F;
    ddns[3] = 0x0F;
    ddns[6] = 0x80;
    ddns[7] = 0;
    ddns.insert(ddns.end(), i8->bytes.begin() + 8, i8->bytes.begin() + 136);
    pc.Broadcast(6800, 6801, ddns);
    auto d8 = pc.Next([](const Datagram& d) { return d.local_port == 6800 && d.bytes.size() == 400; });
    ASSERT_TRUE(d8);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(d8->bytes.data()) + 272), "h8c0003");

    pc.Broadcast(3565, 8600, B({0x44, 0x48, 0x01, 0x01}));
    auto f9 = pc.Next([](const Datagram& d) { return d.local_port == 3565 && d.bytes.size() == 516; });
    ASSERT_TRUE(f9);
    EXPECT_EQ(f9->from, "192.168.0.104");

    // The control servers listen at the cameras' own addresses.
    EXPECT_NE(HttpExchange("192.168.0.104", 80, "GET", "/get_params.cgi?user=admin&pwd=123456").body.find("var wifi_ssid="),
              std::string::npos);
    EXPECT_EQ(HttpExchange("192.168.0.103", 80, "GET", "/get_status.cgi").status, 200);
  });
}

TEST_F(CamsimVlan, CamerasTakeNewAddressesAndAnswerThere) {
  RunInNamespace(lan.Ns("pc"), [&] {
    PcSockets pc({10000, 3565, 8600});
    // Family 9 settings packet: the camera accepts (0x8000) and moves to .150.
    Bytes set(324, 0);
    Put(set, 0, "DH");
    set[2] = 0x02;
    set[3] = 0x01;
    Put(set, 4, "192.168.0.150");
    Put(set, 20, "255.255.255.0");
    Put(set, 36, "192.168.0.1");
    for (int i = 0; i < 6; ++i) set[84 + i] = B({0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E})[size_t(i)];
    set[90] = 80;
    Put(set, 124, "Office");
    Put(set, 236, "admin");
    Put(set, 268, "123456");
    pc.Broadcast(8600, 8600, set);
    auto ack = pc.Next([](const Datagram& d) { return d.local_port == 8600 && d.bytes.size() == 328; });
    ASSERT_TRUE(ack);
    EXPECT_EQ(Bytes(ack->bytes.begin() + 324, ack->bytes.end()), B({0x00, 0x80, 0x00, 0x00}));
    ASSERT_TRUE(WaitForLog(sim, "camera=office now ip=192.168.0.150"));
    pc.Broadcast(3565, 8600, B({0x44, 0x48, 0x01, 0x01}));
    auto f9 = pc.Next([](const Datagram& d) { return d.local_port == 3565 && d.bytes.size() == 516; });
    ASSERT_TRUE(f9);
    EXPECT_EQ(f9->from, "192.168.0.150");
    EXPECT_EQ(HttpExchange("192.168.0.150", 80, "GET", "/get_status.cgi").status, 200);

    // Family 2 camera from the other subnet into the PC's.
    Bytes m(84, 0);
    Put(m, 0, "MO_I");
    m[4] = 2;
    m[15] = 61;
    Put(m, 27, "MOI0A1B2C3D4");
    Put(m, 40, "admin");
    Bytes addr = B({192, 168, 0, 88, 255, 255, 255, 0, 192, 168, 0, 1, 8, 8, 8, 8, 0, 80});
    std::copy(addr.begin(), addr.end(), m.begin() + 66);
    pc.Broadcast(10000, 10000, m);
    ASSERT_TRUE(WaitForLog(sim, "camera=porch now ip=192.168.0.88"));
    pc.Broadcast(10000, 10000, kF2Search);
    auto f2 = pc.Next([](const Datagram& d) { return d.local_port == 10000 && d.bytes.size() == 218; });
    ASSERT_TRUE(f2);
    EXPECT_EQ(f2->from, "192.168.0.88");
  });
}

}  // namespace
