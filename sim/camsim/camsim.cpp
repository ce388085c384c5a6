#include "camsim.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>

#include "bytes.h"
#include "responder.h"
#include "wifi_join.h"

namespace kestrova::camsim {

namespace {

long long NowMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec * 1000LL + ts.tv_nsec / 1000000;
}

std::string Stamp() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  tm t{};
  gmtime_r(&ts.tv_sec, &t);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d.%03ld", t.tm_hour, t.tm_min, t.tm_sec,
                ts.tv_nsec / 1000000);
  return buf;
}

std::string Endpoint(const sockaddr_in& a) {
  char ip[INET_ADDRSTRLEN] = "?";
  inet_ntop(AF_INET, &a.sin_addr, ip, sizeof ip);
  return std::string(ip) + ":" + std::to_string(ntohs(a.sin_port));
}

bool IsLoopbackAddr(const std::string& ip) {
  auto a = ParseIPv4(ip);
  return a && (*a)[0] == 127;
}

sockaddr_in MakeAddr(const std::string& ip, uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  inet_pton(AF_INET, ip.c_str(), &a.sin_addr);
  return a;
}

// A non-blocking UDP socket bound to ip:port, broadcast allowed; -1 (errno set) on failure.
int OpenUdp(const std::string& ip, uint16_t port) {
  int s = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (s < 0) return -1;
  int one = 1;
  setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  setsockopt(s, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
  int buf = 1 << 20;  // a search round of many cameras arrives at once
  setsockopt(s, SOL_SOCKET, SO_RCVBUF, &buf, sizeof buf);
  setsockopt(s, SOL_SOCKET, SO_SNDBUF, &buf, sizeof buf);
  sockaddr_in a = MakeAddr(ip, port);
  if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    int e = errno;
    close(s);
    errno = e;
    return -1;
  }
  return s;
}

uint16_t BoundPort(int s) {
  sockaddr_in a{};
  socklen_t len = sizeof a;
  getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
  return ntohs(a.sin_port);
}

// The IPv4 addresses ("ip/len") on an interface, as `ip -o -4 addr show` lists them.
std::set<std::string> InterfaceAddrs(const std::string& iface) {
  std::set<std::string> out;
  std::string cmd = "ip -o -4 addr show dev '" + iface + "' 2>/dev/null";
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return out;
  char line[512];
  while (std::fgets(line, sizeof line, p)) {
    const char* in = std::strstr(line, " inet ");
    if (!in) continue;
    char addr[64] = "";
    if (std::sscanf(in + 6, "%63s", addr) == 1) out.insert(addr);
  }
  pclose(p);
  return out;
}

// Runs several `ip` commands in one process (`ip -force -batch -`); its exit status.
int RunIpBatch(const std::vector<std::string>& lines) {
  FILE* p = popen("ip -force -batch - >/dev/null 2>&1", "w");
  if (!p) return -1;
  for (const auto& l : lines) std::fprintf(p, "%s\n", l.c_str());
  int st = pclose(p);
  return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

std::string AddrWithPrefix(const CameraConfig& c) {
  auto p = MaskPrefix(c.mask);
  return c.ip + "/" + std::to_string(p ? *p : 24);
}

}  // namespace

// ---- log ------------------------------------------------------------------------------------

bool Log::Open(const std::string& path) {
  if (path.empty()) return true;
  FILE* f = std::fopen(path.c_str(), "a");
  if (!f) return false;
  f_ = f;
  own_ = true;
  return true;
}

void Log::Line(const std::string& text) {
  std::lock_guard<std::mutex> lock(mu_);
  std::fprintf(f_, "%s %s\n", Stamp().c_str(), text.c_str());
  std::fflush(f_);
}

Log::~Log() {
  if (own_) std::fclose(f_);
}

// ---- simulator ------------------------------------------------------------------------------

static bool g_host_network = true;

