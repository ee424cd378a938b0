/*
 * search_sim_test.cpp - searches over real sockets against the simulator,
 * inside the test's private network (loopback only; 127.0.0.255 stands in
 * for the broadcast address).
 */
#include <gtest/gtest.h>

#include <cstdio>
#include <algorithm>
#include <cstring>

#include "discovery.h"
#include "module.h"
#include "sim_runner.h"

namespace {

const std::string kw = "KX-D40LOCATORPING";

struct SearchAgainstSim : testing::Test {
    int sock = 0;
    long long started = 0, last_answer = 0, ended = 0;
    static SearchAgainstSim* self;

    void SetUp() override
    {
        strmodule_num = 0;
        self = this;
    }
    void TearDown() override
    {
        if (sock != 0)
            net().close_udp(sock);
    }
    static void put(const char* t, int n)
    {
        if (add_module_answer(t, n))
            self->last_answer = monotonic_ms();
    }
    void search()
    {
        sock = init_udp_socket();
        ASSERT_NE(sock, 0);
        sockaddr_in dest;
        ASSERT_EQ(broadcast_address("127.0.0.1", &dest), 1);
        started = monotonic_ms();
        EXPECT_EQ(search_passes(sock, dest, kw.data(), static_cast<int>(kw.size()), put), 1);
        ended = monotonic_ms();
    }
};
SearchAgainstSim* SearchAgainstSim::self = nullptr;

TEST_F(SearchAgainstSim, NoAnswerMeansFiveKeywordsAboutASecondApart)
{
    sim_process sim({"--broadcast", "127.0.0.255", "--silent", "--module", "127.0.0.2"});
    ASSERT_TRUE(sim.ready());
    search();
    EXPECT_EQ(strmodule_num, 0);
    auto got = sim.received();
    ASSERT_EQ(got.size(), 5u);
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].bytes, kw);
        EXPECT_EQ(got[i].target, "bcast");
        EXPECT_EQ(got[i].from, "127.0.0.1:48899");
        if (i > 0) {
            long long gap = got[i].t_ms - got[i - 1].t_ms;
            EXPECT_GE(gap, 950) << "pass " << i;
            EXPECT_LE(gap, 1500) << "pass " << i;
        }
    }
    EXPECT_GE(ended - started, 4900);
    EXPECT_LE(ended - started, 7000);
}

TEST_F(SearchAgainstSim, ThreeModulesAreFoundByOneKeyword)
{
    sim_process sim({"--broadcast", "127.0.0.255", "--modules", "3", "--first", "127.0.0.2"});
    ASSERT_TRUE(sim.ready());
    search();
    ASSERT_EQ(strmodule_num, 3);
    std::vector<std::string> ips;
    for (int i = 0; i < 3; ++i) {
        ips.push_back(strmodule[i].ip);
        EXPECT_NE(strmodule[i].mac[0], '\0');
        EXPECT_NE(strmodule[i].id[0], '\0');
    }
    std::sort(ips.begin(), ips.end());
    EXPECT_EQ(ips, (std::vector<std::string>{"127.0.0.2", "127.0.0.3", "127.0.0.4"}));
    EXPECT_EQ(sim.received().size(), 1u) << "no broadcast after a pass that found modules";
    long long quiet = ended - last_answer;
    std::printf("last answer to end of search: %lld ms\n", quiet);
    EXPECT_GE(quiet, 990);
    EXPECT_LE(quiet, 1500);
}

TEST_F(SearchAgainstSim, GarbageAndOversizedAnswersAreIgnoredAndDoublesKept)
{
    sim_process sim({"--broadcast", "127.0.0.255", "--garbage", "--module", "127.0.0.2",
                     "--reset-behaviour", "--oversize", "--module", "127.0.0.3",
                     "--reset-behaviour", "--answer-twice", "--module", "127.0.0.4"});
    ASSERT_TRUE(sim.ready());
    search();
    ASSERT_EQ(strmodule_num, 2);
    EXPECT_STREQ(strmodule[0].ip, "127.0.0.4");
    EXPECT_STREQ(strmodule[1].ip, "127.0.0.4");
}

} // namespace
