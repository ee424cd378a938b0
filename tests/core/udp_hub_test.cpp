/*
 * udp_hub_test.cpp - two links and the search sharing the one socket,
 * waiting on it themselves (no receiver thread), played through the
 * scripted network: whose datagram goes where, what a wait for one link
 * costs the other, and whose wait an ended link cuts short.
 */
#include <gtest/gtest.h>

#include <functional>

#include "scripted_link.h"
#include "udp_hub.h"

namespace {

/* The scripted network, with something to run inside the next wait, and
 * an interrupt that ends the wait in progress as the window's does. */
struct hooked_net : scripted_net {
    std::function<void()> during_wait;
    int interrupts = 0;
    bool cut = false;

    int wait_readable(int sock, int timeout_ms) override
    {
        if (during_wait) {
            std::function<void()> f = std::move(during_wait);
            during_wait = nullptr;
            f();
        }
        if (cut) {
            cut = false;
            return WAIT_ABANDONED;
        }
        return scripted_net::wait_readable(sock, timeout_ms);
    }
    void interrupt() override
    {
        ++interrupts;
        cut = true;
    }
};

struct Hub : testing::Test {
    hooked_net sn;
    net_scope scope{&sn};
    module_link a, b; /* the modules at 127.0.0.2 and 127.0.0.3 */
    unsigned long unowned_before = 0;

    void SetUp() override
    {
        udpsocket = 7;
        /* An earlier case may have left the window's link on 127.0.0.2. */
        hub_detach(window_link);
        open(a, "127.0.0.2");
        open(b, "127.0.0.3");
        unowned_before = hub_unowned();
    }
    void TearDown() override { udpsocket = 0; }

