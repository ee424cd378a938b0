/*
 * sim_socket_test.cpp - the real kxd40-sim program on loopback sockets:
 * datagrams waiting in several sockets are served in the order sent. The
 * rest of the program is met by every test that runs it.
 *
 * The test main has already moved this process into a private network with
 * only loopback up, and the simulator child inherits it, so 127.0.0.255
 * can stand in for a broadcast address and nothing leaves the machine.
 */
#include <gtest/gtest.h>

#include "sim_runner.h"
#include "tool_socket.h"

TEST(SimProgram, ServesInSendingOrderAndSlowModulesHoldUpNoOne)
{
    tool_socket tool;
    ASSERT_TRUE(tool.bound());
    sim_child sim({"--broadcast", "127.0.0.255", "--module", "127.0.0.2", "--latency", "1500",
                   "--module", "127.0.0.3"});
    ASSERT_TRUE(sim.wait_for("kxd40-sim: ready\n"));
    // Three sockets hold one datagram each when the simulator wakes up; the
    // broadcast keyword must still come before the "+ok" sent after it.
    sim.pause();
    tool.send("127.0.0.255", "KX-D40LOCATORPING");
    tool.send("127.0.0.2", "+ok");
    tool.send("127.0.0.2", "AT+VER\n");
    sim.resume();
    std::string from;
    EXPECT_EQ(tool.receive(&from), "127.0.0.2,ACCF23000002,KXD40-0002");
    EXPECT_EQ(tool.receive(&from), "+ok=V1.0.8\r\n\r\n") << "the keyword came first";
    EXPECT_EQ(tool.receive(&from), "127.0.0.3,ACCF23000003,KXD40-0003");
    EXPECT_EQ(from, "127.0.0.3") << "the slow module answers last";
}