Simulator::Simulator(Options o) : opt_(std::move(o)) {
  hooks_.with_camera = [this](const std::string& name, const std::function<void(CameraConfig&)>& fn) {
    std::lock_guard<std::mutex> lock(mu_);
    Camera* c = Find(name);
    if (!c || c->offline) return false;
    fn(c->live);
    return true;
  };
  hooks_.log = [this](const std::string& line) { log_.Line(line); };
  hooks_.notify = [this](const std::string& name, CameraEvent e) {
    {
      std::lock_guard<std::mutex> lock(ev_mu_);
      events_.emplace_back(name, e);
    }
    uint64_t one = 1;
    (void)!write(evfd_, &one, sizeof one);
  };
  hooks_.keep_upload = [this](const std::string& name, const std::string& kind, const std::string& content) {
    hooks_.with_camera(name, [](CameraConfig& cam) { cam.extra["upgraded"] = "1"; });  // decides its return
    mkdir(upload_dir_.c_str(), 0755);
    std::string path = upload_dir_ + "/" + name + "-" + kind + ".bin";
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(content.data(), std::streamsize(content.size()));
    log_.Line("upload cam=" + name + " kind=" + kind + " bytes=" + std::to_string(content.size()) +
              " kept=" + path + (f ? "" : " (write failed)"));
  };
}

Simulator::~Simulator() {
  for (auto& c : cams_) StopServices(c);
  for (auto& c : cams_) CloseCameraSocket(c);
  for (auto& s : shared_)
    if (s.sock >= 0) close(s.sock);
  if (!opt_.iface.empty() && !addrs_added_.empty()) {
    std::vector<std::string> batch;
    for (const auto& a : addrs_added_) batch.push_back("addr del " + a + " dev " + opt_.iface);
    RunIpBatch(batch);
  }
  if (sigfd_ >= 0) close(sigfd_);
  if (evfd_ >= 0) close(evfd_);
  if (!opt_.pidfile.empty()) unlink(opt_.pidfile.c_str());
}

Simulator::Camera* Simulator::Find(const std::string& section) {
  for (auto& c : cams_)
    if (c.configured.section == section) return &c;
  return nullptr;
}

// The camera's own socket, else the family's shared one; -1 when neither exists.
int Simulator::SocketFor(const std::string& camera, int family) {
  Camera* c = Find(camera);
  if (c && c->sock >= 0) return c->sock;
  for (auto& s : shared_)
    if (s.family == family) return s.sock;
  return -1;
}

uint16_t Simulator::ServicePort(int family) const {
  auto it = opt_.ports.find(family);
  if (it != opt_.ports.end()) return uint16_t(it->second);
  switch (family) {
    case 2: return kF2Port;
    case 4: return kF4Port;
    case 5: return kF5Port;
    case 8: return kF8Port;
    case 9: return kF9Port;
  }
  return 0;
}

bool Simulator::Start() {
  if (!log_.Open(opt_.log_path)) {
    std::fprintf(stderr, "kestrova-camsim: cannot open log %s\n", opt_.log_path.c_str());
    return false;
  }
  g_host_network = OnHostNetwork();
  if (!ParseIPv4(opt_.bind)) {
    std::fprintf(stderr, "kestrova-camsim: --bind needs an IPv4 address\n");
    return false;
  }
  loopback_ = IsLoopbackAddr(opt_.bind);
  tcp_ = opt_.tcp < 0 ? !loopback_ : opt_.tcp == 1;
  upload_dir_ = opt_.upload_dir.empty() ? "/tmp/kestrova-camsim-" + std::to_string(getpid()) : opt_.upload_dir;
  if (g_host_network && !loopback_) {
    std::fprintf(stderr,
                 "kestrova-camsim: refusing to answer on the host network; run it inside the "
                 "virtual LAN (tools/vlan/vlan.sh cam ...) or with --bind 127.0.0.1\n");
    return false;
  }
  for (char ch : opt_.iface) {
    if (!std::isalnum(static_cast<unsigned char>(ch)) && ch != '-' && ch != '_' && ch != '.') {
      std::fprintf(stderr, "kestrova-camsim: --iface: not an interface name\n");
      return false;
    }
  }
  if (g_host_network && !opt_.iface.empty()) {
    std::fprintf(stderr, "kestrova-camsim: --iface is only for the virtual LAN\n");
    return false;
  }

  sigset_t set;
  sigemptyset(&set);
  for (int s : {SIGHUP, SIGTERM, SIGINT, SIGUSR1, SIGUSR2}) sigaddset(&set, s);
  sigprocmask(SIG_BLOCK, &set, nullptr);  // before any thread starts: they inherit the mask
  sigfd_ = signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
  evfd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  signal(SIGPIPE, SIG_IGN);

  if (!LoadCameras(false)) return false;
  if (!OpenShared()) return false;
  SyncAddresses();
  for (auto& c : cams_) OpenCameraSocket(c);

  if (!opt_.pidfile.empty()) {
    std::ofstream pf(opt_.pidfile);
    pf << getpid() << "\n";
  }
  for (auto& s : shared_) {
    std::printf("camsim: udp f%d %s:%u\n", s.family, opt_.bind.c_str(), s.port);
    log_.Line("listen udp family=" + std::to_string(s.family) + " at=" + opt_.bind + ":" +
              std::to_string(s.port));
  }
  for (auto& c : cams_) {
    std::printf("camsim: camera %s family %d ip %s\n", c.live.section.c_str(), c.live.family,
                c.live.ip.c_str());
    StartServices(c, true);
  }
  std::printf("camsim: ready\n");
  std::fflush(stdout);
  log_.Line(std::string("ready cameras=") + std::to_string(cams_.size()) +
            (loopback_ ? " mode=loopback" : " mode=lan") + (tcp_ ? " tcp=on" : " tcp=off"));
  return true;
}

