// The credential dialog's test against the camera simulator on loopback: every family with the
// account its camera holds, and with a wrong password.
#include <gtest/gtest.h>

#include <QApplication>

#include <string>

#include "support/proxy_env.h"
#include "support/sim_process.h"
#include "net/ctp/ctp_socket.h"
#include "ui/dialogs/auth_input.h"

namespace kestrova {
namespace {

const char* kCameras = R"(
[f2cam]
family = 2
identity = MOI0A1B2C3D4
ip = 10.1.0.2
user = admin
pwd =

[f5cam]
family = 5
mac = 00:21:6B:10:20:30
ip = 10.1.0.5
user = admin
pwd = vemra

[f8cam]
family = 8
mac = 00:1e:2f:40:50:60
ip = 10.1.0.8
user = admin
pwd = pw8

[f9cam]
family = 9
mac = 00:1A:2B:3C:4D:5E
ip = 10.1.0.9
user = admin
pwd = 123456
)";

TEST(CredentialsAgainstSimulator, EveryFamilyAcceptsItsAccountAndRejectsAWrongPassword) {
  static int argc = 1;
  static char name[] = "gui_dialogs_camsim_test";
  static char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  test::ClearProxyEnvironment();

  testsupport::SimProcess sim;
  ASSERT_TRUE(sim.Start(kCameras, {"--tcp"})) << sim.output;
  struct Case {
    int family;
    const char* cam;
    const char* service;
    const char* password;
  } cases[] = {
      {2, "f2cam", "web", ""},
      {5, "f5cam", "ctp", "vemra"},
      {8, "f8cam", "web", "pw8"},
      {9, "f9cam", "web", "123456"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.cam);
    const uint16_t port = sim.TcpPort(c.cam, c.service);
    ASSERT_NE(port, 0);
    TfrmAuthInput dlg;
    dlg.SetTestEnabled(true);
    dlg.SetFamily(c.family);
    dlg.SetBaseAddress("http://127.0.0.1:" + std::to_string(port));
    EXPECT_EQ(dlg.TestCredentials("admin", c.password), 0);
    EXPECT_EQ(dlg.TestCredentials("admin", "wrong"), -2);
  }
  CtpPoolClear();
}

}  // namespace
}  // namespace kestrova
