/*
 * records_test.cpp - the record copies, the page flags, the choice of a
 * module and the enumeration texts.
 */
#include <gtest/gtest.h>

#include <cstring>

#include "enums.h"
#include "module.h"
#include "strutil.h"

namespace {

TEST(Records, CommCopyKeepsTheHostNameWhileAnAddressIsInForce)
{
    strMODComm_up = {};
    strMODComm = {};
    copy_text(strMODComm.hostname, "kept.example");
    strMODComm_up.bip = 1;
    strMODComm_up.port = 8899;
    copy_text(strMODComm_up.hostname, "ignored");
    copy_module_comm_struct();
    EXPECT_STREQ(strMODComm.hostname, "kept.example");
    EXPECT_EQ(strMODComm.port, 8899);
    EXPECT_EQ(strMODComm.bip, 1);

    strMODComm_up.bip = 0;
    copy_text(strMODComm_up.hostname, "server.lan");
    copy_module_comm_struct();
    EXPECT_STREQ(strMODComm.hostname, "server.lan");
}

TEST(Records, CopiesNeverTouchFlagsOrTheDefaultKeyByte)
{
    strMODAP = {};
    strMODAP_up = {};
    strMODAP.inited = 1;
    strMODAP.dirty = 1;
    strMODAP.pwd_defaultkey = 7;
    copy_text(strMODAP_up.SSID, std::string(34, 's').c_str());
    copy_text(strMODAP_up.password, std::string(64, 'k').c_str());
    strMODAP_up.dhcpgw[3] = 254;
    strMODAP_up.inited = 0;
    copy_module_ap_struct();
    EXPECT_EQ(strMODAP.inited, 1);
    EXPECT_EQ(strMODAP.dirty, 1);
    EXPECT_EQ(strMODAP.pwd_defaultkey, 7);
    EXPECT_EQ(std::string(strMODAP.SSID), std::string(34, 's'));
    EXPECT_EQ(std::string(strMODAP.password), std::string(64, 'k'));
    EXPECT_EQ(strMODAP.dhcpgw[3], 254);

    strMODMana = {};
    strMODMana_up = {};
    strMODMana.wmode = WIFIMODE_STA;
    copy_text(strMODMana.mid, "KXD40-0001");
    strMODMana.dirty = 1;
    copy_module_mana_struct_up();
    EXPECT_EQ(strMODMana_up.wmode, WIFIMODE_STA);
    EXPECT_STREQ(strMODMana_up.mid, "KXD40-0001");
    EXPECT_EQ(strMODMana_up.dirty, 0);
}

TEST(Records, StaCopyMovesEverySetting)
{
    strMODSTA = {};
    strMODSTA_up = {};
    copy_text(strMODSTA.SSID, "home");
    strMODSTA.enc_auth = WIFIAUTH_WPA2PSK;
    strMODSTA.enc_encry = ENC_AES;
    copy_text(strMODSTA.password, "secret");
    strMODSTA.bDHCP = DHCP_DISABLE;
    const unsigned char ip[4] = {192, 168, 1, 7};
    std::memcpy(strMODSTA.ipadd, ip, 4);
    copy_module_sta_struct_up();
    EXPECT_STREQ(strMODSTA_up.SSID, "home");
    EXPECT_EQ(strMODSTA_up.enc_auth, WIFIAUTH_WPA2PSK);
    EXPECT_EQ(strMODSTA_up.enc_encry, ENC_AES);
    EXPECT_STREQ(strMODSTA_up.password, "secret");
    EXPECT_EQ(strMODSTA_up.bDHCP, DHCP_DISABLE);
    EXPECT_EQ(std::memcmp(strMODSTA_up.ipadd, ip, 4), 0);
}

TEST(Records, ClearMarksEveryPageUnreadAndUnchanged)
{
    strMODMana.inited = strMODComm.inited = strMODAP.inited = strMODSTA.inited = 1;
    strMODMana.dirty = strMODComm.dirty = strMODAP.dirty = strMODSTA.dirty = 1;
    clear_mod_structs();
    for (int v : {strMODMana.inited, strMODComm.inited, strMODAP.inited, strMODSTA.inited,
                  strMODMana.dirty, strMODComm.dirty, strMODAP.dirty, strMODSTA.dirty})
        EXPECT_EQ(v, 0);
}

TEST(Records, ChoosingAModuleCopiesTheRowAndKeyword)
{
    strmodule_num = 2;
    copy_text(strmodule[1].ip, "127.0.0.3");
    copy_text(strmodule[1].mac, "ACCF23000003");
    copy_text(strmodule[1].id, "KXD40-0003");
    ASSERT_EQ(choose_module(1, "KW"), 1);
    EXPECT_STREQ(module_ip, "127.0.0.3");
    EXPECT_STREQ(module_mac, "ACCF23000003");
    EXPECT_STREQ(module_id, "KXD40-0003");
    EXPECT_STREQ(module_aswd, "KW");

    copy_text(strmodule[1].ip, "127.0.0.9");
    EXPECT_STREQ(module_ip, "127.0.0.3") << "a later search does not change the copy";
    EXPECT_EQ(choose_module(2, "KW"), 0) << "a remembered row beyond the table";
    EXPECT_EQ(choose_module(-1, "KW"), 0);
    EXPECT_STREQ(module_ip, "127.0.0.3");
}

TEST(Enums, TablesFollowTheEnumerationValues)
{
    EXPECT_EQ(baudrate_table.count, 20);
    EXPECT_STREQ(enum_module_text(baudrate_table, BAUDRATE_345600, "?"), "345600");
    EXPECT_EQ(enum_by_module_text(baudrate_table, "460800", -1), BAUDRATE_460800);
    EXPECT_EQ(enum_by_module_text(baudrate_table, "57601", BAUDRATE_57600), BAUDRATE_57600);
    EXPECT_EQ(enum_by_module_text(flowctrl_table, "fc", COMFC_DIS), COMFC_DIS) << "case matters";
    EXPECT_EQ(enum_by_module_text(autoframe_table, "enable", -1), COMAF_EN);
    EXPECT_EQ(enum_by_combo_text(autoframe_table, "Enable", -1), COMAF_EN);
    EXPECT_EQ(enum_by_combo_text(dhcp_table, "Enable", -1), DHCP_ENABLE);
    EXPECT_STREQ(enum_module_text(dhcp_table, DHCP_DISABLE, "?"), "Static");
    EXPECT_EQ(apch_table.count, 15);
    EXPECT_STREQ(enum_module_text(apch_table, APCH_CH14, "?"), "CH14");
    EXPECT_STREQ(enum_combo_text(apch_table, APCH_CH14), "Channel 14");
    EXPECT_STREQ(enum_combo_text(encry_table, ENC_WEPA), "WEP-ASCII");
    EXPECT_STREQ(enum_module_text(encry_table, ENC_WEPA, "?"), "WEP-A");
    EXPECT_STREQ(enum_combo_text(apstd_table, APSTD_11BGN), "802.11BGN");
    EXPECT_STREQ(enum_module_text(parity_table, 9, "None"), "None");
    EXPECT_EQ(enum_combo_text(parity_table, -1), nullptr);
}

TEST(BoundedCopy, CutsToTheFieldAndTerminates)
{
    char f[5];
    EXPECT_EQ(copy_text(f, "abcdefgh"), 4u);
    EXPECT_STREQ(f, "abcd");
    EXPECT_EQ(copy_text_n(f, sizeof f, "xy\0z", 4), 2u);
    EXPECT_STREQ(f, "xy");
    EXPECT_EQ(format_text(f, sizeof f, "%d", 123456), 4u);
    EXPECT_STREQ(f, "1234");
}

} // namespace
