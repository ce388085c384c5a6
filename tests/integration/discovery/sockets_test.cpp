// The UDP socket wrapper on loopback.
#include <gtest/gtest.h>

#include "net/sockets/udp_socket.h"

namespace kestrova {
namespace {

TEST(UdpSocket, BindFreePortSkipsBusyPortsAndGivesUpAtTheEndOfTheRange) {
  UdpSocket busy;
  ASSERT_TRUE(busy.Bind(0, "127.0.0.1"));
  const uint16_t p = busy.LocalPort();
  ASSERT_NE(p, 0);

  UdpSocket s;
  ASSERT_TRUE(s.BindFreePort(p, "127.0.0.1", 1000));
  EXPECT_GT(s.LocalPort(), p);
  EXPECT_LT(s.LocalPort(), p + 1000);

  UdpSocket none;
  EXPECT_FALSE(none.BindFreePort(p, "127.0.0.1", 1));
  EXPECT_FALSE(none.IsOpen());  // inactive, as a socket whose range is exhausted stays

  UdpSocket top;  // never wraps past 65535
  UdpSocket holder;
  if (holder.Bind(65535, "127.0.0.1")) EXPECT_FALSE(top.BindFreePort(65535, "127.0.0.1", 1000));
}

TEST(UdpSocket, ReceiveGivesSenderAndFlagsDatagramsLongerThanTheLimit) {
  UdpSocket a, b;
  ASSERT_TRUE(a.Bind(0, "127.0.0.1"));
  ASSERT_TRUE(b.Bind(0, "127.0.0.1"));
  EXPECT_FALSE(b.Receive().has_value());  // nothing waiting: no block, no datagram

  std::vector<uint8_t> small(1024, 0x41), big(1025, 0x42);
  ASSERT_TRUE(a.SendTo("127.0.0.1", b.LocalPort(), small));
  ASSERT_TRUE(a.SendTo("127.0.0.1", b.LocalPort(), big));
  ASSERT_EQ(b.WaitReadable(5000), WaitResult::Readable);

  auto d1 = b.Receive();
  ASSERT_TRUE(d1);
  EXPECT_FALSE(d1->oversized);
  EXPECT_EQ(d1->data, small);
  EXPECT_EQ(d1->fromIp, "127.0.0.1");
  EXPECT_EQ(d1->fromPort, a.LocalPort());

  ASSERT_EQ(b.WaitReadable(5000), WaitResult::Readable);
  auto d2 = b.Receive();
  ASSERT_TRUE(d2);
  EXPECT_TRUE(d2->oversized);
  EXPECT_FALSE(b.Receive().has_value());  // the long one was taken off the queue
}

TEST(UdpSocket, SendToRejectsBadAddressesAndClosedSockets) {
  UdpSocket s;
  std::vector<uint8_t> one{1};
  EXPECT_FALSE(s.SendTo("127.0.0.1", 9, one));  // not open
  ASSERT_TRUE(s.Bind(0, "127.0.0.1"));
  EXPECT_FALSE(s.SendTo("", 9, one));
  EXPECT_FALSE(s.SendTo("127.0.0", 9, one));
  EXPECT_FALSE(s.SendTo("localhost", 9, one));
}

TEST(WakePipe, SignalMakesTheReadEndReadableUntilDrained) {
  WakePipe w;
  ASSERT_TRUE(w.Ok());
  const int fd[1] = {w.fd()};
  EXPECT_EQ(WaitAnyReadable(fd, 0), WaitResult::Timeout);
  w.Signal();
  w.Signal();
  EXPECT_EQ(WaitAnyReadable(fd, 1000), WaitResult::Readable);
  w.Drain();
  EXPECT_EQ(WaitAnyReadable(fd, 0), WaitResult::Timeout);
}

}  // namespace
}  // namespace kestrova
