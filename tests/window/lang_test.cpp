/*
 * lang_test.cpp - converting the GB18030 texts for display. That every
 * text of the windows converts and has glyphs is checked where it is
 * shown (settings_window_test.cpp, display_test.cpp).
 */
#include <gtest/gtest.h>

#include <glib.h>
#include <string>

#include "lang.h"
#include "main.h"

namespace {

std::string converted(gchar* text)
{
    std::string out = text != nullptr ? text : "<failed>";
    g_free(text);
    return out;
}

TEST(Lang, TextsConvertAndInvalidBytesFail)
{
    EXPECT_EQ(converted(_("")), "");
    EXPECT_EQ(converted(_("Module IP: 192.168.1.7")), "Module IP: 192.168.1.7");
    EXPECT_EQ(converted(_((std::string(text_label_ver) + "V1.0").c_str())), "软件版本: V1.0");
    EXPECT_EQ(converted(_lang("\xcb\xd1\xcb\xf7")), "搜索");
    EXPECT_EQ(converted(_("\x81")), "<failed>") << "a lead byte without its trail byte";
    EXPECT_EQ(converted(_("\xff\xff")), "<failed>");
}

} // namespace
