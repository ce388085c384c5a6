// The built-in plug-in (automatic.so) against the simulated gateway on loopback: the gateway's
// table read as the program's table, new mappings added, a replaced mapping of another device
// deleted first, and a refused change reported as such with the table left as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "net/router/plugin_host.h"
#include "support/child_process.h"

namespace kestrova {
namespace {

const std::string kValid = "\xD3\xD0\xD0\xA7";  // GB2312, as the program's tables have it

class IgdPlugin : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = ::testing::TempDir() + "igd_plugin_" + std::to_string(::getpid());
    std::filesystem::create_directories(dir_);
    std::ofstream(dir_ + "/table.txt") << "81 TCP 192.168.0.50 81 1 web <&> co\n"
                                          "8554 TCP 192.168.0.60 554 1 nvr\n"
                                          "8554 UDP 192.168.0.60 554 1 nvr\n";
    ASSERT_TRUE(igd_.Spawn({IGDSIM, "--lan", "127.0.0.1", "--http-port", "0", "--wan", "100.64.3.4", "--table",
                            dir_ + "/table.txt", "--state", State(), "--log", dir_ + "/log"}));
    std::string line;
    ASSERT_TRUE(igd_.ReadLine(line, 20000)) << igd_.Output();
    const std::string ready = "igdsim: ready on 127.0.0.1:";
    ASSERT_EQ(line.rfind(ready, 0), 0u) << line;
    setenv("KESTROVA_UPNP_DESCRIPTION", ("http://127.0.0.1:" + line.substr(ready.size()) + "/rootDesc.xml").c_str(), 1);
  }
  void TearDown() override {
    igd_.Stop();
    unsetenv("KESTROVA_UPNP_DESCRIPTION");
    std::filesystem::remove_all(dir_);
  }
  std::string State() const { return dir_ + "/igd.state"; }
  std::vector<std::string> Table() const {
    std::ifstream in(State());
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
  }
  static int Call(const char* exportName, std::string& text, const char* address = "127.0.0.1") {
    return CallPlugin(AUTOMATIC_PLUGIN, exportName, address, "admin", "", text);
  }
  static std::string Row(const std::string& name, const std::string& ip, int pub, int pri, const std::string& proto,
                         int isUpdate) {
    return "<PortForward><Name>" + name + "</Name><IP>" + ip + "</IP><PubPort>" + std::to_string(pub) +
           "</PubPort><PriPort>" + std::to_string(pri) + "</PriPort><Protocol>" + proto + "</Protocol><Status>" +
           kValid + "</Status><OrderId></OrderId><isUpdate>" + std::to_string(isUpdate) + "</isUpdate></PortForward>";
  }
  static std::string Doc(const std::vector<std::string>& rows) {
    std::string x = "<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n<PortForwards Count=\"" +
                    std::to_string(rows.size()) + "\" MaxCount=\"32\">";
    for (const auto& r : rows) x += r;
    return x + "</PortForwards>";
  }
  std::string dir_;
  testsupport::ChildProcess igd_;
};

TEST_F(IgdPlugin, TheGatewaysTableIsReadWithItsPublicAddressAndTcpPlusUdpAsOneEntry) {
  std::string text;
  ASSERT_EQ(Call("GetPortForward", text), 0) << text;
  EXPECT_NE(text.find("<PortForwards Count=\"2\" MaxCount=\"1024\" WanAddress=\"100.64.3.4\">"), std::string::npos)
      << text;
  EXPECT_NE(text.find("<Name>web &lt;&amp;&gt; co</Name><IP>192.168.0.50</IP><PubPort>81</PubPort><PriPort>81</PriPort>"
                      "<Protocol>TCP</Protocol><Status>" + kValid),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("<IP>192.168.0.60</IP><PubPort>8554</PubPort><PriPort>554</PriPort><Protocol>TCP+UDP</Protocol>"),
            std::string::npos)
      << text;
}

