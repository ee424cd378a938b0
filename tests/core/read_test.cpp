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
#include "setting_values.h"

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

/* The records as the setting lines that would make them, a page a line,
 * after the module's own values. */
std::string records(const module_pages& p)
{
    std::string t = std::string("MID=") + p.mana.mid + " VER=" + p.mana.mver;
    const char* section = "";
    for (const std::string& c : setting_commands()) {
        const char* s = field_of_item(c, 0)->section;
        t += std::strcmp(s, section) != 0 ? "\n" : " ";
        t += setting_line(c, setting_values(p, c, true)).substr(3);
        section = s;
    }
    return t + "\n";
}

/* The four pages read, each clean and read, its edited record as read. */
std::string read_all()
{
    for (void (*read)() : {init_module_mana_struct, init_module_comm_struct, init_module_ap_struct,
                           init_module_sta_struct})
        read();
    module_pages& p = window_link.pages;
    module_pages edited = p;
    for (int type = CMDTYPE_MOD; type <= CMDTYPE_STA; ++type)
        take_page_edits(edited, type);
    EXPECT_EQ(records(edited), records(p)) << "the edited records start as read";
    EXPECT_EQ((std::vector<int>{module_silent, p.mana.dirty, p.mana.inited, p.comm.inited, p.ap.inited,
                                p.sta.inited}),
              (std::vector<int>{0, 0, 1, 1, 1, 1}));
    return records(p);
}

/* Each row, read after the one before, from a module that answers these
 * values alone: a refusal is an answer, and the read goes on. */
TEST_F(Read, EachPageIsReadWholeThroughRefusedUnknownOddAndLongValues)
{
    copy_text(strMODMana.mid, "KXD40-0002");
    copy_text(strMODMana.user, "admin");
    copy_text(strMODComm.hostname, "kept");
    copy_text(strMODSTA.SSID, "home");
    strMODSTA.ipadd[0] = 192;
    strMODMana.dirty = 1;
    strMODAP.enc_encry = ENC_AES;
    const unsigned char lan[4] = {10, 10, 100, 254};
    std::memcpy(strMODAP.ipadd, lan, 4);
    std::string seven; /* 21 bytes */
    for (int i = 0; i < 7; ++i)
        seven += "工";
    const struct {
        std::map<std::string, std::string> values;
        std::string records;
    } reads[] = {
        /* Case matters; only "disable" turns framing off; the port wraps at
         * 16 bits; an unknown encryption leaves the value; an SSID is the
         * whole value. Text or ten digits where a number stands, items
         * outside the tables or what is no address are no reply to the
         * query: read as refused, though the module said something. */
        {{{"AT+WMODE", "sta"}, {"AT+TMODE", "Agreement"}, {"AT+UART", "57601,9,3,odd,fc"}, {"AT+UARTF", "off"},
          {"AT+UARTFT", "12abc"}, {"AT+UARTFL", "1234567890"}, {"AT+NETP", "TCP,Server,70000,192.168.1.7"},
          {"AT+WAP", "11X,office,CH15"}, {"AT+WAKEY", "SHARED,WEP-Q"}, {"AT+LANN", "host,1.2.3"},
          {"AT+WSSSID", "home,2nd floor"}},
         "MID=KXD40-0002 VER=\n"
         "WMODE=AP TMODE=Agreement WEBU=,\n"
         "UART=57600,8,1,None,NFC UARTF=enable UARTFT=0 UARTFL=0 NETP=TCP,Server,4464,192.168.1.7 "
         "MAXSK=0 TCPTO=0\n"
         "WAP=11BGN,,Auto WAKEY=OPEN,AES, LANN=10.10.100.254,0.0.0.0 DHCPGW=0.0.0.0\n"
         "WSSSID=home,2nd floor WSKEY=OPEN,NONE, WANN=Static,0.0.0.0,0.0.0.0,0.0.0.0\n"},
        /* A refused MID or SSID leaves its field, a refused list or host
         * reads as empty, a refused number as 0; no static address under
         * DHCP. */
        {{{"AT+WANN", "DHCP,none,x,y"}, {"AT+WAP", "11N,office,CH6"}},
         "MID=KXD40-0002 VER=\n"
         "WMODE=AP TMODE=Through WEBU=,\n"
         "UART=57600,8,1,None,NFC UARTF=enable UARTFT=0 UARTFL=0 NETP=UDP,Client,0, MAXSK=0 TCPTO=0\n"
         "WAP=11N,office,CH6 WAKEY=OPEN,AES, LANN=10.10.100.254,0.0.0.0 DHCPGW=0.0.0.0\n"
         "WSSSID=home,2nd floor WSKEY=OPEN,NONE, WANN=DHCP,0.0.0.0,0.0.0.0,0.0.0.0\n"},
        /* Long values are cut at whole characters; a host name fits whole. */
        {{{"AT+MID", std::string(92, 'm')}, {"AT+VER", std::string(92, 'v')},
          {"AT+WEBU", std::string(40, 'u') + "," + std::string(5, 'p') + seven},
          {"AT+NETP", "TCP,Client,8899," + std::string(75, 'h')}},
         "MID=" + std::string(15, 'm') + " VER=" + std::string(9, 'v') + "\n"
         "WMODE=AP TMODE=Through WEBU=" + std::string(19, 'u') + ",ppppp" + seven.substr(0, 12) + "\n"
         "UART=57600,8,1,None,NFC UARTF=enable UARTFT=0 UARTFL=0 NETP=TCP,Client,8899," + std::string(75, 'h') +
             " MAXSK=0 TCPTO=0\n"
         "WAP=11BGN,,Auto WAKEY=OPEN,AES, LANN=10.10.100.254,0.0.0.0 DHCPGW=0.0.0.0\n"
         "WSSSID=home,2nd floor WSKEY=OPEN,NONE, WANN=Static,0.0.0.0,0.0.0.0,0.0.0.0\n"},
    };
    for (const auto& r : reads) {
        values = r.values;
        EXPECT_EQ(read_all(), r.records);
    }
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
