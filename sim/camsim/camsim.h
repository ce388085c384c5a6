// The simulator process: sockets, the event loop, the log, address management and run-time
// reconfiguration. The protocol work itself is in responder.* (UDP) and the control servers.
#pragma once

#include <netinet/in.h>

#include <cstdio>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "config.h"

namespace kestrova::camsim {

struct Options {
  std::string config_path;
  std::string bind = "0.0.0.0";
  std::map<int, int> ports;  // family -> UDP service port (0: any free port)
  std::string log_path;      // empty: stderr
  std::string iface;         // manage camera addresses on this interface (virtual LAN only)
  std::string pidfile;
  bool quiet_stdout = false;
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

// True when this process shares its network namespace with PID 1, i.e. it is on the host
// network (or that cannot be told, which is treated the same).
bool OnHostNetwork();

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
    CameraConfig live;        // as the camera is now (settings commands change it)
    int sock = -1;            // per-camera UDP socket bound to the camera's address (LAN mode)
    std::string bound_ip;
  };
  struct Shared {
    int family = 0;
    int sock = -1;
    uint16_t port = 0;
  };
  struct Pending {
    long long due_ms;
    int sock;
    sockaddr_in to;
    std::vector<uint8_t> bytes;
    std::string what;
  };

  bool LoadCameras(bool reload);
  bool OpenShared();
  void OpenCameraSocket(Camera& c);
  void CloseCameraSocket(Camera& c);
  void SyncAddresses();
  void OnDatagram(int sock, int family, Camera* only);
  void HandleFor(Camera& cam, const sockaddr_in& from, const uint8_t* data, size_t n,
                 std::string& targets);
  void Send(int sock, const sockaddr_in& to, const std::vector<uint8_t>& bytes, const std::string& what);
  void FlushPending();
  void Emit(const std::string& line);
  void Reload();
  void DumpState();
  uint16_t ServicePort(int family) const;
  bool IsOwnEndpoint(const sockaddr_in& a) const;

  Options opt_;
  Log log_;
  bool loopback_ = false;  // listening on loopback only: answer the sender, no address work
  std::vector<Shared> shared_;
  std::vector<Camera> cams_;
  std::vector<Pending> pending_;
  std::set<std::string> addrs_added_;  // "ip/len" this process added to the interface
  std::set<std::string> addrs_known_;  // every camera address it ever managed
  int sigfd_ = -1;
  bool collecting_ = false;
  int reloads_ = 0;
  std::vector<std::string> deferred_;
};

}  // namespace kestrova::camsim
