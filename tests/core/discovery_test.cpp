/*
 * discovery_test.cpp - answer parsing and the search passes, played
 * through a scripted network.
 */
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "discovery.h"
#include "module.h"
#include "scripted_link.h"

namespace {

const std::string kw = "KX-D40LOCATORPING";

struct DiscoveryTest : testing::Test {
    void SetUp() override { strmodule_num = 0; }
    int add(const std::string& s) { return add_module_answer(s.data(), static_cast<int>(s.size())); }
    static std::string table()
    {
        std::string t;
        for (int i = 0; i < strmodule_num; ++i)
            t += std::string(strmodule[i].ip) + " " + strmodule[i].mac + " " + strmodule[i].id + "\n";
        return t;
    }
};

/* An empty MAC adds nothing, though the answer counts (the table is redrawn). */
TEST_F(DiscoveryTest, AnswersFillTheTableUpToTenModules)
{
    using std::string;
    const std::pair<string, int> answers[] = {
        {"192.168.1.10,ACCF23000001,KXD40-0001", 1}, {"192.168.1.11,ACCF23000002", 1},
        {string("1.2.3.4,MAC\0,junk", 17), 1}, {"1.2.3.5,MAC2,ID2,whatever,else", 1},
        {"1.2.3.6,MAC3," + string(18, 'I'), 1}, {"1.2.3.7,MAC," + string(19, 'I'), 0}, {"1.2.3.8,,ID", 1},
        {"256.1.1.1,MAC,ID", 0}, {"1.2.3,MAC,ID", 0}, {"1.2.3.4.5,MAC,ID", 0}, {kw, 0}, {",MAC,ID", 0},
    };
    for (const auto& a : answers)
        EXPECT_EQ(add(a.first), a.second) << a.first;
    EXPECT_EQ(table(), "192.168.1.10 ACCF23000001 KXD40-0001\n192.168.1.11 ACCF23000002 \n1.2.3.4 MAC \n"
                       "1.2.3.5 MAC2 ID2\n1.2.3.6 MAC3 " + std::string(18, 'I') + "\n");
    for (int i = 5; i < 10; ++i)
        add("10.0.0." + std::to_string(i) + ",MAC,ID");
    EXPECT_EQ(add("10.0.0.99,MAC,ID"), 0) << "an eleventh answer is ignored";
    EXPECT_EQ(add("1.2.3.5,MAC2,NEWER"), 1) << "a listed module is heard in a full table";
    EXPECT_EQ(strmodule_num, MODULE_TABLE_SIZE);
    EXPECT_STREQ(strmodule[3].id, "NEWER");
}

/* The passes, on the scripted network. */
struct SearchPassTest : DiscoveryTest {
    scripted_net sn;
    net_scope scope{&sn};
    sockaddr_in dest{};

    void SetUp() override
    {
        DiscoveryTest::SetUp();
        udpsocket = 1; /* the one socket, which the search reads */
        broadcast_address("192.168.7.9", &dest);
    }
    static void put(const char* t, int n) { add_module_answer(t, n); }
    void TearDown() override { udpsocket = 0; }
    int run() { return search_passes(1, dest, kw.data(), static_cast<int>(kw.size()), put); }
};

/* Each pass ends after a quiet second, or three seconds of traffic that is no answer. */
TEST_F(SearchPassTest, NoModuleMeansFivePassesOfAQuietSecondOrThreeSecondsAtMost)
{
    for (int pass_ms : {1000, 3000}) {
        long long t0 = sn.now;
        for (long long t = 400; pass_ms == 3000 && t < 60000; t += 400)
            sn.arrive_at(t0 + t, "not an answer", "192.168.7.99");
        sn.sent.clear();
        EXPECT_EQ(run(), 1);
        lines got, expected;
        for (int i = 0; i < 5; ++i)
            expected.push_back(std::to_string(i * pass_ms) + " 192.168.7.255:48899 " + kw);
        for (const sent_datagram& d : sn.sent)
            got.push_back(std::to_string(d.at_ms - t0) + " " + d.to + " " + d.bytes);
        EXPECT_EQ(got, expected);
        EXPECT_EQ(sn.now - t0, 5 * pass_ms);
    }
}

/* The own keyword, a datagram over 100 bytes and a failed receive are no
 * answer; a module answering twice keeps one row, with its last answer. */
TEST_F(SearchPassTest, OwnBroadcastIsIgnoredAndAModuleIsListedOnce)
{
    const std::string pad = "192.168.7.29,M,ID,", exactly100 = pad + std::string(100 - pad.size(), 'p');
    lines second = {kw, "192.168.7.20,M,A", "192.168.007.020,M,B"};
    for (int i = 21; i <= 28; ++i)
        second.push_back("192.168.7." + std::to_string(i) + ",M,C");
    second.push_back("192.168.7.31,M,ID," + std::string(100 - pad.size() + 1, 'p'));
    second.push_back("");
    second.push_back(exactly100);
    sn.on_send = [&](const sent_datagram&) {
        for (const std::string& a : sn.sent.size() == 1 ? lines{kw} : second)
            sn.arrive(a, a.empty());
    };
    run();
    std::string expected = "192.168.007.020 M B\n";
    for (int i = 21; i <= 28; ++i)
        expected += "192.168.7." + std::to_string(i) + " M C\n";
    EXPECT_EQ(table(), expected + "192.168.7.29 M ID\n") << "the tenth module is not lost";
    EXPECT_EQ(sn.sent.size(), 2u) << "no pass follows the one that found modules";
    /* Each datagram, the own keyword too, restarts the quiet second. */
    EXPECT_EQ(sn.wait_timeouts, std::vector<int>(2 + second.size() + 1, 1000));
    EXPECT_EQ(sn.now, 2000);
}

TEST_F(SearchPassTest, AnAbandonedWaitEndsTheSearchAndASocketOpenFailureIsReported)
{
    sn.forced_waits = {WAIT_TIMEOUT, WAIT_ABANDONED};
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(sn.sent.size(), 2u);
    sn.open_fails_with = UDP_OPEN_BIND_FAILED;
    EXPECT_EQ(printed([] { EXPECT_EQ(init_udp_socket(), 0); }), "udp-b bind failed\n");
}

} // namespace
