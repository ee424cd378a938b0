/*
 * entry_out_test.cpp - the entry handlers under Xvfb: text typed into the
 * real entries and the focus moved on, then the records, the command
 * tables, the console and the entries looked at.
 */
#include "edit_page.h"

namespace {

using Entries = EditedPages;

/* The ranges themselves are the edit rules' (edit_rules_test.cpp). */
TEST_F(Entries, NumbersAreCorrectedIntoTheirRangesAndShownAsSent)
{
    console_of([] { type_into(entry_modnet_port, "70000"); });
    EXPECT_EQ(text(entry_modnet_port), "65535");
    EXPECT_EQ(rows(CMDTYPE_COMM), std::vector<std::string>{"AT+NETP=TCP,Server,65535,10.10.100.100"});
    console_of([] { type_into(entry_modnet_port, " 8080x"); });
    EXPECT_EQ(text(entry_modnet_port), "8080") << "the number as it is sent";
    console_of([] { type_into(entry_modnet_port, "-1"); });
    EXPECT_EQ(text(entry_modnet_port), "0");
    console_of([] { choose(combo_modcom_af, COMAF_EN); });
    ASSERT_TRUE(sensitive(entry_modcom_aft)) << "framing on opens its entries";
    console_of([] { type_into(entry_modcom_aft, "20000"); });
    EXPECT_EQ(text(entry_modcom_aft), "10000");
    EXPECT_EQ(rows(CMDTYPE_COMM), (std::vector<std::string>{"AT+NETP=TCP,Server,0,10.10.100.100", "AT+UARTF=enable",
                                                         "AT+UARTFT=10000"}));
    EXPECT_TRUE(sensitive(button_comm_confirm));
}

TEST_F(Entries, AnUnchangedEntryBuildsNothingUntilItsCommandIsPending)
{
    std::string out = console_of([] { type_into(entry_modnet_tcpto, "300"); });
    EXPECT_EQ(out, "") << "the value read, no command pending";
    EXPECT_FALSE(sensitive(button_comm_confirm));

    console_of([] { type_into(entry_modnet_tcpto, "200"); });
    console_of([] { type_into(entry_modnet_tcpto, "300"); });
    EXPECT_EQ(rows(CMDTYPE_COMM), std::vector<std::string>{"AT+TCPTO=300"})
        << "back to the module's value, the command follows";
}

TEST_F(Entries, ABadAddressGivesTheEntryThePendingAddressBackAndMarksNothing)
{
    std::string out = console_of([] { type_into(entry_lan_gateway, "gateway"); });
    EXPECT_EQ(text(entry_lan_gateway), "10.10.100.254");
    EXPECT_EQ(out, "") << "no command for a bad address";
    EXPECT_EQ(strMODAP.dirty, 0) << "nothing is pending, so nothing to confirm";
    EXPECT_FALSE(sensitive(button_ap_confirm));

    console_of([] { type_into(entry_lan_ip, "10.10.100.1"); });
    console_of([] { type_into(entry_lan_mask, "255.255.0.0"); });
    console_of([] { type_into(entry_lan_ip, "10.10.100.256"); });
    EXPECT_EQ(text(entry_lan_ip), "10.10.100.1") << "the pending address, not the one read";
    EXPECT_EQ(rows(CMDTYPE_AP), std::vector<std::string>{"AT+LANN=10.10.100.1,255.255.0.0"})
        << "the mask typed after the address keeps the address";
    EXPECT_TRUE(sensitive(button_ap_confirm));
}

TEST_F(Entries, TheServerIsAHostNameOrAnAddress)
{
    console_of([] { choose(combo_modnet_mode, NETMODE_CLIENT); });
    ASSERT_TRUE(sensitive(entry_modnet_ip)) << "a client has a server to reach";
    console_of([] { type_into(entry_modnet_ip, "server.lan"); });
    EXPECT_EQ(rows(CMDTYPE_COMM), std::vector<std::string>{"AT+NETP=TCP,Client,8899,server.lan"});
    console_of([] { type_into(entry_modnet_ip, "192.168.001.7"); });
    EXPECT_EQ(rows(CMDTYPE_COMM), std::vector<std::string>{"AT+NETP=TCP,Client,8899,192.168.1.7"});

    const std::string long_host(100, 'h');
    std::string out = console_of([&] { type_into(entry_modnet_ip, long_host.c_str()); });
    EXPECT_EQ(out, "Too long for this setting: " + long_host + "\n");
    EXPECT_EQ(text(entry_modnet_ip), "192.168.1.7") << "the pending server again";
    out = console_of([] { type_into(entry_modnet_ip, "a,b"); });
    EXPECT_EQ(out, "Comma not allowed in this setting: a,b\n");
    EXPECT_EQ(rows(CMDTYPE_COMM), std::vector<std::string>{"AT+NETP=TCP,Client,8899,192.168.1.7"});
}

/* A text is sent whole or not at all: cut, it would end inside a
 * character or be another key; with a comma it would be two values. */
TEST_F(Entries, ATextThatCannotBeSentWholeIsRefusedAndTheEntryRestored)
{
    struct refusal {
        GtkWidget** entry;
        std::string typed;
        const char* reason;
    };
    const std::string six = "工程师工程师", seven = six + "甲";  /* 18 and 21 bytes */
    const refusal cases[] = {
        {&entry_mod_usr, seven, "Too long for this setting: "},
        {&entry_ap_ssid, "shop,floor", "Comma not allowed in this setting: "},
    };
    for (const refusal& c : cases) {
        std::string before = text(*c.entry);
        std::string out = console_of([&] { type_into(*c.entry, c.typed.c_str()); });
        EXPECT_EQ(out, c.reason + c.typed + "\n");
        EXPECT_EQ(text(*c.entry), before) << c.typed;
    }
    EXPECT_STREQ(strMODMana_up.user, "admin");
    for (const settings_page& p : settings_pages) {
        EXPECT_TRUE(rows(p.type).empty());
        EXPECT_EQ(*p.dirty, 0);
        EXPECT_FALSE(sensitive(*p.confirm));
    }

    console_of([&] { type_into(entry_mod_usr, six.c_str()); });
    EXPECT_EQ(strMODMana_up.user, six) << "six characters fit the field";
    console_of([] { type_into(entry_mod_pwd, "s3cret"); });
    EXPECT_EQ(rows(CMDTYPE_MOD), std::vector<std::string>{"AT+WEBU=" + six + ",s3cret"})
        << "the password typed after the user keeps the user";
    EXPECT_EQ(console_of([] { type_into(entry_sta_mac, "AA"); }), "") << "leaving the MAC entry does nothing";
}

} // namespace
