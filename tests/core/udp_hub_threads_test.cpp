/*
 * udp_hub_threads_test.cpp - the hub's receiver thread on the system's
 * sockets, in the test process's private network: thirty links to the
 * simulator asking at once from thirty threads, each taking its own
 * module's replies alone though every reply comes twice, a stop from
 * another thread that ends every wait, and a search beside a waiting link.
 */
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "discovery.h"
#include "link.h"
#include "module.h"
#include "sim_runner.h"
#include "strutil.h"
#include "udp_hub.h"

namespace {

enum { MODULES = 30, QUERIES = 3 };

using lines = std::vector<std::string>;

std::string module_address(int i) { return "127.0.0." + std::to_string(2 + i); }

/* One module's link and what its thread found. */
struct asker {
    module_link link;
    lines values;
    int stopped_result = -1;
    int stopped_silent = -1;
};

/* QUERIES times "AT+MID", with resends generous enough for a busy machine,
 * then a restart, after which the module boots for ten minutes and hears
 * nothing: a query awaited ten minutes, which only the stop ends. */
void ask(asker& a, int i)
{
    copy_text(a.link.module_ip, module_address(i).c_str());
    copy_text(a.link.module_aswd, default_keyword);
    link_open(a.link, true);
    a.link.query_resend = at_resend{10, 1000, 2000};
    if (link_handshake(a.link, 10, 1000, nullptr) != 1)
        return;
    for (int q = 0; q < QUERIES; ++q) {
        char value[32] = "";
        a.values.push_back(at_query(a.link, "AT+MID", value, sizeof value) ? value : "(no reply)");
    }
    link_send(a.link, "AT+Z\n", 5);
    a.link.query_resend = at_resend{1, 600000, 600000};
    char value[32] = "";
    a.stopped_result = at_query(a.link, "AT+VER", value, sizeof value);
    a.stopped_silent = a.link.module_silent;
}

/* Until every module has been asked while it boots (bounded). */
bool all_asked_while_booting(const sim_process& sim)
{
    for (int i = 0; i < 1500; ++i) {
        int asked = 0;
        for (const sim_datagram& d : sim.received())
            asked += d.bytes == "AT+VER\n" && d.fate == "booting";
        if (asked == MODULES)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

/* The program's socket, as the program opens it, read by the receiver. */
struct HubThreads : testing::Test {
    void SetUp() override
    {
        /* The stop ends every attached link; the window's is not ours. */
        hub_detach(window_link);
        udp_open_error err = UDP_OPEN_OK;
        udpsocket = net().open_udp(KX_PORT, &err);
        ASSERT_NE(udpsocket, 0) << "error " << err;
        ASSERT_TRUE(hub_start_receiver());
    }
    void TearDown() override
    {
        hub_stop_receiver();
        net().close_udp(udpsocket);
        udpsocket = 0;
    }
};

TEST_F(HubThreads, ThirtyLinksTakeOnlyTheirOwnRepliesUntilAStopEndsEveryWait)
{
    sim_process sim({"--answer-twice", "--latency", "20", "--boot-ms", "600000", "--modules",
                     std::to_string(MODULES), "--first", module_address(0)});
    ASSERT_TRUE(sim.ready());
    unsigned long unowned_before = hub_unowned();
    std::vector<std::unique_ptr<asker>> askers;
    std::vector<std::thread> threads;
    for (int i = 0; i < MODULES; ++i) {
        askers.push_back(std::make_unique<asker>());
        threads.emplace_back(ask, std::ref(*askers.back()), i);
    }
    bool all_waiting = all_asked_while_booting(sim);
    hub_end_all();
    for (std::thread& t : threads)
        t.join();

    EXPECT_TRUE(all_waiting) << "every link was waiting on its silent module when the stop came";
    for (int i = 0; i < MODULES; ++i) {
        const asker& a = *askers[i];
        char mid[16];
        format_text(mid, sizeof mid, "KXD40-%04d", 2 + i);
        EXPECT_EQ(a.values, lines(QUERIES, mid)) << "link " << i;
        EXPECT_EQ(a.stopped_result, 0) << "link " << i;
        EXPECT_EQ(a.stopped_silent, 1) << "link " << i;
        EXPECT_TRUE(a.link.ended) << "link " << i;
    }
    EXPECT_EQ(hub_unowned() - unowned_before, 0u) << "every reply had its link";
}

/* A search running beside a link does not take the answers the link is
 * waiting for: only an idle link's module answers the search. */
TEST_F(HubThreads, ASearchLeavesAWaitingLinkItsAnswers)
{
    sim_process sim({"--latency", "20", "--modules", "1", "--first", module_address(0)});
    ASSERT_TRUE(sim.ready());
    hub_slot search;
    hub_search_begin(search);
    asker a;
    copy_text(a.link.module_ip, module_address(0).c_str());
    copy_text(a.link.module_aswd, default_keyword);
    link_open(a.link, true);
    a.link.query_resend = at_resend{4, 1000, 1000};
    EXPECT_EQ(link_handshake(a.link, 4, 1000, nullptr), 1);
    char value[32] = "";
    EXPECT_EQ(at_query(a.link, "AT+MID", value, sizeof value), 1);
    EXPECT_STREQ(value, "KXD40-0002");
    hub_search_end();
}

} // namespace
