/*
 * edit_rules_test.cpp - numbers, ranges and item codes of the page edits,
 * without a display.
 */
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>

#include "edit_rules.h"
#include "enums.h"

namespace {

/* A number is what strtol reads, saturated to an int; a range is
 * corrected at its lower bound first and takes its bounds as they are. */
TEST(EditRules, NumbersAreReadAsStrtolSaturatedAndCorrectedIntoRange)
{
    for (const char* text : {"  -5", "+7x9", "abc", "- 3", "99999999999", "-99999999999"}) {
        long ref = std::strtol(text, nullptr, 10);
        EXPECT_EQ(decimal_like_atoi(text), ref > INT_MAX ? INT_MAX : ref < INT_MIN ? INT_MIN : ref) << text;
    }
    int v = 50;
    EXPECT_TRUE(correct_into_range(&v, 100, 10000));
    EXPECT_EQ(v, 100);
    v = 20000;
    EXPECT_TRUE(correct_into_range(&v, 100, 10000));
    EXPECT_EQ(v, 10000);
    v = 10000;
    EXPECT_FALSE(correct_into_range(&v, 100, 10000));
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

} // namespace
