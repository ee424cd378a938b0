/*
 * values_test.cpp - the values a page holds, without a network: numbers,
 * ranges and item codes of the edits, the records' copies, setting lines
 * read and compared by value, addresses, and network bytes made valid
 * UTF-8 for display.
 */
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

#include "discovery.h"
#include "edit_rules.h"
#include "enums.h"
#include "module.h"
#include "setting_values.h"
#include "strutil.h"
#include "utf8_text.h"

namespace {

using values = std::vector<std::string>;

/* A number is what strtol reads, saturated to an int; a range is
 * corrected at its lower bound first and takes its bounds as they are. */
TEST(EditRules, NumbersAreReadAsStrtolSaturatedAndCorrectedIntoRange)
{
    for (const char* text : {"  -5", "+7x9", "abc", "- 3", "99999999999", "-99999999999"}) {
        long ref = std::strtol(text, nullptr, 10);
        EXPECT_EQ(decimal_like_atoi(text), ref > INT_MAX ? INT_MAX : ref < INT_MIN ? INT_MIN : ref) << text;
    }
    const struct {
        int v, low, high, corrected;
    } ranges[] = {{50, 100, 10000, 100}, {20000, 100, 10000, 10000}, {10000, 100, 10000, -1}, {5, 10, 1, 10}};
    for (const auto& c : ranges) {
        int v = c.v;
        EXPECT_EQ(correct_into_range(&v, c.low, c.high), c.corrected >= 0) << c.v;
        EXPECT_EQ(v, c.corrected >= 0 ? c.corrected : c.v) << c.v << ": an empty range ends at its lower bound";
    }

    /* The rules a combo's item table does not show: texts that are no item. */
    char code = -1;
    struct_com_baud_set("31250", &code);
    EXPECT_EQ(code, BAUDRATE_57600);
    struct_ap_auth_set("wpa2psk", &code);
    EXPECT_EQ(code, WIFIAUTH_OPEN) << "texts are matched exactly";
    EXPECT_EQ(ap_standard_code("802.11AC", 0), APSTD_11BGN);
    EXPECT_EQ(encryption_code("CCMP", ENC_AES), ENC_AES) << "an unknown encryption keeps the code";
    for (int v : {-1, COMPARITY_SPACE + 1}) {
        EXPECT_STREQ(enum_module_text(parity_table, v, "?"), "?") << v << " is outside the table";
        EXPECT_EQ(enum_combo_text(parity_table, v), nullptr) << v;
    }
}

TEST(Records, TheCommCopyKeepsTheHostNameUnderAnAddressAndAChosenModuleIsCopied)
{
    for (char bip : {1, 0}) {
        strMODComm = {};
        copy_text(strMODComm.hostname, "kept.example");
        strMODComm_up.bip = bip;
        strMODComm_up.port = 8899;
        copy_text(strMODComm_up.hostname, "server.lan");
        copy_module_comm_struct();
        const _MOD_COMM_STRUCT& c = strMODComm;
        EXPECT_EQ(c.hostname + (" " + std::to_string(c.port)) + " " + std::to_string(c.bip),
                  bip ? "kept.example 8899 1" : "server.lan 8899 0");
    }

    strmodule_num = 2;
    strmodule[1] = {0, "127.0.0.3", "ACCF23000003", "KXD40-0003"};
    ASSERT_EQ(choose_module(1, "KW"), 1);
    EXPECT_EQ((values{module_ip, module_mac, module_id, module_aswd}),
              (values{"127.0.0.3", "ACCF23000003", "KXD40-0003", "KW"}));
    EXPECT_EQ(choose_module(2, "KW"), 0) << "a remembered row beyond the table";
    EXPECT_EQ(choose_module(-1, "KW"), 0);
    EXPECT_STREQ(module_ip, "127.0.0.3");
}

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

/* A value the records cannot hold is refused and nothing is taken. */
TEST(SettingValues, ALineIsTakenByValueAndOnlyWhenTheRecordsCanHoldIt)
{
    const struct {
        const char* line;
        bool setting;
        values taken; /* nothing taken: refused */
    } cases[] = {
        {"AT+TCPTO=0300", true, {"300"}}, {"AT+UART=9600,8,2,Even,FC", true, {"9600", "8", "2", "Even", "FC"}},
        {"AT+UART=9601,8,1,None,NFC", true, {}}, {"AT+NETP=TCP,Server,70000,10.0.0.1", true, {}},
        {"AT+WEBU=abcdefghijklmnopqrstu,x", true, {}}, {"AT+LANN=10.0.0.1,255.0.0.0,1", true, {}},
        {"AT+WMODE=sta", true, {}}, {"AT+WSSSID=a,b", true, {"a,b"}}, {"AT+WSSSID= a", true, {" a"}},
        {"AT+WAKEY=OPEN,NONE,ignored", true, {"OPEN", "NONE"}}, {"AT+MID=other", false, {}}, {"AT+Z", false, {}},
    };
    module_pages m = a_module();
    for (const auto& c : cases) {
        std::string name;
        values items;
        ASSERT_EQ(split_setting_line(c.line, &name, &items), c.setting) << c.line;
        const values before = c.setting ? setting_values(m, name, true) : values{};
        EXPECT_EQ(c.setting && take_setting(m, name, items), !c.taken.empty()) << c.line;
        if (c.setting) {
            EXPECT_EQ(setting_values(m, name, c.taken.empty()), c.taken.empty() ? before : c.taken) << c.line;
        }
    }
}

/* A server is an address only when both are; other texts go byte for byte. */
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
    /* A factory name of another module is that module's identity. */
    const std::pair<const char*, const char*> factory[] = {{"KXD40_640A", "ACCF2300640A"}, {"KXD40_640a", "ACCF2300640A"},
        {"Line 3", "ACCF23A1B2C3"}, {"KXD40_64G0", "ACCF23A1B2C3"}, {"KXD40_640A1", "ACCF23A1B2C3"}};
    EXPECT_TRUE(names_another_module("KXD40_640A", "ACCF23A1B2C3"));
    for (const auto& f : factory)
        EXPECT_FALSE(names_another_module(f.first, f.second)) << f.first << " " << f.second;
}


