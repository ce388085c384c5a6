// The simulators' HTTP listener: stopped right after it was started, before its accept loop
// can have begun (the server library ignores a stop at that moment), it still ends.
#include <gtest/gtest.h>

#include "http_listener.h"
#include "support/tcp_client.h"

namespace kestrova::sim {
namespace {

TEST(HttpListener, StopRightAfterListenEnds) {
  for (int i = 0; i < 200; ++i) {
    HttpListener web;
    ASSERT_GT(web.Listen("127.0.0.1", 0), 0);
    web.Stop();
  }
}

TEST(HttpListener, ServesUntilStoppedThenRefuses) {
  HttpListener web;
  web.server().Get("/x", [](const httplib::Request&, httplib::Response& res) { res.set_content("x", "text/plain"); });
  const int port = web.Listen("127.0.0.1", 0);
  ASSERT_GT(port, 0);
  EXPECT_EQ(web.Listen("127.0.0.1", 0), -1) << "one accept loop per listener";
  auto r = testsupport::HttpExchange(uint16_t(port), "GET", "/x");
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(r.body, "x");
  web.Stop();
  web.Stop();
  EXPECT_TRUE(testsupport::ConnectRefused(uint16_t(port)));
}

}  // namespace
}  // namespace kestrova::sim
