/*
 * exchange_test.cpp - one AT command and its answers, played through the
 * scripted network: values, skipped and counted answers, echoes, silence
 * and stale datagrams.
 */
#include <gtest/gtest.h>

#include <string>

#include "discovery.h"
#include "link.h"
#include "module.h"
#include "scripted_net.h"
#include "strutil.h"

namespace {

const std::string crlf2 = "\r\n\r\n";

struct Exchange : testing::Test {
    scripted_net sn;
    net_scope scope{&sn};
    std::vector<std::string> replies;  /* arrive right after the next send */

    void SetUp() override
    {
        udpsocket = 7;
        copy_text(module_ip, "127.0.0.2");
        udp_add_r();
        sn.on_send = [this](const sent_datagram&) {
            for (const auto& r : replies)
                sn.arrive(r);
            replies.clear();
        };
    }
    void TearDown() override { udpsocket = 0; }
    std::string get(const char* cmd, int* result)
    {
        char value[100] = "unchanged";
        *result = module_send_cmd_get(cmd, value);
        return value;
    }
};

TEST_F(Exchange, QueryValueComesAfterTheSeparatorPastShortDatagrams)
{
    replies = {"abcd", "\r\n\r\n", "+o", "+ok=STA" + crlf2};
    int r = 0;
    EXPECT_EQ(get("AT+WMODE", &r), "STA");
    EXPECT_EQ(r, 1);
    ASSERT_EQ(sn.sent.size(), 1u);
    EXPECT_EQ(sn.sent[0].bytes, "AT+WMODE\n");
    EXPECT_EQ(sn.sent[0].to, "127.0.0.2:48899");
    EXPECT_TRUE(sn.pauses.empty()) << "datagrams of 4 bytes or less are no answer";

    replies = {"+ok" + crlf2};
    EXPECT_EQ(get("AT+MID", &r), "") << "no separator: nothing to read past the text";
    EXPECT_EQ(r, 1);
}

TEST_F(Exchange, FortyOtherAnswersGiveUp)
{
    for (int i = 0; i < 40; ++i)
        replies.push_back("+ERR=-1" + crlf2);
    replies.push_back("+ok=late" + crlf2);
    int r = 1;
    EXPECT_EQ(get("AT+VER", &r), "unchanged");
    EXPECT_EQ(r, 0);
    EXPECT_EQ(sn.pauses, std::vector<int>(40, 200));
    EXPECT_EQ(module_silent, 0);

    for (int i = 0; i < 39; ++i)
        replies.push_back("busy" + crlf2);
    replies.push_back("+ok=V2" + crlf2);
    EXPECT_EQ(get("AT+VER", &r), "V2") << "the 40th answer may still be the reply";

    for (int i = 0; i < 40; ++i)
        replies.push_back("+ERR=-1" + crlf2);
    EXPECT_EQ(module_send_cmd_set("AT+WMODE=AP"), 0) << "a setting gives up alike";
    EXPECT_EQ(module_silent, 0);
    sn.pauses.clear();
    replies = {"", "+ERR=-2" + crlf2, "+ok" + crlf2};
    EXPECT_EQ(module_send_cmd_set("AT+WMODE=XX"), 1);
    EXPECT_EQ(sn.pauses.size(), 2u) << "to a setting an empty datagram is an answer";
}

/* A query is asked again while nothing answers (a lost datagram is no
 * dead module); a setting goes once, since the module would run it twice.
 * Either way two seconds of silence end the exchange. */
TEST_F(Exchange, SilenceIsFourQueriesOrOneSettingInTwoSeconds)
{
    int r = 1;
    EXPECT_EQ(get("AT+VER", &r), "unchanged");
    EXPECT_EQ(r, 0);
    EXPECT_EQ(module_silent, 1);
    EXPECT_EQ(sn.wait_timeouts, std::vector<int>(4, 500));
    ASSERT_EQ(sn.sent.size(), 4u);
    for (const sent_datagram& d : sn.sent)
        EXPECT_EQ(d.bytes, "AT+VER\n");
    EXPECT_EQ(sn.now, 2000);

    sn.sent.clear();
    sn.wait_timeouts.clear();
    EXPECT_EQ(module_send_cmd_set("AT+WMODE=AP"), 0);
    EXPECT_EQ(module_silent, 1);
    EXPECT_EQ(sn.sent.size(), 1u);
    EXPECT_EQ(sn.wait_timeouts, std::vector<int>{2000});

    sn.forced_waits = {WAIT_READY, WAIT_READY};
    get("AT+VER", &r);
    EXPECT_EQ(module_silent, 1) << "a readiness report with nothing behind it is no datagram";
}

/* Whatever arrives, one exchange ends within ten seconds. */
TEST_F(Exchange, NoStreamOfDatagramsHoldsAnExchange)
{
    struct stream_case {
        const char* what;
        std::string bytes;
        int every_ms;
        int silent;
    };
    const stream_case cases[] = {
        {"4-byte datagrams", "\r\n\r\n", 500, 1},
        {"refusals just under the receive limit", "+ERR=-1" + crlf2, 1990, 0},
        {"oversized datagrams", std::string(150, '+'), 300, 0},
    };
    for (const stream_case& c : cases) {
        long long start = sn.now;
        for (long long t = c.every_ms; t < 120000; t += c.every_ms)
            sn.arrive_at(start + t, c.bytes);
        int r = 1;
        EXPECT_EQ(get("AT+VER", &r), "unchanged") << c.what;
        EXPECT_EQ(r, 0) << c.what;
        EXPECT_LE(sn.now - start, 10000) << c.what;
        EXPECT_GE(sn.now - start, 9000) << c.what;
        EXPECT_EQ(module_silent, c.silent) << c.what;
        sn.now += 120000;  /* the rest of the stream is stale */
        link_discard_pending();
    }
}

/* Datagrams from another host neither answer nor keep the wait going, nor
 * count as tries. */
TEST_F(Exchange, ForeignDatagramsDoNotHoldTheWait)
{
    sn.on_send = [this](const sent_datagram& d) {
        for (int t = 300; t < 10000; t += 300)
            sn.arrive_at(d.at_ms + t, "+ok=FOREIGN" + crlf2, "127.0.0.3");
    };
    int r = 0;
    EXPECT_EQ(get("AT+MID", &r), "unchanged");
    EXPECT_EQ(sn.now, 2000) << "the receive limit runs from the send";
    EXPECT_EQ(module_silent, 1);
    EXPECT_TRUE(sn.pauses.empty());
}

TEST_F(Exchange, AnEndedLinkSendsAndAwaitsNothing)
{
    link_end();
    int r = 1;
    get("AT+VER", &r);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(module_silent, 1) << "a read stops there";
    EXPECT_EQ(module_send_cmd_set("AT+WMODE=AP"), 0);
    EXPECT_TRUE(sn.sent.empty());
    EXPECT_TRUE(sn.wait_timeouts.empty());

    udp_add_r();
    replies = {"+ok=V1" + crlf2};
    EXPECT_EQ(get("AT+VER", &r), "V1") << "the next link is open again";

    udpsocket = 0;
    get("AT+VER", &r);
    EXPECT_EQ(r, 0) << "a failed send ends at once";
    EXPECT_EQ(module_send_cmd_set("AT+WMODE=AP"), 0);
    EXPECT_EQ(sn.wait_timeouts.size(), 1u);
}

TEST_F(Exchange, ModuleAddressesAreReadAsTheSearchChecksThem)
{
    copy_text(module_ip, "127.000.000.002");
    udp_add_r();
    replies = {"+ok=V1" + crlf2};
    int r = 0;
    EXPECT_EQ(get("AT+VER", &r), "V1");
    ASSERT_EQ(sn.sent.size(), 1u);
    EXPECT_EQ(sn.sent[0].to, "127.0.0.2:48899");

    copy_text(module_ip, "127.0.0.256");
    testing::internal::CaptureStdout();
    udp_add_r();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Module address not valid: 127.0.0.256\n");
    EXPECT_EQ(udpsendn("AT+VER\n", 7), -1);
    EXPECT_EQ(sn.sent.size(), 1u) << "nothing goes to 0.0.0.0";
}

/* Two settings may well read alike: a reply equal to a recent one, with
 * nothing after it, is the reply after a short wait for anything else. */
TEST_F(Exchange, AnEqualReplyWithNothingAfterItCounts)
{
    int r = 0;
    replies = {"+ok=disable" + crlf2};
    ASSERT_EQ(get("AT+UARTF", &r), "disable");
    sn.on_send = [this](const sent_datagram& d) { sn.arrive_at(d.at_ms + 1, "+ok=disable" + crlf2); };
    long long t0 = sn.now;
    EXPECT_EQ(get("AT+UARTF", &r), "disable");
    EXPECT_EQ(r, 1);
    EXPECT_EQ(module_silent, 0);
    EXPECT_EQ(sn.now - t0, 1 + AT_DUPLICATE_GRACE_MS);
}

/* A late copy of a reply from up to four queries back is no answer; one
 * from five back may be: the memory is that long and no longer. */
TEST_F(Exchange, ALateCopyFromUpToFourQueriesBackIsNoAnswer)
{
    int r = 0;
    for (const char* reply : {"+ok=AP", "+ok=admin", "+ok=Through"}) {
        replies = {reply + crlf2};
        ASSERT_EQ(get("AT+X", &r), reply + 4);
    }
    /* "admin" is two, three, four queries back in turn, then five. */
    for (const char* next : {"v2", "v3", "v4"}) {
        sn.on_send = [&](const sent_datagram& d) {
            sn.arrive_at(d.at_ms + 1, "+ok=admin" + crlf2);
            sn.arrive_at(d.at_ms + 40, std::string("+ok=") + next + crlf2);
        };
        EXPECT_EQ(get("AT+Y", &r), next);
    }
    sn.on_send = [this](const sent_datagram& d) {
        sn.arrive_at(d.at_ms + 1, "+ok=admin" + crlf2);
        sn.arrive_at(d.at_ms + 40, "+ok=other" + crlf2);
    };
    EXPECT_EQ(get("AT+WEBU", &r), "admin") << "five queries back it is a reply like any other";

    /* The real reply has its whole grace, however short the link waits
     * for an answer otherwise. */
    set_at_resend(4, 15);
    sn.now += 1000; /* "other" is stale by now */
    sn.on_send = [this](const sent_datagram& d) {
        sn.arrive_at(d.at_ms + 1, "+ok=admin" + crlf2);
        sn.arrive_at(d.at_ms + 40, "+ok=real" + crlf2);
    };
    EXPECT_EQ(get("AT+Z1", &r), "real");
    set_at_resend(0, 0);
}

/* The memory of recent replies is the link's: the next link, even to the
 * same module, takes an equal reply at once. */
TEST_F(Exchange, ANewLinkRemembersNoReplyOfTheLastOne)
{
    int r = 0;
    replies = {"+ok=V1" + crlf2};
    ASSERT_EQ(get("AT+VER", &r), "V1");
    for (void (*reopen)() : {+[] { udp_add_r(); }, +[] {
             link_end();
             udp_add_r();
         }}) {
        reopen();
        sn.on_send = [this](const sent_datagram& d) { sn.arrive_at(d.at_ms + 1, "+ok=V1" + crlf2); };
        long long t0 = sn.now;
        EXPECT_EQ(get("AT+VER", &r), "V1");
        EXPECT_EQ(sn.now - t0, 1) << "taken without waiting for anything else";
    }
}

TEST_F(Exchange, StaleDatagramsAreDroppedBeforeTheSend)
{
    sn.arrive("+ok=OLD" + crlf2);
    sn.arrive("127.0.0.3,ACCF23000003,LATE");
    replies = {"+ok=NEW" + crlf2};
    int r = 0;
    EXPECT_EQ(get("AT+WMODE", &r), "NEW");
}

TEST_F(Exchange, EchoOfAtEIsFollowedByTheReply)
{
    replies = {"AT+E\n", "+ok" + crlf2};
    EXPECT_EQ(module_send_cmd_set("AT+E"), 1);
    EXPECT_EQ(sn.wait_timeouts.size(), 2u) << "the reply after the echo is taken too";
    EXPECT_TRUE(sn.pauses.empty());
}

/* The page readers take every item into a buffer as long as the reply, so
 * an empty item between two others is the case they meet: it reads as
 * empty, not as the item before it. */
TEST(ListItems, EmptyItemsReadAsEmptyAndLongOnesAreSkippedWhole)
{
    auto items = [](const std::string& reply, int count, size_t cap) {
        std::vector<std::string> got;
        int p = 0;
        char item[20];
        for (int i = 0; i < count; ++i) {
            get_list_item(reply.c_str(), static_cast<int>(reply.size()), &p, item, cap);
            got.push_back(item);
        }
        return got;
    };
    EXPECT_EQ(items("a,, b ,", 5, 20), (std::vector<std::string>{"a", "", " b ", "", ""}));
    EXPECT_EQ(items(std::string(50, 'k') + ",next", 2, 8), (std::vector<std::string>{"kkkkkkk", "next"}));
}

} // namespace