bool Simulator::LoadCameras(bool reload) {
  std::string err;
  auto cfg = LoadConfig(opt_.config_path, err);
  if (!cfg) {
    if (reload) {
      log_.Line("reload failed: " + err + " (keeping the cameras as they are)");
    } else {
      std::fprintf(stderr, "kestrova-camsim: %s\n", err.c_str());
    }
    return false;
  }
  std::vector<Camera> next;
  for (auto& cc : cfg->cameras) {
    Camera cam;
    cam.configured = cc;
    cam.live = cc;
    Camera* old = Find(cc.section);
    if (old) {
      cam.web_port = old->web_port;
      cam.ctp_port = old->ctp_port;
      cam.upload_port = old->upload_port;
      if (old->configured == cc) {
        cam.live = old->live;  // unchanged in the file: keep what the PC did to it
      } else {
        log_.Line("reload camera=" + cc.section + " changed");
      }
    } else if (reload) {
      log_.Line("reload camera=" + cc.section + " added");
    }
    next.push_back(std::move(cam));
  }
  for (auto& c : cams_) {
    bool kept = std::any_of(next.begin(), next.end(),
                            [&](const Camera& n) { return n.configured.section == c.configured.section; });
    if (!kept) log_.Line("reload camera=" + c.configured.section + " removed");
    CloseCameraSocket(c);
  }
  std::lock_guard<std::mutex> lock(mu_);
  cams_ = std::move(next);
  return true;
}

bool Simulator::OpenShared() {
  // Family 4 (the SDK family) only when a camera of it is configured or its port is given, so
  // that configurations without it keep the four sockets they always had.
  std::vector<int> families = {2, 5, 8, 9};
  if (opt_.open_f4 || std::any_of(cams_.begin(), cams_.end(), [](const Camera& c) { return c.live.family == 4; }))
    families.insert(families.begin() + 1, 4);
  for (int family : families) {
    Shared s;
    s.family = family;
    s.sock = OpenUdp(opt_.bind, ServicePort(family));
    if (s.sock < 0) {
      std::fprintf(stderr, "kestrova-camsim: cannot bind UDP %s:%u for family %d: %s\n",
                   opt_.bind.c_str(), ServicePort(family), family, std::strerror(errno));
      return false;
    }
    s.port = BoundPort(s.sock);
    shared_.push_back(s);
  }
  return true;
}

void Simulator::OpenCameraSocket(Camera& c) {
  if (loopback_) return;  // loopback: every camera answers through the shared sockets
  uint16_t port = 0;
  for (auto& s : shared_)
    if (s.family == c.live.family) port = s.port;
  c.sock = OpenUdp(c.live.ip, port);
  if (c.sock < 0) {
    Emit("warn camera=" + c.live.section + " cannot bind " + c.live.ip + ":" + std::to_string(port) +
         " (" + std::strerror(errno) + "); answering from the shared socket");
    return;
  }
  c.bound_ip = c.live.ip;
}

