/*
 * system_test.cpp - what the core meets of the system: its sockets in the
 * test's private network, the claim on the port, the PC's own addresses,
 * and the keyword and settings files in the working directory.
 */
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <unistd.h>

#include "discovery.h"
#include "local_addr.h"
#include "netio.h"
#include "port_claim.h"
#include "setting_file.h"
#include "temp_dir.h"

namespace {

/* A receive never blocks, and 0.0.0.0 is never a destination. */
TEST(SystemSocket, AReceiveReturnsAtOnceAndNothingGoesToTheUnsetAddress)
{
    system_net sys;
    udp_open_error err = UDP_OPEN_OK;
    int sock = sys.open_udp(KX_PORT, &err);
    ASSERT_NE(sock, 0);
    char buf[16];
    int stored = 7;
    EXPECT_EQ(sys.recv_from(sock, buf, sizeof buf, &stored, nullptr), RECV_NONE);
    EXPECT_EQ(stored, 0);

    sockaddr_in none{}, self{}, from{};
    none.sin_family = AF_INET;
    none.sin_port = htons(KX_PORT);
    EXPECT_EQ(sys.send_to(sock, "kw", 2, none), -1);
    EXPECT_EQ(sys.wait_readable(sock, 100), WAIT_TIMEOUT) << "the PC's own socket got it";
    ASSERT_EQ(make_address("127.000.000.001", KX_PORT, &self), 1);
    EXPECT_EQ(sys.send_to(sock, "kw", 2, self), 2);
    ASSERT_EQ(sys.wait_readable(sock, 1000), WAIT_READY);
    EXPECT_EQ(sys.recv_from(sock, buf, sizeof buf, &stored, &from), 2);
    EXPECT_TRUE(same_host(from, self));
    sys.close_udp(sock);
}

/* The program's own claim on KX_PORT is the search window's (tests/window). */
TEST(PortClaim, OneHolderAtATimeNamedToTheRefusedUntilItLetsGo)
{
    const unsigned short spare_port = 48900;
    {
        port_claim first(spare_port);
        ASSERT_TRUE(first.taken());
        port_claim second(spare_port);
        EXPECT_FALSE(second.taken());
        EXPECT_EQ(second.holder(),
                  std::string(program_invocation_short_name) + " (pid " + std::to_string(getpid()) + ")");
        EXPECT_TRUE(port_claim(spare_port + 1).taken()) << "a claim holds its own port only";
    }
    EXPECT_TRUE(port_claim(spare_port).taken()) << "the claim ends with its holder";
}

TEST(LocalAddresses, ResolverFirstThenInterfacesThenLoopbackWithoutDuplicates)
{
    auto got = order_local_addresses({"127.0.1.1", "192.0.2.5"}, {"127.0.0.1", "198.51.100.1", "192.0.2.5"});
    EXPECT_EQ(got, (std::vector<std::string>{"192.0.2.5", "198.51.100.1", "127.0.1.1", "127.0.0.1"}));
    /* The test process runs in a network of its own with only lo up. */
    EXPECT_EQ(interface_addresses(), std::vector<std::string>{"127.0.0.1"});
}

using Files = InTempDir;

TEST_F(Files, TheKeywordIsTheFirstLineWithItsLineFeedCutTo99OrTheDefault)
{
    char kw[100];
    const std::pair<std::string, std::string> cases[] = {
        {"", "KX-D40LOCATORPING"}, {"MYKEY\nsecond line\n", "MYKEY\n"}, {std::string(150, 'k'), std::string(99, 'k')}};
    for (const auto& c : cases) {
        if (!c.first.empty())
            write("data/aswd.txt", c.first);
        get_aswd(kw);
        EXPECT_EQ(std::string(kw), c.second) << (c.first.empty() ? "no file" : c.first);
    }
}

/* The settings file's name ends at the line end and is cut at a character. */
TEST_F(Files, TheSettingsFileNameEndsAtTheLineEndAndIsCutAtACharacter)
{
    std::string wide; /* ten three-byte characters in 29 bytes: nine whole ones */
    for (int i = 0; i < 10; ++i)
        wide += "命";
    const struct {
        std::string text, name;
        int automatic;
    } cases[] = {
        {"", "set_file.txt", 0}, {"1 edited.txt\n", "edited.txt", 1}, {"0 dos.txt\r\n", "dos.txt", 0},
        {"0 \n", "set_file.txt", 0}, {"1 " + std::string(40, 'n'), std::string(29, 'n'), 1},
        {"0 " + wide, wide.substr(0, 27), 0},
    };
    auto_setting = 7;
    for (const auto& c : cases) {
        if (!c.text.empty())
            write("set_para.txt", c.text);
        init_setting_para();
        EXPECT_EQ(std::string(setting_file), c.name) << c.text;
        EXPECT_EQ(auto_setting, c.automatic) << c.text;
    }
}

} // namespace
