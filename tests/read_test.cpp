/*
 * read_test.cpp - the page readers' parsing and their fallbacks for refused
 * or odd values, with a scripted module that answers each query from a
 * table; and the reading of dotted addresses.
 */
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

#include "discovery.h"
#include "link.h"
#include "module.h"
#include "scripted_net.h"
#include "strutil.h"

namespace {

struct Read : testing::Test {
    scripted_net sn;
    net_scope scope{&sn};
    /* query -> value; a query not listed is refused. */
    std::map<std::string, std::string> values;
    std::vector<std::string> asked;

    void SetUp() override
    {
        udpsocket = 7;
        copy_text(module_ip, "127.0.0.2");
        udp_add_r();
        sn.on_send = [this](const sent_datagram& d) {
            std::string q = d.bytes.substr(0, d.bytes.size() - 1);
            asked.push_back(q);
            auto v = values.find(q);
            sn.arrive(v != values.end() ? "+ok=" + v->second + "\r\n\r\n" : "+ERR=-1\r\n\r\n");
        };
        strMODMana = strMODMana_up = {};
        strMODComm = strMODComm_up = {};
        strMODAP = strMODAP_up = {};
        strMODSTA = strMODSTA_up = {};
    }
    void TearDown() override { udpsocket = 0; }
};

std::string ip(const unsigned char* a)
{
    char t[16];
    format_text(t, sizeof t, "%d.%d.%d.%d", a[0], a[1], a[2], a[3]);
    return t;
}

TEST_F(Read, ManagementPage)
{
    values = {{"AT+MID", "KXD40-0002"}, {"AT+WMODE", "STA"}, {"AT+TMODE", "Agreement"},
              {"AT+WEBU", "admin,secret"}, {"AT+VER", "V1.0.8"}};
    strMODMana.dirty = 1;
    init_module_mana_struct();
    EXPECT_EQ(asked, (std::vector<std::string>{"AT+MID", "AT+WMODE", "AT+TMODE", "AT+WEBU", "AT+VER"}));
    EXPECT_STREQ(strMODMana.mid, "KXD40-0002");
    EXPECT_EQ(strMODMana.wmode, WIFIMODE_STA);
    EXPECT_EQ(strMODMana.tmode, WORKMODE_AG);
    EXPECT_STREQ(strMODMana.user, "admin");
    EXPECT_STREQ(strMODMana.pswd, "secret");
    EXPECT_STREQ(strMODMana.mver, "V1.0.8");
    EXPECT_EQ(strMODMana.inited, 1);
    EXPECT_EQ(strMODMana.dirty, 0);
    EXPECT_STREQ(strMODMana_up.user, "admin");
    EXPECT_EQ(strMODMana_up.wmode, WIFIMODE_STA);

    values = {{"AT+WMODE", "AP"}, {"AT+TMODE", "agreement"}};
    init_module_mana_struct();
    EXPECT_EQ(strMODMana.wmode, WIFIMODE_AP);
    EXPECT_EQ(strMODMana.tmode, WORKMODE_TH) << "case matters";
    EXPECT_STREQ(strMODMana.mid, "KXD40-0002") << "a refused MID leaves the field";
    EXPECT_STREQ(strMODMana.mver, "V1.0.8");
    EXPECT_STREQ(strMODMana.user, "") << "a refused list reads as empty";

    values = {{"AT+MID", std::string(92, 'm')}, {"AT+VER", std::string(92, 'v')},
              {"AT+WEBU", std::string(40, 'u') + "," + std::string(40, 'p')}};
    init_module_mana_struct();
    EXPECT_EQ(std::string(strMODMana.mid), std::string(15, 'm')) << "long values are cut to their fields";
    EXPECT_EQ(std::string(strMODMana.mver), std::string(9, 'v'));
    EXPECT_EQ(std::string(strMODMana.user), std::string(19, 'u'));
    EXPECT_EQ(std::string(strMODMana.pswd), std::string(19, 'p'));
}

TEST_F(Read, CommunicationPage)
{
    values = {{"AT+UART", "115200,7,2,Even,FC"}, {"AT+UARTF", "enable"}, {"AT+UARTFT", "250"},
              {"AT+UARTFL", "512"}, {"AT+NETP", "UDP,Client,8899,192.168.1.7"}, {"AT+MAXSK", "4"},
              {"AT+TCPTO", "300"}};
    copy_text(strMODComm.hostname, "kept");
    init_module_comm_struct();
    EXPECT_EQ(strMODComm.baud, BAUDRATE_115200);
    EXPECT_EQ(strMODComm.data_bits, COMBITS_7);
    EXPECT_EQ(strMODComm.stop_bits, COMSTOPBITS_2);
    EXPECT_EQ(strMODComm.parity, COMPARITY_EVEN);
    EXPECT_EQ(strMODComm.fc, COMFC_EN);
    EXPECT_EQ(strMODComm.bAF, COMAF_EN);
    EXPECT_EQ(strMODComm.AFT, 250);
    EXPECT_EQ(strMODComm.AFL, 512);
    EXPECT_EQ(strMODComm.protocol, NETPROT_UDP);
    EXPECT_EQ(strMODComm.mode, NETMODE_CLIENT);
    EXPECT_EQ(strMODComm.port, 8899);
    EXPECT_EQ(strMODComm.bip, 1);
    EXPECT_EQ(ip(strMODComm.ipadd), "192.168.1.7");
    EXPECT_STREQ(strMODComm.hostname, "kept");
    EXPECT_EQ(strMODComm.maxsk, 4);
    EXPECT_EQ(strMODComm.TCPto, 300);
    EXPECT_EQ(strMODComm_up.port, 8899);
}

TEST_F(Read, CommunicationFallbacks)
{
    values = {{"AT+UART", "57601,9,3,odd,fc"}, {"AT+UARTF", "disable"}, {"AT+UARTFT", "12abc"},
              {"AT+NETP", "TCP,Server,70000," + std::string(75, 'h')}};
    init_module_comm_struct();
    EXPECT_EQ(strMODComm.baud, BAUDRATE_57600);
    EXPECT_EQ(strMODComm.data_bits, COMBITS_8);
    EXPECT_EQ(strMODComm.stop_bits, COMSTOPBITS_1);
    EXPECT_EQ(strMODComm.parity, COMPARITY_NONE);
    EXPECT_EQ(strMODComm.fc, COMFC_DIS);
    EXPECT_EQ(strMODComm.bAF, COMAF_DIS);
    EXPECT_EQ(strMODComm.AFT, 12);
    EXPECT_EQ(strMODComm.AFL, 0) << "refused: an empty text is 0";
    EXPECT_EQ(strMODComm.protocol, NETPROT_TCP);
    EXPECT_EQ(strMODComm.mode, NETMODE_SERVER);
    EXPECT_EQ(strMODComm.port, 70000 % 65536);
    EXPECT_EQ(strMODComm.bip, 0);
    EXPECT_EQ(std::string(strMODComm.hostname), std::string(75, 'h'));

    values = {};
    init_module_comm_struct();
    EXPECT_EQ(strMODComm.protocol, NETPROT_UDP);
    EXPECT_EQ(strMODComm.mode, NETMODE_CLIENT);
    EXPECT_EQ(strMODComm.bip, 0);
    EXPECT_STREQ(strMODComm.hostname, "");
}

TEST_F(Read, ApPage)
{
    values = {{"AT+WAP", "11N,office,CH6"}, {"AT+WAKEY", "WPA2PSK,AES,supersecret"},
              {"AT+LANN", "10.10.100.254,255.255.255.0"}, {"AT+DHCPGW", "10.10.100.1"}};
    strMODAP.bDHCP = DHCP_DISABLE;
    init_module_ap_struct();
    EXPECT_EQ(strMODAP.mode, APSTD_11N);
    EXPECT_STREQ(strMODAP.SSID, "office");
    EXPECT_EQ(strMODAP.channel, APCH_CH6);
    EXPECT_EQ(strMODAP.enc_auth, WIFIAUTH_WPA2PSK);
    EXPECT_EQ(strMODAP.enc_encry, ENC_AES);
    EXPECT_STREQ(strMODAP.password, "supersecret");
    EXPECT_EQ(ip(strMODAP.ipadd), "10.10.100.254");
    EXPECT_EQ(ip(strMODAP.ipmask), "255.255.255.0");
    EXPECT_EQ(ip(strMODAP.dhcpgw), "10.10.100.1");
    EXPECT_EQ(strMODAP.bDHCP, DHCP_ENABLE);

    values = {{"AT+WAP", "11X,x,CH15"}, {"AT+WAKEY", "SHARED,WEP-Q"}, {"AT+LANN", "host,1.2.3"}};
    init_module_ap_struct();
    EXPECT_EQ(strMODAP.mode, APSTD_11BGN);
    EXPECT_EQ(strMODAP.channel, APCH_AUTO);
    EXPECT_EQ(strMODAP.enc_auth, WIFIAUTH_SHARED);
    EXPECT_EQ(strMODAP.enc_encry, ENC_AES) << "an unknown encryption leaves the value";
    EXPECT_STREQ(strMODAP.password, "");
    EXPECT_EQ(ip(strMODAP.ipadd), "10.10.100.254") << "not an address: unchanged";
    EXPECT_EQ(ip(strMODAP.dhcpgw), "10.10.100.1");
}

TEST_F(Read, StaPage)
{
    values = {{"AT+WSSSID", "home,2nd floor"}, {"AT+WSKEY", "OPEN,NONE"},
              {"AT+WANN", "Static,192.168.1.50,255.255.255.0,192.168.1.1"}};
    init_module_sta_struct();
    EXPECT_STREQ(strMODSTA.SSID, "home,2nd floor") << "the whole value, commas included";
    EXPECT_EQ(strMODSTA.enc_auth, WIFIAUTH_OPEN);
    EXPECT_EQ(strMODSTA.enc_encry, ENC_NONE);
    EXPECT_EQ(strMODSTA.bDHCP, DHCP_DISABLE);
    EXPECT_EQ(ip(strMODSTA.ipadd), "192.168.1.50");
    EXPECT_EQ(ip(strMODSTA.dhcpgw), "192.168.1.1");

    values = {{"AT+WANN", "DHCP,none,x,y"}};
    init_module_sta_struct();
    EXPECT_STREQ(strMODSTA.SSID, "home,2nd floor") << "a refused SSID leaves the field";
    EXPECT_EQ(strMODSTA.bDHCP, DHCP_ENABLE);
    EXPECT_EQ(ip(strMODSTA.ipadd), "0.0.0.0");
    EXPECT_EQ(ip(strMODSTA.ipmask), "0.0.0.0");
    EXPECT_EQ(ip(strMODSTA.dhcpgw), "0.0.0.0");
    EXPECT_EQ(strMODSTA_up.bDHCP, DHCP_ENABLE);
}

/* The search checks the addresses in answers with the same reading. */
TEST(StringToIp, FourGroupsUpTo255OrNothingChanges)
{
    unsigned char a[4] = {9, 9, 9, 9};
    for (const char* ok : {"0.0.0.0", "255.255.255.255", "192.168.001.7"}) {
        ASSERT_EQ(string_to_ip(ok, a), 1) << ok;
        EXPECT_EQ(ip(a), std::string(ok) == "192.168.001.7" ? "192.168.1.7" : ok);
    }
    for (const char* bad : {"", "256.1.1.1", "1.2.3", "1.2.3.4.5", "1..2.3", ".1.2.3", "1.2.3.", "1.2.3.4x",
                            " 1.2.3.4", "1.2.3.4 ", "+1.2.3.4", "-1.2.3.4", "1.2.3.-4", "1.2.3.0004", "a.b.c.d"}) {
        EXPECT_EQ(check_ip(bad), 0) << bad;
        unsigned char b[4] = {1, 2, 3, 4};
        EXPECT_EQ(string_to_ip(bad, b), 0) << bad;
        EXPECT_EQ(ip(b), "1.2.3.4") << bad;
    }
}

} // namespace
