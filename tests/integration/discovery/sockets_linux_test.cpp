// The UDP socket's Linux-only behaviour: the receive-buffer cap that root may pass.
#include <gtest/gtest.h>
#include <unistd.h>

#include "net/sockets/udp_socket.h"

namespace kestrova {
namespace {

// A reply storm needs more than the system's default cap on receive buffers; with the right
// capability (root here) the request is granted past net.core.rmem_max.
TEST(UdpSocket, ReceiveBufferPassesTheSystemCapWhenAllowed) {
  UdpSocket s;
  ASSERT_TRUE(s.Bind(0, "127.0.0.1"));
  const int want = 64 << 20;  // above any usual rmem_max
  ASSERT_TRUE(s.SetReceiveBuffer(want));
  if (::geteuid() == 0)
    EXPECT_GE(s.ReceiveBufferSize(), want);
  else
    EXPECT_GT(s.ReceiveBufferSize(), 0);
  UdpSocket closed;
  EXPECT_FALSE(closed.SetReceiveBuffer(want));
  EXPECT_EQ(closed.ReceiveBufferSize(), 0);
}

}  // namespace
}  // namespace kestrova