void Simulator::CloseCameraSocket(Camera& c) {
  if (c.sock >= 0) close(c.sock);
  c.sock = -1;
  c.bound_ip.clear();
}

void Simulator::StartServices(Camera& c, bool announce) {
  if (!tcp_) return;
  std::string ip = loopback_ ? opt_.bind : c.live.ip;
  uint16_t httpPort = c.live.http_port;
  auto start = [&](std::unique_ptr<TcpService> svc, int& remembered, int want, const char* what) {
    // On loopback a free port, unless the camera is to be reached where its answers say.
    int port = loopback_ ? (remembered || c.live.Setting("listen_http_port") != "1" ? remembered : want) : want;
    if (!svc->Start(ip, port)) {
      Emit("warn camera=" + c.live.section + " cannot listen " + what + " on " + ip + ":" +
           std::to_string(port) + " (" + std::strerror(errno) + ")");
      return std::unique_ptr<TcpService>();
    }
    remembered = svc->port();
    Emit("listen tcp camera=" + c.live.section + " service=" + what + " at=" + ip + ":" +
         std::to_string(svc->port()));
    if (announce) std::printf("camsim: tcp %s %s %s:%d\n", c.live.section.c_str(), what, ip.c_str(), svc->port());
    return svc;
  };
  if (c.live.family == 5) {
    c.ctp = start(MakeCtpService(hooks_, c.live.section), c.ctp_port, httpPort, "ctp");
  } else if (c.live.family != 4) {  // the SDK family is configured over its UDP protocol only
    c.web = start(MakeHttpService(hooks_, c.live.section, "web"), c.web_port, httpPort, "web");
    if (c.live.family == 9 && httpPort != kF9Port)
      c.upload = start(MakeHttpService(hooks_, c.live.section, "upload"), c.upload_port, kF9Port, "upload");
  }
  c.served_ip = c.live.ip;
  c.served_http_port = httpPort;
}

void Simulator::StopServices(Camera& c) {
  for (auto* s : {&c.web, &c.ctp, &c.upload}) {
    if (*s) (*s)->Stop();
    s->reset();
  }
}

void Simulator::SyncAddresses() {
  if (opt_.iface.empty()) return;
  std::set<std::string> want;
  for (auto& c : cams_) want.insert(AddrWithPrefix(c.live));
  std::set<std::string> have = InterfaceAddrs(opt_.iface);
  std::vector<std::string> batch;
  for (const auto& a : want) {
    if (!have.count(a)) {
      batch.push_back("addr add " + a + " dev " + opt_.iface);
      addrs_added_.insert(a);
      Emit("addr add " + a + " dev " + opt_.iface);
    }
    addrs_known_.insert(a);
  }
  for (auto it = addrs_known_.begin(); it != addrs_known_.end();) {
    if (want.count(*it)) {
      ++it;
      continue;
    }
    if (have.count(*it)) {
      batch.push_back("addr del " + *it + " dev " + opt_.iface);
      Emit("addr del " + *it + " dev " + opt_.iface);
    }
    addrs_added_.erase(*it);
    it = addrs_known_.erase(it);
  }
  if (!batch.empty() && RunIpBatch(batch) != 0) Emit("warn some address changes on " + opt_.iface + " failed");
}

bool Simulator::IsOwnEndpoint(const sockaddr_in& a) const {
  uint16_t port = ntohs(a.sin_port);
  for (auto& c : cams_) {
    if (c.sock < 0) continue;
    sockaddr_in own = MakeAddr(c.bound_ip, 0);
    if (own.sin_addr.s_addr != a.sin_addr.s_addr) continue;
    for (auto& s : shared_)
      if (s.port == port) return true;
  }
  return false;
}

void Simulator::Emit(const std::string& line) {
  if (collecting_)
    deferred_.push_back(line);  // logged after the line of the datagram that caused it
  else
    log_.Line(line);
}

void Simulator::Send(int sock, const sockaddr_in& to, const std::vector<uint8_t>& bytes,
                     const std::string& what) {
  if (g_host_network && (ntohl(to.sin_addr.s_addr) >> 24) != 127) {
    Emit("blocked " + what + " to=" + Endpoint(to) + " (host network: loopback only)");
    return;
  }
  ssize_t n = sendto(sock, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                     sizeof to);
  Emit(n < 0 ? "txerr " + what + " to=" + Endpoint(to) + " " + std::strerror(errno)
             : "tx " + what + " to=" + Endpoint(to) + " len=" + std::to_string(bytes.size()));
}

