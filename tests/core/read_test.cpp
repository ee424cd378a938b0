/*
 * read_test.cpp - what the page readers make of refused, unknown, odd and
 * overlong values, from a scripted module that answers each query from a
 * table. The module's ordinary values are read through the same readers in
 * tests/ctl (the simulator's values, and a module's changed settings
 * cloned onto another).
 */
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <vector>

#include "scripted_link.h"

namespace {

struct Read : OnScriptedNet<> {
    std::map<std::string, std::string> values; /* query -> value; the rest refused */

    void SetUp() override
    {
        OnScriptedNet::SetUp();
        sn.on_send = [this](const sent_datagram& d) {
            auto v = values.find(d.bytes.substr(0, d.bytes.size() - 1));
            sn.arrive(v != values.end() ? "+ok=" + v->second + crlf2 : "+ERR=-1" + crlf2);
        };
        window_link.pages = {};
    }
};

std::string ip(const unsigned char* a)
{
    char t[16];
    format_text(t, sizeof t, "%d.%d.%d.%d", a[0], a[1], a[2], a[3]);
    return t;
}

/* A refusal is an answer: the read goes on and the page counts as read. */
TEST_F(Read, RefusedValuesKeepOrEmptyTheirFieldsAndTheReadGoesOn)
{
    copy_text(strMODMana.mid, "KXD40-0002");
    copy_text(strMODMana.user, "admin");
    copy_text(strMODComm.hostname, "kept");
    copy_text(strMODSTA.SSID, "home");
    strMODSTA.ipadd[0] = 192;
    strMODMana.dirty = 1;
    values = {{"AT+WANN", "DHCP,none,x,y"}};
    for (void (*read)() : {init_module_mana_struct, init_module_comm_struct, init_module_sta_struct}) {
        read();
        EXPECT_EQ(module_silent, 0);
    }
    const _MOD_MANA_STRUCT& m = strMODMana;
    const _MOD_STA_STRUCT& sta = strMODSTA;
    /* A refused MID or SSID leaves its field, a refused list or host reads
     * as empty, a refused number as 0; no static address under DHCP, and
     * the edited record follows the read. */
    EXPECT_EQ((std::vector<int>{m.inited, m.dirty, strMODComm.AFL, strMODComm.protocol, strMODComm.mode, sta.bDHCP,
                                strMODSTA_up.bDHCP}),
              (std::vector<int>{1, 0, 0, NETPROT_UDP, NETMODE_CLIENT, DHCP_ENABLE, DHCP_ENABLE}));
    EXPECT_EQ((lines{m.mid, m.user, strMODComm.hostname, sta.SSID, ip(sta.ipadd)}),
              (lines{"KXD40-0002", "", "", "home", "0.0.0.0"}));
}

/* Unknown texts in a reply of the query's shape take the readers'
 * fallbacks; a reply of another shape (items outside the tables, text
 * where a number stands) is no answer to the query, though the module
 * said something: the read goes on and the fields read as refused. */
TEST_F(Read, UnknownValuesTakeTheirFallbacks)
{
    strMODAP.enc_encry = ENC_AES;
    const unsigned char lan[4] = {10, 10, 100, 254};
    std::memcpy(strMODAP.ipadd, lan, 4);
    values = {{"AT+WMODE", "sta"}, {"AT+TMODE", "Agreement"},
              {"AT+UART", "57601,9,3,odd,fc"}, {"AT+UARTF", "off"}, {"AT+UARTFT", "12abc"}, {"AT+UARTFL", "1234567890"},
              {"AT+NETP", "TCP,Server,70000,192.168.1.7"},
              {"AT+WAP", "11X,office,CH15"}, {"AT+WAKEY", "SHARED,WEP-Q"}, {"AT+LANN", "host,1.2.3"},
              {"AT+WSSSID", "home,2nd floor"}};
    init_module_mana_struct();
    init_module_comm_struct();
    init_module_ap_struct();
    init_module_sta_struct();
    const _MOD_COMM_STRUCT& c = strMODComm;
    const _MOD_AP_STRUCT& ap = strMODAP;
    /* Case matters; only "disable" turns framing off; text or ten digits
     * are no reply to a number's query (read as refused); the port wraps
     * at 16 bits; an unknown encryption leaves the value. */
    EXPECT_EQ((std::vector<int>{strMODMana.wmode, strMODMana.tmode, c.baud, c.data_bits, c.stop_bits, c.parity, c.fc,
                                c.bAF, c.AFT, c.AFL, c.port, c.bip, ap.mode, ap.channel, ap.enc_auth, ap.enc_encry}),
              (std::vector<int>{WIFIMODE_AP, WORKMODE_AG, BAUDRATE_57600, COMBITS_8, COMSTOPBITS_1, COMPARITY_NONE,
                                COMFC_DIS, COMAF_EN, 0, 0, 70000 % 65536, 1, APSTD_11BGN, APCH_AUTO, WIFIAUTH_OPEN,
                                ENC_AES}));
    /* Items outside the tables are no reply to AT+WAP; what is no address
     * leaves the field; an SSID is the whole value, commas included. */
    EXPECT_EQ((lines{ip(c.ipadd), ap.SSID, ip(ap.ipadd), strMODSTA.SSID}),
              (lines{"192.168.1.7", "", "10.10.100.254", "home,2nd floor"}));

    values = {{"AT+WAP", "11N,office,CH6"}};
    init_module_ap_struct();
    EXPECT_EQ((std::vector<int>{ap.mode, ap.channel, strMODAP_up.mode, strMODAP_up.channel}),
              (std::vector<int>{APSTD_11N, APCH_CH6, APSTD_11N, APCH_CH6}))
        << "the edited record starts as read";
}

/* A module that falls silent part-way: the rest of the page is not
 * asked, and the record is put back as it was. */
TEST_F(Read, ASilenceStopsThePageAndPutsItsRecordBack)
{
    values = {{"AT+UART", "9600,8,1,None,NFC"}};
    strMODComm.baud = BAUDRATE_115200;
    strMODComm.inited = 0;
    auto answer = sn.on_send;
    sn.on_send = [&](const sent_datagram& d) {
        if (d.bytes != "AT+UARTFT\n")
            answer(d);
    };
    init_module_comm_struct();
    EXPECT_EQ(module_silent, 1);
    EXPECT_EQ(sent(true), (lines{"AT+UART", "AT+UARTF", "AT+UARTFT", "AT+UARTFT", "AT+UARTFT", "AT+UARTFT"}));
    EXPECT_EQ((std::vector<int>{strMODComm.baud, strMODComm.inited}), (std::vector<int>{BAUDRATE_115200, 0}));
}

TEST_F(Read, LongValuesAreCutToTheirFields)
{
    std::string seven; /* 21 bytes */
    for (int i = 0; i < 7; ++i)
        seven += "工";
    values = {{"AT+MID", std::string(92, 'm')}, {"AT+VER", std::string(92, 'v')},
              {"AT+WEBU", std::string(40, 'u') + "," + std::string(5, 'p') + seven},
              {"AT+NETP", "TCP,Client,8899," + std::string(75, 'h')}};
    init_module_mana_struct();
    init_module_comm_struct();
    const _MOD_MANA_STRUCT& m = strMODMana;
    EXPECT_EQ((lines{m.mid, m.mver, m.user, m.pswd, strMODComm.hostname}),
              (lines{std::string(15, 'm'), std::string(9, 'v'), std::string(19, 'u'),
                     std::string(5, 'p') + seven.substr(0, 12), std::string(75, 'h')}))
        << "cut at whole characters; a host name fits whole";
    EXPECT_EQ(strMODComm.bip, 0);
}

/* An item longer than the buffer it is read into is cut and skipped whole. */
TEST(ListItems, ALongItemIsCutAndSkippedWhole)
{
    const std::string reply = std::string(50, 'k') + ",next";
    int p = 0;
    char item[8];
    for (const char* expected : {"kkkkkkk", "next"}) {
        get_list_item(reply.c_str(), static_cast<int>(reply.size()), &p, item, sizeof item);
        EXPECT_STREQ(item, expected);
    }
}

} // namespace
