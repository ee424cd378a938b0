/*
 * sim_module_test.cpp - one simulated module driven datagram by datagram,
 * for what the tool's tests take on trust: it answers only the exact
 * keyword and only a linked peer's exact command lines, its echo and its
 * duplicates really happen, a restart does what a module's does, an image
 * ends at its short datagram, and its losses follow the seed; a booting
 * module hears nothing, and an image can bring a new version. The factory
 * reload is met by the kxd40ctl reset and restore cases.
 */
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "sim_module.h"

using kxsim::behaviour;
using kxsim::peer;
using kxsim::sim_module;
using datagrams = std::vector<std::string>;

namespace {

const std::string keyword = kxsim::default_keyword;
const std::string answer = "127.0.0.2,ACCF23000002,KXD40-0002";
const peer tool{0x7f000001, 48899};
const peer other{0x7f000001, 50000};
const std::string ok = "+ok\r\n\r\n";

sim_module make_module(const behaviour& how = {}, uint32_t seed = 1)
{
    return sim_module({0x7f000002, "ACCF23000002", "KXD40-0002", how}, keyword, seed);
}

/* Keyword, its answer, then "+ok": what the tool does before any AT command. */
void link(sim_module& m, const peer& from = tool)
{
    ASSERT_EQ(m.handle(keyword, from).size(), m.how().twice ? 2u : 1u);
    ASSERT_TRUE(m.handle("+ok", from).empty());
    ASSERT_TRUE(m.linked());
}

} // namespace

/* A tool that sent a near keyword, skipped "+ok" or ended a line wrongly
 * would fail against the simulator as against a module. */
TEST(SimModule, OnlyTheExactKeywordThenOkThenWholeLinesAreAnswered)
{
    sim_module m = make_module();
    for (const std::string& near : {keyword + "\n", keyword.substr(0, 16), std::string("kx-d40locatorping")})
        EXPECT_TRUE(m.handle(near, tool).empty()) << near;
    EXPECT_TRUE(m.handle("AT+VER\n", tool).empty());
    EXPECT_TRUE(m.handle("+ok", tool).empty());
    EXPECT_TRUE(m.handle("AT+VER\n", tool).empty()) << "+ok without a keyword first";
    EXPECT_EQ(m.handle(keyword, tool), datagrams{answer});
    for (const char* near : {"+ok\r\n", "+OK", "ok"})
        EXPECT_TRUE(m.handle(near, tool).empty()) << near;
    EXPECT_FALSE(m.linked());
    link(m);
    EXPECT_EQ(m.handle(keyword, other), datagrams{answer}) << "a linked module still answers a search";
    EXPECT_EQ(m.handle("AT+VER\n", tool), datagrams{"+ok=V1.0.8\r\n\r\n"});
    for (const char* bad : {"AT+VER", "AT+VER\r\n", "at+VER\n", "AT+FOO\n"})
        EXPECT_EQ(m.handle(bad, tool), datagrams{"+ERR=-1\r\n\r\n"}) << bad;
    EXPECT_EQ(m.handle("AT+WMODE=XX\n", tool), datagrams{"+ERR=-2\r\n\r\n"});
    EXPECT_EQ(m.handle("AT+WMODE=STA\n", tool), datagrams{ok});
    EXPECT_EQ(m.handle("AT+WMODE\n", tool), datagrams{"+ok=STA\r\n\r\n"});
}

TEST(SimModule, EchoComesBeforeTheReplyAndARestartEndsTheLinkKeepingSettings)
{
    sim_module m = make_module();
    link(m);
    EXPECT_EQ(m.handle("AT+E\n", tool), datagrams{ok}) << "echo was off: no echo of AT+E";
    EXPECT_EQ(m.handle("AT+WMODE=STA\n", tool), (datagrams{"AT+WMODE=STA\n", ok}));
    EXPECT_EQ(m.handle("AT+E\n", tool), (datagrams{"AT+E\n", ok}));
    EXPECT_FALSE(m.echo());
    m.handle("AT+E\n", tool);
    EXPECT_TRUE(m.handle("AT+Z\n", tool).empty()) << "a restart is neither echoed nor answered";
    EXPECT_FALSE(m.linked());
    EXPECT_TRUE(m.handle("+ok", tool).empty());
    EXPECT_TRUE(m.handle("AT+WMODE\n", tool).empty()) << "the old keyword no longer counts";
    link(m);
    EXPECT_EQ(m.handle("AT+WMODE\n", tool), datagrams{"+ok=STA\r\n\r\n"}) << "echo off again, setting kept";
}

