/*
 * sim_options_test.cpp - the simulator's command line as the tests use it:
 * module declarations and their default names, which modules a behaviour
 * option reaches, and that a wrong line is refused with a reason.
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

std::vector<std::string> modules(const sim_config& config)
{
    std::vector<std::string> out;
    for (const kxsim::module_config& m : config.modules)
        out.push_back(kxsim::ipv4_text(m.addr) + "," + m.mac + "," + m.id);
    return out;
}

} // namespace

TEST(SimOptions, ModulesTakeGivenOrDerivedNames)
{
    EXPECT_EQ(modules(parsed({})), std::vector<std::string>{"127.0.0.2,ACCF23000002,KXD40-0002"});
    EXPECT_EQ(modules(parsed({"--module", "198.51.100.20", "--module", "10.1.2.3,AABBCCDDEEFF", "--module",
                              "10.1.2.4,0011,ID,with,commas"})),
              (std::vector<std::string>{"198.51.100.20,ACCF23336414,KXD40-5620", "10.1.2.3,AABBCCDDEEFF,KXD40-0515",
                                        "10.1.2.4,0011,ID,with,commas"}));
    EXPECT_EQ(modules(parsed({"--first=10.0.0.255", "--modules=2", "--module", "127.0.0.9"})),
              (std::vector<std::string>{"10.0.0.255,ACCF230000FF,KXD40-0255", "10.0.1.0,ACCF23000100,KXD40-0256",
                                        "127.0.0.9,ACCF23000009,KXD40-0009"}));
}

TEST(SimOptions, BehaviourReachesOnlyTheModulesDeclaredAfterIt)
{
    sim_config c = parsed({"--module", "127.0.0.2", "--latency", "250", "--module", "127.0.0.3", "--silent",
                           "--garbage", "--search-only", "--module", "127.0.0.4", "--reset-behaviour", "--module",
                           "127.0.0.5"});
    ASSERT_EQ(c.modules.size(), 4u);
    EXPECT_EQ(c.modules[0].how.latency_ms, 0);
    EXPECT_FALSE(c.modules[0].how.silent);
    EXPECT_EQ(c.modules[1].how.latency_ms, 250);
    EXPECT_FALSE(c.modules[1].how.silent);
    EXPECT_EQ(c.modules[2].how.latency_ms, 250) << "behaviour adds up";
    EXPECT_TRUE(c.modules[2].how.silent && c.modules[2].how.garbage && c.modules[2].how.search_only);
    EXPECT_EQ(c.modules[3].how.latency_ms, 0);
    EXPECT_FALSE(c.modules[3].how.silent || c.modules[3].how.garbage || c.modules[3].how.search_only);
    c = parsed({"--latency", "5", "--firmware", "/tmp/fw"});
    EXPECT_EQ(c.modules[0].how.latency_ms, 5) << "the default module takes the last behaviour";
    EXPECT_EQ(kxsim::firmware_file(c, "127.0.0.2"), "/tmp/fw");
    c = parsed({"--firmware", "/tmp/fw", "--modules", "2", "--first", "127.0.0.2"});
    EXPECT_EQ(kxsim::firmware_file(c, "127.0.0.3"), "/tmp/fw.127.0.0.3");
}

TEST(SimOptions, BadLinesAreRefusedWithAReason)
{
    const std::vector<std::vector<std::string>> bad = {
        {"--module", "127.0.0.256"}, {"--module", "127.0.0.2", "--module", "127.0.0.2"},
        {"--modules", "3"},          {"--modules", "2", "--first", "255.255.255.255"},
        {"--drop-rate", "1.5"},      {"--port", "65536"},
        {"--silent=yes"},            {"--latency"},
        {"--bogus"},                 {"127.0.0.2"},
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
