// The simulator process: sockets, the event loop, the log, address management and run-time
// reconfiguration. The protocol work itself is in responder.* (UDP), cgi.* and ctp.* (TCP).
#pragma once

#include <netinet/in.h>

#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "config.h"
#include "host_network.h"
#include "tcp_services.h"

namespace kestrova::camsim {

struct Options {
  std::string config_path;
  std::string bind = "0.0.0.0";
  std::map<int, int> ports;  // family -> UDP service port (0: any free port)
  bool open_f4 = false;      // listen for family 4 even without a camera of it (--port f4=)
  std::string log_path;      // empty: stderr
  std::string iface;         // manage camera addresses on this interface (virtual LAN only)
  std::string pidfile;
  std::string upload_dir;    // where uploads are kept (default: a folder under /tmp)
  int tcp = -1;              // TCP servers: 1 on, 0 off, -1 default (on in the LAN, off on loopback)
};

// Thread-safe line log: one line per event, flushed at once.
class Log {
 public:
  bool Open(const std::string& path);
  void Line(const std::string& text);
  ~Log();

 private:
  std::mutex mu_;
  FILE* f_ = stderr;
  bool own_ = false;
};

class Simulator {
 public:
  explicit Simulator(Options o);
  ~Simulator();
  // Sets everything up; false (after printing why) when it cannot run.
  bool Start();
  // Runs until SIGTERM or SIGINT. Returns the exit status.
  int Run();

 private:
  struct Camera {
    CameraConfig configured;  // as last read from the file
    CameraConfig live;        // as the camera is now (guarded by mu_)
    int sock = -1;            // per-camera UDP socket bound to the camera's address (LAN mode)
    std::string bound_ip;
    std::unique_ptr<TcpService> web, ctp, upload;
    int web_port = 0, ctp_port = 0, upload_port = 0;  // loopback: keep the ports across restarts
    bool offline = false;     // restarting: answers nothing (guarded by mu_)
    bool lost = false;        // off the wire and not on a wireless network: waits for its cable
    long long down_at = 0, up_at = 0;  // scheduled restart (ms, monotonic), 0 = none
    uint16_t served_http_port = 0;
    std::string served_ip;
  };
  struct Shared {
    int family = 0;
    int sock = -1;
    uint16_t port = 0;
  };
  struct Pending {  // a slow camera's answer, sent from the camera's socket of the moment
    long long due_ms;
    std::string camera;
    int family;
    sockaddr_in to;
    std::vector<uint8_t> bytes;
    std::string what;
  };

  bool LoadCameras(bool reload);
  bool OpenShared();
  void OpenCameraSocket(Camera& c);
  void CloseCameraSocket(Camera& c);
  void StartServices(Camera& c, bool announce);
  void StopServices(Camera& c);
  void SyncAddresses();
  void OnDatagram(int sock, int family, Camera* only);
  void HandleFor(Camera& cam, const sockaddr_in& from, const uint8_t* data, size_t n,
                 std::string& targets);
  void Moved(Camera& cam);
  void Send(int sock, const sockaddr_in& to, const std::vector<uint8_t>& bytes, const std::string& what);
  void FlushPending();
  void RunTimers();
  void TakeEvents();
  void Reload();
  void DumpState();
  // SIGUSR2: every camera lost after a failed wireless join is on the wire again.
  void PlugCablesBack();
  void Emit(const std::string& line);
  uint16_t ServicePort(int family) const;
  int SocketFor(const std::string& camera, int family);
  bool IsOwnEndpoint(const sockaddr_in& a) const;
  Camera* Find(const std::string& section);
  long long NextTimer() const;

  Options opt_;
  Log log_;
  bool loopback_ = false;  // listening on loopback only: answer the sender, no address work
  bool tcp_ = false;
  std::vector<Shared> shared_;
  std::vector<Camera> cams_;
  std::mutex mu_;  // live camera state, shared with the TCP servers' threads
  std::vector<Pending> pending_;
  std::set<std::string> addrs_added_;  // "ip/len" this process added to the interface
  std::set<std::string> addrs_known_;  // every camera address it ever managed
  int sigfd_ = -1;
  int evfd_ = -1;  // wakes the loop when a TCP server reports an event
  std::mutex ev_mu_;
  std::vector<std::pair<std::string, CameraEvent>> events_;
  ServiceHooks hooks_;
  std::string upload_dir_;
  bool collecting_ = false;
  int reloads_ = 0;
  std::vector<std::string> deferred_;
};

}  // namespace kestrova::camsim
