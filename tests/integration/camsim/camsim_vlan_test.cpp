// The virtual LAN with the simulated cameras of the example configuration, seen from the PC's
// namespace: real broadcasts on the real ports, a camera in another subnet, the family-8
// exchange, the control servers at the cameras' addresses, and cameras taking new addresses.
// Needs root and network namespaces; skipped otherwise. It builds a LAN of its own (its own
// namespace prefix), so it can run next to other users of the virtual LAN.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "sim_process.h"

using camsim_test::Bytes;
using camsim_test::SimProcess;
using camsim_test::WaitForLog;

namespace {

const std::string kVlan = std::string(KESTROVA_SOURCE_DIR) + "/tools/vlan/vlan.sh";
const std::string kLanConf = std::string(KESTROVA_SOURCE_DIR) + "/sim/camsim/examples/lan.conf";

std::string Prefix() { return "kvc" + std::to_string(getpid() % 100000); }

int Vlan(const std::string& args) {
  std::string cmd = "KV_PREFIX=" + Prefix() + " " + kVlan + " " + args + " >/dev/null 2>&1";
  return std::system(cmd.c_str());
}

// Runs fn on a thread that lives in the named namespace (sockets it makes belong there).
void InNamespace(const std::string& ns, const std::function<void()>& fn) {
  std::thread t([&] {
    int fd = open(("/run/netns/" + ns).c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(setns(fd, CLONE_NEWNET), 0);
    close(fd);
    fn();
  });
  t.join();
}

struct Datagram {
  Bytes bytes;
  std::string from;  // ip
  uint16_t local_port;
};

// The PC's side: broadcast-enabled sockets on the ports the assistant binds.
class PcSockets {
 public:
  explicit PcSockets(std::vector<uint16_t> ports) {
    for (uint16_t p : ports) {
      int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
      int one = 1;
      setsockopt(s, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
      sockaddr_in a{};
      a.sin_family = AF_INET;
      a.sin_port = htons(p);
      EXPECT_EQ(bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a), 0) << p;
      socks_[p] = s;
    }
  }
  ~PcSockets() {
    for (auto& [p, s] : socks_) close(s);
  }
  void Broadcast(uint16_t from, uint16_t to, const Bytes& b) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(to);
    a.sin_addr.s_addr = htonl(INADDR_BROADCAST);
    sendto(socks_.at(from), b.data(), b.size(), 0, reinterpret_cast<sockaddr*>(&a), sizeof a);
  }
  // Next datagram that `want` accepts (others, e.g. our own broadcasts, are skipped).
  std::optional<Datagram> Next(const std::function<bool(const Datagram&)>& want, int timeout_ms = 3000) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
      int left = int(std::chrono::duration_cast<std::chrono::milliseconds>(
                         deadline - std::chrono::steady_clock::now()).count());
      if (left <= 0) return std::nullopt;
      std::vector<pollfd> fds;
      std::vector<uint16_t> ports;
      for (auto& [p, s] : socks_) {
        fds.push_back({s, POLLIN, 0});
        ports.push_back(p);
      }
      if (poll(fds.data(), fds.size(), left) <= 0) return std::nullopt;
      for (size_t i = 0; i < fds.size(); ++i) {
        if (!(fds[i].revents & POLLIN)) continue;
        Datagram d;
        d.bytes.resize(4096);
        sockaddr_in from{};
        socklen_t len = sizeof from;
        ssize_t n = recvfrom(fds[i].fd, d.bytes.data(), d.bytes.size(), 0, reinterpret_cast<sockaddr*>(&from), &len);
        if (n < 0) continue;
        d.bytes.resize(size_t(n));
        char ip[INET_ADDRSTRLEN];
        inet_ntop(AF_INET, &from.sin_addr, ip, sizeof ip);
        d.from = ip;
        d.local_port = ports[i];
        if (want(d)) return d;
      }
    }
  }

 private:
  std::map<uint16_t, int> socks_;
};

std::string Http(const std::string& ip, uint16_t port, const std::string& target) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  inet_pton(AF_INET, ip.c_str(), &a.sin_addr);
  if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    close(fd);
    return "";
  }
  std::string req = "GET " + target + " HTTP/1.1\r\nHost: " + ip + "\r\nConnection: close\r\n\r\n";
  send(fd, req.data(), req.size(), MSG_NOSIGNAL);
  std::string all;
  char buf[4096];
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 5000) <= 0) break;
    ssize_t n = recv(fd, buf, sizeof buf, 0);
    if (n <= 0) break;
    all.append(buf, size_t(n));
  }
  close(fd);
  return all;
}

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
    if (geteuid() != 0 || std::system("ip netns list >/dev/null 2>&1") != 0)
      GTEST_SKIP() << "needs root and network namespaces";
    Vlan("down");
    ASSERT_EQ(Vlan("up"), 0);
    up_ = true;
    ASSERT_TRUE(sim.StartCommand({"ip", "netns", "exec", Prefix() + "-cam", KESTROVA_CAMSIM_EXE, "--config",
                                  kLanConf, "--iface", "eth0", "--log", sim.LogPath(), "--upload-dir",
                                  sim.UploadDir()}))
        << sim.output;
  }
  void TearDown() override {
    sim.Stop();
    if (up_) Vlan("down");
  }
  SimProcess sim;
  bool up_ = false;
};

TEST_F(CamsimVlan, EveryFamilyIsFoundByBroadcastAndAnswersAtItsAddress) {
  InNamespace(Prefix() + "-pc", [&] {
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
    EXPECT_NE(Http("192.168.0.104", 80, "/get_params.cgi?user=admin&pwd=123456").find("var wifi_ssid="),
              std::string::npos);
    EXPECT_NE(Http("192.168.0.103", 80, "/get_status.cgi").find("HTTP/1.1 200"), std::string::npos);
  });
}

TEST_F(CamsimVlan, CamerasTakeNewAddressesAndAnswerThere) {
  InNamespace(Prefix() + "-pc", [&] {
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
    EXPECT_NE(Http("192.168.0.150", 80, "/get_status.cgi").find("HTTP/1.1 200"), std::string::npos);

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
