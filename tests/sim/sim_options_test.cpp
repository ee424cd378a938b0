/*
 * sim_options_test.cpp - the simulator's command line as the tests use it:
 * module names derived from addresses, which modules a behaviour option
 * reaches, and that a wrong line is refused with a reason.
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

/* Each module as "ip,mac,id latency silent boot next-version lose keep". */
std::vector<std::string> described(const sim_config& c)
{
    std::vector<std::string> out;
    for (const kxsim::module_config& m : c.modules)
        out.push_back(kxsim::ipv4_text(m.addr) + "," + m.mac + "," + m.id + " " + std::to_string(m.how.latency_ms) +
                      " " + std::to_string(m.how.silent) + " " + std::to_string(m.how.boot_ms) + " " +
                      m.how.next_version + " " + m.how.lose + " " + std::to_string(m.how.keep_settings));
    return out;
}

} // namespace

TEST(SimOptions, NamesComeFromTheAddressAndBehaviourReachesOnlyTheModulesAfterIt)
{
    sim_config c = parsed({"--module", "198.51.100.20", "--latency", "250", "--module", "10.1.2.3,AABBCCDDEEFF",
                           "--silent", "--boot-ms=4000", "--next-version", "V2 beta", "--lose", "AT+Z",
                           "--keep-settings", "--module", "127.0.0.4", "--reset-behaviour", "--module", "127.0.0.5"});
    EXPECT_EQ(described(c), (std::vector<std::string>{"198.51.100.20,ACCF23336414,KXD40-5620 0 0 0   0",
                                                      "10.1.2.3,AABBCCDDEEFF,KXD40-0515 250 0 0   0",
                                                      "127.0.0.4,ACCF23000004,KXD40-0004 250 1 4000 V2 beta AT+Z 1",
                                                      "127.0.0.5,ACCF23000005,KXD40-0005 0 0 0   0"}));
    c = parsed({"--latency", "5", "--firmware", "/tmp/fw", "--modules", "2", "--first", "127.0.0.2"});
    EXPECT_EQ(c.modules[1].how.latency_ms, 5) << "the counted modules take the last behaviour";
    EXPECT_EQ(kxsim::firmware_file(c, "127.0.0.3"), "/tmp/fw.127.0.0.3");
}

TEST(SimOptions, BadLinesAreRefusedWithAReason)
{
    const std::vector<std::vector<std::string>> bad = {
        {"--module", "127.0.0.256"}, {"--module", "127.0.0.2", "--module", "127.0.0.2"},
        {"--drop-rate", "1.5"},      {"--latency"},
        {"--bogus"},                 {"127.0.0.2"},
        {"--boot-ms", "-1"},         {"--next-version", "V2\r\n"},
        {"--lose", ""},
    };
    for (const auto& args : bad) {
        sim_config c;
        std::string error;
        EXPECT_EQ(parse(args, &c, &error), parse_result::fail) << args[0];
        EXPECT_FALSE(error.empty()) << args[0];
    }
}
