// kestrova-vendorsim: the vendor's DDNS service. See README.md.
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>
#include <sstream>
#include <thread>

#include "host_namespace.h"
#include "http_listener.h"
#include "vendor_state.h"

namespace {

using namespace kvsim;

struct Options {
  std::string config, bind = "0.0.0.0", log, pidfile;
  int port = 808;
};

void Usage() {
  std::fprintf(stderr,
               "usage: kestrova-vendorsim --config FILE [--bind ADDR] [--port N] [--log FILE] [--pidfile FILE]\n"
               "  --port 0 takes any free port; the port is printed as \"vendorsim: http ADDR:PORT\"\n");
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool IsLoopback(const std::string& addr) { return addr.rfind("127.", 0) == 0; }

std::string Printable(const std::string& s) {
  std::string out;
  for (unsigned char c : s) {
    if (c < 0x20 || c >= 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof(buf), "\\x%02x", c);
      out += buf;
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  return out;
}

class Service {
 public:
  Service(Options opt, bool hostNamespace) : opt_(std::move(opt)), hostNamespace_(hostNamespace) {}

  bool Load(std::string* error) {
    std::lock_guard<std::mutex> lock(mu_);
    return LoadLocked(error);
  }

  ServiceConfig Config() {
    std::lock_guard<std::mutex> lock(mu_);
    struct stat st{};
    if (stat(opt_.config.c_str(), &st) == 0 && st.st_mtim.tv_nsec + st.st_mtim.tv_sec * 1000000000LL != mtime_) {
      std::string error;
      if (!LoadLocked(&error)) Log("config not reloaded: " + error);
    }
    return cfg_;
  }

  void Log(const std::string& line) {
    std::lock_guard<std::mutex> lock(logMu_);
    std::cout << "vendorsim: " << line << std::endl;
    if (!opt_.log.empty()) {
      std::ofstream out(opt_.log, std::ios::app);
      out << line << "\n";
    }
  }

  // The reachability fetch: only to networks the configuration allows (loopback alone on the
  // machine's own network).
  bool Fetch(const std::string& host, uint16_t port, const std::string& path, int timeoutMs,
             const std::vector<Network>& allow) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* res = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &res) != 0 || !res) {
      Log("fetch " + host + ": cannot resolve");
      return false;
    }
    std::string ip;
    for (addrinfo* p = res; p; p = p->ai_next) {
      uint32_t a = ntohl(reinterpret_cast<sockaddr_in*>(p->ai_addr)->sin_addr.s_addr);
      if (Allowed(allow, a) && (!hostNamespace_ || (a >> 24) == 127)) {
        char buf[INET_ADDRSTRLEN];
        inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(p->ai_addr)->sin_addr, buf, sizeof(buf));
        ip = buf;
        break;
      }
    }
    freeaddrinfo(res);
    if (ip.empty()) {
      Log("fetch " + host + ": address not allowed");
      return false;
    }
    httplib::Client cli(ip, port);
    auto sec = std::chrono::milliseconds(timeoutMs);
    cli.set_connection_timeout(sec);
    cli.set_read_timeout(sec);
    cli.set_write_timeout(sec);
    httplib::Headers headers = {{"Host", port == 80 ? host : host + ":" + std::to_string(port)}};
    auto r = cli.Get(path, headers);
    bool ok = r && r->status == 200;
    Log("fetch http://" + host + ":" + std::to_string(port) + path + " -> " + (r ? std::to_string(r->status) : "no answer (" + httplib::to_string(r.error()) + ")"));
    return ok;
  }

  // Waits up to ms, or until the service stops.
  void Delay(int ms) {
    std::unique_lock<std::mutex> lock(stopMu_);
    stopCv_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping_; });
  }

  void Stop() {
    {
      std::lock_guard<std::mutex> lock(stopMu_);
      stopping_ = true;
    }
    stopCv_.notify_all();
  }

  const Options& Opt() const { return opt_; }
  bool HostNamespace() const { return hostNamespace_; }

 private:
  bool LoadLocked(std::string* error) {
    struct stat st{};
    if (stat(opt_.config.c_str(), &st) != 0) {
      if (error) *error = "cannot read " + opt_.config;
      return false;
    }
    auto cfg = ParseServiceConfig(ReadFile(opt_.config), error);
    mtime_ = st.st_mtim.tv_nsec + st.st_mtim.tv_sec * 1000000000LL;
    if (!cfg) return false;
    if (cfg->fetchAllow.empty()) cfg->fetchAllow.push_back(*ParseNetwork("127.0.0.0/8"));
    cfg_ = std::move(*cfg);
    return true;
  }

  Options opt_;
  bool hostNamespace_;
  std::mutex mu_, logMu_, stopMu_;
  std::condition_variable stopCv_;
  bool stopping_ = false;
  ServiceConfig cfg_;
  long long mtime_ = 0;
};