    static void open(module_link& l, const char* ip)
    {
        copy_text(l.module_ip, ip);
        link_open(l, true);
    }
    /* "time destination bytes" of each datagram sent, then forgotten. */
    lines sends()
    {
        lines out;
        for (const sent_datagram& d : sn.sent)
            out.push_back(std::to_string(d.at_ms) + " " + d.to + " " + d.bytes);
        sn.sent.clear();
        return out;
    }
    static lines waiting(const module_link& l)
    {
        lines out;
        for (const link_datagram& d : l.inbox)
            out.push_back(d.bytes);
        return out;
    }
};

/* a's module answers late, twice, while b asks; b's module strays while a waits. */
TEST_F(Hub, EachLinkTakesOnlyItsOwnModulesReplyInItsOwnTime)
{
    sn.arrive_at(100, "+ok=B-STRAY" + crlf2, "127.0.0.3");
    EXPECT_EQ(asked(a, "AT+MID"), "unchanged 0 1");
    EXPECT_EQ(sends(),
        (lines{"0 127.0.0.2:48899 AT+MID\n", "500 127.0.0.2:48899 AT+MID\n", "1000 127.0.0.2:48899 AT+MID\n",
            "1500 127.0.0.2:48899 AT+MID\n"}))
        << "b's datagram neither answers a nor moves a's resends";
    EXPECT_EQ(sn.now, 2000);
    EXPECT_EQ(waiting(b), lines{"+ok=B-STRAY" + crlf2}) << "kept for b, not lost";

    sn.arrive_at(2100, "+ok=A-LATE" + crlf2, "127.0.0.2");
    sn.arrive_at(2300, "+ok=A-LATE" + crlf2, "127.0.0.2");
    sn.arrive_at(2600, "+ok=B-MID" + crlf2, "127.0.0.3");
    EXPECT_EQ(asked(b, "AT+MID"), "B-MID 1 0") << "the stray reply waited before the send: stale";
    EXPECT_EQ(sends(), (lines{"2000 127.0.0.3:48899 AT+MID\n", "2500 127.0.0.3:48899 AT+MID\n"}))
        << "a's late replies are no answer to b: b asks again on its own time";
    EXPECT_EQ(sn.now, 2600);
    EXPECT_EQ(waiting(a), lines(2, "+ok=A-LATE" + crlf2));

    sn.arrive_at(2650, "+ok=B-MID" + crlf2, "127.0.0.3");
    sn.arrive_at(2660, "+ok=NOBODY" + crlf2, "127.0.0.9");
    sn.arrive_at(2700, "+ok=A-MID" + crlf2, "127.0.0.2");
    EXPECT_EQ(asked(a, "AT+MID"), "A-MID 1 0") << "not the late replies that waited for it";
    EXPECT_EQ(sn.now, 2700);
    EXPECT_EQ(sends(), lines{"2600 127.0.0.2:48899 AT+MID\n"});
    EXPECT_EQ(waiting(b), lines{"+ok=B-MID" + crlf2});
    EXPECT_TRUE(waiting(a).empty());
    EXPECT_EQ(hub_unowned() - unowned_before, 1u) << "only the datagram of a module without a link";
}

lines answers;
void put_answer(const char* text, int length) { answers.emplace_back(text, static_cast<size_t>(length)); }
int any_answer() { return answers.empty() ? 0 : 1; }

/* A search beside an open link: the module's answer is the search's while
 * the link lies idle, and the link's while an action holds it. */
TEST_F(Hub, TheSearchHearsAnIdleLinksModuleButNotAHeldOnes)
{
    const std::string kw = "KX-D40LOCATORPING";
    sockaddr_in dest{};
    make_address("127.255.255.255", KX_PORT, &dest);
    sn.on_send = [this, kw](const sent_datagram& d) {
        if (d.bytes != kw)
            return;
        sn.arrive_at(d.at_ms + 10, "127.0.0.2,ACCF23000002,KXD40-2", "127.0.0.2");
        sn.arrive_at(d.at_ms + 20, "127.0.0.5,ACCF23000005,KXD40-5", "127.0.0.5");
    };
    auto search = [&] {
        answers.clear();
        return search_passes(udpsocket, dest, kw.data(), static_cast<int>(kw.size()), put_answer, any_answer);
    };

    EXPECT_EQ(search(), 1);
    EXPECT_EQ(answers, (lines{"127.0.0.2,ACCF23000002,KXD40-2", "127.0.0.5,ACCF23000005,KXD40-5"}));
    EXPECT_TRUE(waiting(a).empty());

    {
        link_hold hold(a);
        EXPECT_EQ(search(), 1);
        EXPECT_EQ(answers, lines{"127.0.0.5,ACCF23000005,KXD40-5"});
        char buf[ANSWER_MAX];
        int length = 0, stored = 0;
        ASSERT_EQ(link_receive(a, buf, sizeof buf, 0, &length, &stored), RECEIVED);
        EXPECT_EQ(std::string(buf, static_cast<size_t>(stored)), "127.0.0.2,ACCF23000002,KXD40-2");
    }
}

/* What a link's module sends while another link waits is kept for it,
 * the newest 256. */
TEST_F(Hub, ALinksInboxKeepsTheNewest256)
{
    for (int i = 0; i < 300; ++i)
        sn.arrive_at(200, "+ok=B" + std::to_string(i) + crlf2, "127.0.0.3");
    sn.arrive_at(300, "+ok=A1" + crlf2, "127.0.0.2");
    EXPECT_EQ(asked(a, "AT+MID"), "A1 1 0");
    ASSERT_EQ(waiting(b).size(), 256u);
    EXPECT_EQ(waiting(b).front(), "+ok=B44" + crlf2);
}

/* An ended link is silent though its module refused before, so that a read stops. */
TEST_F(Hub, EndingALinkEndsItsOwnWaitOnly)
{
    sn.during_wait = [this] { link_end(b); };
    sn.arrive_at(100, "+ok=A1" + crlf2, "127.0.0.2");
    EXPECT_EQ(asked(a, "AT+MID"), "A1 1 0");
    EXPECT_EQ(sn.interrupts, 0) << "a's wait was not b's to end";
    EXPECT_EQ(asked(b, "AT+MID"), "unchanged 0 1");
    EXPECT_EQ(sends(), lines{"0 127.0.0.2:48899 AT+MID\n"}) << "nothing goes to b's module";

    open(b, "127.0.0.3");
    sn.during_wait = [this] { sn.during_wait = [this] { link_end(a); }; };
    sn.arrive_at(150, "+ERR=-1" + crlf2, "127.0.0.2");
    sn.arrive_at(400, "+ok=A2" + crlf2, "127.0.0.2");
    sn.arrive_at(500, "+ok=B1" + crlf2, "127.0.0.3");
    EXPECT_EQ(asked(a, "AT+VER"), "unchanged 0 1") << "a read stops there";
    EXPECT_EQ(sn.interrupts, 1);
    EXPECT_EQ(sn.now, 350) << "the wait after the refusal ended at once";
    EXPECT_EQ(sends(), lines{"100 127.0.0.2:48899 AT+VER\n"}) << "and was not asked again";
    EXPECT_EQ(asked(b, "AT+VER"), "B1 1 0") << "b, reopened, goes on";
    EXPECT_EQ(sn.now, 500);
}

/* The keyword goes again after what a neighbour learned meanwhile. */
TEST_F(Hub, ALinkWithoutSamplesResendsOnWhatANeighbourLearnsMeanwhile)
{
    forget_shared_rtt();
    at_resend r = learning_resend(4, 500);
    copy_text(a.module_aswd, "kxd40\n");
    int keywords = 0;
    sn.on_send = [&](const sent_datagram& d) {
        if (d.bytes == "kxd40\n" && ++keywords == 2)
            sn.arrive_at(d.at_ms + 2, "127.0.0.2,ACCF23000002,KXD40-2", "127.0.0.2");
    };
    sn.during_wait = [&] { link_rtt_sample(b, r, 2); };
    EXPECT_EQ(link_handshake(a, r, nullptr), 1);
    EXPECT_EQ(sends(), (lines{"0 127.0.0.2:48899 kxd40\n", std::to_string(AT_LEARNED_MIN_MS) + " 127.0.0.2:48899 kxd40\n",
                           std::to_string(AT_LEARNED_MIN_MS + 2) + " 127.0.0.2:48899 +ok"}));
    forget_shared_rtt();
}

} // namespace
