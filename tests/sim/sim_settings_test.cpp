/*
 * sim_settings_test.cpp - the simulator's settings: every value it reports
 * can be set again, texts that may hold commas are taken whole, and a
 * value it refuses changes nothing.
 */
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim_settings.h"

using kxsim::at_status;
using kxsim::settings;

namespace {

settings unit_settings() { return settings({"127.0.0.2", "ACCF23001A2B", "KXD40-0002-LONG-NAME"}); }

std::string value_of(const settings& s, const std::string& name)
{
    std::string v;
    EXPECT_EQ(s.query(name, &v), at_status::ok) << name;
    return v;
}

} // namespace

/* What the tool reads from the simulator it can write back, as to a module. */
TEST(SimSettings, EveryReportedValueCanBeSetAgainButTheReadOnlyOnes)
{
    settings s = unit_settings();
    for (const char* name : {"MID", "VER", "WMODE", "TMODE", "WEBU", "UART", "UARTF", "UARTFT", "UARTFL", "NETP",
                             "MAXSK", "TCPTO", "WAP", "WAKEY", "WSKEY", "LANN", "DHCPGW", "WSSSID", "WANN"}) {
        const std::string n = name, v = value_of(s, n);
        EXPECT_FALSE(v.empty()) << n;
        bool read_only = n == "MID" || n == "VER";
        /* DHCP takes no addresses: the ones reported are kept from before. */
        const std::string set = n == "WANN" ? v.substr(0, v.find(',')) : v;
        EXPECT_EQ(s.assign(n, set), read_only ? at_status::refused : at_status::ok) << n << "=" << set;
        EXPECT_EQ(value_of(s, n), v) << n;
    }
    EXPECT_EQ(value_of(s, "MID"), "KXD40-0002-LONG") << "the ID cut to 15 characters";
    std::string v = "untouched";
    EXPECT_EQ(s.query("wmode", &v), at_status::refused);
    EXPECT_EQ(v, "untouched");
}

TEST(SimSettings, TextsWithCommasAreTakenWholeAndRefusalsChangeNothing)
{
    settings s = unit_settings();
    for (auto& [name, value] : std::vector<std::pair<std::string, std::string>>{
             {"WAP", "11N,a,b,,c,Auto"},         // the SSID is everything between
             {"WAKEY", "WPAPSK,TKIPAES,a,b,,c"}, // the key is all after two commas
             {"WSSSID", "home,net,"}}) {
        EXPECT_EQ(s.assign(name, value), at_status::ok) << name << "=" << value;
        EXPECT_EQ(value_of(s, name), value);
    }
    const settings before = s;
    for (auto& [name, value] : std::vector<std::pair<std::string, std::string>>{
             {"UARTFT", "99"}, {"UART", "9600,8,1,None"}, {"NETP", "TCP,Server,1,bad_host"},
             {"WAP", "11G," + std::string(33, 's') + ",CH7"}, {"WAKEY", "WPA2PSK,AES,"},
             {"WANN", "DHCP,1.1.1.1,2.2.2.2,3.3.3.3"}}) {
        EXPECT_EQ(s.assign(name, value), at_status::bad_value) << name << "=" << value;
        EXPECT_EQ(value_of(s, name), value_of(before, name)) << name << "=" << value;
    }
}
