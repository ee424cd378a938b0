/*
 * edits_test.cpp - the edit handlers under Xvfb: text typed into the real
 * entries, items chosen, radio buttons pressed, on pages as a read leaves
 * them; after each, the console and every item of the pages that changed.
 */
#include <gtest/gtest.h>

#include "enums.h"
#include "gui_env.h"
#include "module.h"
#include "pages.h"
#include "rendered_rows.h"
#include "strutil.h"
#include "window.h"

namespace {

struct Edits : Gui {
    void SetUp() override
    {
        Gui::SetUp();
        open_read_pages();
    }
};

const std::string six = "工程师工程师", seven = six + "甲";  /* the user's field takes 18 bytes */
const std::string long_host(100, 'h');

/* Each page edited as a user does. What cannot be sent whole is refused
 * and the entry shows the pending value again: cut, a text would end
 * inside a character; with a comma it would be two values. A bad address
 * says nothing. Numbers are corrected into their range (the ranges
 * themselves: edit_rules_test.cpp). */
TEST_F(Edits, EachEditShowsItselfAndBuildsItsPagesCommands)
{
    run({
        {on(&entry_mod_usr, seven), "", ("Too long for this setting: " + seven + "\n").c_str()},
        {on(&entry_ap_ssid, "shop,floor"), "", "Comma not allowed in this setting: shop,floor\n"},
        {on(&entry_lan_gateway, "gateway"), "", ""},
        {on(&entry_lan_ip, "10.10.100.256"), "", ""},
        {on(&entry_modnet_tcpto, "300"), "", ""},  /* the value read: nothing to send */
        {on(&entry_sta_mac, "AA"), "sta_mac=AA(off)"},  /* leaving the MAC entry does nothing */
        /* the user refused stayed out of the record */
        {on(&entry_mod_pwd, "s3cret"), "mod_pwd=s3cret mana_confirm= pending_0=AT+WEBU=admin,s3cret"},
        {on(&entry_mod_usr, six), "mod_usr=工程师工程师 pending_0=AT+WEBU=工程师工程师,s3cret"},
        /* a client has a server to reach */
        {on(&combo_modnet_mode, "Client"), "modnet_mode=Client modnet_ip=10.10.100.100 modnet_maxsk=32(off)"
            " comm_confirm= pending_1=AT+NETP=TCP,Client,8899,10.10.100.100"},
        {on(&entry_modnet_ip, "192.168.001.7"), "modnet_ip=192.168.001.7"
            " pending_1=AT+NETP=TCP,Client,8899,192.168.1.7"},
        {on(&entry_modnet_ip, long_host), "modnet_ip=192.168.1.7",
            ("Too long for this setting: " + long_host + "\n").c_str()},
        {on(&entry_modnet_ip, "a,b"), "", "Comma not allowed in this setting: a,b\n"},
        {on(&entry_modnet_ip, "server.lan"), "modnet_ip=server.lan"
            " pending_1=AT+NETP=TCP,Client,8899,server.lan"},
        {on(&combo_modnet_mode, "Server"), "modnet_mode=Server modnet_ip=server.lan(off) modnet_maxsk=32"
            " pending_1=AT+NETP=TCP,Server,8899,server.lan"},
        {on(&entry_modnet_port, "70000"), "modnet_port=65535 pending_1=AT+NETP=TCP,Server,65535,server.lan"},
        {on(&entry_modnet_port, " 8080x"), "modnet_port=8080 pending_1=AT+NETP=TCP,Server,8080,server.lan"},
        {on(&entry_modnet_port, "-1"), "modnet_port=0 pending_1=AT+NETP=TCP,Server,0,server.lan"},
        {on(&entry_modnet_tcpto, "200"), "modnet_tcpto=200"
            " pending_1=AT+NETP=TCP,Server,0,server.lan|AT+TCPTO=200"},
        /* back to the value read: the command stays */
        {on(&entry_modnet_tcpto, "300"), "modnet_tcpto=300"
            " pending_1=AT+NETP=TCP,Server,0,server.lan|AT+TCPTO=300"},
        /* framing on opens its entries */
        {on(&combo_modcom_af, "Enable"), "modcom_af=Enable label_modcom_aft= modcom_aft=200"
            " label_modcom_afl= modcom_afl=1024"
            " pending_1=AT+NETP=TCP,Server,0,server.lan|AT+TCPTO=300|AT+UARTF=enable"},
        {on(&entry_modcom_aft, "20000"), "modcom_aft=10000"
            " pending_1=AT+NETP=TCP,Server,0,server.lan|AT+TCPTO=300|AT+UARTF=enable|AT+UARTFT=10000"},
        {on(&entry_lan_ip, "10.10.100.1"), "lan_ip=10.10.100.1 ap_confirm="
            " pending_2=AT+LANN=10.10.100.1,255.255.255.0"},
        /* the mask keeps the address typed */
        {on(&entry_lan_mask, "255.255.0.0"), "lan_mask=255.255.0.0"
            " pending_2=AT+LANN=10.10.100.1,255.255.0.0"},
        {on(&entry_lan_ip, "10.10.100.256"), "", ""},  /* the pending address comes back */
    });
}

/* A choice rebuilds its command, and the first marks the page: confirm
 * usable. The protocol decides which network fields apply. */
TEST_F(Edits, AChoiceIsStoredRebuiltAndMarksThePageOnce)
{
    run({
        {on(&combo_modcom_parity, "Space"), "modcom_parity=Space comm_confirm="
            " pending_1=AT+UART=115200,8,1,Space,NFC"},
        {[] { gtk_widget_set_sensitive(button_comm_confirm, FALSE); }, "comm_confirm=(off)"},
        /* back to the value read: the row stays, no new mark */
        {on(&combo_modcom_parity, "None"), "modcom_parity=None pending_1=AT+UART=115200,8,1,None,NFC"},
        {on(&combo_modnet_prot, "UDP"), "modnet_mode=Server(off) modnet_prot=UDP modnet_ip=10.10.100.100"
            " modnet_tcpto=300(off) modnet_maxsk=32(off)"
            " pending_1=AT+UART=115200,8,1,None,NFC|AT+NETP=UDP,Server,8899,10.10.100.100"},
        {on(&combo_modnet_prot, "TCP"), "modnet_mode=Server modnet_prot=TCP modnet_ip=10.10.100.100(off)"
            " modnet_tcpto=300 modnet_maxsk=32"
            " pending_1=AT+UART=115200,8,1,None,NFC|AT+NETP=TCP,Server,8899,10.10.100.100"},
        {[] { gtk_widget_set_sensitive(combo_lan_dhcp, TRUE); }, "lan_dhcp=Enable"},
        {on(&combo_lan_dhcp, "Disable"), "lan_dhcp=Disable", ""},  /* kept, but no command carries it */
    });
    EXPECT_EQ(strMODAP_up.bDHCP, DHCP_DISABLE);
    EXPECT_EQ(strMODAP.dirty, 0);
}

TEST_F(Edits, AuthenticationBringsItsEncryptionListAndTheKey)
{
    run({
        {[] { gtk_entry_set_text(GTK_ENTRY(entry_ap_key), "typed-key"); }, "ap_key=typed-key(hid)"},
        /* the WPA list's first item, taken at once */
        {on(&combo_ap_auth, "WPA2PSK"), "ap_auth=WPA2PSK ap_encry_open=NONE(hid) ap_encry_wpapsk=TKIP"
            " label_ap_key= ap_key=typed-key ap_confirm= pending_2=AT+WAKEY=WPA2PSK,TKIP,typed-key"},
        {on(&combo_ap_auth, "OPEN"), "ap_auth=OPEN ap_encry_open=NONE ap_encry_wpapsk=TKIP(hid)"
            " label_ap_key=(hid) ap_key=typed-key(hid) pending_2=AT+WAKEY=OPEN,NONE"},
        {on(&combo_ap_encry_open, "NONE"), ""},
    });
    EXPECT_STREQ(strMODAP_up.password, "typed-key") << "the pending key is kept";
}

/* Pressing a radio button, even the active one, rebuilds and marks. */
TEST_F(Edits, PressingARadioEvenTheActiveOneRebuildsAndMarks)
{
    run({
        {on(&radio_wifimode_ap, ""), "mana_confirm= pending_0=AT+WMODE=AP"},
        {on(&radio_workmode_ag, ""), "pending_0=AT+WMODE=AP|AT+TMODE=Agreement"},
        {on(&radio_wifimode_sta, ""), "pending_0=AT+WMODE=STA|AT+TMODE=Agreement"},
        {[] { string_to_ip("192.168.1.50", strMODSTA_up.ipadd); }, ""},
        {on(&radio_wan_static, ""), "wan_ip=0.0.0.0 wan_mask=0.0.0.0 wan_gateway=0.0.0.0 sta_confirm="
            " pending_3=AT+WANN=Static,192.168.1.50,0.0.0.0,0.0.0.0"},
        /* (and static ones typed: tests/e2e/road_lan.py) */
        {on(&radio_wan_dhcp, ""), "wan_ip=0.0.0.0(off) wan_mask=0.0.0.0(off) wan_gateway=0.0.0.0(off)"
            " pending_3=AT+WANN=DHCP"},
    });
}
TEST_F(Edits, BeforeTheFirstRefreshNoHandlerActs)
{
    page_comm_shown = page_ap_shown = page_mana_shown = page_sta_shown = 0;
    EXPECT_EQ(console_of([] {
        act(combo_modcom_baud, "9600");
        act(combo_sta_auth, "OPEN");
        act(radio_workmode_ag, "");
        act(radio_wan_static, "");
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
    const std::string read = pages_state();
    run({{[] {
              strMODAP.enc_auth = WIFIAUTH_WPAPSK;
              strMODAP.enc_encry = ENC_AES;
              copy_text(strMODAP.password, "new-key");
              strMODAP.channel = APCH_CH6;
              copy_module_ap_struct_up();
              update_ap_widgets();
          },
          "ap_channel=Channel_6 ap_auth=WPAPSK ap_encry_open=NONE(hid) ap_encry_wpapsk=AES label_ap_key="
              " ap_key=new-key ap_confirm="
              " pending_2=AT+WAP=11BGN,KXD40_0002,CH6|AT+WAKEY=WPAPSK,AES,new-key"}});
    gtk_widget_destroy(window);
    pump_events();
    EXPECT_TRUE(rendered_rows(CMDTYPE_AP).empty()) << "edits not confirmed go with their window";
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
    EXPECT_EQ(changes(read, pages_state()), "modcom_baud=9600 modnet_tcpto=120 ap_ssid=KXD40_0003"
        " ap_channel=Channel_6 ap_auth=WPAPSK ap_encry_open=NONE(hid) ap_encry_wpapsk=AES label_ap_key="
        " ap_key=new-key sta_auth=OPEN sta_encry_open= sta_encry_wpapsk=TKIP(hid)");
}

} // namespace
