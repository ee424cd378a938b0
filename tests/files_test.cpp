/*
 * files_test.cpp - the keyword file, the settings file and the order of
 * the PC's own addresses.
 */
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "discovery.h"
#include "local_addr.h"
#include "setting_file.h"
#include "temp_dir.h"

namespace {

using KeywordFile = InTempDir;

TEST_F(KeywordFile, FirstLineWithItsLineFeedCutTo99OrTheDefault)
{
    const std::pair<const char*, std::string> cases[] = {
        {nullptr, "KX-D40LOCATORPING"},
        {"", "KX-D40LOCATORPING"},
        {"MYKEY", "MYKEY"},
        {"MYKEY\nsecond line\n", "MYKEY\n"},
    };
    char kw[100];
    for (auto& c : cases) {
        if (c.first != nullptr)
            write("data/aswd.txt", c.first);
        get_aswd(kw);
        EXPECT_EQ(kw, c.second) << (c.first ? c.first : "(no file)");
    }
    write("data/aswd.txt", std::string(150, 'k'));
    get_aswd(kw);
    EXPECT_EQ(std::string(kw), std::string(99, 'k'));
}

using SettingsFile = InTempDir;

struct para_case {
    const char* bytes;  /* nullptr: no file */
    int flag;
    const char* name;
};

TEST_F(SettingsFile, FlagAndNameCases)
{
    const para_case cases[] = {
        {nullptr, 0, "set_file.txt"},
        {"1 ", 1, "set_file.txt"},
        {"1", 1, "set_file.txt"},
        {"", 0, "set_file.txt"},
        {"1 cmds.txt", 1, "cmds.txt"},
        {"0 other.txt", 0, "other.txt"},
        {"2 x", 0, "x"},
        {"1xname", 1, "name"},
        {"1 edited.txt\n", 1, "edited.txt"},
        {"0 dos.txt\r\n", 0, "dos.txt"},
        {"0 \n", 0, "set_file.txt"},
    };
    for (const para_case& c : cases) {
        unlink("set_para.txt");
        if (c.bytes != nullptr)
            write("set_para.txt", c.bytes);
        auto_setting = 7;
        init_setting_para();
        EXPECT_EQ(auto_setting, c.flag) << (c.bytes ? c.bytes : "(no file)");
        EXPECT_STREQ(setting_file, c.name) << (c.bytes ? c.bytes : "(no file)");
    }
    write("set_para.txt", "1 " + std::string(40, 'n'));
    init_setting_para();
    EXPECT_EQ(std::string(setting_file), std::string(29, 'n'));
    /* Ten three-byte characters in 29 bytes: nine whole ones. */
    std::string wide;
    for (int i = 0; i < 10; ++i)
        wide += "命";
    write("set_para.txt", "0 " + wide);
    init_setting_para();
    EXPECT_EQ(std::string(setting_file), wide.substr(0, 27));
}

TEST(LocalAddresses, ResolverFirstThenInterfacesThenLoopbackWithoutDuplicates)
{
    auto got = order_local_addresses({"127.0.1.1", "192.0.2.5"},
                                     {"127.0.0.1", "198.51.100.1", "192.0.2.5"});
    std::vector<std::string> want = {"192.0.2.5", "198.51.100.1", "127.0.1.1", "127.0.0.1"};
    EXPECT_EQ(got, want);
    EXPECT_EQ(order_local_addresses({}, {"127.0.0.1"}), std::vector<std::string>{"127.0.0.1"});
    EXPECT_TRUE(order_local_addresses({}, {}).empty());
}

TEST(LocalAddresses, InterfacesOfThePrivateNetworkAreLoopbackOnly)
{
    /* The test process runs in a network of its own with only lo up. */
    EXPECT_EQ(interface_addresses(), std::vector<std::string>{"127.0.0.1"});
}

} // namespace
