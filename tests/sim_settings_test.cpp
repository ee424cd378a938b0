/*
 * sim_settings_test.cpp - the simulator's settings table: factory values,
 * the values each setting takes and how it reports them, the values it
 * refuses without changing anything, and the comma rules of the settings
 * whose texts may contain commas.
 */
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim_settings.h"

using kxsim::at_status;
using kxsim::settings;

namespace {

struct setting_case {
    std::string name, value, reported;
};

settings unit_settings() { return settings({"127.0.0.2", "ACCF23001A2B", "KXD40-0002-LONG-NAME"}); }

std::string value_of(const settings& s, const std::string& name)
{
    std::string v;
    EXPECT_EQ(s.query(name, &v), at_status::ok) << name;
    return v;
}

const std::string ssid32(32, 's'), key64(64, 'k'), host99(99, 'h');

} // namespace

TEST(SimSettings, FactoryValues)
{
    settings s = unit_settings();
    const std::vector<setting_case> factory = {
        {"MID", "", "KXD40-0002-LONG"}, // the ID cut to 15 characters
        {"VER", "", "V1.0.8"},
        {"WMODE", "", "AP"},
        {"TMODE", "", "Through"},
        {"WEBU", "", "admin,admin"},
        {"UART", "", "115200,8,1,None,NFC"},
        {"UARTF", "", "disable"},
        {"UARTFT", "", "100"},
        {"UARTFL", "", "1024"},
        {"NETP", "", "TCP,Server,8899,10.10.100.100"},
        {"MAXSK", "", "32"},
        {"TCPTO", "", "300"},
        {"WAP", "", "11BGN,KXD40_1A2B,CH1"},
        {"WAKEY", "", "OPEN,NONE"},
        {"WSKEY", "", "WPA2PSK,AES,12345678"},
        {"LANN", "", "10.10.100.254,255.255.255.0"},
        {"DHCPGW", "", "10.10.100.254"},
        {"WSSSID", "", "KX-AP"},
        {"WANN", "", "DHCP,0.0.0.0,0.0.0.0,0.0.0.0"},
    };
    for (const setting_case& f : factory)
        EXPECT_EQ(value_of(s, f.name), f.reported) << f.name;
}

TEST(SimSettings, AcceptedValuesAreReportedBack)
{
    const std::vector<setting_case> taken = {
        {"WMODE", "STA", "STA"},
        {"TMODE", "Agreement", "Agreement"},
        {"UARTF", "enable", "enable"},
        {"UARTFT", "0250", "250"}, // numbers lose leading zeros
        {"UARTFT", "10000", "10000"},
        {"UARTFL", "16", "16"},
        {"UARTFL", "4096", "4096"},
        {"MAXSK", "1", "1"},
        {"TCPTO", "0", "0"},
        {"TCPTO", "600", "600"},
        {"WEBU", "u,123456789012345", "u,123456789012345"},
        {"UART", "9600,7,2,Even,FC", "9600,7,2,Even,FC"},
        {"UART", "460800,5,1,Space,NFC", "460800,5,1,Space,NFC"},
        {"UART", "50,8,1,Mark,NFC", "50,8,1,Mark,NFC"},
        {"LANN", "192.168.1.1,255.255.0.0", "192.168.1.1,255.255.0.0"},
        {"DHCPGW", "255.255.255.255", "255.255.255.255"},
        {"DHCPGW", "010.001.1.1", "010.001.1.1"},
        {"NETP", "UDP,Client,65535,192.168.0.7", "UDP,Client,65535,192.168.0.7"},
        {"NETP", "TCP,Client,0,relay-1.example", "TCP,Client,0,relay-1.example"},
        {"NETP", "TCP,Server,80," + host99, "TCP,Server,80," + host99},
        {"WAP", "11N,a,b,,c,Auto", "11N,a,b,,c,Auto"}, // the SSID is everything between
        {"WAP", "11G," + ssid32 + ",CH14", "11G," + ssid32 + ",CH14"},
        {"WSSSID", "home,net,", "home,net,"},
        {"WAKEY", "WPAPSK,TKIPAES,a,b,,c", "WPAPSK,TKIPAES,a,b,,c"}, // the key is all after two commas
        {"WAKEY", "OPEN,WEP-A,12345", "OPEN,WEP-A,12345"},
        {"WAKEY", "OPEN,NONE", "OPEN,NONE"},
        {"WSKEY", "SHARED,WEP-H,k", "SHARED,WEP-H,k"},
        {"WSKEY", "WPA2PSK,AES," + key64, "WPA2PSK,AES," + key64},
        {"WSKEY", "OPEN,NONE", "OPEN,NONE"},
        {"WANN", "Static,192.168.5.9,255.255.255.0,192.168.5.1",
         "Static,192.168.5.9,255.255.255.0,192.168.5.1"},
        {"WANN", "DHCP", "DHCP,192.168.5.9,255.255.255.0,192.168.5.1"}, // addresses kept
    };
    settings s = unit_settings();
    for (const setting_case& c : taken) {
        EXPECT_EQ(s.assign(c.name, c.value), at_status::ok) << c.name << "=" << c.value;
        EXPECT_EQ(value_of(s, c.name), c.reported) << c.name << "=" << c.value;
    }
}

