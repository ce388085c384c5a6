// Firmware upgrade throughput in the virtual LAN: the PK2 transfer of a package against its
// per-chunk acknowledgement limit (messages x measured round trip), and the HTTP upload against
// a plain TCP transfer of the same bytes on the same link. Figures only, not a test.
//
//   upgrade_bench sink PORT                      (in the camera namespace) a TCP sink
//   upgrade_bench run --pk2 HOST:PORT --http HOST:PORT --sink HOST:PORT [--mib N] [--rounds N]
//                                                (in the PC namespace)
// run_upgrade_bench.sh builds the LAN, the simulated cameras and the sink and runs it.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "core/upgrade/pk2.h"
#include "net/http/tools.h"
#include "net/platform/scaled_clock.h"
#include "net/upgrade/pk2_transfer.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace kestrova;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

bool SendAll(int fd, const char* d, size_t n) {
  while (n > 0) {
    ssize_t k = send(fd, d, n, MSG_NOSIGNAL);
    if (k <= 0) return false;
    d += k;
    n -= size_t(k);
  }
  return true;
}

bool RecvN(int fd, char* d, size_t n) {
  while (n > 0) {
    ssize_t k = recv(fd, d, n, 0);
    if (k <= 0) return false;
    d += k;
    n -= size_t(k);
  }
  return true;
}