TEST(SimModule, FirmwareIsTakenVerbatimUpToTheShortChunk)
{
    sim_module m = make_module();
    link(m);
    EXPECT_EQ(m.handle("AT+FWUPDAT\n", tool), datagrams{ok});
    std::string chunk(kxsim::firmware_chunk, 'a');
    chunk[0] = '\0';
    chunk[1] = '\n';
    EXPECT_TRUE(m.handle(chunk, tool).empty());
    std::string image;
    EXPECT_FALSE(m.take_firmware(&image)) << "not complete before the short datagram";
    EXPECT_EQ(m.handle(keyword, other).size(), 1u) << "other peers are served meanwhile";
    EXPECT_TRUE(m.handle(keyword, tool).empty()) << "even a keyword is data now";
    ASSERT_TRUE(m.take_firmware(&image));
    EXPECT_EQ(image, chunk + keyword);
    EXPECT_FALSE(m.linked());

    link(m);
    EXPECT_EQ(m.handle("AT+VER\n", tool), datagrams{"+ok=V1.0.8\r\n\r\n"}) << "no next version: unchanged";
    m.handle("AT+FWUPDAT\n", tool);
    m.handle(chunk, tool);
    EXPECT_TRUE(m.handle("", tool).empty());
    ASSERT_TRUE(m.take_firmware(&image)) << "an empty datagram ends an image of full chunks";
    EXPECT_EQ(image, chunk);
}

/* The fault tests mean something only if the faults happen. */
TEST(SimModule, ATwiceOneSendsEverythingTwiceAndDropsFollowTheSeed)
{
    behaviour how;
    how.twice = true;
    how.echo = true;
    sim_module m = make_module(how);
    link(m);
    EXPECT_EQ(m.handle("AT+TCPTO\n", tool),
              (datagrams{"AT+TCPTO\n", "AT+TCPTO\n", "+ok=300\r\n\r\n", "+ok=300\r\n\r\n"}));

    auto decisions = [](double rate, uint32_t seed) {
        behaviour lossy;
        lossy.drop_rate = rate;
        sim_module s = make_module(lossy, seed);
        std::vector<bool> d;
        for (int i = 0; i < 400; ++i)
            d.push_back(s.drop_next());
        return d;
    };
    EXPECT_EQ(decisions(0.3, 7), decisions(0.3, 7));
    EXPECT_NE(decisions(0.3, 7), decisions(0.3, 8));
    std::vector<bool> half = decisions(0.5, 3);
    long dropped = std::count(half.begin(), half.end(), true);
    EXPECT_GT(dropped, 120);
    EXPECT_LT(dropped, 280);
}

/* A tool that waits out a restart must find the module deaf, not merely
 * mute: what it sends meanwhile, even the keyword, is not remembered. */
TEST(SimModule, ABootingModuleHearsNothingUntilItIsBackUnlinked)
{
    behaviour how;
    how.boot_ms = 3000;
    sim_module m = make_module(how);
    link(m);
    EXPECT_TRUE(m.handle("AT+Z\n", tool, 1000).empty());
    EXPECT_TRUE(m.booting(3999));
    EXPECT_TRUE(m.handle(keyword, other, 3999).empty()) << "no search answer while booting";
    EXPECT_TRUE(m.handle(keyword, tool, 3999).empty());
    EXPECT_TRUE(m.handle("+ok", tool, 4000).empty());
    EXPECT_TRUE(m.handle("AT+VER\n", tool, 4000).empty()) << "the keyword sent while booting did not count";
    EXPECT_EQ(m.handle(keyword, tool, 4000), datagrams{answer});
    EXPECT_TRUE(m.handle("+ok", tool, 4000).empty());
    EXPECT_EQ(m.handle("AT+VER\n", tool, 4000), datagrams{"+ok=V1.0.8\r\n\r\n"});

    EXPECT_EQ(m.handle("AT+FWUPDAT\n", tool, 5000), datagrams{ok});
    EXPECT_TRUE(m.handle("end", tool, 6000).empty());
    EXPECT_TRUE(m.handle(keyword, other, 8999).empty()) << "the end of an image is a restart too";
    EXPECT_EQ(m.handle(keyword, other, 9000), datagrams{answer});
    EXPECT_FALSE(m.linked());
}

TEST(SimModule, AWholeImageBringsTheNextVersionWhichAFactoryResetKeeps)
{
    behaviour how;
    how.next_version = "V2.0.1";
    sim_module m = make_module(how);
    link(m);
    EXPECT_EQ(m.handle("AT+VER\n", tool), datagrams{"+ok=V1.0.8\r\n\r\n"});
    m.handle("AT+FWUPDAT\n", tool);
    m.handle(std::string(kxsim::firmware_chunk, 'a'), tool);
    m.handle(keyword, other);
    link(m, other);
    EXPECT_EQ(m.handle("AT+VER\n", other), datagrams{"+ok=V1.0.8\r\n\r\n"}) << "the image is not whole yet";
    m.handle("end", tool);
    link(m);
    EXPECT_EQ(m.handle("AT+VER\n", tool), datagrams{"+ok=V2.0.1\r\n\r\n"});
    EXPECT_EQ(m.handle("AT+RELD\n", tool), datagrams{ok});
    EXPECT_EQ(m.handle("AT+VER\n", tool), datagrams{"+ok=V2.0.1\r\n\r\n"});
}