TEST(SimSettings, RefusedValuesChangeNothing)
{
    const std::vector<setting_case> refused = {
        {"WMODE", "sta", ""}, {"WMODE", "AP ", ""}, {"WMODE", "", ""}, {"WMODE", "AP,STA", ""},
        {"TMODE", "through", ""}, {"UARTF", "Enable", ""},
        {"UARTFT", "99", ""}, {"UARTFT", "10001", ""}, {"UARTFT", "-100", ""}, {"UARTFT", "+100", ""},
        {"UARTFT", " 100", ""}, {"UARTFT", "99999999999999999999", ""}, {"UARTFL", "15", ""},
        {"UARTFL", "4097", ""}, {"MAXSK", "0", ""}, {"MAXSK", "33", ""}, {"TCPTO", "601", ""},
        {"WEBU", "user", ""}, {"WEBU", "user,", ""}, {"WEBU", ",pass", ""},
        {"WEBU", "user,1234567890123456", ""}, {"WEBU", "a,b,c", ""},
        {"UART", "9600,8,1,None", ""}, {"UART", "9600,8,1,None,NFC,1", ""},
        {"UART", "9601,8,1,None,NFC", ""}, {"UART", "921600,8,1,None,NFC", ""},
        {"UART", "9600,4,1,None,NFC", ""}, {"UART", "9600,8,3,None,NFC", ""},
        {"UART", "9600,8,1,none,NFC", ""}, {"UART", "9600,8,1,None,", ""},
        {"DHCPGW", "256.1.1.1", ""}, {"DHCPGW", "1.2.3", ""}, {"DHCPGW", "1.2.3.4.5", ""},
        {"DHCPGW", "1..3.4", ""}, {"DHCPGW", " 1.2.3.4", ""}, {"DHCPGW", "1.2.3.4 ", ""},
        {"DHCPGW", "0001.2.3.4", ""}, {"DHCPGW", "+1.2.3.4", ""}, {"LANN", "192.168.1.1", ""},
        {"NETP", "TCP,Server,65536,1.2.3.4", ""}, {"NETP", "SCTP,Server,1,1.2.3.4", ""},
        {"NETP", "TCP,Master,1,1.2.3.4", ""}, {"NETP", "TCP,Server,1,1.2.3.256", ""},
        {"NETP", "TCP,Server,1,bad_host", ""}, {"NETP", "TCP,Server,1,", ""},
        {"NETP", "TCP,Server,80," + host99 + "h", ""},
        {"WAP", "11N,CH1", ""}, {"WAP", "11N,,CH1", ""}, {"WAP", "11AC,x,CH1", ""},
        {"WAP", "11N,x,CH15", ""}, {"WAP", "11N,x,CH01", ""}, {"WAP", "11N,x,auto", ""},
        {"WAP", "11G," + ssid32 + "s,CH7", ""},
        {"WSSSID", "", ""}, {"WSSSID", std::string(33, 'x'), ""}, {"WSSSID", "tab\there", ""},
        {"WAKEY", "OPEN,NONE,key", ""}, {"WAKEY", "OPEN,NONE,", ""}, {"WAKEY", "WPA2PSK,AES", ""},
        {"WAKEY", "WPA2PSK,AES,", ""}, {"WAKEY", "SHARED,NONE", ""}, {"WAKEY", "OPEN,AES,k", ""},
        {"WSKEY", "WPAPSK,WEP-H,key", ""}, {"WSKEY", "WPA3,AES,key", ""}, {"WSKEY", "OPEN", ""},
        {"WSKEY", "WPA2PSK,AES," + key64 + "k", ""},
        {"WANN", "DHCP,1.1.1.1,2.2.2.2,3.3.3.3", ""}, {"WANN", "Static", ""},
        {"WANN", "Static,1.1.1.1,2.2.2.2", ""}, {"WANN", "Static,1.1.1.1,2.2.2.2,3.3.3.300", ""},
        {"WANN", "static,1.1.1.1,2.2.2.2,3.3.3.3", ""},
        {"MID", "OTHER", "refused"}, {"VER", "V9", "refused"}, // read-only
    };
    settings s = unit_settings();
    settings fresh = unit_settings();
    for (const setting_case& c : refused) {
        at_status why = c.reported == "refused" ? at_status::refused : at_status::bad_value;
        EXPECT_EQ(s.assign(c.name, c.value), why) << c.name << "=" << c.value;
        EXPECT_EQ(value_of(s, c.name), value_of(fresh, c.name)) << c.name << "=" << c.value;
    }
}

TEST(SimSettings, UnknownNamesAreRefused)
{
    settings s = unit_settings();
    std::string v = "untouched";
    for (const char* name : {"NOPE", "wmode", "", "E"})
        EXPECT_EQ(s.query(name, &v), at_status::refused) << name;
    EXPECT_EQ(v, "untouched");
    EXPECT_EQ(s.assign("NOPE", "1"), at_status::refused);
}

TEST(SimSettings, FactoryRestoreUndoesEverySetting)
{
    settings s = unit_settings();
    ASSERT_EQ(s.assign("WMODE", "STA"), at_status::ok);
    ASSERT_EQ(s.assign("WAP", "11N,other,CH3"), at_status::ok);
    ASSERT_EQ(s.assign("WANN", "Static,1.1.1.1,2.2.2.2,3.3.3.3"), at_status::ok);
    s.restore_factory();
    EXPECT_EQ(value_of(s, "WMODE"), "AP");
    EXPECT_EQ(value_of(s, "WAP"), "11BGN,KXD40_1A2B,CH1");
    EXPECT_EQ(value_of(s, "WANN"), "DHCP,0.0.0.0,0.0.0.0,0.0.0.0");
}
