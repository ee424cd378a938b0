/*
 * command_test.cpp - the pending commands an edit builds, their rows and
 * the listing, without a display.
 */
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command.h"
#include "rendered_rows.h"
#include "enums.h"
#include "link.h"
#include "module.h"
#include "strutil.h"

namespace {

struct Commands : testing::Test {
    void SetUp() override
    {
        cmd_num_mod = cmd_num_comm = cmd_num_ap = cmd_num_sta = 0;
        window_link.pages = {};
    }
    static std::vector<std::string> rows(int type) { return rendered_rows(type); }
    static void quietly(const char* cmd, const char* item)
    {
        testing::internal::CaptureStdout();
        generate_cmd(cmd, item);
        testing::internal::GetCapturedStdout();
    }
};

/* A row is updated where it stands, only in the value its item names; a
 * command whose name begins another's ("UART", "UARTFT") has a row of its
 * own. */
TEST_F(Commands, EditsOfOneCommandUpdateItsRowInPlace)
{
    strMODComm_up.AFT = 250;
    quietly("UARTFT", "aft");
    strMODComm_up.fc = COMFC_EN;
    strMODComm_up.data_bits = COMBITS_8;
    strMODComm_up.baud = BAUDRATE_9600;
    quietly("UART", "baud");
    strMODComm_up.fc = COMFC_DIS;  /* no item rewrites the flow control */
    strMODComm_up.baud = BAUDRATE_115200;
    quietly("UART", "baud");
    strMODComm_up.parity = COMPARITY_SPACE;
    strMODComm_up.data_bits = COMBITS_5;  /* changed, but not named */
    quietly("UART", "parity");
    EXPECT_EQ(rows(CMDTYPE_COMM), (std::vector<std::string>{"AT+UARTFT=250", "AT+UART=115200,8,1,Space,FC"}));
    EXPECT_EQ(find_cmd("UART", 4), -1) << "no table beyond the four pages";
}

/* The key goes only with encryption, and then as it now stands. */
TEST_F(Commands, KeyRowsCarryTheKeyOnlyWithEncryption)
{
    const struct {
        char auth, encry;
        const char *key, *item, *row;
    } steps[] = {
        {WIFIAUTH_OPEN, ENC_NONE, "old-key", "encry", "AT+WAKEY=OPEN,NONE"},
        {WIFIAUTH_WPA2PSK, ENC_NONE, "old-key", "auth", "AT+WAKEY=WPA2PSK,NONE"},
        {WIFIAUTH_WPA2PSK, ENC_AES, "31415926", "encry", "AT+WAKEY=WPA2PSK,AES,31415926"},
        {WIFIAUTH_WPA2PSK, ENC_NONE, "31415926", "encry", "AT+WAKEY=WPA2PSK,NONE"},
    };
    for (const auto& s : steps) {
        strMODAP_up.enc_auth = s.auth;
        strMODAP_up.enc_encry = s.encry;
        copy_text(strMODAP_up.password, s.key);
        quietly("WAKEY", s.item);
        EXPECT_EQ(rows(CMDTYPE_AP), std::vector<std::string>{s.row});
    }
}

TEST_F(Commands, ListingShowsEveryPageAndUnknownNamesChangeNothing)
{
    strMODMana_up.tmode = WORKMODE_AG;
    quietly("TMODE", "ag");
    strMODComm_up.AFT = 250;
    quietly("UARTFT", "aft");
    copy_text(strMODAP_up.SSID, "office");
    strMODAP_up.channel = APCH_CH11;
    quietly("WAP", "ssid");
    copy_text(strMODSTA_up.SSID, "home");
    testing::internal::CaptureStdout();
    generate_cmd("WSSSID", "ssid");
    generate_cmd("NOPE", "");
    std::string out = testing::internal::GetCapturedStdout();
    const std::string listing = "------------Commands----------------\n"
                                "AT+TMODE=Agreement\nAT+UARTFT=250\nAT+WAP=11B,office,CH11\nAT+WSSSID=home\n"
                                "------------------------------------\n";
    EXPECT_EQ(out, listing + listing);
}

TEST_F(Commands, ATextWithALineBreakGivesOneCommandLine)
{
    copy_text(strMODSTA_up.SSID, "lab\nAT+RELD");
    quietly("WSSSID", "ssid");
    copy_text(strMODComm_up.hostname, "host\r\nAT+Z");
    quietly("NETP", "ipadd");
    EXPECT_EQ(rows(CMDTYPE_STA), std::vector<std::string>{"AT+WSSSID=lab"});
    EXPECT_EQ(rows(CMDTYPE_COMM), std::vector<std::string>{"AT+NETP=TCP,Server,0,host"});
}

} // namespace