void Simulator::HandleFor(Camera& cam, const sockaddr_in& from, const uint8_t* data, size_t n,
                          std::string& targets) {
  Outcome o;
  bool unicast = false;
  std::string section;
  int family = 0;
  {
    std::lock_guard<std::mutex> lock(mu_);
    section = cam.live.section;
    family = cam.live.family;
    unicast = cam.live.reply_unicast;
    if (cam.offline) {
      // Restarting: deaf to everything.
      if (ClassifyDatagram(family, ByteView(data, n)).find("search") != std::string::npos)
        targets += " " + section + ":restarting";
      return;
    }
    o = Respond(cam.live, ByteView(data, n));
  }
  if (!o.addressed) {
    if (!o.note.empty()) targets += " " + section + ":ignored(" + o.note + ")";
    return;
  }
  std::string tag = section;
  if (!o.faults_applied.empty()) {
    tag += "[";
    for (size_t i = 0; i < o.faults_applied.size(); ++i) tag += (i ? "," : "") + o.faults_applied[i];
    tag += "]";
  }
  if (!o.note.empty()) tag += "(" + o.note + ")";
  targets += " " + tag;

  sockaddr_in to = from;
  if (!loopback_ && !unicast) to.sin_addr.s_addr = htonl(INADDR_BROADCAST);
  int sock = SocketFor(section, family);
  for (auto& r : o.replies) {
    std::string what = "cam=" + section + " kind=" + r.kind;
    if (o.delay_ms > 0)
      pending_.push_back(Pending{NowMs() + o.delay_ms, section, family, to, std::move(r.bytes), what});
    else
      Send(sock, to, r.bytes, what);
  }
  if (o.settings_changed) Moved(cam);
}

// After new network settings: the camera takes its new address (and ports) in the LAN.
void Simulator::Moved(Camera& cam) {
  std::string ip, line;
  uint16_t port = 0;
  {
    std::lock_guard<std::mutex> lock(mu_);
    const auto& l = cam.live;
    ip = l.ip;
    port = l.http_port;
    line = "camera=" + l.section + " now ip=" + l.ip + " mask=" + l.mask + " gateway=" + l.gateway +
           " http_port=" + std::to_string(l.http_port) + " dhcp=" + (l.dhcp ? "1" : "0") + " name=" + l.name;
  }
  Emit(line);
  if (cam.bound_ip != ip || (cam.sock < 0 && !loopback_)) {
    SyncAddresses();
    CloseCameraSocket(cam);
    OpenCameraSocket(cam);
  }
  if (tcp_ && (cam.served_ip != ip || cam.served_http_port != port) && !cam.offline) {
    StopServices(cam);
    StartServices(cam, false);
  }
}

void Simulator::OnDatagram(int sock, int family, Camera* only) {
  for (int burst = 0; burst < 256; ++burst) {
    uint8_t buf[65536];
    sockaddr_in from{};
    socklen_t flen = sizeof from;
    ssize_t n = recvfrom(sock, buf, sizeof buf, MSG_TRUNC, reinterpret_cast<sockaddr*>(&from), &flen);
    if (n < 0) return;  // drained (EAGAIN) or error
    size_t got = std::min<size_t>(size_t(n), sizeof buf);
    if (IsOwnEndpoint(from)) continue;  // our own broadcast answers looping back
    std::string kind = ClassifyDatagram(family, ByteView(buf, got));
    std::string targets;
    collecting_ = true;
    if (only) {
      HandleFor(*only, from, buf, got, targets);
    } else {
      for (auto& c : cams_)
        if (c.configured.family == family) HandleFor(c, from, buf, got, targets);
    }
    log_.Line("rx from=" + Endpoint(from) + " port=" + std::to_string(BoundPort(sock)) +
              " len=" + std::to_string(n) + " kind=" + kind +
              (targets.empty() ? std::string(" answered=-") : " answered=" + targets.substr(1)) +
              " head=" + HexDump(ByteView(buf, got), 16));
    collecting_ = false;
    for (auto& l : deferred_) log_.Line(l);
    deferred_.clear();
  }
}