#define R "\xEF\xBF\xBD"  /* U+FFFD */

TEST(Utf8ForDisplay, KeepsWellFormedTextAndReplacesEachIllFormedPart)
{
    const std::pair<const char*, const char*> cases[] = {
        {"", ""},
        {"KXD40-5610", "KXD40-5610"},
        {"\xC2\x80\xDF\xBF \xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80\xEF\xBF\xBF \xF0\x90\x80\x80\xF4\x8F\xBF\xBF",
         "\xC2\x80\xDF\xBF \xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80\xEF\xBF\xBF \xF0\x90\x80\x80\xF4\x8F\xBF\xBF"},
        {"KX\xFF\xFE-01", "KX" R R "-01"},
        {"\x80\xBF", R R},                                                  /* lone continuations */
        {"\xC0\xAF \xC1\xBF", R R " " R R},                                 /* overlong two-byte */
        {"\xE0\x80\xAF", R R R},                                            /* overlong three-byte */
        {"\xF0\x8F\xBF\xBF", R R R R},                                      /* overlong four-byte */
        {"\xED\xA0\x80 \xED\xBF\xBF", R R R " " R R R},                     /* surrogates */
        {"\xF4\x90\x80\x80 \xF5\x80", R R R R " " R R},                     /* past U+10FFFF */
        {"\xE6\xA8-\xF0\x9F\x98", R "-" R},                                 /* cut sequences */
        {"\xE6\xA8\xE6\xA8\xA1", R "\xE6\xA8\xA1"},                         /* a cut one before a whole one */
        {"\xC4\xA3\xBF\xE9", "\xC4\xA3" R R},                               /* GB18030 bytes of 模块 */
    };
    for (const auto& c : cases)
        EXPECT_EQ(utf8_for_display(c.first), c.second) << testing::PrintToString(std::string(c.first));
    EXPECT_EQ(utf8_for_display(nullptr), "");
}

#undef R

/* The search checks the addresses in answers with the reading of the
 * page readers. */
TEST(StringToIp, FourGroupsUpTo255OrNothingChanges)
{
    using bytes = std::vector<int>;
    unsigned char a[4] = {1, 2, 3, 4};
    for (const char* bad : {"", "256.1.1.1", "1.2.3", "1.2.3.4.5", "1..2.3", ".1.2.3", "1.2.3.", "1.2.3.4x",
                            " 1.2.3.4", "1.2.3.4 ", "+1.2.3.4", "-1.2.3.4", "1.2.3.-4", "1.2.3.0004", "a.b.c.d"})
        EXPECT_EQ(string_to_ip(bad, a), 0) << bad;
    EXPECT_EQ(bytes(a, a + 4), (bytes{1, 2, 3, 4}));
    ASSERT_EQ(string_to_ip("192.168.001.255", a), 1);
    EXPECT_EQ(bytes(a, a + 4), (bytes{192, 168, 1, 255}));
}

} // namespace
