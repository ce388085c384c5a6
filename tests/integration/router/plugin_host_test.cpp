// The plug-in host against plug-ins built for the test: arguments in, answers out, status from
// the low byte, and every way a plug-in can fail ending in status 6 with the program unharmed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "core/router/port_forward.h"
#include "net/router/plugin_host.h"

namespace kestrova {
namespace {

std::filesystem::path Plugin(const char* kind) { return std::filesystem::path(PLUGIN_DIR) / (std::string("plugin_") + kind + ".so"); }

TEST(PluginHost, TheArgumentsArriveAndTheAnswerComesBackFromTheHostsBuffer) {
  std::string text;
  EXPECT_EQ(CallPlugin(Plugin("echo"), "GetPortForward", "192.168.1.1", "admin", "pass word", text), 0);
  EXPECT_EQ(text, "get|192.168.1.1|admin|pass word|");  // GetPortForward gets an empty buffer
  text = "0<PortForwards/>";
  EXPECT_EQ(CallPlugin(Plugin("echo"), "SetPortForward", "192.168.1.1", "", "", text), 0);
  EXPECT_EQ(text, "set|192.168.1.1|||0<PortForwards/>");
}

TEST(PluginHost, TheStatusIsTheLowByteOfTheResult) {
  for (int status = 0; status <= 9; ++status) {
    for (const char* kind : {"echo", "high_bytes"}) {
      std::string text = std::to_string(status);
      EXPECT_EQ(CallPlugin(Plugin(kind), "SetPortForward", "r", "u", "p", text), status) << kind << " " << status;
      EXPECT_EQ(text, "set|r|u|p|" + std::to_string(status)) << "the answer is read on every status";
    }
  }
}

TEST(PluginHost, AnAnswerInThePluginsOwnBufferOrWithoutANulIsReadWithinItsBounds) {
  std::string text;
  EXPECT_EQ(CallPlugin(Plugin("own_buffer"), "GetPortForward", "r", "u", "p", text), 0);
  EXPECT_EQ(text, "from the plug-in's own buffer");
  text.clear();
  EXPECT_EQ(CallPlugin(Plugin("no_nul"), "GetPortForward", "r", "u", "p", text), 0);
  EXPECT_EQ(text, std::string(router::kPluginBufferSize, 'N'));
}

TEST(PluginHost, EveryFailureOfAPluginIsStatusSixAndLeavesTheTextAsItWas) {
  struct Case {
    const char* what;
    std::filesystem::path library;
    const char* exportName;
  } cases[] = {
      {"no such file", Plugin("missing"), "GetPortForward"},
      {"not a library", std::filesystem::path(KESTROVA_SOURCE_DIR) / "README.md", "GetPortForward"},
      {"export missing", Plugin("get_only"), "SetPortForward"},
      {"crash inside the call", Plugin("crash"), "GetPortForward"},
      {"never returns", Plugin("hang"), "GetPortForward"},
  };
  for (const Case& c : cases) {
    std::string text = "kept";
    // A short time-out for the one that hangs: the child is ended when it runs out.
    EXPECT_EQ(CallPlugin(c.library, c.exportName, "r", "u", "p", text, 500), router::kPluginProgramError) << c.what;
    EXPECT_EQ(text, "kept") << c.what;
  }
  // The plug-in without SetPortForward still reads the table.
  std::string text;
  EXPECT_EQ(CallPlugin(Plugin("get_only"), "GetPortForward", "r", "u", "p", text), 0);
}

TEST(PluginHost, ARequestThatDoesNotFitTheBufferIsNotSent) {
  std::string text(router::kPluginBufferSize, 'x');
  EXPECT_EQ(CallPlugin(Plugin("echo"), "SetPortForward", "r", "u", "p", text), router::kPluginBadParameters);
  text.resize(router::kPluginBufferSize - 1);  // with its NUL it just fits
  EXPECT_EQ(CallPlugin(Plugin("echo"), "SetPortForward", "r", "u", "p", text), 0);
  EXPECT_EQ(text.size(), router::kPluginBufferSize - 1);
  EXPECT_EQ(text.substr(0, 11), "set|r|u|p|x");
}

TEST(PluginHost, FileVersionTextFromTheOptionalExport) {
  EXPECT_EQ(FileVersionText(Plugin("echo")), "1.2.3.9");
  EXPECT_EQ(FileVersionText(Plugin("no_version")), "");
  EXPECT_EQ(FileVersionText(Plugin("missing")), "");
  EXPECT_EQ(FileVersionText(std::filesystem::path(KESTROVA_SOURCE_DIR) / "README.md"), "");
}

TEST(PluginHost, TheHelperNamedByTheEnvironmentIsTheOneCalled) {
  const char* helper = std::getenv("KESTROVA_PLUGIN_HELPER");
  if (!helper) GTEST_SKIP() << "this run calls through a forked child";
  EXPECT_EQ(PluginHelperPath(), std::filesystem::path(helper));
}

}  // namespace
}  // namespace kestrova
