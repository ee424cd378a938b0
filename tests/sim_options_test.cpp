/*
 * sim_options_test.cpp - the simulator's command line: module declarations
 * and their default names, which modules a behaviour option reaches, and
 * the lines it refuses.
 */
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim_options.h"
#include "sim_text.h"

using kxsim::parse_result;
using kxsim::sim_config;

namespace {

parse_result parse(std::vector<std::string> args, sim_config* config, std::string* error)
{
    std::vector<const char*> argv = {"kxd40-sim"};
    for (const std::string& a : args)
        argv.push_back(a.c_str());
    return kxsim::parse_options(static_cast<int>(argv.size()), argv.data(), config, error);
}

sim_config parsed(std::vector<std::string> args)
{
    sim_config config;
    std::string error;
    EXPECT_EQ(parse(args, &config, &error), parse_result::run) << error;
    return config;
}

std::vector<std::string> addresses(const sim_config& config)
{
    std::vector<std::string> out;
    for (const kxsim::module_config& m : config.modules)
        out.push_back(kxsim::ipv4_text(m.addr));
    return out;
}

} // namespace

TEST(SimOptions, WithoutModulesOneRunsAtTheDefaultAddress)
{
    sim_config c = parsed({});
    ASSERT_EQ(c.modules.size(), 1u);
    EXPECT_EQ(kxsim::ipv4_text(c.modules[0].addr), "127.0.0.2");
    EXPECT_EQ(c.modules[0].mac, "ACCF23000002");
    EXPECT_EQ(c.modules[0].id, "KXD40-0002");
    EXPECT_EQ(c.port, 48899);
    EXPECT_EQ(c.keyword, "KX-D40LOCATORPING");
    EXPECT_FALSE(c.broadcast_set);
}

TEST(SimOptions, ModulesTakeGivenOrDerivedNames)
{
    sim_config c = parsed({"--module", "198.51.100.20", "--module", "10.1.2.3,AABBCCDDEEFF",
                           "--module", "10.1.2.4,0011,ID,with,commas"});
    ASSERT_EQ(c.modules.size(), 3u);
    EXPECT_EQ(c.modules[0].mac, "ACCF23336414");
    EXPECT_EQ(c.modules[0].id, "KXD40-5620"); // 100 * 256 + 20 = 25620, last four digits
    EXPECT_EQ(c.modules[1].mac, "AABBCCDDEEFF");
    EXPECT_EQ(c.modules[1].id, "KXD40-0515");
    EXPECT_EQ(c.modules[2].mac, "0011");
    EXPECT_EQ(c.modules[2].id, "ID,with,commas");
}

TEST(SimOptions, RangesAreConsecutiveInEitherOrder)
{
    EXPECT_EQ(addresses(parsed({"--modules", "3", "--first", "10.0.0.254"})),
              (std::vector<std::string>{"10.0.0.254", "10.0.0.255", "10.0.1.0"}));
    EXPECT_EQ(addresses(parsed({"--first=127.0.0.5", "--modules=2", "--module", "127.0.0.9"})),
              (std::vector<std::string>{"127.0.0.5", "127.0.0.6", "127.0.0.9"}));
}

TEST(SimOptions, BehaviourReachesOnlyTheModulesDeclaredAfterIt)
{
    sim_config c = parsed({"--module", "127.0.0.2", "--latency", "250", "--drop-rate", "0.25",
                           "--module", "127.0.0.3", "--silent", "--answer-twice", "--garbage",
                           "--oversize", "--echo", "--search-only", "--module", "127.0.0.4",
                           "--reset-behaviour",
                           "--module", "127.0.0.5", "--seed", "99"});
    ASSERT_EQ(c.modules.size(), 4u);
    const kxsim::behaviour& plain = c.modules[0].how;
    EXPECT_EQ(plain.latency_ms, 0);
    EXPECT_EQ(plain.drop_rate, 0.0);
    EXPECT_FALSE(plain.silent || plain.twice || plain.garbage || plain.oversize || plain.echo ||
                 plain.search_only);
    EXPECT_EQ(c.modules[1].how.latency_ms, 250);
    EXPECT_EQ(c.modules[1].how.drop_rate, 0.25);
    EXPECT_FALSE(c.modules[1].how.silent);
    const kxsim::behaviour& odd = c.modules[2].how;
    EXPECT_EQ(odd.latency_ms, 250) << "behaviour adds up";
    EXPECT_TRUE(odd.silent && odd.twice && odd.garbage && odd.oversize && odd.echo && odd.search_only);
    const kxsim::behaviour& reset = c.modules[3].how;
    EXPECT_EQ(reset.latency_ms, 0);
    EXPECT_FALSE(reset.silent || reset.twice || reset.garbage || reset.oversize || reset.echo ||
                 reset.search_only);
    EXPECT_EQ(c.seed, 99u);
}

TEST(SimOptions, RunWideOptions)
{
    sim_config c = parsed({"--port", "5000", "--keyword", "HELLO", "--broadcast", "127.0.0.255",
                           "--log", "/tmp/x.log", "--firmware", "/tmp/fw", "--latency", "5"});
    EXPECT_EQ(c.port, 5000);
    EXPECT_EQ(c.keyword, "HELLO");
    EXPECT_TRUE(c.broadcast_set);
    EXPECT_EQ(kxsim::ipv4_text(c.broadcast), "127.0.0.255");
    EXPECT_EQ(c.log_path, "/tmp/x.log");
    ASSERT_EQ(c.modules.size(), 1u);
    EXPECT_EQ(c.modules[0].how.latency_ms, 5) << "the default module takes the last behaviour";
    EXPECT_EQ(kxsim::firmware_file(c, "127.0.0.2"), "/tmp/fw");
    c = parsed({"--firmware", "/tmp/fw", "--modules", "2", "--first", "127.0.0.2"});
    EXPECT_EQ(kxsim::firmware_file(c, "127.0.0.3"), "/tmp/fw.127.0.0.3");
}

TEST(SimOptions, BadLinesAreRefusedWithAReason)
{
    const std::vector<std::vector<std::string>> bad = {
        {"--module", "127.0.0.256"},
        {"--module", "127.0.0.2", "--module", "127.0.0.2"},
        {"--module", "127.0.0.2,"},
        {"--modules", "3"},
        {"--first", "127.0.0.2"},
        {"--modules", "0", "--first", "127.0.0.2"},
        {"--modules", "2", "--first", "255.255.255.255"},
        {"--drop-rate", "1.5"},
        {"--drop-rate", "0.5x"},
        {"--latency", "-1"},
        {"--port", "0"},
        {"--port", "65536"},
        {"--keyword", ""},
        {"--silent=yes"},
        {"--latency"},
        {"--bogus"},
        {"127.0.0.2"},
    };
    for (const auto& args : bad) {
        sim_config c;
        std::string error;
        EXPECT_EQ(parse(args, &c, &error), parse_result::fail) << args[0];
        EXPECT_FALSE(error.empty()) << args[0];
    }
    sim_config c;
    std::string error;
    EXPECT_EQ(parse({"--module", "bad", "--help"}, &c, &error), parse_result::fail);
    EXPECT_EQ(parse({"--help", "--bogus"}, &c, &error), parse_result::help);
}
