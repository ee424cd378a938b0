/*
 * edits_test.cpp - the edit handlers under Xvfb: text typed into the real
 * entries, items chosen, radio buttons pressed, on pages as a read leaves
 * them; then the entries, the console, the pending commands and the
 * confirm buttons looked at.
 */
#include <gtest/gtest.h>

#include <cstring>

#include "command.h"
#include "enums.h"
#include "gui_env.h"
#include "module.h"
#include "pages.h"
#include "strutil.h"
#include "window.h"

namespace {

using rows_t = std::vector<std::string>;

struct Edits : Gui {
    void SetUp() override
    {
        Gui::SetUp();
        open_read_pages();
    }
    static void nothing_pending()
    {
        for (const settings_page& p : settings_pages) {
            EXPECT_TRUE(rows(p.type).empty()) << p.type;
            EXPECT_EQ(*p.dirty, 0) << p.type;
            EXPECT_FALSE(sensitive(*p.confirm)) << p.type;
        }
    }
};

/* What cannot be sent whole is refused and the entry shows the pending
 * value again: cut, a text would end inside a character or be another
 * key; with a comma it would be two values. A bad address says nothing. */
TEST_F(Edits, ARefusedTextLeavesTheEntryAndThePagesAsTheyWere)
{
    const std::string seven = "工程师工程师甲", long_host(100, 'h');  /* 21 bytes; the field takes 18 */
    const struct {
        GtkWidget** entry;
        std::string typed, console;
    } cases[] = {
        {&entry_mod_usr, seven, "Too long for this setting: " + seven + "\n"},
        {&entry_ap_ssid, "shop,floor", "Comma not allowed in this setting: shop,floor\n"},
        {&entry_lan_gateway, "gateway", ""},
        {&entry_lan_ip, "10.10.100.256", ""},
        {&entry_modnet_tcpto, "300", ""},  /* the value read: nothing to send */
        {&entry_sta_mac, "AA", ""},        /* leaving the MAC entry does nothing */
    };
    for (const auto& c : cases) {
        std::string before = text(*c.entry);
        EXPECT_EQ(console_of([&] { type_into(*c.entry, c.typed.c_str()); }), c.console) << c.typed;
        if (*c.entry != entry_sta_mac) {
            EXPECT_EQ(text(*c.entry), before) << c.typed;
        }
    }
    EXPECT_STREQ(strMODMana_up.user, "admin");
    nothing_pending();

    console_of([] { choose(combo_modnet_mode, NETMODE_CLIENT); });
    ASSERT_TRUE(sensitive(entry_modnet_ip)) << "a client has a server to reach";
    console_of([] { type_into(entry_modnet_ip, "192.168.001.7"); });
    EXPECT_EQ(console_of([&] { type_into(entry_modnet_ip, long_host.c_str()); }),
              "Too long for this setting: " + long_host + "\n");
    EXPECT_EQ(console_of([] { type_into(entry_modnet_ip, "a,b"); }), "Comma not allowed in this setting: a,b\n");
    EXPECT_EQ(text(entry_modnet_ip), "192.168.1.7") << "the pending server, not the one read";
    EXPECT_EQ(rows(CMDTYPE_COMM), rows_t{"AT+NETP=TCP,Client,8899,192.168.1.7"});
    console_of([] { type_into(entry_modnet_ip, "server.lan"); });
    EXPECT_EQ(rows(CMDTYPE_COMM), rows_t{"AT+NETP=TCP,Client,8899,server.lan"});
}

/* Each page edited as a user does: what the entries show afterwards,
 * and the commands the page has pending. The ranges themselves are the
 * edit rules' (edit_rules_test.cpp). */
TEST_F(Edits, EachPageBuildsTheCommandsOfItsEdits)
{
    const std::string six = "工程师工程师";  /* 18 bytes fit */
    const struct {
        GtkWidget** entry;
        std::string typed, shown;
    } typed[] = {
        {&entry_mod_usr, six, six},
        {&entry_mod_pwd, "s3cret", "s3cret"},
        {&entry_modnet_port, "70000", "65535"},
        {&entry_modnet_port, " 8080x", "8080"},
        {&entry_modnet_port, "-1", "0"},
        {&entry_modnet_tcpto, "200", "200"},
        {&entry_modnet_tcpto, "300", "300"},  /* back to the value read: the command stays */
        {&entry_lan_ip, "10.10.100.1", "10.10.100.1"},
        {&entry_lan_mask, "255.255.0.0", "255.255.0.0"},
        {&entry_lan_ip, "10.10.100.256", "10.10.100.1"},  /* the pending address, not the one read */
    };
    for (const auto& t : typed) {
        console_of([&] { type_into(*t.entry, t.typed.c_str()); });
        EXPECT_EQ(text(*t.entry), t.shown) << t.typed;
        if (*t.entry == entry_mod_usr) {
            EXPECT_TRUE(sensitive(button_mana_confirm));
        }
    }
    console_of([] { choose(combo_modcom_af, COMAF_EN); });
    ASSERT_TRUE(sensitive(entry_modcom_aft)) << "framing on opens its entries";
    console_of([] { type_into(entry_modcom_aft, "20000"); });
    EXPECT_EQ(text(entry_modcom_aft), "10000");
    EXPECT_EQ(rows(CMDTYPE_MOD), rows_t{"AT+WEBU=" + six + ",s3cret"}) << "the password keeps the user typed";
    EXPECT_EQ(rows(CMDTYPE_COMM), (rows_t{"AT+NETP=TCP,Server,0,10.10.100.100", "AT+TCPTO=300", "AT+UARTF=enable",
                                          "AT+UARTFT=10000"}));
    EXPECT_EQ(rows(CMDTYPE_AP), rows_t{"AT+LANN=10.10.100.1,255.255.0.0"}) << "the mask keeps the address typed";
    for (const settings_page& p : settings_pages)
        EXPECT_EQ(sensitive(*p.confirm), p.type != CMDTYPE_STA) << p.type;
}

TEST_F(Edits, AChoiceIsStoredRebuiltAndMarksThePageOnce)
{
    console_of([] { choose(combo_modcom_parity, COMPARITY_SPACE); });
    EXPECT_EQ(rows(CMDTYPE_COMM), rows_t{"AT+UART=115200,8,1,Space,NFC"});
    EXPECT_TRUE(sensitive(button_comm_confirm));
    gtk_widget_set_sensitive(button_comm_confirm, FALSE);
    console_of([] { choose(combo_modcom_parity, COMPARITY_NONE); });
    EXPECT_EQ(rows(CMDTYPE_COMM), rows_t{"AT+UART=115200,8,1,None,NFC"}) << "back to the value read: the row stays";
    EXPECT_EQ(strMODComm.dirty, 1);
    EXPECT_FALSE(sensitive(button_comm_confirm)) << "only the first change makes confirm usable";

    for (int prot : {NETPROT_UDP, NETPROT_TCP}) {
        console_of([=] { choose(combo_modnet_prot, prot); });
        /* A TCP server has no role to choose, no server address, and a
         * number of clients; UDP the other way round. */
        EXPECT_EQ(sensitive(combo_modnet_mode) && sensitive(entry_modnet_maxsk), prot == NETPROT_TCP);
        EXPECT_EQ(sensitive(entry_modnet_ip), prot == NETPROT_UDP);
    }
    EXPECT_EQ(rows(CMDTYPE_COMM), (rows_t{"AT+UART=115200,8,1,None,NFC", "AT+NETP=TCP,Server,8899,10.10.100.100"}));

    /* The AP's DHCP choice is kept but sends nothing. */
    gtk_widget_set_sensitive(combo_lan_dhcp, TRUE);
    EXPECT_EQ(console_of([] { choose(combo_lan_dhcp, 1); }), "");
    EXPECT_EQ(strMODAP_up.bDHCP, DHCP_DISABLE);
    EXPECT_EQ(strMODAP.dirty, 0);
    EXPECT_FALSE(sensitive(button_ap_confirm));
}

TEST_F(Edits, AuthenticationBringsItsEncryptionListAndTheKey)
{
    gtk_entry_set_text(GTK_ENTRY(entry_ap_key), "typed-key");
    console_of([] { choose(combo_ap_auth, WIFIAUTH_WPA2PSK); });
    EXPECT_TRUE(visible(combo_ap_encry_wpapsk));
    EXPECT_FALSE(visible(combo_ap_encry_open));
    EXPECT_TRUE(visible(entry_ap_key));
    EXPECT_EQ(strMODAP_up.enc_encry, ENC_TKIP) << "the WPA list's first item, taken at once";
    EXPECT_EQ(rows(CMDTYPE_AP), rows_t{"AT+WAKEY=WPA2PSK,TKIP,typed-key"});
    console_of([] {
        choose(combo_ap_auth, WIFIAUTH_OPEN);
        choose(combo_ap_encry_open, ENC_NONE);
    });
    EXPECT_FALSE(visible(entry_ap_key));
    EXPECT_STREQ(strMODAP_up.password, "typed-key") << "the pending key is kept";
    EXPECT_EQ(rows(CMDTYPE_AP), rows_t{"AT+WAKEY=OPEN,NONE"});
}

TEST_F(Edits, PressingARadioEvenTheActiveOneRebuildsAndMarks)
{
    ASSERT_TRUE(active(radio_wifimode_ap));
    console_of([] { press(radio_wifimode_ap); });
    EXPECT_EQ(rows(CMDTYPE_MOD), rows_t{"AT+WMODE=AP"});
    EXPECT_TRUE(sensitive(button_mana_confirm));
    console_of([] {
        press(radio_workmode_ag);
        press(radio_wifimode_sta);
    });
    EXPECT_EQ(rows(CMDTYPE_MOD), (rows_t{"AT+WMODE=STA", "AT+TMODE=Agreement"}));

    const unsigned char ip[4] = {192, 168, 1, 50};
    std::memcpy(strMODSTA_up.ipadd, ip, 4);
    console_of([] { press(radio_wan_static); });
    EXPECT_EQ(rows(CMDTYPE_STA), rows_t{"AT+WANN=Static,192.168.1.50,0.0.0.0,0.0.0.0"});
    console_of([] { press(radio_wan_dhcp); });
    EXPECT_FALSE(sensitive(entry_wan_gateway)) << "(and static ones typed: tests/e2e/road_lan.py)";
    EXPECT_EQ(rows(CMDTYPE_STA), rows_t{"AT+WANN=DHCP"});
}

TEST_F(Edits, BeforeTheFirstRefreshNoHandlerActs)
{
    page_comm_shown = page_ap_shown = page_mana_shown = page_sta_shown = 0;
    EXPECT_EQ(console_of([] {
        choose(combo_modcom_baud, BAUDRATE_9600);
        choose(combo_sta_auth, WIFIAUTH_OPEN);
        press(radio_workmode_ag);
        press(radio_wan_static);
    }), "");
    EXPECT_EQ(strMODComm_up.baud, BAUDRATE_115200);
    EXPECT_EQ(strMODSTA_up.enc_auth, WIFIAUTH_WPA2PSK);
    EXPECT_EQ(strMODMana_up.tmode, WORKMODE_TH);
}

/* A refresh reaches the handlers of the combos it changes, which rebuild
 * their commands from the values just shown: none may take a value from
 * a widget not set yet. The next module's values are no edit at all. */
TEST_F(Edits, ARefreshShowsAndKeepsTheValuesJustRead)
{
    strMODAP.enc_auth = WIFIAUTH_WPAPSK;
    strMODAP.enc_encry = ENC_AES;
    copy_text(strMODAP.password, "new-key");
    strMODAP.channel = APCH_CH6;
    copy_module_ap_struct_up();
    console_of(update_ap_widgets);
    EXPECT_EQ(strMODAP_up.enc_encry, ENC_AES);
    EXPECT_STREQ(strMODAP_up.password, "new-key");
    EXPECT_EQ(text(entry_ap_key), "new-key");
    EXPECT_TRUE(visible(combo_ap_encry_wpapsk));
    EXPECT_EQ(rows(CMDTYPE_AP), (rows_t{"AT+WAP=11BGN,KXD40_0002,CH6", "AT+WAKEY=WPAPSK,AES,new-key"}));
    EXPECT_EQ(strMODAP.dirty, 1) << "as the module's own values, marked";

    gtk_widget_destroy(window);
    pump_events();
    EXPECT_EQ(cmd_num_ap, 0) << "edits not confirmed go with their window";
    /* The next module's records, as its read leaves them. */
    init_window();
    strMODAP.dirty = 0;
    strMODComm.baud = BAUDRATE_9600;
    strMODComm.TCPto = 120;
    copy_text(strMODAP.SSID, "KXD40_0003");
    strMODSTA.enc_auth = WIFIAUTH_OPEN;
    EXPECT_EQ(console_of([] {
        for (const settings_page& p : settings_pages) {
            p.revert();
            p.refresh();
        }
        pump_events();
    }), "");
    nothing_pending();
}

} // namespace
