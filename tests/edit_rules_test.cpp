/*
 * edit_rules_test.cpp - numbers, ranges and item codes of the page edits,
 * without a display.
 */
#include <gtest/gtest.h>

#include <climits>

#include "edit_rules.h"
#include "enums.h"

namespace {

TEST(EditRules, NumbersAreReadAsAtoiReadsThem)
{
    struct number_case {
        const char* text;
        int value;
    };
    const number_case cases[] = {
        {"250", 250}, {"  -5", -5}, {"+7x9", 7}, {"abc", 0}, {"", 0}, {"- 3", 0},
        {"99999999999", INT_MAX}, {"-99999999999", INT_MIN}, {"\t\n42", 42},
    };
    for (const number_case& c : cases)
        EXPECT_EQ(decimal_like_atoi(c.text), c.value) << '"' << c.text << '"';
}

TEST(EditRules, RangesCorrectTheLowerBoundFirstAndAcceptTheBounds)
{
    int v = 50;
    EXPECT_TRUE(correct_into_range(&v, 100, 10000));
    EXPECT_EQ(v, 100);
    v = 20000;
    EXPECT_TRUE(correct_into_range(&v, 100, 10000));
    EXPECT_EQ(v, 10000);
    for (int bound : {100, 10000}) {
        v = bound;
        EXPECT_FALSE(correct_into_range(&v, 100, 10000));
        EXPECT_EQ(v, bound);
    }
    v = 5;
    EXPECT_TRUE(correct_into_range(&v, 10, 1)) << "an empty range ends at its lower bound";
    EXPECT_EQ(v, 10);
}

/* The rules a combo's item table does not show: texts that are no item. */
TEST(EditRules, UnknownItemTextsGiveTheDefaultsOrKeepTheCode)
{
    char code = -1;
    struct_com_baud_set("31250", &code);
    EXPECT_EQ(code, BAUDRATE_57600);
    struct_ap_auth_set("wpa2psk", &code);
    EXPECT_EQ(code, WIFIAUTH_OPEN) << "texts are matched exactly";
    EXPECT_EQ(ap_standard_code("802.11AC", 0), APSTD_11BGN);
    EXPECT_EQ(encryption_code("CCMP", ENC_AES), ENC_AES) << "an unknown encryption keeps the code";
}

TEST(EditRules, OnlyATcpServerHasNoServerAddress)
{
    EXPECT_FALSE(server_address_wanted(NETMODE_SERVER, NETPROT_TCP));
    EXPECT_TRUE(server_address_wanted(NETMODE_CLIENT, NETPROT_TCP));
    EXPECT_TRUE(server_address_wanted(NETMODE_SERVER, NETPROT_UDP));
    EXPECT_EQ(encryption_list_of(WIFIAUTH_SHARED), ENCLIST_SHARED);
    EXPECT_EQ(encryption_list_of(WIFIAUTH_WPAPSK), ENCLIST_WPAPSK);
    EXPECT_EQ(encryption_list_of(WIFIAUTH_WPA2PSK), ENCLIST_WPAPSK);
}

} // namespace
