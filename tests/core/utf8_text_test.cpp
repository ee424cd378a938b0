/*
 * utf8_text_test.cpp - network bytes made valid UTF-8 for display.
 */
#include <gtest/gtest.h>

#include <string>

#include "utf8_text.h"

namespace {

#define R "\xEF\xBF\xBD"  /* U+FFFD */

TEST(Utf8ForDisplay, KeepsWellFormedTextAndReplacesEachIllFormedPart)
{
    struct text_case {
        const char* in;
        const char* shown;
    };
    const text_case cases[] = {
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
    for (const text_case& c : cases)
        EXPECT_EQ(utf8_for_display(c.in), c.shown) << testing::PrintToString(std::string(c.in));
    EXPECT_EQ(utf8_for_display(nullptr), "");
}

#undef R

} // namespace
