#include "tcp_services.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <httplib.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

#include "cgi.h"
#include "ctp.h"
#include "http_listener.h"

namespace kestrova::camsim {

namespace {

// ---- web server ------------------------------------------------------------------------------

class HttpService : public TcpService {
 public:
  HttpService(const ServiceHooks& hooks, std::string camera, std::string tag)
      : hooks_(hooks), camera_(std::move(camera)), tag_(std::move(tag)) {}
  ~HttpService() override { Stop(); }

  bool Start(const std::string& ip, int port) override {
    web_ = std::make_unique<sim::HttpListener>();
    httplib::Server& svr = web_->server();
    svr.new_task_queue = [] { return new httplib::ThreadPool(4); };
    svr.set_payload_max_length(64u << 20);
    svr.set_read_timeout(5, 0);
    svr.set_keep_alive_max_count(100);
    auto handler = [this](const httplib::Request& req, httplib::Response& res) { Handle(req, res); };
    svr.Get(".*", handler);
    svr.Post(".*", handler);
    stopping_ = false;
    port_ = web_->Listen(ip, port);
    return port_ > 0;
  }

  void Stop() override {
    if (!web_) return;
    stopping_ = true;  // ends the answers that hang
    web_->Stop();
    web_.reset();
  }

  int port() const override { return port_; }

 private:
  void Handle(const httplib::Request& req, httplib::Response& res) {
    CgiRequest r;
    r.method = req.method;
    r.path = req.path;
    for (const auto& [k, v] : req.params) r.params.emplace(k, v);
    if (req.has_header("Authorization")) {
      r.basic = DecodeBasic(req.get_header_value("Authorization"));
      r.basic_malformed = !r.basic;
    }
    for (const auto& [field, f] : req.files) r.files.push_back({field, f.filename, f.content_type, f.content});

    CgiAnswer a;
    bool exists = hooks_.with_camera(camera_, [&](CameraConfig& cam) { a = HandleCgi(cam, r); });
    if (!exists) {
      res.status = 503;
      return;
    }
    hooks_.log("http cam=" + camera_ + " " + tag_ + " " + req.method + " " + req.target +
               (req.has_header("Authorization") ? (r.basic ? " basic=" + r.basic->first : " basic=malformed") : "") +
               " status=" + (a.hang ? std::string("hang") : std::to_string(a.status)) +
               (a.note.empty() ? "" : " note=" + a.note));
    if (a.hang) {
      // Accepted and never answered: hold the connection until the server stops.
      while (!stopping_) std::this_thread::sleep_for(std::chrono::milliseconds(20));
      res.status = 500;
      return;
    }
    for (const auto& [kind, content] : a.keep) hooks_.keep_upload(camera_, kind, content);
    res.status = a.status;
    if (a.ask_basic) res.set_header("WWW-Authenticate", "Basic realm=\"ipcamera\"");
    res.set_content(a.body, a.content_type.c_str());
    if (a.factory_reset) hooks_.notify(camera_, CameraEvent::FactoryReset);
    else if (a.reboot) hooks_.notify(camera_, CameraEvent::Reboot);
  }

  const ServiceHooks& hooks_;
  std::string camera_, tag_;
  std::unique_ptr<sim::HttpListener> web_;
  std::atomic<bool> stopping_{false};
  int port_ = 0;
};

// ---- CTP server ------------------------------------------------------------------------------

class CtpService : public TcpService {
 public:
  CtpService(const ServiceHooks& hooks, std::string camera) : hooks_(hooks), camera_(std::move(camera)) {}
  ~CtpService() override { Stop(); }

