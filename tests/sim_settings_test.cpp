/*
 * sim_settings_test.cpp - the simulator's settings: every value it reports
 * can be set again, the comma rules of the settings whose texts may hold
 * commas, a sample of the values it refuses without changing anything,
 * and the factory restore.
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

const std::string ssid32(32, 's'), key64(64, 'k'), host99(99, 'h');

} // namespace

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
    EXPECT_EQ(value_of(s, "WAP"), "11BGN,KXD40_1A2B,CH1") << "the access point is named after the MAC";
    std::string v = "untouched";
    for (const char* name : {"NOPE", "wmode", "", "E"})
        EXPECT_EQ(s.query(name, &v), at_status::refused) << name;
    EXPECT_EQ(v, "untouched");
    EXPECT_EQ(s.assign("NOPE", "1"), at_status::refused);
}

TEST(SimSettings, AcceptedValuesAreReportedAsTaken)
{
    struct setting_case {
        std::string name, value, reported;
    };
    const std::vector<setting_case> taken = {
        {"UARTFT", "0250", "250"}, // numbers lose leading zeros
        {"UART", "460800,5,1,Space,NFC", "460800,5,1,Space,NFC"},
        {"NETP", "TCP,Client,0,relay-1.example", "TCP,Client,0,relay-1.example"},
        {"NETP", "TCP,Server,80," + host99, "TCP,Server,80," + host99},
        {"WAP", "11N,a,b,,c,Auto", "11N,a,b,,c,Auto"}, // the SSID is everything between
        {"WAP", "11G," + ssid32 + ",CH14", "11G," + ssid32 + ",CH14"},
        {"WSSSID", "home,net,", "home,net,"},
        {"WAKEY", "WPAPSK,TKIPAES,a,b,,c", "WPAPSK,TKIPAES,a,b,,c"}, // the key is all after two commas
        {"WSKEY", "WPA2PSK,AES," + key64, "WPA2PSK,AES," + key64},
        {"WANN", "Static,192.168.5.9,255.255.255.0,192.168.5.1", "Static,192.168.5.9,255.255.255.0,192.168.5.1"},
        {"WANN", "DHCP", "DHCP,192.168.5.9,255.255.255.0,192.168.5.1"}, // addresses kept
    };
    settings s = unit_settings();
    for (const setting_case& c : taken) {
        EXPECT_EQ(s.assign(c.name, c.value), at_status::ok) << c.name << "=" << c.value;
        EXPECT_EQ(value_of(s, c.name), c.reported) << c.name << "=" << c.value;
    }
}

TEST(SimSettings, BadValuesChangeNothing)
{
    const std::vector<std::pair<std::string, std::string>> refused = {
        {"WMODE", "sta"}, {"UARTFT", "99"}, {"UARTFT", "+100"}, {"MAXSK", "33"}, {"WEBU", "user,1234567890123456"},
        {"UART", "9601,8,1,None,NFC"}, {"UART", "9600,8,1,None"}, {"DHCPGW", "0001.2.3.4"},
        {"NETP", "TCP,Server,1,bad_host"}, {"NETP", "TCP,Server,80," + host99 + "h"}, {"WAP", "11N,x,CH15"},
        {"WAP", "11G," + ssid32 + "s,CH7"}, {"WSSSID", std::string(33, 'x')}, {"WAKEY", "OPEN,TKIP,31415926"},
        {"WAKEY", "WPA2PSK,AES,"}, {"WSKEY", "WPA2PSK,AES," + key64 + "k"}, {"WANN", "DHCP,1.1.1.1,2.2.2.2,3.3.3.3"},
        {"WANN", "Static,1.1.1.1,2.2.2.2,3.3.3.300"},
    };
    settings s = unit_settings();
    const settings fresh = unit_settings();
    for (auto& [name, value] : refused) {
        EXPECT_EQ(s.assign(name, value), at_status::bad_value) << name << "=" << value;
        EXPECT_EQ(value_of(s, name), value_of(fresh, name)) << name << "=" << value;
    }
}

TEST(SimSettings, FactoryRestoreUndoesEverySetting)
{
    settings s = unit_settings();
    const settings fresh = unit_settings();
    ASSERT_EQ(s.assign("WMODE", "STA"), at_status::ok);
    ASSERT_EQ(s.assign("WAP", "11N,other,CH3"), at_status::ok);
    ASSERT_EQ(s.assign("WANN", "Static,1.1.1.1,2.2.2.2,3.3.3.3"), at_status::ok);
    s.restore_factory();
    for (const char* name : {"WMODE", "WAP", "WANN"})
        EXPECT_EQ(value_of(s, name), value_of(fresh, name)) << name;
}
