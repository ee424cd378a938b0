/*
 * discovery_test.cpp - answer parsing and the search passes, played
 * through a scripted network.
 */
#include <gtest/gtest.h>

#include <algorithm>
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

/* The broadcast of the network that holds an address, by its real prefix. */
TEST(NetworkBroadcast, IsTheNetworksLastAddressAndNoneForA31OrA32)
{
    const std::pair<const char*, int> cases[] = {{"10.1.2.3", 22}, {"127.0.0.1", 8},  {"192.168.7.9", 24},
                                                 {"10.0.0.5", 30}, {"10.0.0.5", 31}, {"10.0.0.5", 32},
                                                 {"10.0.0.5", 0},  {"10.0.0.5", -1}, {"10.0.0", 24}};
    std::string got;
    for (const auto& c : cases) {
        sockaddr_in a{};
        char text[32] = "";
        if (network_broadcast(c.first, c.second, &a))
            address_text(a, text, sizeof text);
        got += std::string(c.first) + "/" + std::to_string(c.second) + " " + (text[0] ? text : "none") + ":" +
               std::to_string(ntohs(a.sin_port)) + "\n";
    }
    EXPECT_EQ(got, "10.1.2.3/22 10.1.3.255:48899\n127.0.0.1/8 127.255.255.255:48899\n"
                   "192.168.7.9/24 192.168.7.255:48899\n10.0.0.5/30 10.0.0.7:48899\n10.0.0.5/31 none:0\n"
                   "10.0.0.5/32 none:0\n10.0.0.5/0 255.255.255.255:48899\n10.0.0.5/-1 none:0\n10.0.0/24 none:0\n");
}

/* kxd40ctl's search on the virtual clock: every datagram sent, with its
 * time, and how the passes end. */
struct SearchToEndTest : SearchPassTest {
    static std::vector<std::string> heard;
    static void hear(const char* t, int n)
    {
        std::string a(t, n);
        if (std::find(heard.begin(), heard.end(), a) == heard.end())
            heard.push_back(a);
    }
    static int listed() { return static_cast<int>(heard.size()); }
    void SetUp() override
    {
        SearchPassTest::SetUp();
        heard.clear();
    }
    static search_plan plan(const lines& to, int per_second, bool sweep)
    {
        search_plan p;
        for (const std::string& a : to) {
            p.to.emplace_back();
            make_address(a.c_str(), KX_PORT, &p.to.back());
        }
        p.per_second = per_second;
        p.sweep = sweep;
        return p;
    }
    /* "time to" of each datagram sent, then the passes, losses and unsent. */
    std::string run_plan(const search_plan& p)
    {
        search_count c;
        int r = search_to_end(1, p, kw.data(), static_cast<int>(kw.size()), hear, listed, &c);
        std::string out;
        for (const sent_datagram& d : sn.sent)
            out += std::to_string(d.at_ms) + " " + d.to + "\n";
        char first[32] = "";
        address_text(c.first_unsent, first, sizeof first);
        return out + "r=" + std::to_string(r) + " passes=" + std::to_string(c.passes) + " lost=" +
               std::to_string(c.lost) + (c.may_miss_modules ? " may miss" : "") + " unsent=" +
               std::to_string(c.unsent) + (c.unsent ? std::string(" first ") + first : "") + " end=" +
               std::to_string(sn.now) + " heard=" + std::to_string(heard.size());
    }
    /* The module at host answers each keyword sent to to after 3 ms. */
    void answers(const std::string& to, const std::string& host)
    {
        auto before = sn.on_send;
        sn.on_send = [this, to, host, before](const sent_datagram& d) {
            if (before)
                before(d);
            if (d.to == to + ":48899")
                sn.arrive_at(sn.now + 3, host + ",ACCF23000001,KXD40", host);
        };
    }
    /* Starts afresh on the clock, the modules answering as before, and the
     * system dropping n answers when the at-th keyword of the search goes. */
    void afresh_losing(unsigned long n, size_t at)
    {
        sn.sent.clear();
        sn.wait_timeouts.clear();
        heard.clear();
        sn.now = 0;
        auto answering = sn.on_send;
        sn.on_send = [this, answering, n, at](const sent_datagram& d) {
            answering(d);
            if (sn.sent.size() == at)
                sn.dropped += n;
        };
    }
};
std::vector<std::string> SearchToEndTest::heard;

/* Two broadcasts go together; a pass that found modules brings one more,
 * and so does a pass that lost answers, though it found nobody new. */
TEST_F(SearchToEndTest, ABroadcastSearchPassesAgainWhileItFindsOrLoses)
{
    answers("10.1.3.255", "10.1.0.7");
    answers("10.2.0.255", "10.2.0.9");
    EXPECT_EQ(run_plan(plan({"10.1.3.255", "10.2.0.255"}, 0, false)),
              "0 10.1.3.255:48899\n0 10.2.0.255:48899\n1003 10.1.3.255:48899\n1003 10.2.0.255:48899\n"
              "r=1 passes=2 lost=0 unsent=0 end=2006 heard=2");
    afresh_losing(4, 2);
    EXPECT_EQ(run_plan(plan({"10.1.3.255"}, 0, false)),
              "0 10.1.3.255:48899\n1003 10.1.3.255:48899\n2006 10.1.3.255:48899\n"
              "r=1 passes=3 lost=4 unsent=0 end=3009 heard=1");
}

/* A sweep sends at its pace, takes answers between two keywords, and ends
 * a quiet second after the last: one pass, unless answers were lost, then
 * the whole block again. A keyword the system would not send is counted. */
TEST_F(SearchToEndTest, ASweepIsPacedAndPassesAgainOnlyForLoss)
{
    answers("10.2.0.2", "10.2.0.2");
    answers("10.2.0.4", "10.2.0.4");
    search_plan p = plan({"10.2.0.1", "10.2.0.2", "10.2.0.3", "10.2.0.4", "0.0.0.0", "10.2.0.6"}, 400, true);
    EXPECT_EQ(run_plan(p), "0 10.2.0.1:48899\n2 10.2.0.2:48899\n5 10.2.0.3:48899\n7 10.2.0.4:48899\n"
                           "12 10.2.0.6:48899\nr=1 passes=1 lost=0 unsent=1 first 0.0.0.0 end=1012 heard=2");
    EXPECT_EQ(sn.wait_timeouts, (std::vector<int>{2, 3, 2, 3, 2, 1000}))
        << "the answers at 5 and 10 ms are taken between two keywords";
    afresh_losing(1, 2);
    p.to.resize(3);
    p.per_second = 1000;
    EXPECT_EQ(run_plan(p), "0 10.2.0.1:48899\n1 10.2.0.2:48899\n2 10.2.0.3:48899\n"
                           "1004 10.2.0.1:48899\n1005 10.2.0.2:48899\n1006 10.2.0.3:48899\n"
                           "r=1 passes=2 lost=1 unsent=0 end=2008 heard=1");
}

} // namespace
