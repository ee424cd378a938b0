/*
 * sim_module_test.cpp - one simulated module driven datagram by datagram:
 * discovery, the link handshake, the AT reply layouts, echo, restart,
 * factory reset, firmware reception and the misbehaviour options.
 */
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "sim_module.h"
#include "sim_text.h"

using kxsim::behaviour;
using kxsim::peer;
using kxsim::sim_module;
using datagrams = std::vector<std::string>;

namespace {

const std::string keyword = kxsim::default_keyword;
const peer tool{0x7f000001, 48899};
const peer other{0x7f000001, 50000};
const std::string ok = "+ok\r\n\r\n";

sim_module make_module(const behaviour& how = {}, const std::string& id = "KXD40-0002",
                       uint32_t seed = 1)
{
    return sim_module({0x7f000002, "ACCF23000002", id, how}, keyword, seed);
}

/* Keyword, its answer, then "+ok": what the tool does before any AT command. */
void link(sim_module& m, const peer& from = tool)
{
    ASSERT_EQ(m.handle(keyword, from).size(), m.how().twice ? 2u : 1u);
    ASSERT_TRUE(m.handle("+ok", from).empty());
    ASSERT_TRUE(m.linked());
}

} // namespace

TEST(SimModule, DiscoveryAnswerIsIpMacIdInEveryState)
{
    sim_module m = make_module();
    const datagrams answer = {"127.0.0.2,ACCF23000002,KXD40-0002"};
    EXPECT_EQ(m.handle(keyword, tool), answer);
    link(m);
    EXPECT_EQ(m.handle(keyword, other), answer) << "linked";
    m.handle("AT+Z\n", tool);
    EXPECT_EQ(m.handle(keyword, tool), answer) << "after a restart";
    for (const std::string& near : {keyword + "\n", keyword.substr(0, 16), keyword + keyword,
                                    std::string("kx-d40locatorping"), std::string()})
        EXPECT_TRUE(m.handle(near, tool).empty()) << near;
}

TEST(SimModule, AtCommandsNeedKeywordThenOk)
{
    sim_module m = make_module();
    EXPECT_TRUE(m.handle("AT+VER\n", tool).empty());
    EXPECT_TRUE(m.handle("+ok", tool).empty());
    EXPECT_TRUE(m.handle("AT+VER\n", tool).empty()) << "+ok without a keyword first";
    m.handle(keyword, tool);
    for (const char* near : {"+ok\r\n", "+OK", "ok", "+ok "})
        EXPECT_TRUE(m.handle(near, tool).empty()) << near;
    EXPECT_FALSE(m.linked());
    EXPECT_TRUE(m.handle("+ok", tool).empty());
    EXPECT_TRUE(m.linked());
    EXPECT_EQ(m.handle("AT+VER\n", tool), datagrams{"+ok=V1.0.8\r\n\r\n"});
    EXPECT_TRUE(m.handle("+ok", tool).empty()) << "a second +ok changes nothing";
    EXPECT_TRUE(m.linked());
}

TEST(SimModule, RepliesAreOkWithTheValueOrErrAndAnErrorChangesNothing)
{
    sim_module m = make_module();
    link(m);
    EXPECT_EQ(m.handle("AT+UART=9600,8,1,None,NFC\n", tool), datagrams{ok});
    EXPECT_EQ(m.handle("AT+UART\n", tool), datagrams{"+ok=9600,8,1,None,NFC\r\n\r\n"});
    EXPECT_EQ(m.handle("AT+WAP=11N,my,net,CH6\n", tool), datagrams{ok});
    EXPECT_EQ(m.handle("AT+WAP\n", tool), datagrams{"+ok=11N,my,net,CH6\r\n\r\n"});
    for (const char* bad : {"AT+FOO\n", "AT+VER", "AT+VER\r\n", "at+VER\n", "AT+MID=x\n", "AT+Z=1\n", "\n"})
        EXPECT_EQ(m.handle(bad, tool), datagrams{"+ERR=-1\r\n\r\n"}) << bad;
    for (const char* bad : {"AT+WMODE=XX\n", "AT+WMODE=AP,STA\n", "AT+UART=115200,8,1\n"})
        EXPECT_EQ(m.handle(bad, tool), datagrams{"+ERR=-2\r\n\r\n"}) << bad;
    EXPECT_EQ(m.handle("AT+WMODE\n", tool), datagrams{"+ok=AP\r\n\r\n"});
    EXPECT_EQ(m.handle("AT+UART\n", tool), datagrams{"+ok=9600,8,1,None,NFC\r\n\r\n"});
    EXPECT_TRUE(m.linked());
    sim_module blank = make_module({}, "");
    link(blank);
    EXPECT_EQ(blank.handle("AT+MID\n", tool), datagrams{"+ok=\r\n\r\n"});
}

