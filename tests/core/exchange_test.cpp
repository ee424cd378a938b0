/*
 * exchange_test.cpp - one AT command and its answers, played through the
 * scripted network and its clock: values, skipped and counted answers,
 * echoes, silence, stale and stray datagrams, resends and the learned wait.
 */
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "scripted_link.h"

namespace {

struct Exchange : OnScriptedNet<> {
    lines replies; /* arrive right after the next send */

    void SetUp() override
    {
        forget_rtt();
        OnScriptedNet::SetUp();
        sn.on_send = [this](const sent_datagram&) {
            for (const auto& r : replies)
                sn.arrive(r);
            replies.clear();
        };
    }
    void TearDown() override
    {
        OnScriptedNet::TearDown();
        set_at_resend(0, 0);
    }
    static void forget_rtt()
    {
        window_link.rtt = rtt_estimate{};
        forget_shared_rtt();
    }
    lines sent_lines() { return sent(true); }
    static std::string ask(const char* cmd) { return asked(window_link, cmd); }
    /* What came of one exchange: ask()'s text (the result and module_silent
     * alone for a setting), the sends, the pauses after refusals, the time. */
    std::string outcome(bool setting, const char* cmd)
    {
        sn.pauses.clear();
        long long t0 = sn.now;
        std::string got = setting ? std::to_string(module_send_cmd_set(cmd)) : ask(cmd);
        if (setting)
            got += " " + std::to_string(module_silent);
        int paused = 0;
        for (int p : sn.pauses)
            paused += p;
        lines to = sent_lines();
        EXPECT_EQ(to, lines(to.size(), cmd)) << cmd;
        return got + ": " + std::to_string(to.size()) + " sent, " + std::to_string(paused) + " ms paused, " +
               std::to_string(sn.now - t0) + " ms";
    }
};

/* One exchange per row, in order, and the datagrams that arrive right
 * after its first send (or one of them every so often). */
TEST_F(Exchange, EachExchangeEndsOnItsAnswerItsTriesOrTwoSecondsOfSilence)
{
    const std::string ok = "+ok" + crlf2, err = "+ERR=-1" + crlf2, busy = "busy" + crlf2, sta = "+ok=STA" + crlf2;
    auto and_then = [](lines l, const std::string& last) {
        l.push_back(last);
        return l;
    };
    const struct {
        bool setting;
        const char* cmd;
        lines replies;
        const char* outcome;
        int every_ms = 0;
    } rows[] = {
        /* datagrams of 4 bytes or less are no answer */
        {false, "AT+WMODE", {"abcd", "\r\n\r\n", "+o", sta}, "STA 1 0: 1 sent, 0 ms paused, 0 ms"},
        {false, "AT+MID", {ok}, " 1 0: 1 sent, 0 ms paused, 0 ms"},
        {true, "AT+E", {"AT+E\n", ok}, "1 0: 1 sent, 0 ms paused, 0 ms"},
        {false, "AT+VER", and_then(lines(40, err), sta), "unchanged 0 0: 1 sent, 8000 ms paused, 8000 ms"},
        {false, "AT+VER", and_then(lines(39, busy), sta), "STA 1 0: 1 sent, 7800 ms paused, 7800 ms"},
        {true, "AT+WMODE=AP", lines(40, err), "0 0: 1 sent, 8000 ms paused, 8000 ms"},
        /* to a setting an empty datagram is an answer */
        {true, "AT+WMODE=XX", {"", "+ERR=-2" + crlf2, ok}, "1 0: 1 sent, 400 ms paused, 400 ms"},
        {false, "AT+VER", {"+ok=V1" + crlf2}, "V1 1 0: 1 sent, 0 ms paused, 0 ms"},
        /* copies of the last reply cost a setting no try */
        {true, "AT+WMODE=STA", and_then(lines(45, "+ok=V1" + crlf2), ok), "1 0: 1 sent, 0 ms paused, 0 ms"},
        /* a lost datagram is no dead module: a query is asked again, a
         * setting goes once, since the module would run it twice */
        {false, "AT+VER", {}, "unchanged 0 1: 4 sent, 0 ms paused, 2000 ms"},
        {true, "AT+WMODE=AP", {}, "0 1: 1 sent, 0 ms paused, 2000 ms"},
        /* only a bare "+ok" acknowledges a setting, not a late query's reply */
        {true, "AT+WAP=11BGN,KX-AP,CH6", {"+ok=OPEN,NONE" + crlf2}, "0 0: 1 sent, 0 ms paused, 2000 ms"},
        {true, "AT+WAP=11BGN,KX-AP,CH6", {"+ok=" + crlf2}, "0 0: 1 sent, 0 ms paused, 2000 ms"},
        {true, "AT+WAP=11BGN,KX-AP,CH6", {"+okay" + crlf2}, "0 0: 1 sent, 0 ms paused, 2000 ms"},
        {true, "AT+WAP=11BGN,KX-AP,CH6", {"+ok=11BGN,KX,CH1" + crlf2, ok}, "1 0: 1 sent, 0 ms paused, 0 ms"},
        {true, "AT+WAP=11BGN,KX-AP,CH6", {"+ok\r\n"}, "1 0: 1 sent, 0 ms paused, 0 ms"},
        {true, "AT+WAP=11BGN,KX-AP,CH6", {"+ok"}, "1 0: 1 sent, 0 ms paused, 0 ms"},
        /* whatever arrives, one exchange ends within ten seconds */
        {false, "AT+VER", {"\r\n\r\n"}, "unchanged 0 1: 1 sent, 0 ms paused, 10000 ms", 500},
        {false, "AT+VER", {err}, "unchanged 0 0: 4 sent, 850 ms paused, 10000 ms", 1990},
        {false, "AT+VER", {std::string(150, '+')}, "unchanged 0 0: 1 sent, 0 ms paused, 10000 ms", 300},
        {false, "AT+VER", {std::string(3000, '+')}, "unchanged 0 0: 1 sent, 0 ms paused, 10000 ms", 300},
    };
    for (const auto& r : rows) {
        long long t0 = sn.now;
        for (long long t = r.every_ms; r.every_ms > 0 && t < 120000; t += r.every_ms)
            sn.arrive_at(t0 + t, r.replies[0]);
        replies = r.every_ms > 0 ? lines{} : r.replies;
        EXPECT_EQ(outcome(r.setting, r.cmd), r.outcome) << r.cmd << " " << testing::PrintToString(r.replies);
        sn.now += 120000; /* what is still on its way is stale */
        link_discard_pending();
    }
}

/* Datagrams that waited before the send are stale; datagrams from another
 * host neither answer nor keep the wait going. */
TEST_F(Exchange, StaleAndForeignDatagramsAreNoAnswer)
{
    sn.arrive("+ok=OLD" + crlf2);
    sn.arrive("127.0.0.3,ACCF23000003,LATE");
    replies = {"+ok=NEW" + crlf2};
    EXPECT_EQ(ask("AT+WMODE"), "NEW 1 0");
    ASSERT_EQ(sn.sent.size(), 1u);
    EXPECT_EQ(sn.sent[0].bytes, "AT+WMODE\n");
    EXPECT_EQ(sn.sent[0].to, "127.0.0.2:48899");

    sn.on_send = [this](const sent_datagram& d) {
        for (int t = 300; t < 10000; t += 300)
            sn.arrive_at(d.at_ms + t, "+ok=FOREIGN" + crlf2, "127.0.0.3");
    };
    sn.sent.clear();
    long long t0 = sn.now;
    EXPECT_EQ(ask("AT+MID"), "unchanged 0 1");
    EXPECT_EQ(sn.now - t0, 2000) << "the receive limit runs from the send";
    EXPECT_EQ(sent_lines(), lines(4, "AT+MID")) << "foreign datagrams are no answer and no try";

    sn.now += 20000;
    link_discard_pending();
    sn.forced_waits = {WAIT_READY, WAIT_READY};
    EXPECT_EQ(ask("AT+VER"), "unchanged 0 1") << "a readiness report with nothing behind it is no datagram";
}

TEST_F(Exchange, AnEndedLinkSendsAndAwaitsNothingAndAnAddressIsReadAsTheSearchReadsIt)
{
    link_end();
    EXPECT_EQ(ask("AT+VER"), "unchanged 0 1") << "a read stops there";
    EXPECT_EQ(module_send_cmd_set("AT+WMODE=AP"), 0);
    EXPECT_TRUE(sn.sent.empty());
    EXPECT_TRUE(sn.wait_timeouts.empty());

    copy_text(module_ip, "127.000.000.002");
    udp_add_r();
    replies = {"+ok=V1" + crlf2};
    EXPECT_EQ(ask("AT+VER"), "V1 1 0") << "the next link is open again";
    ASSERT_EQ(sn.sent.size(), 1u);
    EXPECT_EQ(sn.sent[0].to, "127.0.0.2:48899");

    udpsocket = 0;
    EXPECT_EQ(ask("AT+VER").substr(0, 11), "unchanged 0") << "a failed send ends at once";
    EXPECT_EQ(module_send_cmd_set("AT+WMODE=AP"), 0);
    EXPECT_EQ(sn.wait_timeouts.size(), 1u);

    udpsocket = 7;
    copy_text(module_ip, "127.0.0.256");
    testing::internal::CaptureStdout();
    udp_add_r();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Module address not valid: 127.0.0.256\n");
    EXPECT_EQ(udpsendn("AT+VER\n", 7), -1);
    EXPECT_EQ(sn.sent.size(), 1u) << "nothing goes to 0.0.0.0";
}

/* Two settings may read alike; what a link owes, the next link does not. */
TEST_F(Exchange, AReplyEqualToTheLastIsTakenAtOnceWhenNoCopyIsOwed)
{
    int sends = 0;
    bool lose_first = false;
    sn.on_send = [&](const sent_datagram& d) {
        if (!lose_first || ++sends != 1)
            sn.arrive_at(d.at_ms + 1, "+ok=V1" + crlf2);
    };
    auto taken_at_once = [&](const char* what) {
        long long t0 = sn.now;
        EXPECT_EQ(ask("AT+VER"), "V1 1 0") << what;
        EXPECT_EQ(sn.now - t0, 1) << what;
    };
    ASSERT_EQ(ask("AT+VER"), "V1 1 0");
    taken_at_once("equal to the last");
    lose_first = true;
    ASSERT_EQ(ask("AT+VER"), "V1 1 0") << "sent twice: one copy owed";
    udp_add_r();
    taken_at_once("a new link");
    lose_first = true, sends = 0;
    ASSERT_EQ(ask("AT+VER"), "V1 1 0");
    link_end();
    udp_add_r();
    taken_at_once("a link after an ended one");
}

/* Answers each line from its table after latency_ms (twice with twice), unless lost. */
struct scripted_module {
    std::map<std::string, std::string> replies = {
        {"AT+UART\n", "+ok=57600,8,1,None,NFC" + crlf2}, {"AT+UARTF\n", "+ok=disable" + crlf2},
        {"AT+UARTFT\n", "+ok=100" + crlf2}, {"AT+UARTFL\n", "+ok=1024" + crlf2},
        {"AT+NETP\n", "+ok=TCP,Server,8899,10.10.100.100" + crlf2}, {"AT+MAXSK\n", "+ok=32" + crlf2},
        {"AT+TCPTO\n", "+ok=300" + crlf2}, {"kxd40\n", "127.0.0.2,ACCF23000002,KXD40-0002"},
    };
    int latency_ms = 0;
    bool twice = false;
    std::set<int> lost; /* sends, counted from 0 */
    int sends = 0;