// The sink: "PING\n" is answered "p"; "DATA n\n" and n bytes are answered "k".
int Sink(int port) {
  int l = socket(AF_INET, SOCK_STREAM, 0);
  int one = 1;
  setsockopt(l, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(uint16_t(port));
  if (bind(l, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(l, 4) != 0) {
    std::perror("sink");
    return 1;
  }
  alarm(600);  // never outlives a benchmark run
  std::printf("sink: ready\n");
  std::fflush(stdout);
  for (;;) {
    int fd = accept(l, nullptr, nullptr);
    if (fd < 0) continue;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    std::thread([fd] {
      std::vector<char> buf(1 << 16);
      for (;;) {
        std::string line;
        char c;
        while (recv(fd, &c, 1, 0) == 1 && c != '\n') line += c;
        if (line == "QUIT") std::_Exit(0);
        if (line == "PING") {
          if (!SendAll(fd, "p", 1)) break;
        } else if (line.rfind("DATA ", 0) == 0) {
          size_t n = std::stoul(line.substr(5));
          while (n > 0) {
            ssize_t k = recv(fd, buf.data(), std::min(n, buf.size()), 0);
            if (k <= 0) break;
            n -= size_t(k);
          }
          if (!SendAll(fd, "k", 1)) break;
        } else {
          break;
        }
      }
      close(fd);
    }).detach();
  }
}

struct Endpoint {
  std::string host;
  int port = 0;
};

bool ParseEndpoint(const char* s, Endpoint& e) {
  std::string t = s;
  size_t c = t.rfind(':');
  if (c == std::string::npos) return false;
  e.host = t.substr(0, c);
  e.port = std::atoi(t.c_str() + c + 1);
  return e.port > 0;
}

int Connect(const Endpoint& e) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(uint16_t(e.port));
  inet_pton(AF_INET, e.host.c_str(), &a.sin_addr);
  if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

std::string U32(uint32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[i] = char((v >> (8 * i)) & 0xFF);
  return s;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

int Run(int argc, char** argv) {
  Endpoint pk2, http, sink;
  size_t mib = 4;
  int rounds = 3;
  for (int i = 2; i + 1 < argc; i += 2) {
    std::string a = argv[i];
    if (a == "--pk2") ParseEndpoint(argv[i + 1], pk2);
    else if (a == "--http") ParseEndpoint(argv[i + 1], http);
    else if (a == "--sink") ParseEndpoint(argv[i + 1], sink);
    else if (a == "--mib") mib = size_t(std::atoi(argv[i + 1]));
    else if (a == "--rounds") rounds = std::max(1, std::atoi(argv[i + 1]));
  }
  const size_t bytes = mib << 20;
  std::string data(bytes, '\0');
  for (size_t i = 0; i < bytes; ++i) data[i] = char((i * 131 + 17) % 251);
  const auto dir = std::filesystem::temp_directory_path() / ("kv-upgrade-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::string raw = (dir / "fw.bin").string(), pkgPath = (dir / "fw.pk2").string();
  std::ofstream(raw, std::ios::binary) << data;
  const std::string name = "rootfs.img";
  const std::string payload = U32(uint32_t(name.size())) + name + U32(uint32_t(bytes)) + data;
  std::ofstream(pkgPath, std::ios::binary) << std::string("PK2\0", 4) << std::string(20, 'v') << U32(1) << "FILE"
                                           << std::string(16, '.') << U32(uint32_t(payload.size())) << payload;

  // Round trip on the link: one byte each way, as a chunk and its answer are.
  std::vector<double> rtts;
  if (int fd = Connect(sink); fd >= 0) {
    char c;
    for (int i = 0; i < 200; ++i) {
      auto t0 = Clock::now();
      if (!SendAll(fd, "PING\n", 5) || !RecvN(fd, &c, 1)) break;
      rtts.push_back(Ms(Clock::now() - t0));
    }
    close(fd);
  }
  const double rtt = Median(rtts);

  // A plain transfer of the same bytes.
  std::vector<double> plain;
  for (int r = 0; r < rounds; ++r) {
    int fd = Connect(sink);
    if (fd < 0) break;
    const std::string head = "DATA " + std::to_string(bytes) + "\n";
    char c;
    auto t0 = Clock::now();
    if (SendAll(fd, head.data(), head.size()) && SendAll(fd, data.data(), data.size()) && RecvN(fd, &c, 1))
      plain.push_back(Ms(Clock::now() - t0));
    close(fd);
  }

  // The HTTP upload of a family-8 camera.
  std::vector<double> up;
  for (int r = 0; r < rounds; ++r) {
    THttpUpload u;
    u.Url = "http://" + http.host + ":" + std::to_string(http.port) + "/cgi-bin/upgrade_firmware.cgi?next_url=reboot.htm";
    u.FilePath = raw;
    u.PartType = "application/x-zip-compressed";
    u.User = "admin";
    u.Password = "secret8";
    auto t0 = Clock::now();
    const THttpUploadResult res = TTools::HttpUpload(u);
    if (res.Ok) up.push_back(Ms(Clock::now() - t0));
    else std::fprintf(stderr, "http upload failed: %s\n", res.Error.c_str());
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));  // the camera's restart
  }

  // The package transfer: from the first record to the last answer.
  SetTimeScale(0.001);
  std::vector<double> pk;
  for (int r = 0; r < rounds; ++r) {
    Clock::time_point first{}, last{};
    const upgrade::TTransferResult res =
        upgrade::UploadPackage(pkgPath, pk2.host, pk2.port, "admin", "vemra", [&](const upgrade::TPk2Progress& p) {
          if (p.Record == 1 && first == Clock::time_point{}) first = Clock::now();
          if (!p.AwaitingCamera && p.Sent == p.Total && p.Total) last = Clock::now();
          return true;
        });
    if (res.Ok && last > first) pk.push_back(Ms(last - first));
    else std::fprintf(stderr, "package transfer: %s %s\n", res.MessageKey.c_str(), res.Detail.c_str());
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
  }
  std::filesystem::remove_all(dir);
  if (int fd = Connect(sink); fd >= 0) {  // the sink's work is done
    SendAll(fd, "QUIT\n", 5);
    close(fd);
  }

  const size_t chunks = (bytes + upgrade::kMaxChunk - 1) / upgrade::kMaxChunk;
  const size_t messages = chunks + 3;  // greeting, announcement, chunks, digest
  const double mb = double(bytes) / 1e6;
  auto rate = [&](double ms) { return ms > 0 ? mb / (ms / 1000.0) : 0.0; };
  std::printf("payload: %zu MiB (%zu bytes); rounds: %d\n", mib, bytes, rounds);
  std::printf("round trip on the link (median of %zu): %.3f ms\n", rtts.size(), rtt);
  std::printf("plain TCP transfer:      %8.1f ms  %7.1f MB/s\n", Median(plain), rate(Median(plain)));
  std::printf("HTTP multipart upload:   %8.1f ms  %7.1f MB/s  (%.2f x the plain transfer's time)\n", Median(up),
              rate(Median(up)), Median(plain) > 0 ? Median(up) / Median(plain) : 0.0);
  std::printf("PK2 transfer:            %8.1f ms  %7.1f MB/s  (%zu messages of at most %zu bytes)\n", Median(pk),
              rate(Median(pk)), messages, upgrade::kMaxChunk);
  std::printf("acknowledgement limit:   %8.1f ms  (messages x round trip)  -> transfer at %.2f x the limit\n",
              double(messages) * rtt, double(messages) * rtt > 0 ? Median(pk) / (double(messages) * rtt) : 0.0);
  return pk.empty() || up.empty() || plain.empty() ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::string(argv[1]) == "sink") return Sink(std::atoi(argv[2]));
  if (argc >= 2 && std::string(argv[1]) == "run") return Run(argc, argv);
  std::fprintf(stderr, "usage: upgrade_bench sink PORT | run --pk2 H:P --http H:P --sink H:P [--mib N] [--rounds N]\n");
  return 2;
}
