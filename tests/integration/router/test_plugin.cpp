// Router plug-ins for the host's tests, one behaviour per build (PLUGIN_KIND). Each answers
// GetPortForward with what it was called with, so the tests see the arguments arrive.
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#define KIND_ECHO 1        // answers in the host's buffer; status from the request's first byte
#define KIND_OWN_BUFFER 2  // points the variable at a buffer of its own
#define KIND_NO_NUL 3      // fills the whole host buffer, no NUL anywhere
#define KIND_GET_ONLY 4    // has no SetPortForward
#define KIND_CRASH 5       // dies inside the call
#define KIND_HANG 6        // never returns
#define KIND_HIGH_BYTES 7  // returns 0x100 | status: only the low byte counts
#define KIND_NO_VERSION 8  // like ECHO, without FileVersion

namespace {
char ownBuffer[64] = "from the plug-in's own buffer";

int32_t Answer(const char* address, const char* user, const char* password, char** text, const char* which) {
  std::string in = *text;
#if PLUGIN_KIND == KIND_CRASH
  std::raise(SIGSEGV);
#elif PLUGIN_KIND == KIND_HANG
  for (;;) ::pause();
#elif PLUGIN_KIND == KIND_OWN_BUFFER
  *text = ownBuffer;
  return 0;
#elif PLUGIN_KIND == KIND_NO_NUL
  std::memset(*text, 'N', 102400);
  return 0;
#endif
  std::string out = std::string(which) + "|" + address + "|" + user + "|" + password + "|" + in;
  if (out.size() > 102399) out.resize(102399);  // the host's buffer and its NUL
  std::memcpy(*text, out.data(), out.size() + 1);
  int32_t status = in.empty() ? 0 : int32_t(in[0] - '0');
  if (status < 0 || status > 9) status = 0;
#if PLUGIN_KIND == KIND_HIGH_BYTES
  status |= 0x7F00;
#endif
  return status;
}
}  // namespace

extern "C" {
int32_t GetPortForward(const char* address, const char* user, const char* password, char** text) {
  return Answer(address, user, password, text, "get");
}
#if PLUGIN_KIND != KIND_GET_ONLY
int32_t SetPortForward(const char* address, const char* user, const char* password, char** text) {
  return Answer(address, user, password, text, "set");
}
#endif
#if PLUGIN_KIND != KIND_NO_VERSION
uint64_t FileVersion(void) { return 0x0001000200030009ull; }
#endif
}
