// TFind_Hisi: the closed SDK library of family 4, loaded at run time by its exact path
// (286/libDVSNETClient.so in the program folder). Each function is looked up by name when an
// operation needs it; a library that does not load, or lacks the function, makes the operation
// report false. Nothing the library hands over is trusted: texts are read up to a bound, the
// hardware address may be missing, and a record that names no camera is dropped.
//
// Threads. Create, SetReport, Search, Configure and the destructor run on the owner's thread.
// The library may call the search callback on any thread, during Search or later; the callback
// builds the record and calls the report target on that thread. SetReport({}) closes the gate:
// a report that begins afterwards is dropped, one already running finishes. The destructor
// closes the gate, calls DVSNET_StopSearch and unloads the library; a callback that still comes
// afterwards (a library that keeps a thread) finds its driver gone and is ignored. It does not
// wait for a running report: the owner of the report target drains them first
// (WaitReportsIdle), since a library's StopSearch may wait for a thread that sits in a report.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>

#include "core/discovery/dev_info.h"

#ifdef _WIN32
#define DVSNET_CALL __stdcall
#else
#define DVSNET_CALL
#endif

extern "C" {
// The library's search callback (parameters 1, 3 and 13 mean nothing to this program). Every
// text may be NULL and is valid only during the call.
typedef void(DVSNET_CALL* DVSNET_SEARCH_CALLBACK)(int32_t index, const char* name, const char* model, const char* ip,
                                                  const uint8_t* mac, int32_t httpPort, int32_t dataPort,
                                                  const char* netMask, const char* gateway, const char* auxAddr,
                                                  const char* dns, uint16_t auxPort, int32_t flags, int32_t dhcp,
                                                  void* context);
typedef int32_t(DVSNET_CALL* DVSNET_SearchServers_t)(int32_t waitMs, int32_t mode, DVSNET_SEARCH_CALLBACK callback,
                                                     void* context, int32_t reserved);
typedef int32_t(DVSNET_CALL* DVSNET_ConfigServer_t)(const uint8_t* mac, const char* user, const char* password,
                                                    const char* name, const char* ip, int32_t httpPort,
                                                    int32_t dataPort, const char* netMask, const char* gateway,
                                                    const char* auxAddr, const char* dns, int32_t auxPort,
                                                    int32_t dhcp);
typedef int32_t(DVSNET_CALL* DVSNET_StopSearch_t)(void);
}

namespace kestrova {

class TFind_Hisi {
 public:
  // Receives each camera the library reports, on the library's thread. The record is valid
  // until the target returns.
  using ReportFn = std::function<void(const TDevInfo&)>;

  // Create: loads the library at that path.
  explicit TFind_Hisi(const std::filesystem::path& library);
  // Destroy: StopSearch when the library is loaded, then unload it.
  ~TFind_Hisi();
  TFind_Hisi(const TFind_Hisi&) = delete;
  TFind_Hisi& operator=(const TFind_Hisi&) = delete;

  bool Loaded() const { return lib_ != nullptr; }
  // The report target; empty drops the reports that begin from now on.
  void SetReport(ReportFn fn);
  // DVSNET_SearchServers(3000, 1, callback, this driver, 0); true when it returns 0.
  bool Search();
  // DVSNET_ConfigServer with the settings record's values (User and Pwd from the credential
  // dialog); true when it returns 0. False without calling when the record cannot be sent
  // (see SdkConfigArgs).
  bool Configure(const TDevInfo& rec);
  // Waits until no report is running in the target, calling pump between the looks (the
  // owner's merge of handed-over records); at most timeoutMs. True when none runs.
  bool WaitReportsIdle(const std::function<void()>& pump, int timeoutMs);

  // The callback handed to the library (public for the fuzz harness and the tests).
  static void DVSNET_CALL SearchCallback(int32_t index, const char* name, const char* model, const char* ip,
                                         const uint8_t* mac, int32_t httpPort, int32_t dataPort,
                                         const char* netMask, const char* gateway, const char* auxAddr,
                                         const char* dns, uint16_t auxPort, int32_t flags, int32_t dhcp,
                                         void* context);

  struct Gate;

 private:
  void* Function(const char* name) const;

  void* lib_ = nullptr;
  std::shared_ptr<Gate> gate_;
};

}  // namespace kestrova