TEST(SimModule, EchoTogglesAndComesBeforeTheReply)
{
    sim_module m = make_module();
    link(m);
    EXPECT_EQ(m.handle("AT+E\n", tool), datagrams{ok}) << "echo was off: no echo of AT+E";
    EXPECT_TRUE(m.echo());
    EXPECT_EQ(m.handle("AT+VER\n", tool), (datagrams{"AT+VER\n", "+ok=V1.0.8\r\n\r\n"}));
    EXPECT_EQ(m.handle("AT+NOPE\n", tool), (datagrams{"AT+NOPE\n", "+ERR=-1\r\n\r\n"}));
    EXPECT_EQ(m.handle("AT+E\n", tool), (datagrams{"AT+E\n", ok}));
    EXPECT_FALSE(m.echo());
    EXPECT_EQ(m.handle("AT+VER\n", tool), datagrams{"+ok=V1.0.8\r\n\r\n"});
}

TEST(SimModule, RestartEndsTheLinkKeepsSettingsAndResetsEcho)
{
    behaviour echoing;
    echoing.echo = true;
    sim_module m = make_module(echoing);
    link(m);
    EXPECT_EQ(m.handle("AT+E\n", tool), (datagrams{"AT+E\n", ok}));
    EXPECT_EQ(m.handle("AT+WMODE=STA\n", tool), datagrams{ok});
    EXPECT_TRUE(m.handle("AT+Z\n", tool).empty());
    EXPECT_FALSE(m.linked());
    EXPECT_TRUE(m.handle("AT+WMODE\n", tool).empty());
    EXPECT_TRUE(m.handle("+ok", tool).empty());
    EXPECT_TRUE(m.handle("AT+WMODE\n", tool).empty()) << "the old keyword no longer counts";
    link(m);
    EXPECT_TRUE(m.echo()) << "echo back to its start-up value";
    EXPECT_EQ(m.handle("AT+WMODE\n", tool), (datagrams{"AT+WMODE\n", "+ok=STA\r\n\r\n"}));
    EXPECT_TRUE(m.handle("AT+Z\n", tool).empty()) << "a restart is not echoed";
}

TEST(SimModule, FactoryReloadRestoresDefaultsAndStaysLinked)
{
    sim_module m = make_module();
    link(m);
    EXPECT_EQ(m.handle("AT+WSSSID=a,b\n", tool), datagrams{ok});
    EXPECT_EQ(m.handle("AT+WANN=Static,1.2.3.4,255.0.0.0,1.2.3.1\n", tool), datagrams{ok});
    EXPECT_EQ(m.handle("AT+WSSSID\n", tool), datagrams{"+ok=a,b\r\n\r\n"});
    EXPECT_EQ(m.handle("AT+RELD\n", tool), datagrams{ok});
    EXPECT_EQ(m.handle("AT+WSSSID\n", tool), datagrams{"+ok=KX-AP\r\n\r\n"});
    EXPECT_EQ(m.handle("AT+WANN\n", tool), datagrams{"+ok=DHCP,0.0.0.0,0.0.0.0,0.0.0.0\r\n\r\n"});
}

TEST(SimModule, FirmwareIsTakenVerbatimUpToTheShortChunk)
{
    sim_module m = make_module();
    link(m);
    EXPECT_EQ(m.handle("AT+FWUPDAT\n", tool), datagrams{ok});
    std::string chunk(kxsim::firmware_chunk, 'a');
    chunk[0] = '\0';
    chunk[1] = '\n';
    const std::string big(5000, 'B'); // longer than a chunk still counts as full
    for (const std::string& d : {chunk, big})
        EXPECT_TRUE(m.handle(d, tool).empty());
    std::string image;
    EXPECT_FALSE(m.take_firmware(&image)) << "not complete before the short datagram";
    EXPECT_EQ(m.handle(keyword, other).size(), 1u) << "other peers are served meanwhile";
    EXPECT_TRUE(m.handle(keyword, tool).empty()) << "even a keyword is data now";
    ASSERT_TRUE(m.take_firmware(&image));
    EXPECT_EQ(image, chunk + big + keyword);
    EXPECT_FALSE(m.take_firmware(&image));
    EXPECT_FALSE(m.linked());
    EXPECT_TRUE(m.handle("AT+VER\n", tool).empty());
    EXPECT_EQ(m.handle(keyword, tool).size(), 1u) << "after the image the keyword is a keyword";

    link(m);
    m.handle("AT+FWUPDAT\n", tool);
    m.handle(chunk, tool);
    EXPECT_TRUE(m.handle("", tool).empty());
    ASSERT_TRUE(m.take_firmware(&image)) << "an empty datagram ends an image of full chunks";
    EXPECT_EQ(image, chunk);
}

