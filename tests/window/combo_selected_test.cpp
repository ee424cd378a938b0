/*
 * combo_selected_test.cpp - the combo handlers under Xvfb: items chosen in
 * the real combo boxes, then the records, the command tables and the
 * dependent widgets looked at; and a later refresh, which reaches the
 * handlers too.
 */
#include "edit_page.h"

namespace {

using Combos = EditedPages;

TEST_F(Combos, AChoiceIsStoredRebuiltAndMarksThePageOnce)
{
    console_of([] { choose(combo_modcom_parity, COMPARITY_SPACE); });
    EXPECT_EQ(rows(CMDTYPE_COMM), std::vector<std::string>{"AT+UART=115200,8,1,Space,NFC"});
    EXPECT_TRUE(sensitive(button_comm_confirm));
    gtk_widget_set_sensitive(button_comm_confirm, FALSE);
    console_of([] { choose(combo_modcom_parity, COMPARITY_NONE); });
    EXPECT_EQ(rows(CMDTYPE_COMM), std::vector<std::string>{"AT+UART=115200,8,1,None,NFC"})
        << "back to the value read: the row stays";
    EXPECT_EQ(strMODComm.dirty, 1);
    EXPECT_FALSE(sensitive(button_comm_confirm)) << "only the first change makes confirm usable";
}

TEST_F(Combos, TheProtocolAndRoleDecideWhichNetworkFieldsAreEditable)
{
    console_of([] { choose(combo_modnet_prot, NETPROT_UDP); });
    EXPECT_FALSE(sensitive(combo_modnet_mode));
    EXPECT_TRUE(sensitive(entry_modnet_ip));
    console_of([] { choose(combo_modnet_prot, NETPROT_TCP); });
    EXPECT_TRUE(sensitive(combo_modnet_mode));
    EXPECT_FALSE(sensitive(entry_modnet_ip)) << "a TCP server has no server address";
    EXPECT_EQ(rows(CMDTYPE_COMM), std::vector<std::string>{"AT+NETP=TCP,Server,8899,10.10.100.100"});
}

TEST_F(Combos, AuthenticationBringsItsEncryptionListAndTheKey)
{
    gtk_entry_set_text(GTK_ENTRY(entry_ap_key), "typed-key");
    console_of([] { choose(combo_ap_auth, WIFIAUTH_WPA2PSK); });
    EXPECT_TRUE(visible(combo_ap_encry_wpapsk));
    EXPECT_FALSE(visible(combo_ap_encry_open));
    EXPECT_TRUE(visible(entry_ap_key));
    EXPECT_EQ(strMODAP_up.enc_encry, ENC_TKIP) << "the WPA list's first item, taken at once";
    EXPECT_STREQ(strMODAP_up.password, "typed-key");
    EXPECT_EQ(rows(CMDTYPE_AP), std::vector<std::string>{"AT+WAKEY=WPA2PSK,TKIP,typed-key"});

    console_of([] { choose(combo_ap_auth, WIFIAUTH_OPEN); });
    console_of([] { choose(combo_ap_encry_open, ENC_NONE); });
    EXPECT_FALSE(visible(entry_ap_key));
    EXPECT_STREQ(strMODAP_up.password, "typed-key") << "the pending key is kept";
    EXPECT_EQ(rows(CMDTYPE_AP), std::vector<std::string>{"AT+WAKEY=OPEN,NONE"});
}

TEST_F(Combos, TheApDhcpChoiceIsKeptButSendsNothing)
{
    gtk_widget_set_sensitive(combo_lan_dhcp, TRUE);
    std::string out = console_of([] { choose(combo_lan_dhcp, 1); });
    EXPECT_EQ(strMODAP_up.bDHCP, DHCP_DISABLE);
    EXPECT_EQ(out, "");
    EXPECT_EQ(strMODAP.dirty, 0);
    EXPECT_FALSE(sensitive(button_ap_confirm));
}

TEST_F(Combos, BeforeTheFirstRefreshNoHandlerActs)
{
    page_comm_shown = page_ap_shown = page_mana_shown = page_sta_shown = 0;
    std::string out = console_of([] {
        choose(combo_modcom_baud, BAUDRATE_9600);
        choose(combo_sta_auth, WIFIAUTH_OPEN);
        press(radio_workmode_ag);
        press(radio_wan_static);
    });
    EXPECT_EQ(out, "");
    EXPECT_EQ(strMODComm_up.baud, BAUDRATE_115200);
    EXPECT_EQ(strMODSTA_up.enc_auth, WIFIAUTH_WPA2PSK);
    EXPECT_EQ(strMODMana_up.tmode, WORKMODE_TH);
}

/* A second read: the refresh reaches the handlers of the combos it
 * changes, which rebuild their commands from the values just read. None
 * of them may take a value from a widget the refresh has not set yet. */
TEST_F(Combos, ASecondReadShowsAndKeepsTheValuesJustRead)
{
    strMODAP.enc_auth = WIFIAUTH_WPAPSK;
    strMODAP.enc_encry = ENC_AES;
    copy_text(strMODAP.password, "new-key");
    strMODAP.channel = APCH_CH6;
    copy_module_ap_struct_up();
    std::string out = console_of(update_ap_widgets);
    EXPECT_EQ(strMODAP_up.enc_encry, ENC_AES);
    EXPECT_STREQ(strMODAP_up.password, "new-key");
    EXPECT_EQ(strMODAP_up.channel, APCH_CH6);
    EXPECT_EQ(text(entry_ap_key), "new-key");
    EXPECT_TRUE(visible(combo_ap_encry_wpapsk));
    EXPECT_EQ(rows(CMDTYPE_AP), (std::vector<std::string>{"AT+WAP=11BGN,KXD40_0002,CH6", "AT+WAKEY=WPAPSK,AES,new-key"}))
        << out;
    EXPECT_EQ(strMODAP.dirty, 1) << "as the module's own values, marked";
}

using Radios = EditedPages;

TEST_F(Radios, PressingEvenTheActiveRadioRebuildsAndMarks)
{
    ASSERT_TRUE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(radio_wifimode_ap)));
    console_of([] { press(radio_wifimode_ap); });
    EXPECT_EQ(rows(CMDTYPE_MOD), std::vector<std::string>{"AT+WMODE=AP"});
    EXPECT_TRUE(sensitive(button_mana_confirm));
    console_of([] { press(radio_workmode_ag); });
    console_of([] { press(radio_wifimode_sta); });
    EXPECT_EQ(rows(CMDTYPE_MOD), (std::vector<std::string>{"AT+WMODE=STA", "AT+TMODE=Agreement"}));
}

TEST_F(Radios, StaticWanAddressesAreTypedDhcpOnesAreNot)
{
    const unsigned char ip[4] = {192, 168, 1, 50};
    std::memcpy(strMODSTA_up.ipadd, ip, 4);
    console_of([] { press(radio_wan_static); });
    EXPECT_TRUE(sensitive(entry_wan_ip));
    EXPECT_EQ(rows(CMDTYPE_STA), std::vector<std::string>{"AT+WANN=Static,192.168.1.50,0.0.0.0,0.0.0.0"});
    console_of([] { press(radio_wan_dhcp); });
    EXPECT_FALSE(sensitive(entry_wan_gateway));
    EXPECT_EQ(rows(CMDTYPE_STA), std::vector<std::string>{"AT+WANN=DHCP"});
}

} // namespace
