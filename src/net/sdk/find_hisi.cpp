#include "net/sdk/find_hisi.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <optional>
#include <unordered_map>

#include "core/discovery/sdk_report.h"

namespace kestrova {

// What a report needs of its driver, shared with the reports still running when the driver
// goes away.
struct TFind_Hisi::Gate {
  std::mutex m;
  std::condition_variable idle;
  ReportFn target;
  bool open = false;
  int running = 0;
};

namespace {

// The drivers alive now, by the context they give the library. A callback whose context is not
// here belongs to a driver that is gone (or to none) and is ignored.
std::mutex g_driversMutex;
std::unordered_map<const void*, std::shared_ptr<TFind_Hisi::Gate>>& Drivers() {
  static auto* m = new std::unordered_map<const void*, std::shared_ptr<TFind_Hisi::Gate>>;
  return *m;
}

// A text parameter: NULL is empty; at most kSdkTextMax bytes are read.
std::string Text(const char* p) { return p ? std::string(p, ::strnlen(p, kSdkTextMax)) : std::string(); }

void* OpenLibrary(const std::filesystem::path& path) {
#ifdef _WIN32
  return reinterpret_cast<void*>(::LoadLibraryW(path.c_str()));
#else
  // A bare file name would send the loader through its search path: always give it a path.
  const std::filesystem::path exact = path.has_parent_path() ? path : std::filesystem::path(".") / path;
  return ::dlopen(exact.c_str(), RTLD_NOW | RTLD_LOCAL);
#endif
}

void CloseLibrary(void* lib) {
#ifdef _WIN32
  ::FreeLibrary(reinterpret_cast<HMODULE>(lib));
#else
  ::dlclose(lib);
#endif
}

}  // namespace

TFind_Hisi::TFind_Hisi(const std::filesystem::path& library) : gate_(std::make_shared<Gate>()) {
  lib_ = OpenLibrary(library);
  if (!lib_) return;
  std::lock_guard lock(g_driversMutex);
  Drivers()[this] = gate_;
}

TFind_Hisi::~TFind_Hisi() {
  SetReport({});
  if (!lib_) return;
  if (auto stop = reinterpret_cast<DVSNET_StopSearch_t>(Function("DVSNET_StopSearch"))) stop();
  {
    std::lock_guard lock(g_driversMutex);
    Drivers().erase(this);
  }
  CloseLibrary(lib_);
  lib_ = nullptr;
}

void* TFind_Hisi::Function(const char* name) const {
  if (!lib_) return nullptr;
#ifdef _WIN32
  return reinterpret_cast<void*>(::GetProcAddress(reinterpret_cast<HMODULE>(lib_), name));
#else
  return ::dlsym(lib_, name);
#endif
}

void TFind_Hisi::SetReport(ReportFn fn) {
  std::lock_guard lock(gate_->m);
  gate_->open = static_cast<bool>(fn);
  gate_->target = std::move(fn);
}

bool TFind_Hisi::Search() {
  auto search = reinterpret_cast<DVSNET_SearchServers_t>(Function("DVSNET_SearchServers"));
  if (!search) return false;
  return search(kSdkSearchWaitMs, kSdkSearchMode, &SearchCallback, this, kSdkSearchReserved) == 0;
}

bool TFind_Hisi::Configure(const TDevInfo& rec) {
  auto config = reinterpret_cast<DVSNET_ConfigServer_t>(Function("DVSNET_ConfigServer"));
  if (!config) return false;
  const std::optional<TSdkConfigArgs> a = SdkConfigArgs(rec);
  if (!a) return false;
  return config(a->mac.data(), a->user.c_str(), a->password.c_str(), a->name.c_str(), a->ip.c_str(), a->httpPort,
                a->dataPort, a->netMask.c_str(), a->gateway.c_str(), a->auxAddr.c_str(), a->dns.c_str(), a->auxPort,
                a->dhcp) == 0;
}

bool TFind_Hisi::WaitReportsIdle(const std::function<void()>& pump, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  std::unique_lock lock(gate_->m);
  while (gate_->running > 0) {
    lock.unlock();
    if (pump) pump();
    lock.lock();
    if (gate_->running == 0) break;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    gate_->idle.wait_for(lock, std::chrono::milliseconds(5));
  }
  return true;
}

void DVSNET_CALL TFind_Hisi::SearchCallback(int32_t index, const char* name, const char* model, const char* ip,
                                            const uint8_t* mac, int32_t httpPort, int32_t dataPort,
                                            const char* netMask, const char* gateway, const char* auxAddr,
                                            const char* dns, uint16_t auxPort, int32_t flags, int32_t dhcp,
                                            void* context) {
  // Called from the library's code: nothing may be thrown back into it.
  try {
    std::shared_ptr<Gate> gate;
    {
      std::lock_guard lock(g_driversMutex);
      auto it = Drivers().find(context);
      if (it == Drivers().end()) return;
      gate = it->second;
    }
    TSdkReport r;
    r.index = index;
    r.name = Text(name);
    r.model = Text(model);
    r.ip = Text(ip);
    if (mac) {
      std::array<uint8_t, 6> bytes;
      std::memcpy(bytes.data(), mac, bytes.size());
      r.mac = bytes;
    }
    r.httpPort = httpPort;
    r.dataPort = dataPort;
    r.netMask = Text(netMask);
    r.gateway = Text(gateway);
    r.auxAddr = Text(auxAddr);
    r.dns = Text(dns);
    r.auxPort = auxPort;
    r.flags = flags;
    r.dhcp = dhcp;
    const std::optional<TDevInfo> rec = DeviceFromSdkReport(r);
    if (!rec) return;

    ReportFn target;
    {
      std::lock_guard lock(gate->m);
      if (!gate->open) return;
      target = gate->target;
      ++gate->running;
    }
    struct Done {
      Gate& g;
      ~Done() {
        {
          std::lock_guard lock(g.m);
          --g.running;
        }
        g.idle.notify_all();
      }
    } done{*gate};
    target(*rec);
  } catch (...) {
  }
}

}  // namespace kestrova