  bool Start(const std::string& ip, int port) override {
    lfd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (lfd_ < 0) return false;
    int one = 1;
    setsockopt(lfd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(port));
    inet_pton(AF_INET, ip.c_str(), &a.sin_addr);
    if (bind(lfd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(lfd_, 16) != 0) {
      close(lfd_);
      lfd_ = -1;
      return false;
    }
    socklen_t len = sizeof a;
    getsockname(lfd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    if (pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) return false;
    stopping_ = false;
    th_ = std::thread([this] { AcceptLoop(); });
    return true;
  }

  void Stop() override {
    if (lfd_ < 0) return;
    stopping_ = true;
    (void)!write(wake_[1], "x", 1);
    if (th_.joinable()) th_.join();
    {
      std::lock_guard<std::mutex> lock(mu_);
      for (auto& c : conns_)
        if (c->fd >= 0) shutdown(c->fd, SHUT_RDWR);  // wakes a send() to a peer that reads nothing
    }
    for (auto& c : conns_)
      if (c->th.joinable()) c->th.join();
    conns_.clear();
    close(lfd_);
    lfd_ = -1;
    close(wake_[0]);
    close(wake_[1]);
  }

  int port() const override { return port_; }

 private:
  struct Conn {
    int fd = -1;
    std::thread th;
    std::atomic<bool> done{false};
  };

  void AcceptLoop() {
    for (;;) {
      pollfd p[2] = {{lfd_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
      if (poll(p, 2, -1) < 0 && errno != EINTR) return;
      if (stopping_ || (p[1].revents & POLLIN)) return;
      if (!(p[0].revents & POLLIN)) continue;
      sockaddr_in from{};
      socklen_t flen = sizeof from;
      int fd = accept4(lfd_, reinterpret_cast<sockaddr*>(&from), &flen, SOCK_CLOEXEC);
      if (fd < 0) continue;
      int one = 1;
      setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
      std::lock_guard<std::mutex> lock(mu_);
      // Forget connections that ended.
      for (auto it = conns_.begin(); it != conns_.end();) {
        if ((*it)->done) {
          if ((*it)->th.joinable()) (*it)->th.join();
          it = conns_.erase(it);
        } else {
          ++it;
        }
      }
      auto c = std::make_unique<Conn>();
      c->fd = fd;
      Conn* raw = c.get();
      char ip[INET_ADDRSTRLEN] = "?";
      inet_ntop(AF_INET, &from.sin_addr, ip, sizeof ip);
      std::string peer = std::string(ip) + ":" + std::to_string(ntohs(from.sin_port));
      c->th = std::thread([this, raw, peer] {
        Serve(raw->fd, peer);
        {
          // Closed under the lock: Stop() never shuts down a number another socket got since.
          std::lock_guard<std::mutex> lock(mu_);
          close(raw->fd);
          raw->fd = -1;
        }
        raw->done = true;
      });
      conns_.push_back(std::move(c));
    }
  }

  // Waits up to ms for the stop request; true when asked to stop.
  bool Pause(int ms) {
    pollfd p{wake_[0], POLLIN, 0};
    return poll(&p, 1, ms) > 0 || stopping_;
  }

  bool SendAll(int fd, const char* d, size_t n) {
    while (n > 0) {
      ssize_t k = send(fd, d, n, MSG_NOSIGNAL);
      if (k <= 0) return false;
      d += k;
      n -= size_t(k);
    }
    return true;
  }

  // One upgrade-mode message from the front of buf: 1 handled, 0 incomplete, -1 close.
  int ServeUpgrade(int fd, const std::string& peer, std::string& buf, UpgradeSession& session) {
    UpgradeMessage m;
    long used = ParseUpgradeMessage(buf, m);
    if (used == 0) return 0;
    if (used < 0) {
      hooks_.log("ctp cam=" + camera_ + " from=" + peer + " bad upgrade message, closing");
      return -1;
    }
    buf.erase(0, size_t(used));
    std::vector<std::string> replies;
    std::string note;
    bool ready = false;
    int closeAfter = -1;
    bool exists = hooks_.with_camera(camera_, [&](CameraConfig& cam) {
      ready = cam.Setting("upgrade_mode") == "1";
      closeAfter = cam.SettingInt("pk2_close_after", -1);
      if (ready) replies = HandleUpgrade(cam, session, m, note);
    });
    if (!exists) return -1;
    if (!ready) {
      hooks_.log("ctp cam=" + camera_ + " from=" + peer + " upgrade message without a preceding exit");
      SendAll(fd, "REPLY ERROR\r\n", 13);
      return -1;
    }
    hooks_.log("pk2 cam=" + camera_ + " from=" + peer + " " + m.tag + " " + std::to_string(m.payload.size()) +
               " -> " + (replies.empty() ? "-" : replies.back()) + (note.empty() ? "" : " note=" + note));
    if (closeAfter >= 0 && ++session.messages > closeAfter) {
      // The camera drops the connection in the middle of the transfer, unanswered.
      hooks_.log("pk2 cam=" + camera_ + " from=" + peer + " " + m.tag + " closing mid-transfer (pk2_close_after)");
      session.records = 0;
      return -1;
    }
    for (auto& k : session.kept) hooks_.keep_upload(camera_, "pk2-" + k.name, k.content);
    session.kept.clear();
    for (size_t i = 0; i < replies.size(); ++i) {
      if (i > 0 && Pause(50)) return -1;  // a further answer follows "Continue" as its own segment
      std::string r = replies[i] + "\r\n";
      if (!SendAll(fd, r.data(), r.size())) return -1;
    }
    return 1;
  }

  void Serve(int fd, const std::string& peer) {
    hooks_.log("ctp cam=" + camera_ + " connect from=" + peer);
    UpgradeSession session;
    struct Done {
      CtpService* self;
      UpgradeSession& s;
      ~Done() {
        // A package went in: the camera restarts with it once the PC hangs up.
        if (s.records > 0 && !self->stopping_) self->hooks_.notify(self->camera_, CameraEvent::Reboot);
      }
    } done{this, session};
    std::string buf;
    for (;;) {
      pollfd p[2] = {{fd, POLLIN, 0}, {wake_[0], POLLIN, 0}};
      if (poll(p, 2, -1) < 0 && errno != EINTR) break;
      if (stopping_) break;
      if (!(p[0].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      char chunk[4096];
      ssize_t n = recv(fd, chunk, sizeof chunk, 0);
      if (n <= 0) break;
      buf.append(chunk, size_t(n));
      for (;;) {
        if (LooksLikeUpgradeMessage(buf)) {
          int r = ServeUpgrade(fd, peer, buf, session);
          if (r < 0) return;
          if (r == 0) break;
          continue;
        }
        CtpRequest req;
        long used = ParseCtpRequest(buf, req);
        if (used == 0) break;
        if (used < 0) {
          hooks_.log("ctp cam=" + camera_ + " from=" + peer + " not a CTP request, closing");
          return;
        }
        buf.erase(0, size_t(used));
        CtpAnswer a;
        int segment = 0, segmentMs = 0;
        bool closeMid = false, garbage = false;
        bool exists = hooks_.with_camera(camera_, [&](CameraConfig& cam) {
          a = HandleCtp(cam, req);
          segment = cam.SettingInt("ctp_segment", 0);
          segmentMs = cam.SettingInt("ctp_segment_ms", 50);
          closeMid = cam.Has(Fault::CloseMid);
          garbage = cam.Has(Fault::Garbage);
        });
        if (!exists) return;
        hooks_.log("ctp cam=" + camera_ + " from=" + peer + " cmd=" + req.command + " body=" +
                   std::to_string(req.body.size()) + (a.hang ? " hang" : "") +
                   (a.note.empty() ? "" : " note=" + a.note));
        if (a.hang) {
          while (!Pause(1000)) {
          }
          return;
        }
        std::string out = a.reply;
        if (garbage) out = "\x01\x02garbage\xff\r\n";
        if (closeMid) out.resize(out.size() / 2);
        if (segment > 0 && !garbage) {
          // The reply in several TCP segments with pauses between them.
          for (size_t off = 0; off < out.size(); off += size_t(segment)) {
            if (off > 0 && Pause(segmentMs)) return;
            if (!SendAll(fd, out.data() + off, std::min(out.size() - off, size_t(segment)))) return;
          }
        } else if (!SendAll(fd, out.data(), out.size())) {
          return;
        }
        if (closeMid) return;
        if (a.reboot) {
          hooks_.notify(camera_, CameraEvent::Reboot);
          return;
        }
      }
    }
  }

  const ServiceHooks& hooks_;
  std::string camera_;
  int lfd_ = -1;
  int wake_[2] = {-1, -1};
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::thread th_;
  std::mutex mu_;
  std::list<std::unique_ptr<Conn>> conns_;
};

}  // namespace

std::unique_ptr<TcpService> MakeHttpService(const ServiceHooks& hooks, const std::string& camera,
                                            const std::string& tag) {
  return std::make_unique<HttpService>(hooks, camera, tag);
}

std::unique_ptr<TcpService> MakeCtpService(const ServiceHooks& hooks, const std::string& camera) {
  return std::make_unique<CtpService>(hooks, camera);
}

}  // namespace kestrova::camsim