/* The resend option: a silent wait sends the same command again, a
 * refusal never does, and the default is the window's single send. */
struct Resend : Exchange {
    void TearDown() override
    {
        set_at_resend(1, AT_RECEIVE_MS);
        Exchange::TearDown();
    }
};

/* Resends the caller allows beyond ten seconds are all made: the bound
 * is the tries times the wait, not the window's ten seconds. */
TEST_F(Resend, MoreThanTenSecondsOfResendsAreAllMade)
{
    set_at_resend(4, 4000);
    int sends = 0;
    sn.on_send = [&](const sent_datagram& d) {
        if (++sends == 4)
            sn.arrive_at(d.at_ms + 100, "+ok=STA" + crlf2);
    };
    int r = 0;
    EXPECT_EQ(get("AT+WMODE", &r), "STA");
    EXPECT_EQ(sn.now, 12100);
    ASSERT_EQ(sn.sent.size(), 4u);
    EXPECT_EQ(sn.sent[3].bytes, "AT+WMODE\n") << "the same command again";

    sn.on_send = nullptr;
    long long t0 = sn.now;
    EXPECT_EQ(module_send_cmd_set("AT+WMODE=AP"), 0);
    EXPECT_EQ(sn.now - t0, 16000) << "silence ends after the last wait";
    EXPECT_EQ(sn.sent.size(), 8u);
}

TEST_F(Resend, ARefusalIsNotSentAgain)
{
    set_at_resend(4, 500);
    replies = {"+ERR=-2" + crlf2};
    int r = 1;
    get("AT+UARTFT=50", &r);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(module_silent, 0);
    EXPECT_EQ(sn.sent.size(), 1u);
    EXPECT_STREQ(module_last_refusal, "+ERR=-2");
}

TEST_F(Resend, NonsenseRestoresTheWindowsResends)
{
    set_at_resend(0, 500);
    int r = 1;
    get("AT+VER", &r);
    EXPECT_EQ(sn.sent.size(), 4u);
    EXPECT_EQ(module_send_cmd_set("AT+WMODE=AP"), 0);
    EXPECT_EQ(sn.sent.size(), 5u) << "a setting goes once";
}
