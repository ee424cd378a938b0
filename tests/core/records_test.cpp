/*
 * records_test.cpp - the communication copy's host-name rule, the choice
 * of a module, and that every enumeration value is found again by its
 * texts.
 */
#include <gtest/gtest.h>

#include <string>

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

    EXPECT_EQ(choose_module(2, "KW"), 0) << "a remembered row beyond the table";
    EXPECT_EQ(choose_module(-1, "KW"), 0);
    EXPECT_STREQ(module_ip, "127.0.0.3");
}

TEST(Enums, EveryValueOfEveryEnumerationIsFoundAgainByItsTexts)
{
    const std::pair<const enum_table*, int> tables[] = {
        {&baudrate_table, BAUDRATE_460800}, {&combits_table, COMBITS_8},     {&stopbits_table, COMSTOPBITS_2},
        {&parity_table, COMPARITY_SPACE},   {&flowctrl_table, COMFC_DIS},    {&autoframe_table, COMAF_EN},
        {&wifimode_table, WIFIMODE_STA},    {&workmode_table, WORKMODE_AG},  {&netmode_table, NETMODE_CLIENT},
        {&netprot_table, NETPROT_UDP},      {&apstd_table, APSTD_11BGN},     {&apch_table, APCH_CH14},
        {&auth_table, WIFIAUTH_WPA2PSK},    {&encry_table, ENC_TKIPAES},     {&dhcp_table, DHCP_DISABLE},
    };
    for (auto& [t, last] : tables) {
        ASSERT_EQ(t->count, last + 1) << "a value of every enumerator";
        for (int v = 0; v < t->count; ++v) {
            EXPECT_EQ(enum_by_module_text(*t, enum_module_text(*t, v, nullptr), -1), v);
            if (const char* item = enum_combo_text(*t, v)) {
                EXPECT_EQ(enum_by_combo_text(*t, item, -1), v) << item;
            }
        }
        EXPECT_STREQ(enum_module_text(*t, t->count, "?"), "?");
        EXPECT_STREQ(enum_module_text(*t, -1, "?"), "?");
        EXPECT_EQ(enum_combo_text(*t, t->count), nullptr);
        EXPECT_EQ(enum_by_module_text(*t, "no such text", -1), -1);
        EXPECT_EQ(enum_by_combo_text(*t, nullptr, -1), -1);
    }
    EXPECT_EQ(enum_by_module_text(autoframe_table, "Enable", -1), -1) << "case matters";
}

} // namespace
