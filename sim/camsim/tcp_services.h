// TCP servers of one simulated camera: its web server (families 2, 8, 9; family 9 also on its
// upload port) and its CTP server (family 5). Each runs on its own threads and reaches the
// camera's live state only through the hooks, under the simulator's lock.
#pragma once

#include <atomic>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "config.h"

namespace kestrova::camsim {

enum class CameraEvent { Reboot, FactoryReset };

struct ServiceHooks {
  // Runs fn on the live state of the named camera under the simulator's lock; false when the
  // camera no longer exists.
  std::function<bool(const std::string& camera, const std::function<void(CameraConfig&)>& fn)> with_camera;
  std::function<void(const std::string& line)> log;
  std::function<void(const std::string& camera, CameraEvent e)> notify;
  std::function<void(const std::string& camera, const std::string& kind, const std::string& content)> keep_upload;
};

class TcpService {
 public:
  virtual ~TcpService() = default;
  // Binds ip:port (0: any free port) and starts serving; false when it cannot bind.
  virtual bool Start(const std::string& ip, int port) = 0;
  // Stops accepting, ends every connection and waits for the threads.
  virtual void Stop() = 0;
  virtual int port() const = 0;
};

std::unique_ptr<TcpService> MakeHttpService(const ServiceHooks& hooks, const std::string& camera,
                                            const std::string& tag);
std::unique_ptr<TcpService> MakeCtpService(const ServiceHooks& hooks, const std::string& camera);

}  // namespace kestrova::camsim