void Simulator::FlushPending() {
  long long now = NowMs();
  std::vector<Pending> later;
  for (auto& p : pending_) {
    if (p.due_ms <= now) {
      int sock = SocketFor(p.camera, p.family);
      if (sock >= 0) Send(sock, p.to, p.bytes, p.what);
    }
    else
      later.push_back(std::move(p));
  }
  pending_ = std::move(later);
}

void Simulator::TakeEvents() {
  uint64_t v = 0;
  (void)!read(evfd_, &v, sizeof v);
  std::vector<std::pair<std::string, CameraEvent>> evs;
  {
    std::lock_guard<std::mutex> lock(ev_mu_);
    evs.swap(events_);
  }
  for (auto& [name, e] : evs) {
    Camera* c = Find(name);
    if (!c || c->down_at || c->offline) continue;
    if (e == CameraEvent::FactoryReset) {
      std::lock_guard<std::mutex> lock(mu_);
      c->live = c->configured;
    }
    c->down_at = NowMs() + 100;  // let the answer that announced it reach the PC first
  }
}

void Simulator::RunTimers() {
  long long now = NowMs();
  for (auto& c : cams_) {
    if (c.down_at && c.down_at <= now) {
      c.down_at = 0;
      int restartMs = 0;
      {
        std::lock_guard<std::mutex> lock(mu_);
        c.offline = true;
        restartMs = c.live.SettingInt("restart_ms", 3000);
      }
      bool gone = false;
      {
        std::lock_guard<std::mutex> lock(mu_);
        gone = c.live.Setting("upgraded") == "1" && c.live.Setting("upgrade_return") == "never";
        c.live.extra.erase("upgraded");
      }
      StopServices(c);
      if (gone) {
        // The new firmware does not start: the camera stays away until the file is read again.
        log_.Line("camera=" + c.configured.section + " upgraded; never comes back");
        continue;
      }
      c.up_at = now + restartMs;
      log_.Line("camera=" + c.configured.section + " restarting for " + std::to_string(restartMs) + " ms");
    }
    if (c.up_at && c.up_at <= now) {
      c.up_at = 0;
      std::string joinLine;
      bool stayLost = false;
      int cableMs = -1;
      {
        std::lock_guard<std::mutex> lock(mu_);
        auto& l = c.live;
        if (c.lost) {
          // The cable is back: the camera is on the wire at its wired address again.
          c.lost = false;
          joinLine = "camera=" + l.section + " cable plugged back";
        } else if (l.Setting("wifi_changed") == "1") {
          // The user pulled the cable as told: the camera comes back only over its wireless.
          l.extra.erase("wifi_changed");
          const JoinOutcome j = DecideJoin(l);
          if (j.joined) {
            const std::string wip = l.Setting("wifi_ip");
            if (!wip.empty()) l.ip = wip;
            joinLine = "camera=" + l.section + " joined " + l.Setting("wifi_ssid") + " (" + j.why + "), at " + l.ip;
          } else {
            // Back on the wire at once unless the cable was pulled for a while (or for good).
            const std::string cable = l.Setting("cable_back_ms", "0");
            cableMs = cable == "never" ? -1 : l.SettingInt("cable_back_ms", 0);
            stayLost = cableMs != 0;
            joinLine = "camera=" + l.section + (stayLost ? " lost: " : " did not join: ") + j.why +
                       (!stayLost       ? "; back on the wire"
                        : cableMs > 0   ? "; cable back in " + std::to_string(cableMs) + " ms"
                                        : "; until the cable is plugged back");
          }
        }
        if (!stayLost) {
          c.offline = false;
          l.extra.erase("upgrade_mode");  // a restart ends the upgrade mode
        }
      }
      if (!joinLine.empty()) log_.Line(joinLine);
      if (stayLost) {
        c.lost = true;
        if (cableMs > 0) c.up_at = now + cableMs;
        continue;
      }
      Moved(c);  // a factory reset may have brought back another address
      if (!c.web && !c.ctp) StartServices(c, false);
      log_.Line("camera=" + c.configured.section + " up");  // after its servers listen again
    }
  }
}

