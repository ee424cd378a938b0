/*
 * entry_out_test.cpp - the entry handlers under Xvfb: text typed into the
 * real entries and the focus moved on, then the records, the command
 * tables, the console and the entries looked at.
 */
#include "edit_page.h"

namespace {

using Entries = EditedPages;

TEST_F(Entries, NumbersAreCorrectedIntoTheirRanges)
{
    struct range_case {
        GtkWidget** entry;
        const char* typed;
        const char* shown;
        int* stored;
        int value;
    };
    const range_case cases[] = {
        {&entry_modcom_aft, "50", "100", &strMODComm_up.AFT, 100},
        {&entry_modcom_aft, "20000", "10000", &strMODComm_up.AFT, 10000},
        {&entry_modcom_aft, "10000", "10000", &strMODComm_up.AFT, 10000},
        {&entry_modcom_aft, "letters", "100", &strMODComm_up.AFT, 100},
        {&entry_modcom_afl, "8", "16", &strMODComm_up.AFL, 16},
        {&entry_modcom_afl, "5000", "4096", &strMODComm_up.AFL, 4096},
        {&entry_modnet_tcpto, "-5", "0", &strMODComm_up.TCPto, 0},
        {&entry_modnet_tcpto, "601", "600", &strMODComm_up.TCPto, 600},
        {&entry_modnet_maxsk, "0", "1", &strMODComm_up.maxsk, 1},
        {&entry_modnet_maxsk, "33", "32", &strMODComm_up.maxsk, 32},
        {&entry_modnet_maxsk, "1", "1", &strMODComm_up.maxsk, 1},
    };
    console_of([] { choose(combo_modcom_af, COMAF_EN); });
    for (const range_case& c : cases) {
        console_of([&] { type_into(*c.entry, c.typed); });
        EXPECT_EQ(text(*c.entry), c.shown) << c.typed;
        EXPECT_EQ(*c.stored, c.value) << c.typed;
    }
    EXPECT_EQ(rows(CMDTYPE_COMM), (std::vector<std::string>{"AT+UARTF=enable", "AT+UARTFT=100", "AT+UARTFL=4096",
                                                         "AT+TCPTO=600", "AT+MAXSK=1"}));
    EXPECT_EQ(strMODComm.dirty, 1);
    EXPECT_TRUE(sensitive(button_comm_confirm));
}

TEST_F(Entries, AnUnchangedEntryBuildsNothingUntilItsCommandIsPending)
{
    std::string out = console_of([] { type_into(entry_modnet_tcpto, "300"); });
    EXPECT_EQ(out, "") << "the value read, no command pending";
    EXPECT_EQ(strMODComm.dirty, 0);
    EXPECT_FALSE(sensitive(button_comm_confirm));

    console_of([] { choose(combo_modcom_af, COMAF_EN); });
    ASSERT_TRUE(sensitive(entry_modcom_aft)) << "framing on opens its entries";
    console_of([] { type_into(entry_modcom_aft, "300"); });
    console_of([] { type_into(entry_modcom_aft, "200"); });
    EXPECT_EQ(strMODComm_up.AFT, 200);
    EXPECT_EQ(rows(CMDTYPE_COMM), (std::vector<std::string>{"AT+UARTF=enable", "AT+UARTFT=200"}))
        << "back to the module's value, the command follows";
}

TEST_F(Entries, ThePortIsTakenModulo65536AndTheEntryKeepsTheText)
{
    console_of([] { type_into(entry_modnet_port, "70000"); });
    EXPECT_EQ(strMODComm_up.port, 70000 - 65536);
    EXPECT_EQ(text(entry_modnet_port), "70000");
    EXPECT_EQ(rows(CMDTYPE_COMM), std::vector<std::string>{"AT+NETP=TCP,Server,4464,10.10.100.100"});
}

TEST_F(Entries, ABadAddressGivesTheEntryThePendingAddressBack)
{
    std::string out = console_of([] { type_into(entry_lan_gateway, "gateway"); });
    EXPECT_EQ(text(entry_lan_gateway), "10.10.100.254");
    EXPECT_EQ(out, "") << "no command for a bad address";
    EXPECT_EQ(strMODAP.dirty, 1) << "the page is marked all the same";
    EXPECT_TRUE(sensitive(button_ap_confirm));

    console_of([] { type_into(entry_lan_ip, "10.10.100.1"); });
    console_of([] { type_into(entry_lan_ip, "10.10.100.256"); });
    EXPECT_EQ(text(entry_lan_ip), "10.10.100.1") << "the pending address, not the one read";
    EXPECT_EQ(strMODAP_up.ipadd[3], 1);
    EXPECT_EQ(rows(CMDTYPE_AP), std::vector<std::string>{"AT+LANN=10.10.100.1,255.255.255.0"});
}

TEST_F(Entries, TheServerIsAHostNameOrAnAddress)
{
    console_of([] { choose(combo_modnet_mode, NETMODE_CLIENT); });
    ASSERT_TRUE(sensitive(entry_modnet_ip)) << "a client has a server to reach";
    std::string out = console_of([] { type_into(entry_modnet_ip, "server.lan"); });
    EXPECT_EQ(strMODComm_up.bip, 0);
    EXPECT_STREQ(strMODComm_up.hostname, "server.lan");
    EXPECT_EQ(out.substr(0, out.find("---")), "entry_focus_out_netp_ip: c= server.lan\nentry_focus_out_netp_ip: ret= 0\n");
    out = console_of([] { type_into(entry_modnet_ip, "192.168.001.7"); });
    EXPECT_EQ(strMODComm_up.bip, 1);
    EXPECT_EQ(out.substr(0, out.find("---")),
              "entry_focus_out_netp_ip: c= 192.168.001.7\nentry_focus_out_netp_ip: ret= 1\ntest ipadd: 192.168.1.7\n");
    EXPECT_EQ(rows(CMDTYPE_COMM), std::vector<std::string>{"AT+NETP=TCP,Client,8899,192.168.1.7"});

    const std::string long_host(100, 'h');
    console_of([&] { type_into(entry_modnet_ip, long_host.c_str()); });
    EXPECT_EQ(std::string(strMODComm_up.hostname), std::string(99, 'h')) << "cut to the field";
    EXPECT_EQ(text(entry_modnet_ip), long_host) << "the entry keeps what was typed";
}

TEST_F(Entries, TextsAreStoredWholeEvenWhenEmpty)
{
    console_of([] { type_into(entry_ap_ssid, ""); });
    EXPECT_STREQ(strMODAP_up.SSID, "");
    console_of([] { type_into(entry_mod_pwd, "s3cret"); });
    EXPECT_EQ(rows(CMDTYPE_MOD), std::vector<std::string>{"AT+WEBU=admin,s3cret"});

    const std::string key65(65, 'k');
    console_of([&] { type_into(entry_sta_key, key65.c_str()); });
    EXPECT_EQ(std::string(strMODSTA_up.password), std::string(64, 'k'));
    EXPECT_EQ(text(entry_sta_key), key65);
    EXPECT_EQ(rows(CMDTYPE_STA), std::vector<std::string>{"AT+WSKEY=WPA2PSK,AES," + std::string(64, 'k')});
    EXPECT_EQ(rows(CMDTYPE_AP), std::vector<std::string>{"AT+WAP=11BGN,,Auto"});

    std::string out = console_of([] { type_into(entry_sta_mac, "AA"); });
    EXPECT_EQ(out, "") << "leaving the MAC entry does nothing";
}

} // namespace