// The "down" service: takes every connection and closes it without a word.
int RunDown(Service& svc, int port) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  if (inet_pton(AF_INET, svc.Opt().bind.c_str(), &a.sin_addr) != 1 ||
      bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof(a)) != 0 || listen(fd, 16) != 0) {
    std::fprintf(stderr, "vendorsim: cannot listen on %s:%d: %s\n", svc.Opt().bind.c_str(), port, std::strerror(errno));
    return 1;
  }
  socklen_t len = sizeof(a);
  getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  std::cout << "vendorsim: http " << svc.Opt().bind << ":" << ntohs(a.sin_port) << " (down)" << std::endl;
  std::cout << "vendorsim: ready" << std::endl;
  for (;;) {
    int c = accept(fd, nullptr, nullptr);
    if (c < 0) {
      if (errno == EINTR) continue;
      break;
    }
    linger l{1, 0};  // reset, no orderly close
    setsockopt(c, SOL_SOCKET, SO_LINGER, &l, sizeof(l));
    close(c);
    svc.Log("connection dropped (down)");
  }
  close(fd);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options opt;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto next = [&]() -> std::string {
      if (i + 1 >= argc) {
        Usage();
        std::exit(2);
      }
      return argv[++i];
    };
    if (a == "--config") opt.config = next();
    else if (a == "--bind") opt.bind = next();
    else if (a == "--port") opt.port = std::atoi(next().c_str());
    else if (a == "--log") opt.log = next();
    else if (a == "--pidfile") opt.pidfile = next();
    else {
      Usage();
      return 2;
    }
  }
  if (opt.config.empty() || opt.port < 0 || opt.port > 65535) {
    Usage();
    return 2;
  }
  bool hostNs = kestrova::sim::InHostNamespace();
  if (hostNs && !IsLoopback(opt.bind)) {
    std::fprintf(stderr, "vendorsim: on the machine's own network only a loopback --bind is allowed\n");
    return 2;
  }
  Service svc(opt, hostNs);
  std::string error;
  if (!svc.Load(&error)) {
    std::fprintf(stderr, "vendorsim: %s\n", error.c_str());
    return 2;
  }
  if (!opt.pidfile.empty()) std::ofstream(opt.pidfile) << getpid() << "\n";

  if (svc.Config().fault == Fault::Down) return RunDown(svc, opt.port);

  // SIGTERM / SIGINT end the service (slow answers are cut short). Blocked before any thread
  // starts, so that only the wait at the end takes them.
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);

  kestrova::sim::HttpListener listener;
  httplib::Server& server = listener.server();
  server.Get(R"(.*)", [&](const httplib::Request& req, httplib::Response& res) {
    ServiceConfig cfg = svc.Config();
    std::map<std::string, std::string> query;
    for (const auto& [k, v] : req.params) query.emplace(k, v);
    FetchFn fetch = [&](const std::string& host, uint16_t port, const std::string& path, int timeoutMs) {
      return svc.Fetch(host, port, path, timeoutMs, cfg.fetchAllow);
    };
    Answer ans = Respond(cfg, req.path, query, fetch);
    std::string target = req.target.empty() ? req.path : req.target;
    svc.Log("GET " + Printable(target) + " from " + req.remote_addr + " -> " + std::to_string(ans.status) + " " +
            Printable(ans.body) + (ans.delayMs ? " (after " + std::to_string(ans.delayMs) + " ms)" : ""));
    if (ans.delayMs > 0) svc.Delay(ans.delayMs);
    res.status = ans.status;
    res.set_content(ans.body, "text/html");
  });

  int port = listener.Listen(opt.bind, opt.port);
  if (port < 0) {
    if (opt.port == 0) std::fprintf(stderr, "vendorsim: cannot listen on %s\n", opt.bind.c_str());
    else std::fprintf(stderr, "vendorsim: cannot listen on %s:%d\n", opt.bind.c_str(), opt.port);
    return 1;
  }
  listener.WaitRunning();  // "ready" once it accepts

  std::cout << "vendorsim: http " << opt.bind << ":" << port << std::endl;
  for (const auto& [id, a] : svc.Config().accounts) {
    std::cout << "vendorsim: account " << id << (a.registered ? "" : " unregistered") << (a.online ? " online " + a.remote : " offline")
              << std::endl;
  }
  std::cout << "vendorsim: ready" << std::endl;
  int sig = 0;
  sigwait(&set, &sig);
  svc.Stop();
  listener.Stop();
  return 0;
}