TEST(SimModule, ASilentModuleSendsNothingAndATwiceOneEveryDatagramTwice)
{
    behaviour how;
    how.silent = true;
    sim_module quiet = make_module(how);
    for (const char* d : {keyword.c_str(), "+ok", "AT+VER\n"})
        EXPECT_TRUE(quiet.handle(d, tool).empty()) << d;
    how = behaviour{};
    how.twice = true;
    how.echo = true;
    sim_module m = make_module(how);
    const std::string answer = "127.0.0.2,ACCF23000002,KXD40-0002";
    EXPECT_EQ(m.handle(keyword, tool), (datagrams{answer, answer}));
    link(m);
    EXPECT_EQ(m.handle("AT+TCPTO\n", tool),
              (datagrams{"AT+TCPTO\n", "AT+TCPTO\n", "+ok=300\r\n\r\n", "+ok=300\r\n\r\n"}));
}

TEST(SimModule, GarbageIsNoValidAnswer)
{
    behaviour how;
    how.garbage = true;
    how.echo = true;
    sim_module m = make_module(how);
    datagrams d = m.handle(keyword, tool);
    ASSERT_EQ(d.size(), 1u);
    std::vector<std::string> items = kxsim::split(d[0], ',');
    uint32_t addr = 0;
    EXPECT_FALSE(items.size() == 3 && kxsim::parse_ipv4(items[0], &addr)) << d[0];
    link(m);
    for (const char* line : {"AT+VER\n", "AT+WMODE=STA\n", "AT+NOPE\n"}) {
        d = m.handle(line, tool);
        ASSERT_EQ(d.size(), 2u) << line;
        EXPECT_EQ(d[0], line) << "the echo stays an echo";
        EXPECT_NE(d[1].compare(0, 3, "+ok"), 0) << d[1];
        EXPECT_NE(d[1].compare(0, 4, "+ERR"), 0) << d[1];
    }
    m.handle("AT+E\n", tool);
    EXPECT_EQ(m.handle("AT+WMODE\n", tool).size(), 1u);
}

TEST(SimModule, OversizedAnswersStayWellFormedButLong)
{
    behaviour how;
    how.oversize = true;
    sim_module m = make_module(how);
    const std::string answer = "127.0.0.2,ACCF23000002,KXD40-0002";
    datagrams d = m.handle(keyword, tool);
    ASSERT_EQ(d.size(), 1u);
    EXPECT_GT(d[0].size(), 100u);
    EXPECT_EQ(d[0].compare(0, answer.size(), answer), 0) << d[0];
    link(m);
    for (const char* line : {"AT+VER\n", "AT+WMODE=STA\n", "AT+WMODE\n"}) {
        d = m.handle(line, tool);
        ASSERT_EQ(d.size(), 1u);
        EXPECT_GT(d[0].size(), 100u);
        EXPECT_EQ(d[0].find("\r\n"), d[0].size() - 4) << "one reply, not several";
    }
    EXPECT_EQ(m.handle("AT+VER\n", tool)[0].compare(0, 10, "+ok=V1.0.8"), 0);
    EXPECT_EQ(d[0].compare(0, 8, "+ok=STAX"), 0) << "the setting was still taken";
}

TEST(SimModule, DropsFollowTheSeed)
{
    auto decisions = [](double rate, uint32_t seed) {
        behaviour how;
        how.drop_rate = rate;
        sim_module m = make_module(how, "KXD40-0002", seed);
        std::vector<bool> d;
        for (int i = 0; i < 400; ++i)
            d.push_back(m.drop_next());
        return d;
    };
    EXPECT_EQ(decisions(0.3, 7), decisions(0.3, 7));
    EXPECT_NE(decisions(0.3, 7), decisions(0.3, 8));
    EXPECT_EQ(decisions(0.0, 7), std::vector<bool>(400, false));
    EXPECT_EQ(decisions(1.0, 7), std::vector<bool>(400, true));
    std::vector<bool> half = decisions(0.5, 3);
    long dropped = std::count(half.begin(), half.end(), true);
    EXPECT_GT(dropped, 120);
    EXPECT_LT(dropped, 280);
}
