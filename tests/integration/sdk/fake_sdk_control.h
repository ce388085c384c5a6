// Steers a fake SDK library from a test: opens the same file the driver loads (one copy in the
// process) and calls its FakeSdk_* controls. Holding it open also keeps the library mapped
// after the driver unloads it, so that a late callback can be tried.
#pragma once

#include <dlfcn.h>

#include <string>

#include "integration/sdk/fake_sdk.h"

namespace kestrova::testing {

class FakeSdk {
 public:
  explicit FakeSdk(const std::string& path) : handle_(::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
    if (handle_) Reset();
  }
  ~FakeSdk() {
    if (!handle_) return;
    Reset();
    ::dlclose(handle_);
  }
  FakeSdk(const FakeSdk&) = delete;
  FakeSdk& operator=(const FakeSdk&) = delete;

  bool ok() const { return handle_ != nullptr; }
  void SetScript(FakeSdkScript script, void* arg, bool onOwnThread) {
    Fn<FakeSdk_SetScript_t>("FakeSdk_SetScript")(script, arg, onOwnThread ? 1 : 0);
  }
  void SetResult(int32_t search, int32_t config) { Fn<FakeSdk_SetResult_t>("FakeSdk_SetResult")(search, config); }
  // Waits for the library's own thread to end its script.
  void Join() { Fn<FakeSdk_Join_t>("FakeSdk_Join")(); }
  void Reset() { Fn<FakeSdk_Reset_t>("FakeSdk_Reset")(); }
  int Calls(const char* function) { return Fn<FakeSdk_Calls_t>("FakeSdk_Calls")(function); }
  struct Search {
    int32_t waitMs, mode, reserved;
    DVSNET_SEARCH_CALLBACK callback;
    void* context;
  };
  Search LastSearch() {
    int32_t a[3];
    Search s{};
    Fn<FakeSdk_LastSearch_t>("FakeSdk_LastSearch")(a, &s.callback, &s.context);
    s.waitMs = a[0], s.mode = a[1], s.reserved = a[2];
    return s;
  }
  const FakeSdkConfig& LastConfig() { return *Fn<FakeSdk_LastConfig_t>("FakeSdk_LastConfig")(); }

 private:
  template <class F>
  F Fn(const char* name) {
    return reinterpret_cast<F>(::dlsym(handle_, name));
  }
  void* handle_;
};

}  // namespace kestrova::testing