TEST_F(IgdPlugin, NewEntriesAreAddedAndTheAnswerIsTheTableReadAfresh) {
  std::string text = Doc({Row("web", "192.168.0.50", 81, 81, "TCP", 0), Row("nvr", "192.168.0.60", 8554, 554, "TCP+UDP", 0),
                          Row("cam &lt;1&gt;", " 192.168.0.102 ", 554, 554, "tcp", 1),
                          Row("", "192.168.0.102", 5000, 5000, "TCP+UDP", 1)});
  ASSERT_EQ(Call("SetPortForward", text), 0) << text;
  EXPECT_EQ(Table(), (std::vector<std::string>{"81 TCP 192.168.0.50 81 1 web <&> co", "8554 TCP 192.168.0.60 554 1 nvr",
                                               "8554 UDP 192.168.0.60 554 1 nvr", "554 TCP 192.168.0.102 554 1 cam <1>",
                                               "5000 TCP 192.168.0.102 5000 1 192.168.0.102:5000",
                                               "5000 UDP 192.168.0.102 5000 1 192.168.0.102:5000"}));
  EXPECT_NE(text.find("Count=\"4\""), std::string::npos) << text;
  EXPECT_NE(text.find("<Name>cam &lt;1&gt;</Name><IP>192.168.0.102</IP><PubPort>554</PubPort>"), std::string::npos)
      << text;
}

TEST_F(IgdPlugin, AMappingTheTableReplacesIsDeletedBeforeTheNewOneIsAdded) {
  // The user agreed to replace the web server's port 81 (isUpdate 3) with the camera's, and the
  // table no longer holds the UDP half of the recorder's mapping.
  std::string text = Doc({Row("web", "192.168.0.50", 81, 81, "TCP", 3), Row("nvr", "192.168.0.60", 8554, 554, "TCP", 0),
                          Row("cam", "192.168.0.102", 81, 81, "TCP", 1)});
  ASSERT_EQ(Call("SetPortForward", text), 0) << text;
  EXPECT_EQ(Table(), (std::vector<std::string>{"8554 TCP 192.168.0.60 554 1 nvr", "81 TCP 192.168.0.102 81 1 cam"}));
  EXPECT_NE(text.find("<Name>cam</Name>"), std::string::npos) << text;
}

TEST_F(IgdPlugin, ARefusedOrUnreadableChangeIsAFailureAndTheTableStays) {
  const std::vector<std::string> before = Table();
  struct Case {
    const char* what;
    std::string request;
    int status;
  } cases[] = {
      // Port 81 still kept for the web server: the gateway answers 718 ConflictInMappingEntry.
      {"conflict the table keeps", Doc({Row("web", "192.168.0.50", 81, 81, "TCP", 0),
                                        Row("nvr", "192.168.0.60", 8554, 554, "TCP+UDP", 0),
                                        Row("cam", "192.168.0.102", 81, 81, "TCP", 1)}),
       4},
      {"not XML", "<PortForwards><PortForward>", 4},
      {"bad address", Doc({Row("cam", "192.168.0.300", 81, 81, "TCP", 1)}), 4},
      {"bad port", Doc({Row("cam", "192.168.0.102", 0, 81, "TCP", 1)}), 4},
      {"unknown protocol", Doc({Row("cam", "192.168.0.102", 82, 82, "ICMP", 1)}), 4},
  };
  for (Case& c : cases) {
    EXPECT_EQ(Call("SetPortForward", c.request), c.status) << c.what;
    EXPECT_EQ(Table(), before) << c.what;
  }
}

TEST_F(IgdPlugin, AChangeTheGatewayRefusesPartWayIsUndone) {
  // The web server's port 81 goes to the camera and the camera gets 554, but the recorder keeps
  // 8554, which the camera asks for as well: refused, and the first steps are taken back.
  std::vector<std::string> before = Table();
  std::string text = Doc({Row("web", "192.168.0.50", 81, 81, "TCP", 3), Row("nvr", "192.168.0.60", 8554, 554, "TCP+UDP", 0),
                          Row("cam &amp; co", "192.168.0.102", 81, 81, "TCP", 1), Row("cam", "192.168.0.102", 554, 554, "TCP", 1),
                          Row("cam", "192.168.0.102", 8554, 8554, "TCP", 1)});
  EXPECT_EQ(Call("SetPortForward", text), 4);
  std::vector<std::string> after = Table();
  std::sort(before.begin(), before.end());
  std::sort(after.begin(), after.end());
  EXPECT_EQ(after, before);
}

TEST_F(IgdPlugin, AnotherLoopbackAddressIsNotThisRouter) {
  std::string text;
  EXPECT_EQ(Call("GetPortForward", text, "127.0.0.2"), 2);
  text = Doc({Row("cam", "192.168.0.102", 82, 82, "TCP", 1)});
  EXPECT_EQ(Call("SetPortForward", text, "127.0.0.2"), 2);
  EXPECT_EQ(Table().size(), 3u);
}

}  // namespace
}  // namespace kestrova