    void answer(scripted_net& sn, const sent_datagram& d)
    {
        auto r = replies.find(d.bytes);
        if (lost.count(sends++) != 0 || r == replies.end())
            return;
        for (int copy = 0; copy < (twice ? 2 : 1); ++copy)
            sn.arrive_at(d.at_ms + latency_ms, r->second);
    }
};

const std::string comm_read =
    std::to_string(BAUDRATE_57600) + " " + std::to_string(COMAF_DIS) + " 100 1024 8899 32 300";
const lines comm_once = {"AT+UART", "AT+UARTF", "AT+UARTFT", "AT+UARTFL", "AT+NETP", "AT+MAXSK", "AT+TCPTO"};

/* The communication page read from the scripted module. */
struct Replies : Exchange {
    scripted_module m;

    void SetUp() override
    {
        Exchange::SetUp();
        copy_text(window_link.module_aswd, "kxd40\n");
        sn.on_send = [this](const sent_datagram& d) { m.answer(sn, d); };
    }
    /* The page read whole and right, or why not. */
    std::string read_comm()
    {
        std::string unanswered;
        window_link.pages = {};
        read_page(window_link, CMDTYPE_COMM, &unanswered);
        const _MOD_COMM_STRUCT& c = strMODComm;
        if (!unanswered.empty() || module_silent)
            return "unanswered: " + unanswered;
        std::string got;
        for (int v : {int(c.baud), int(c.bAF), int(c.AFT), int(c.AFL), int(c.port), int(c.maxsk), int(c.TCPto)})
            got += (got.empty() ? "" : " ") + std::to_string(v);
        return got;
    }
    void learn(int tries) { window_link.query_resend = learning_resend(tries, 500); }
};

/* However late or often the module answers, each query takes its own
 * reply: the window's fixed waits and a learning link alike. */
TEST_F(Replies, ALateOrRepeatedReplyNeverLandsOnTheNextQuery)
{
    lines learned_once = comm_once;
    learned_once.insert(learned_once.begin(), "AT+UART");
    const struct {
        const char* what;
        int latency_ms;
        bool twice, learns;
        lines sent;
    } cases[] = {
        {"the window, 800 ms late", 800, false, false,
         {"AT+UART", "AT+UART", "AT+UARTF", "AT+UARTFT", "AT+UARTFT", "AT+UARTFL", "AT+NETP", "AT+NETP",
          "AT+MAXSK", "AT+TCPTO", "AT+TCPTO"}},
        {"the window, answering twice", 300, true, false, comm_once},
        {"learning, 800 ms late: asked twice once", 800, false, true, learned_once},
        {"learning, answering twice 800 ms late", 800, true, true, learned_once},
        {"learning, 1500 ms late", 1500, false, true,
         {"AT+UART", "AT+UART", "AT+UARTF", "AT+UARTFT", "AT+UARTFL", "AT+NETP", "AT+MAXSK", "AT+TCPTO"}},
    };
    for (const auto& c : cases) {
        udp_add_r();
        forget_rtt();
        window_link.query_resend = c.learns ? learning_resend(4, 500) : window_query_resend;
        m.latency_ms = c.latency_ms;
        m.twice = c.twice;
        EXPECT_EQ(read_comm(), comm_read) << c.what;
        EXPECT_EQ(sent_lines(), c.sent) << c.what;
        sn.now += 10000; /* what is still on its way is stale */
    }
}

/* A stray costs no try and is no answer; strays alone are asked again, yet are no
 * silence: the read goes on. */
TEST_F(Replies, AReplyOfAnotherShapeIsNoAnswer)
{
    const std::pair<const char*, const char*> strays[] = {
        /* the query whose answer the stray precedes, the reply of the query two before it */
        {"AT+UARTFT\n", "AT+UART\n"},  /* five table items for a number */
        {"AT+UARTFL\n", "AT+UARTF\n"}, /* a word for a number */
        {"AT+NETP\n", "AT+UARTFT\n"},  /* one item for four */
    };
    sn.on_send = [&](const sent_datagram& d) {
        for (const auto& s : strays)
            if (d.bytes == s.first)
                sn.arrive_at(d.at_ms + 1, m.replies[s.second]);
        sn.arrive_at(d.at_ms + 2, m.replies[d.bytes == "AT+MAXSK\n" ? "AT+UART\n" : d.bytes]);
    };
    EXPECT_EQ(read_comm(), "unanswered: AT+MAXSK");
    lines sent = comm_once;
    sent.insert(sent.begin() + 5, 3, "AT+MAXSK");
    EXPECT_EQ(sent_lines(), sent);
    EXPECT_TRUE(sn.pauses.empty()) << "a stray is no refusal";
    EXPECT_EQ(strMODComm.TCPto, 300);
}

/* A query's reply that comes late is not the module taking the next
 * setting: the refused setting after a query that went twice 900 ms late. */
TEST_F(Replies, ALateQueryReplyDoesNotAcknowledgeTheNextSetting)
{
    learn(4);
    window_link.setting_resend = learning_resend(4, 500);
    m.latency_ms = 900;
    m.replies["AT+BOGUS=1\n"] = "+ERR=-1" + crlf2;
    sn.on_send = [this](const sent_datagram& d) { m.answer(sn, d); };
    EXPECT_EQ(ask("AT+UARTFT"), "100 1 0");
    EXPECT_EQ(module_send_cmd_set("AT+BOGUS=1"), 0);
    EXPECT_EQ(sent_lines(), (lines{"AT+UARTFT", "AT+UARTFT", "AT+BOGUS=1"}));
}

/* The link learns its module's time: after a loss on a fast module the
 * query goes again within tens of milliseconds, not the first guess. */
TEST_F(Replies, ALostDatagramCostsTheLearnedWait)
{
    learn(4);
    m.latency_ms = 2;
    ASSERT_EQ(link_handshake(window_link, window_link.query_resend, nullptr), 1);
    long long t0 = sn.now;
    ASSERT_EQ(read_comm(), comm_read);
    long long clean = sn.now - t0;
    EXPECT_EQ(clean, 7 * 2);

    m.lost = {m.sends + 3}; /* AT+UARTFL */
    sn.sent.clear();
    t0 = sn.now;
    ASSERT_EQ(read_comm(), comm_read);
    lines twice = comm_once;
    twice.insert(twice.begin() + 3, "AT+UARTFL");
    EXPECT_EQ(sent_lines(), twice);
    EXPECT_EQ(sn.now - t0 - clean, AT_LEARNED_MIN_MS + 1)
        << "the learned wait, then the round trip and its spread (1 ms on a steady module) for a copy";

    m.lost = {m.sends + 2, m.sends + 4}; /* AT+UARTFT, then AT+UARTFL right after */
    t0 = sn.now;
    ASSERT_EQ(read_comm(), comm_read);
    EXPECT_EQ(sn.now - t0 - clean, 2 * (AT_LEARNED_MIN_MS + 1)) << "the answer to a resend ends the back-off";

    m.replies.erase("AT+MAXSK\n");
    sn.sent.clear();
    t0 = sn.now;
    EXPECT_EQ(ask("AT+MAXSK"), "unchanged 0 1");
    EXPECT_EQ(sent_lines(), lines(4, "AT+MAXSK"));
    EXPECT_EQ(sn.now - t0, 4 * 500) << "what was learned hastens a resend, never the verdict of silence";

    /* A module whose time varies: the wait leaves room for four spreads
     * (20 ms, then half of it, on the first sample). */
    udp_add_r();
    forget_rtt();
    m.latency_ms = 20;
    ASSERT_EQ(link_handshake(window_link, window_link.query_resend, nullptr), 1);
    m.lost = {m.sends};
    t0 = sn.now;
    EXPECT_EQ(ask("AT+UARTFT"), "100 1 0");
    EXPECT_EQ(sn.now - t0, 20 + 4 * 10 + 20);

    /* An answer half a round trip after the resend is the resend's: the
     * back-off ends there, and the next loss costs the learned wait. */
    const std::pair<int, const char*> resent[] = {{10, "AT+UARTFL"}, {20, "AT+TCPTO"}};
    for (const auto& q : resent) {
        m.latency_ms = q.first;
        m.lost = {m.sends};
        sn.sent.clear();
        EXPECT_NE(ask(q.second).substr(0, 9), "unchanged") << q.second;
        ASSERT_EQ(sn.sent.size(), 2u) << q.second;
        EXPECT_EQ(sn.sent[1].at_ms - sn.sent[0].at_ms, 20 + 4 * 10) << q.second;
    }
}

/* A module that missed the link's "+ok" ignores commands: the first resend carries it. */
TEST_F(Replies, ANewLinkStartsFromWhatOthersLearnedAndConfirmsItselfAgain)
{
    learn(4);
    m.latency_ms = 2;
    ASSERT_EQ(link_handshake(window_link, window_link.query_resend, nullptr), 1);

    udp_add_r();
    window_link.rtt = rtt_estimate{}; /* no samples of its own */
    bool linked = false;
    int keywords = 0, confirmations = 0;
    sn.on_send = [&](const sent_datagram& d) {
        if (d.bytes == "kxd40\n" && ++keywords == 1)
            return; /* lost */
        if (d.bytes == "+ok")
            linked = ++confirmations > 1; /* the first is lost */
        else if (linked || d.bytes == "kxd40\n")
            m.answer(sn, d);
    };
    sn.sent.clear();
    long long t0 = sn.now;
    ASSERT_EQ(link_handshake(window_link, window_link.query_resend, nullptr), 1);
    EXPECT_EQ(sn.now - t0, AT_LEARNED_MIN_MS + 2);
    EXPECT_EQ(ask("AT+UARTFT"), "100 1 0");
    EXPECT_EQ(sent_lines(), (lines{"kxd40", "kxd40", "+ok", "AT+UARTFT", "+ok", "AT+UARTFT"}));
}

/* After a silence the link is made again: the module's answer to the
 * keyword is the answer again, though it reads as the first one did. */
TEST_F(Replies, TheKeywordIsAnsweredAgainAfterASilence)
{
    learn(3);
    m.lost = {0}; /* the keyword goes twice: a copy of its answer is owed */
    ASSERT_EQ(link_handshake(window_link, window_link.query_resend, nullptr), 1);
    m.replies.erase("AT+UARTFT\n");
    ASSERT_EQ(ask("AT+UARTFT"), "unchanged 0 1");
    sn.sent.clear();
    EXPECT_EQ(link_handshake(window_link, window_link.query_resend, nullptr), 1);
    EXPECT_EQ(sent_lines(), (lines{"kxd40", "kxd40", "+ok"})) << "the first answer may be the copy still owed";

    /* While a copy is owed, what waits is dropped before the keyword goes:
     * an old answer to the keyword is no answer to this one. */
    m.lost = {m.sends};
    ASSERT_EQ(ask("AT+UART"), "57600,8,1,None,NFC 1 0");
    sn.arrive(m.replies["AT+UART\n"]);
    sn.arrive("127.0.0.2,ACCF23000002,OLD");
    std::string answer;
    EXPECT_EQ(link_handshake(window_link, window_link.query_resend, &answer), 1);
    EXPECT_EQ(answer, "127.0.0.2,ACCF23000002,KXD40-0002");
}

/* A reply that may be a late copy is asked again; if still unsure the query fails. */
TEST_F(Replies, WhatCannotBeToldApartFailsTheQueryByName)
{
    set_at_resend(2, 500);
    /* AT+UARTFT goes twice, half a second apart: the first is answered at
     * 800 ms, the second's copy comes 1300 ms after it, past its time.
     * Then AT+UARTFL goes twice and is lost each time; the copy comes
     * while it waits and reads as its answer would. */
    std::map<std::string, int> count;
    sn.on_send = [&](const sent_datagram& d) {
        int n = ++count[d.bytes];
        if (d.bytes == "AT+UARTFT\n")
            sn.arrive_at(d.at_ms + (n == 1 ? 800 : 1300), "+ok=100" + crlf2);
        else if (d.bytes != "AT+UARTFL\n")
            sn.arrive_at(d.at_ms + 1, m.replies[d.bytes]);
    };
    EXPECT_EQ(read_comm(), "unanswered: AT+UARTFL");
    EXPECT_EQ(count["AT+UARTFL\n"], 2) << "asked again";
    EXPECT_EQ(module_silent, 0);
    EXPECT_EQ(strMODComm.AFT, 100);
    EXPECT_EQ(strMODComm.maxsk, 32) << "the read goes on";
}

/* A copy owed that comes during the fifth query after its own is not its answer. */
TEST_F(Replies, AnOwedCopyIsKnownFourExchangesOn)
{
    set_at_resend(2, 500);
    /* AT+UARTFT goes twice and the first is answered; the copy owed for
     * the second comes just before the answer to the second AT+UARTFL. */
    std::map<std::string, int> count;
    sn.on_send = [&](const sent_datagram& d) {
        int n = ++count[d.bytes];
        if (d.bytes == "AT+UARTFT\n") {
            if (n == 1)
                sn.arrive_at(d.at_ms + 600, m.replies[d.bytes]);
            return;
        }
        if (d.bytes == "AT+UARTFL\n" && n == 2)
            sn.arrive_at(d.at_ms + 1, m.replies["AT+UARTFT\n"]);
        sn.arrive_at(d.at_ms + 5, m.replies[d.bytes]);
    };
    for (const char* q : {"AT+UARTFT", "AT+UARTFL", "AT+NETP", "AT+MAXSK", "AT+TCPTO"})
        ASSERT_NE(ask(q).substr(0, 9), "unchanged") << q;
    EXPECT_EQ(ask("AT+UARTFL"), "1024 1 0");
}

/* Resends past the window's ten seconds, none after a refusal; 0 tries: the window's. */
TEST_F(Exchange, ResendsTheCallerAllowsAreAllMadeButNeverAfterARefusal)
{
    const struct {
        int tries, wait_ms;
        bool setting;
        const char* cmd;
        std::string reply; /* 100 ms after the fourth send, or at once to each */
        const char* outcome;
    } rows[] = {
        {4, 4000, false, "AT+WMODE", "+ok=STA" + crlf2, "STA 1 0: 4 sent, 0 ms paused, 12100 ms"},
        {4, 4000, true, "AT+WMODE=AP", "", "0 1: 4 sent, 0 ms paused, 16000 ms"},
        {0, 500, false, "AT+VER", "", "unchanged 0 1: 4 sent, 0 ms paused, 2000 ms"},
        {0, 500, true, "AT+WMODE=AP", "", "0 1: 1 sent, 0 ms paused, 2000 ms"},
        {4, 500, false, "AT+UARTFT=50", "+ERR=-2" + crlf2, "unchanged 0 0: 1 sent, 200 ms paused, 700 ms"},
    };
    for (const auto& r : rows) {
        set_at_resend(r.tries, r.wait_ms);
        int sends = 0;
        sn.on_send = [&](const sent_datagram& d) {
            if (r.reply[0] == '+' && r.reply[1] == 'E')
                sn.arrive(r.reply);
            else if (++sends == 4 && !r.reply.empty())
                sn.arrive_at(d.at_ms + 100, r.reply);
        };
        EXPECT_EQ(outcome(r.setting, r.cmd), r.outcome) << r.cmd;
        sn.now += 120000;
    }
    EXPECT_STREQ(module_last_refusal, "+ERR=-2");
}

} // namespace
