/*
 * setting_values_test.cpp - setting lines read by the reply readers and
 * compared by value: what is taken, what is refused, and that every
 * command's values survive the trip through the readers.
 */
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "setting_values.h"
#include "strutil.h"

namespace {

using values = std::vector<std::string>;

/* A module as a read leaves it, from replies a module could give. */
module_pages a_module()
{
    module_pages p{};
    const char* replies[][2] = {
        {"WMODE", "STA"}, {"TMODE", "Agreement"}, {"WEBU", "admin,secret"}, {"UART", "115200,8,1,None,NFC"},
        {"UARTF", "enable"}, {"UARTFT", "100"}, {"UARTFL", "1024"}, {"NETP", "UDP,Client,8899,plc.example"},
        {"MAXSK", "32"}, {"TCPTO", "300"}, {"WAP", "11BGN,KXD40_640A,CH6"}, {"WAKEY", "WPA2PSK,AES,apkey123"},
        {"LANN", "10.10.100.254,255.255.255.0"}, {"DHCPGW", "10.10.100.1"}, {"WSSSID", "plant, hall 2"},
        {"WSKEY", "OPEN,NONE,"}, {"WANN", "Static,192.168.1.50,255.255.255.0,192.168.1.1"},
    };
    for (auto& r : replies)
        EXPECT_TRUE(read_setting_value(p, r[0], r[1])) << r[0];
    return p;
}

TEST(SettingValues, EveryCommandsValuesComeBackThroughTheReaders)
{
    module_pages m = a_module();
    for (const std::string& name : setting_commands()) {
        values sent = setting_values(m, name, false);
        ASSERT_FALSE(sent.empty()) << name;
        module_pages other{};
        EXPECT_TRUE(take_setting(other, name, sent)) << name;
        EXPECT_EQ(setting_values(other, name, false), sent) << name;
        for (size_t i = 0; i < setting_values(m, name, true).size(); ++i)
            EXPECT_NE(field_of_item(name, static_cast<int>(i)), nullptr) << name << " item " << i;
    }
}

TEST(SettingValues, ALineIsTakenByValueAndOnlyWhenTheRecordsCanHoldIt)
{
    module_pages m = a_module();
    std::string name;
    values items;

    ASSERT_TRUE(split_setting_line("AT+TCPTO=0300", &name, &items));
    EXPECT_TRUE(take_setting(m, name, items));
    EXPECT_EQ(setting_values(m, "TCPTO", false), values{"300"});

    ASSERT_TRUE(split_setting_line("AT+UART=9600,8,2,Even,FC", &name, &items));
    EXPECT_TRUE(take_setting(m, name, items));
    EXPECT_EQ(setting_values(m, "UART", false), (values{"9600", "8", "2", "Even", "FC"}));

    /* A baud rate the module does not name, a port beyond 16 bits, a user
     * longer than its field, one item too many: refused, nothing taken. */
    const module_pages before = m;
    for (const char* line : {"AT+UART=9601,8,1,None,NFC", "AT+NETP=TCP,Server,70000,10.0.0.1",
                             "AT+WEBU=abcdefghijklmnopqrstu,x", "AT+LANN=10.0.0.1,255.0.0.0,1", "AT+WMODE=sta"}) {
        ASSERT_TRUE(split_setting_line(line, &name, &items)) << line;
        EXPECT_FALSE(take_setting(m, name, items)) << line;
    }
    EXPECT_EQ(setting_values(m, "UART", false), setting_values(before, "UART", false));
    EXPECT_EQ(setting_values(m, "NETP", true), setting_values(before, "NETP", true));

    /* An SSID is the whole value, commas and all; a key without encryption
     * is not sent. */
    ASSERT_TRUE(split_setting_line("AT+WSSSID=a,b", &name, &items));
    EXPECT_EQ(items, values{"a,b"});
    ASSERT_TRUE(split_setting_line("AT+WSSSID= a", &name, &items));
    EXPECT_EQ(items, values{" a"}) << "as the builder writes an SSID that begins with a blank";
    ASSERT_TRUE(split_setting_line("AT+WAKEY=OPEN,NONE,ignored", &name, &items));
    EXPECT_TRUE(take_setting(m, name, items));
    EXPECT_EQ(setting_values(m, "WAKEY", false), (values{"OPEN", "NONE"}));

    EXPECT_FALSE(split_setting_line("AT+MID=other", &name, &items));
    EXPECT_FALSE(split_setting_line("AT+Z", &name, &items));
}

/* By the field's kind: numbers in number fields, addresses in address
 * fields, a server as an address only when both are addresses, and every
 * other text byte for byte. */
TEST(SettingValues, ValuesAreComparedAsTheirFieldReadsThem)
{
    const struct {
        const char* command;
        size_t item;
        const char *a, *b;
        bool same;
    } cases[] = {
        {"TCPTO", 0, "0300", "300", true},         {"TCPTO", 0, "300", "301", false},
        {"TCPTO", 0, "", "0", false},              {"LANN", 0, "010.010.100.001", "10.10.100.1", true},
        {"NETP", 3, "10.0.0.01", "10.0.0.1", true}, {"NETP", 3, "plc01", "plc1", false},
        {"UART", 3, "None", "None", true},         {"UART", 3, "None", "none", false},
        {"WSSSID", 0, "0123", "123", false},       {"WSSSID", 0, "10.0.0.01", "10.0.0.1", false},
        {"WSKEY", 2, "012345678", "12345678", false}, {"WEBU", 0, "007", "7", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(same_setting_value(c.command, c.item, c.a, c.b), c.same) << c.command << " " << c.a << " " << c.b;
}

TEST(SettingValues, AFactoryNameOfAnotherModuleIsItsIdentity)
{
    EXPECT_TRUE(names_another_module("KXD40_640A", "ACCF23A1B2C3"));
    EXPECT_FALSE(names_another_module("KXD40_640A", "ACCF2300640A"));
    EXPECT_FALSE(names_another_module("KXD40_640a", "ACCF2300640A"));
    EXPECT_FALSE(names_another_module("Line 3", "ACCF23A1B2C3"));
    EXPECT_FALSE(names_another_module("KXD40_64G0", "ACCF23A1B2C3"));
    EXPECT_FALSE(names_another_module("KXD40_640A1", "ACCF23A1B2C3"));
}

} // namespace