void Simulator::PlugCablesBack() {
  const long long now = NowMs();
  for (auto& c : cams_)
    if (c.lost) c.up_at = now;  // comes up on the next timer round
}

long long Simulator::NextTimer() const {
  long long next = -1;
  auto consider = [&](long long t) {
    if (t && (next < 0 || t < next)) next = t;
  };
  for (auto& p : pending_) consider(p.due_ms);
  for (auto& c : cams_) {
    consider(c.down_at);
    consider(c.up_at);
  }
  return next;
}

void Simulator::Reload() {
  log_.Line("reload " + opt_.config_path);
  ++reloads_;
  for (auto& c : cams_) StopServices(c);
  if (!LoadCameras(true)) {
    for (auto& c : cams_) {
      if (c.sock < 0) OpenCameraSocket(c);
      if (!c.offline) StartServices(c, false);
    }
    log_.Line("reload-done count=" + std::to_string(reloads_) + " ok=0");
    return;
  }
  SyncAddresses();
  for (auto& c : cams_) {
    OpenCameraSocket(c);
    StartServices(c, false);
  }
  DumpState();
  log_.Line("reload-done count=" + std::to_string(reloads_) + " ok=1");
}

void Simulator::DumpState() {
  std::lock_guard<std::mutex> lock(mu_);
  for (auto& c : cams_) {
    std::string faults;
    for (Fault f : c.live.faults) faults += std::string(faults.empty() ? "" : ",") + FaultName(f);
    log_.Line("state camera=" + c.live.section + " family=" + std::to_string(c.live.family) +
              " ip=" + c.live.ip + " mask=" + c.live.mask + " http_port=" +
              std::to_string(c.live.http_port) + " faults=" + (faults.empty() ? "-" : faults) +
              (c.offline ? " restarting" : ""));
  }
}

int Simulator::Run() {
  for (;;) {
    std::vector<pollfd> fds;
    std::vector<std::pair<int, Camera*>> meta;  // family, camera (per-camera sockets)
    fds.push_back({sigfd_, POLLIN, 0});
    meta.push_back({0, nullptr});
    fds.push_back({evfd_, POLLIN, 0});
    meta.push_back({0, nullptr});
    for (auto& s : shared_) {
      fds.push_back({s.sock, POLLIN, 0});
      meta.push_back({s.family, nullptr});
    }
    for (auto& c : cams_) {
      if (c.sock < 0) continue;
      fds.push_back({c.sock, POLLIN, 0});
      meta.push_back({c.configured.family, &c});
    }
    long long next = NextTimer();
    int timeout = next < 0 ? -1 : int(std::max<long long>(0, next - NowMs()));
    int r = poll(fds.data(), fds.size(), timeout);
    if (r < 0 && errno != EINTR) {
      log_.Line(std::string("poll failed: ") + std::strerror(errno));
      return 1;
    }
    FlushPending();
    RunTimers();
    if (r <= 0) continue;
    if (fds[0].revents & POLLIN) {
      signalfd_siginfo si{};
      bool stop = false, reload = false;
      while (read(sigfd_, &si, sizeof si) == sizeof si) {
        if (si.ssi_signo == SIGHUP) reload = true;
        else if (si.ssi_signo == SIGUSR1) DumpState();
        else if (si.ssi_signo == SIGUSR2) PlugCablesBack();
        else stop = true;
      }
      if (stop) {
        log_.Line("stopping");
        return 0;
      }
      if (reload) {
        Reload();
        continue;  // the socket set changed
      }
    }
    if (fds[1].revents & POLLIN) TakeEvents();
    bool changed = false;
    for (size_t i = 2; i < fds.size() && !changed; ++i) {
      if (!(fds[i].revents & POLLIN)) continue;
      int sockBefore = meta[i].second ? meta[i].second->sock : 0;
      OnDatagram(fds[i].fd, meta[i].first, meta[i].second);
      // A camera that moved has a new socket: rebuild the poll set before going on.
      for (auto& c : cams_)
        if (c.sock >= 0 && std::none_of(fds.begin(), fds.end(), [&](const pollfd& p) { return p.fd == c.sock; }))
          changed = true;
      if (meta[i].second && meta[i].second->sock != sockBefore) changed = true;
    }
  }
}

}  // namespace kestrova::camsim
