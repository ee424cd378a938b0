/*
 * tcpsock_test.cpp - the system's sockets in the test's private network:
 * a receive never blocks, and 0.0.0.0 is never a destination.
 */
#include <gtest/gtest.h>

#include "netio.h"

namespace {

struct SystemSocket : testing::Test {
    system_net sys;
    int sock = 0;
    void SetUp() override
    {
        udp_open_error err = UDP_OPEN_OK;
        sock = sys.open_udp(KX_PORT, &err);
        ASSERT_NE(sock, 0);
    }
    void TearDown() override { sys.close_udp(sock); }
};

TEST_F(SystemSocket, AReceiveWithNothingThereReturnsAtOnce)
{
    char buf[16];
    int stored = 7;
    EXPECT_EQ(sys.recv_from(sock, buf, sizeof buf, &stored, nullptr), RECV_NONE);
    EXPECT_EQ(stored, 0);
}

TEST_F(SystemSocket, NothingIsSentToTheUnsetAddress)
{
    sockaddr_in none{}, self{};
    none.sin_family = AF_INET;
    none.sin_port = htons(KX_PORT);
    EXPECT_EQ(sys.send_to(sock, "kw", 2, none), -1);
    EXPECT_EQ(sys.wait_readable(sock, 100), WAIT_TIMEOUT) << "the PC's own socket got it";

    ASSERT_EQ(make_address("127.000.000.001", KX_PORT, &self), 1);
    EXPECT_EQ(sys.send_to(sock, "kw", 2, self), 2);
    char buf[16];
    int stored = 0;
    sockaddr_in from{};
    ASSERT_EQ(sys.wait_readable(sock, 1000), WAIT_READY);
    EXPECT_EQ(sys.recv_from(sock, buf, sizeof buf, &stored, &from), 2);
    EXPECT_TRUE(same_host(from, self));
}

} // namespace
