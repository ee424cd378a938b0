/*
 * sim_socket_test.cpp - the real kxd40-sim program on loopback sockets.
 *
 * The test main has already moved this process into a private network with
 * only loopback up, and the simulator child inherits it, so 127.0.0.255
 * can stand in for a broadcast address and nothing leaves the machine.
 */
#include <gtest/gtest.h>

#include "sim_runner.h"

#include <arpa/inet.h>
#include <poll.h>
#include <set>
#include <unistd.h>

namespace {

const std::string keyword = "KX-D40LOCATORPING";

sockaddr_in address(const std::string& ip)
{
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(48899);
    inet_pton(AF_INET, ip.c_str(), &sa.sin_addr);
    return sa;
}

/* The tool's side: a socket on 127.0.0.1:48899 like the tool's own. */
class tool_socket {
public:
    tool_socket() : fd_(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0))
    {
        int on = 1;
        setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
        sockaddr_in sa = address("127.0.0.1");
        bound_ = bind(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
    }
    ~tool_socket() { close(fd_); }
    bool bound() const { return bound_; }

    void send(const std::string& ip, const std::string& data)
    {
        sockaddr_in sa = address(ip);
        EXPECT_EQ(sendto(fd_, data.data(), data.size(), 0, reinterpret_cast<sockaddr*>(&sa), sizeof sa),
                  static_cast<ssize_t>(data.size()));
    }

    /* One datagram, and the address it came from; empty after wait_ms. */
    std::string receive(std::string* from_ip = nullptr, int wait_ms = 5000)
    {
        pollfd p{fd_, POLLIN, 0};
        char buf[2048];
        sockaddr_in sa{};
        socklen_t len = sizeof sa;
        ssize_t n = poll(&p, 1, wait_ms) > 0
                        ? recvfrom(fd_, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&sa), &len)
                        : -1;
        if (from_ip != nullptr)
            *from_ip = inet_ntoa(sa.sin_addr);
        return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
    }

    std::string ask(const std::string& ip, const std::string& data)
    {
        send(ip, data);
        std::string from, reply = receive(&from);
        EXPECT_EQ(from, ip) << data;
        return reply;
    }

private:
    int fd_;
    bool bound_ = false;
};

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
    EXPECT_EQ(tool.ask("127.0.0.3", keyword), "127.0.0.3,ACCF23000003,KXD40-0003");
    tool.send("127.0.0.3", "+ok");
    EXPECT_EQ(tool.ask("127.0.0.3", "AT+WMODE\n"), "+ok=AP\r\n\r\n");

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
        EXPECT_FALSE(tool.ask(ip, keyword).empty());
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
