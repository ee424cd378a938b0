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
    char kw[100];
    get_aswd(kw);
    EXPECT_STREQ(kw, "KX-D40LOCATORPING") << "no file";
    write("data/aswd.txt", "MYKEY\nsecond line\n");
    get_aswd(kw);
    EXPECT_STREQ(kw, "MYKEY\n");
    write("data/aswd.txt", std::string(150, 'k'));
    get_aswd(kw);
    EXPECT_EQ(std::string(kw), std::string(99, 'k'));
}

using SettingsFile = InTempDir;

TEST_F(SettingsFile, TheNameEndsAtTheLineEndAndIsCutAtACharacter)
{
    const std::pair<const char*, const char*> cases[] = {
        {"1 edited.txt\n", "edited.txt"},
        {"0 dos.txt\r\n", "dos.txt"},
        {"0 \n", "set_file.txt"},
    };
    auto_setting = 7;
    init_setting_para();
    EXPECT_STREQ(setting_file, "set_file.txt") << "no file";
    for (auto& c : cases) {
        write("set_para.txt", c.first);
        init_setting_para();
        EXPECT_STREQ(setting_file, c.second) << c.first;
    }
    EXPECT_EQ(auto_setting, 0);
    write("set_para.txt", "1 " + std::string(40, 'n'));
    init_setting_para();
    EXPECT_EQ(auto_setting, 1);
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
}

TEST(LocalAddresses, InterfacesOfThePrivateNetworkAreLoopbackOnly)
{
    /* The test process runs in a network of its own with only lo up. */
    EXPECT_EQ(interface_addresses(), std::vector<std::string>{"127.0.0.1"});
}

} // namespace
