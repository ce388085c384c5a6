// Calls into router plug-ins. A plug-in is a shared library with C linkage exporting
//   int32_t GetPortForward(const char* routerAddress, const char* user, const char* password, char** text);
//   int32_t SetPortForward(const char* routerAddress, const char* user, const char* password, char** text);
// and optionally  uint64_t FileVersion(void);
//
// Each call runs in a child process of its own: the library is loaded there, called and
// unloaded with the process, so a plug-in that crashes, hangs or scribbles over memory cannot
// take the program with it; such a call ends with status 6. The child hands the status and
// the answer back through a socket.
//
// The child is the helper program kestrova-plugin-host beside the running executable (or the
// one KESTROVA_PLUGIN_HELPER names): a fresh process, so that a plug-in whose code takes a
// lock (in the C library, the resolver, a library the program uses too) cannot find it held
// by a thread of the program that did not come along into a forked child. Without the helper
// the child is a fork of this process, which is sound for plug-ins that take no such lock.
#pragma once

#include <filesystem>
#include <string>

namespace kestrova {

// How long one plug-in call may take (unscaled ms) before the child is ended (status 6).
inline constexpr int kPluginCallTimeoutMs = 120000;

// The status code (low byte of the export's result); 6 when the library
// or the export is missing, the plug-in crashed or did not finish in time. text goes in (the
// request copied into the 102400-byte zero-filled buffer; a text that does not fit with its NUL
// gives 7 without a call) and comes out as the answer on success and on any status the export
// returned; on 6 it is left as it was.
int CallPlugin(const std::filesystem::path& library, const std::string& exportName, const std::string& routerAddress,
               const std::string& user, const std::string& password, std::string& text,
               int timeoutMs = kPluginCallTimeoutMs);

inline constexpr const char* kPluginHelperName = "kestrova-plugin-host";
// The helper program the calls run in; empty when there is none (a forked child makes them).
std::filesystem::path PluginHelperPath();
// The helper's whole work: one call as its standard input describes it, the reply on its
// standard output (the helper's main returns this).
int PluginHelperMain();

// The plug-in's version text ("1.0.0.9") from its FileVersion export; "" when the file is not a
// loadable library or has no such export.
std::string FileVersionText(const std::filesystem::path& library);

}  // namespace kestrova
