/*
 * sim_socket_test.cpp - the real kxd40-sim program on loopback sockets.
 *
 * The test main has already moved this process into a private network with
 * only loopback up, and the simulator child inherits it, so 127.0.0.255
 * can stand in for a broadcast address and nothing leaves the machine.
 */
#include <gtest/gtest.h>

#include "sim_runner.h"
#include "tool_socket.h"

#include <set>

namespace {

const std::string keyword = "KX-D40LOCATORPING";

/* One datagram to ip, and the answer, which must come from ip. */
std::string ask(tool_socket& tool, const std::string& ip, const std::string& data)
{
    tool.send(ip, data);
    std::string from, reply = tool.receive(&from);
    EXPECT_EQ(from, ip) << data;
    return reply;
}

} // namespace

TEST(SimProgram, BroadcastFindsAllModulesThenOneAnswersAndTheLogHoldsEveryDatagram)
{
    tool_socket tool;
    ASSERT_TRUE(tool.bound());
    sim_process sim({"--broadcast", "127.0.0.255", "--modules", "3", "--first", "127.0.0.2"});
    ASSERT_TRUE(sim.ready());

    tool.send("127.0.0.255", keyword);
    std::set<std::string> answered;
    for (int i = 0; i < 3; ++i) {
        std::string from, data = tool.receive(&from);
        EXPECT_EQ(data.substr(0, data.find(',')), from) << "answered from its own address";
        answered.insert(from);
    }
    EXPECT_EQ(answered, (std::set<std::string>{"127.0.0.2", "127.0.0.3", "127.0.0.4"}));
    EXPECT_EQ(ask(tool, "127.0.0.3", keyword), "127.0.0.3,ACCF23000003,KXD40-0003");
    tool.send("127.0.0.3", "+ok");
    EXPECT_EQ(ask(tool, "127.0.0.3", "AT+WMODE\n"), "+ok=AP\r\n\r\n");

    /* The tool's tests read back what the simulator received from this log. */
    std::vector<std::string> logged;
    for (const sim_datagram& d : sim.received()) {
        EXPECT_EQ(d.from, "127.0.0.1:48899");
        logged.push_back(d.target + " " + d.bytes);
    }
    EXPECT_EQ(logged, (std::vector<std::string>{"bcast " + keyword, "127.0.0.3 " + keyword, "127.0.0.3 +ok",
                                                "127.0.0.3 AT+WMODE\n"}));
}

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
    tool.send("127.0.0.255", keyword);
    tool.send("127.0.0.2", "+ok");
    tool.send("127.0.0.2", "AT+VER\n");
    sim.resume();
    std::string from;
    EXPECT_EQ(tool.receive(&from), "127.0.0.2,ACCF23000002,KXD40-0002");
    EXPECT_EQ(tool.receive(&from), "+ok=V1.0.8\r\n\r\n") << "the keyword came first";
    EXPECT_EQ(tool.receive(&from), "127.0.0.3,ACCF23000003,KXD40-0003");
    EXPECT_EQ(from, "127.0.0.3") << "the slow module answers last";
}

/* The module's clock is the program's: a module booting for a millisecond
 * is soon back, one booting for ten minutes hears nothing meanwhile, and
 * the log says what it missed. */
TEST(SimProgram, ARestartedModuleIsDeafWhileItBoots)
{
    tool_socket tool;
    ASSERT_TRUE(tool.bound());
    sim_process sim({"--boot-ms", "600000", "--module", "127.0.0.2", "--boot-ms", "1", "--module", "127.0.0.3"});
    ASSERT_TRUE(sim.ready());
    for (const char* ip : {"127.0.0.2", "127.0.0.3"}) {
        EXPECT_FALSE(ask(tool, ip, keyword).empty());
        tool.send(ip, "+ok");
        tool.send(ip, "AT+Z\n");
    }
    tool.send("127.0.0.2", keyword);
    std::string from, answer;
    for (int i = 0; i < 50 && answer.empty(); ++i) {
        tool.send("127.0.0.3", keyword);
        answer = tool.receive(&from, 100);
    }
    EXPECT_EQ(answer, "127.0.0.3,ACCF23000003,KXD40-0003");
    EXPECT_EQ(from, "127.0.0.3");

    std::vector<std::string> slow;
    for (const sim_datagram& d : sim.received())
        if (d.target == "127.0.0.2")
            slow.push_back(d.bytes + " " + d.fate);
    EXPECT_EQ(slow, (std::vector<std::string>{keyword + " ok", "+ok ok", "AT+Z\n ok", keyword + " booting"}));
}
