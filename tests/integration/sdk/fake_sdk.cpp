// A fake SDK library for the driver's tests: its search runs a script of the test (on the
// caller's thread or a thread of its own), its configuration call records its arguments.
// Built in variants that lack one of the DVSNET_* functions (FAKE_SDK_NO_SEARCH, ..._CONFIG,
// ..._STOP).
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "integration/sdk/fake_sdk.h"

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

std::mutex g_mutex;
FakeSdkScript g_script = nullptr;
void* g_arg = nullptr;
bool g_ownThread = false;
std::thread g_thread;
int32_t g_searchResult = 0, g_configResult = 0;
std::map<std::string, int> g_calls;
int32_t g_searchArgs[3] = {};
DVSNET_SEARCH_CALLBACK g_callback = nullptr;
void* g_context = nullptr;
FakeSdkConfig g_config{};

void Count(const char* name) {
  std::lock_guard lock(g_mutex);
  ++g_calls[name];
}

void Copy(char (&to)[64], const char* from) {
  std::strncpy(to, from ? from : "(null)", sizeof to - 1);
  to[sizeof to - 1] = 0;
}

void JoinThread() {
  if (g_thread.joinable()) g_thread.join();
}

}  // namespace

FAKE_EXPORT void FakeSdk_SetScript(FakeSdkScript script, void* arg, int onOwnThread) {
  std::lock_guard lock(g_mutex);
  g_script = script;
  g_arg = arg;
  g_ownThread = onOwnThread != 0;
}

FAKE_EXPORT void FakeSdk_SetResult(int32_t searchResult, int32_t configResult) {
  std::lock_guard lock(g_mutex);
  g_searchResult = searchResult;
  g_configResult = configResult;
}

FAKE_EXPORT void FakeSdk_Join(void) { JoinThread(); }

FAKE_EXPORT void FakeSdk_Reset(void) {
  JoinThread();
  std::lock_guard lock(g_mutex);
  g_script = nullptr;
  g_arg = nullptr;
  g_ownThread = false;
  g_searchResult = g_configResult = 0;
  g_calls.clear();
  g_callback = nullptr;
  g_context = nullptr;
  g_config = FakeSdkConfig{};
}

FAKE_EXPORT int FakeSdk_Calls(const char* name) {
  std::lock_guard lock(g_mutex);
  auto it = g_calls.find(name);
  return it == g_calls.end() ? 0 : it->second;
}

FAKE_EXPORT void FakeSdk_LastSearch(int32_t* args, DVSNET_SEARCH_CALLBACK* callback, void** context) {
  std::lock_guard lock(g_mutex);
  std::memcpy(args, g_searchArgs, sizeof g_searchArgs);
  *callback = g_callback;
  *context = g_context;
}

FAKE_EXPORT const FakeSdkConfig* FakeSdk_LastConfig(void) { return &g_config; }

#ifndef FAKE_SDK_NO_SEARCH
FAKE_EXPORT int32_t DVSNET_SearchServers(int32_t waitMs, int32_t mode, DVSNET_SEARCH_CALLBACK callback,
                                         void* context, int32_t reserved) {
  Count("DVSNET_SearchServers");
  FakeSdkScript script;
  void* arg;
  bool own;
  int32_t result;
  {
    std::lock_guard lock(g_mutex);
    g_searchArgs[0] = waitMs;
    g_searchArgs[1] = mode;
    g_searchArgs[2] = reserved;
    g_callback = callback;
    g_context = context;
    script = g_script;
    arg = g_arg;
    own = g_ownThread;
    result = g_searchResult;
  }
  if (result != 0 || !script) return result;
  if (own) {
    JoinThread();
    g_thread = std::thread([=] { script(callback, context, arg); });
  } else {
    script(callback, context, arg);
  }
  return 0;
}
#endif

#ifndef FAKE_SDK_NO_CONFIG
FAKE_EXPORT int32_t DVSNET_ConfigServer(const uint8_t* mac, const char* user, const char* password,
                                        const char* name, const char* ip, int32_t httpPort, int32_t dataPort,
                                        const char* netMask, const char* gateway, const char* auxAddr,
                                        const char* dns, int32_t auxPort, int32_t dhcp) {
  Count("DVSNET_ConfigServer");
  std::lock_guard lock(g_mutex);
  FakeSdkConfig& c = g_config;
  c.macNull = mac == nullptr;
  if (mac) std::memcpy(c.mac, mac, 6);
  Copy(c.user, user);
  Copy(c.password, password);
  Copy(c.name, name);
  Copy(c.ip, ip);
  Copy(c.netMask, netMask);
  Copy(c.gateway, gateway);
  Copy(c.auxAddr, auxAddr);
  Copy(c.dns, dns);
  c.httpPort = httpPort;
  c.dataPort = dataPort;
  c.auxPort = auxPort;
  c.dhcp = dhcp;
  return g_configResult;
}
#endif

#ifndef FAKE_SDK_NO_STOP
FAKE_EXPORT int32_t DVSNET_StopSearch(void) {
  Count("DVSNET_StopSearch");
  JoinThread();  // a well-behaved library: no callback after it returns
  return 0;
}
#endif
