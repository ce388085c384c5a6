// kestrova-igdsim: a home router's Internet gateway device on its LAN address, as the router
// runs it: it answers SSDP searches on 239.255.255.250:1900, serves its device description at
// /rootDesc.xml, keeps a port-mapping table behind the SOAP control of its WANIPConnection:1
// service (/ctl/IPConn), and answers NAT-PMP public-address requests on port 5351.
//   kestrova-igdsim --lan IP --wan A.B.C.D [--http-port N (default 5000; 0: any)] [--max N]
//                   [--table FILE] [--state FILE] [--log FILE] [--pidfile FILE]
//                   [--no-upnp] [--no-natpmp]
// --wan: the public address the router reports (GetExternalIPAddress, NAT-PMP).
// --table: initial mappings, one a line: external-port protocol client internal-port enabled(1|0) description
// --state: the table in that form, written after every change.
// --no-upnp: a router without UPnP (only NAT-PMP answers). On the machine's own network only a
// loopback --lan is allowed, and neither SSDP nor NAT-PMP is started there.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>

#include "host_namespace.h"
#include "http_listener.h"
#include "igd.h"

namespace {

using kestrova::sim::igd::Device;
using kestrova::sim::igd::Mapping;

constexpr const char* kUuid = "4c1e0d2a-8b7f-4a39-9e21-6d5c3b2a1f00";

struct State {
  std::mutex mu;     // the device and its address
  std::mutex logMu;  // the log, written by the HTTP, SSDP and NAT-PMP threads
  std::string stateFile, logFile;
  std::atomic<bool> stop{false};
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
};

void Log(State& s, const std::string& line) {
  if (s.logFile.empty()) return;
  std::lock_guard<std::mutex> lock(s.logMu);
  std::ofstream(s.logFile, std::ios::app) << line << '\n';
}

void WriteState(const State& s, const Device& d) {
  if (s.stateFile.empty()) return;
  {
    std::ofstream out(s.stateFile + ".tmp", std::ios::binary);
    for (const Mapping& m : d.Table())
      out << m.ext << ' ' << m.protocol << ' ' << m.client << ' ' << m.in << ' ' << (m.enabled ? 1 : 0) << ' ' << m.desc
          << '\n';
  }
  std::rename((s.stateFile + ".tmp").c_str(), s.stateFile.c_str());
}

bool LoadTable(Device& d, const std::string& file) {
  std::ifstream in(file);
  if (!in) return false;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream s(line);
    Mapping m;
    int ext = 0, port = 0, enabled = 1;
    s >> ext >> m.protocol >> m.client >> port >> enabled;
    std::getline(s >> std::ws, m.desc);
    in_addr a{};
    if (!s.eof() && s.fail()) return false;
    if (ext < 1 || ext > 65535 || port < 1 || port > 65535 || (m.protocol != "TCP" && m.protocol != "UDP") ||
        inet_pton(AF_INET, m.client.c_str(), &a) != 1)
      return false;
    m.ext = static_cast<uint16_t>(ext);
    m.in = static_cast<uint16_t>(port);
    m.enabled = enabled != 0;
    d.Add(std::move(m));
  }
  return true;
}

int UdpSocket(const std::string& ip, uint16_t port) {
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  const int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  inet_pton(AF_INET, ip.c_str(), &a.sin_addr);
  if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

// Receives datagrams until the stop flag, answering each through `answer` (bounded poll).
template <typename F>
void Serve(State& s, int fd, F answer) {
  char buf[2048];
  while (!s.stop) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 200) <= 0) continue;
    sockaddr_in from{};
    socklen_t len = sizeof from;
    const ssize_t n = recvfrom(fd, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
    if (n < 0) continue;
    const auto out = answer(std::string_view(buf, static_cast<size_t>(n)));
    if (out) sendto(fd, out->data(), out->size(), 0, reinterpret_cast<sockaddr*>(&from), len);
  }
  close(fd);
}

void Usage() {
  std::fprintf(stderr,
               "usage: kestrova-igdsim --lan IP --wan A.B.C.D [--http-port N] [--max N] [--table FILE]\n"
               "                       [--state FILE] [--log FILE] [--pidfile FILE] [--no-upnp] [--no-natpmp]\n");
}

}  // namespace

int main(int argc, char** argv) {
  State st;
  std::string lan, wan, table, pidfile;
  long httpPort = 5000, max = 32;
  bool upnp = true, natpmp = true;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--no-upnp") {
      upnp = false;
      continue;
    }
    if (a == "--no-natpmp") {
      natpmp = false;
      continue;
    }
    if (i + 1 >= argc) {
      Usage();
      return 2;
    }
    const std::string v = argv[++i];
    if (a == "--lan") lan = v;
    else if (a == "--wan") wan = v;
    else if (a == "--http-port") httpPort = std::strtol(v.c_str(), nullptr, 10);
    else if (a == "--max") max = std::strtol(v.c_str(), nullptr, 10);
    else if (a == "--table") table = v;
    else if (a == "--state") st.stateFile = v;
    else if (a == "--log") st.logFile = v;
    else if (a == "--pidfile") pidfile = v;
    else {
      Usage();
      return 2;
    }
  }
  in_addr lanAddr{}, wanAddr{};
  if (inet_pton(AF_INET, lan.c_str(), &lanAddr) != 1 || inet_pton(AF_INET, wan.c_str(), &wanAddr) != 1 ||
      httpPort < 0 || httpPort > 65535 || max < 0 || max > 4096) {
    Usage();
    return 2;
  }
  const bool host = kestrova::sim::InHostNamespace();
  if (host && lan.rfind("127.", 0) != 0) {
    std::fprintf(stderr, "igdsim: on the machine's own network only a loopback --lan is allowed\n");
    return 2;
  }
  Device dev(wan, static_cast<size_t>(max));
  if (!table.empty() && !LoadTable(dev, table)) {
    std::fprintf(stderr, "igdsim: cannot read the table %s\n", table.c_str());
    return 2;
  }
  WriteState(st, dev);
  signal(SIGPIPE, SIG_IGN);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);

  kestrova::sim::HttpListener http;
  int bound = 0;
  std::thread ssdp, pmp;
  std::string base;  // http://LAN:PORT, set (under the lock) once the port is known
  if (upnp) {
    auto& svr = http.server();
    svr.set_payload_max_length(kestrova::sim::igd::kMaxSoapBody);
    svr.set_read_timeout(5, 0);
    svr.Get("/rootDesc.xml", [&](const httplib::Request&, httplib::Response& res) {
      std::lock_guard<std::mutex> lock(st.mu);
      res.set_content(kestrova::sim::igd::Description(base, kUuid), "text/xml; charset=\"utf-8\"");
      Log(st, "GET /rootDesc.xml 200");
    });
    svr.Post("/ctl/IPConn", [&](const httplib::Request& req, httplib::Response& res) {
      std::lock_guard<std::mutex> lock(st.mu);
      const auto rep = dev.Control(req.get_header_value("SOAPAction"), req.body);
      if (rep.changed) WriteState(st, dev);
      res.status = rep.http;
      res.set_content(rep.body, "text/xml; charset=\"utf-8\"");
      Log(st, "SOAP " + rep.log);
    });
    bound = http.Listen(lan, static_cast<int>(httpPort));
    if (bound < 0 || !http.WaitRunning()) {
      std::fprintf(stderr, "igdsim: cannot listen on %s:%ld\n", lan.c_str(), httpPort);
      return 1;
    }
    {
      std::lock_guard<std::mutex> lock(st.mu);
      base = "http://" + lan + ":" + std::to_string(bound);
    }
    if (!host) {
      const int fd = UdpSocket("0.0.0.0", 1900);
      ip_mreq m{};
      inet_pton(AF_INET, "239.255.255.250", &m.imr_multiaddr);
      m.imr_interface = lanAddr;
      if (fd < 0 || setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &m, sizeof m) != 0) {
        std::fprintf(stderr, "igdsim: cannot join the SSDP group on %s\n", lan.c_str());
        return 1;
      }
      const std::string location = base + "/rootDesc.xml";
      ssdp = std::thread([&st, fd, location] {
        Serve(st, fd, [&](std::string_view d) {
          auto a = kestrova::sim::igd::SsdpAnswer(d, location, kUuid);
          if (a) Log(st, "SSDP answered");
          return a;
        });
      });
    }
  }
  if (natpmp && !host) {
    const int fd = UdpSocket(lan, 5351);
    if (fd < 0) {
      std::fprintf(stderr, "igdsim: cannot bind NAT-PMP on %s\n", lan.c_str());
      return 1;
    }
    const uint32_t wanNet = wanAddr.s_addr;
    pmp = std::thread([&st, fd, wanNet] {
      Serve(st, fd, [&](std::string_view d) {
        const auto secs = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - st.start);
        auto a = kestrova::sim::igd::NatPmpAnswer(d, wanNet, static_cast<uint32_t>(secs.count()));
        if (a) Log(st, "NAT-PMP op " + std::to_string(static_cast<unsigned char>(d[1])));
        return a;
      });
    });
  }
  if (!pidfile.empty()) std::ofstream(pidfile) << getpid() << "\n";
  std::cout << "igdsim: ready on " << lan << ":" << bound << std::endl;
  int sig = 0;
  sigwait(&set, &sig);
  st.stop = true;
  if (ssdp.joinable()) ssdp.join();
  if (pmp.joinable()) pmp.join();
  http.Stop();
  return 0;
}
