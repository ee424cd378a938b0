/*
 * actions_test.cpp - the settings window's actions against the simulator
 * in the test's private network: confirm and cancel, a read over pending
 * edits, and the automatic-replay switch. Edits are made on the widgets,
 * as a user makes them. Saving, replaying, restarting and resetting are
 * taken end to end (tests/e2e/road_lan.py).
 */
#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <sys/resource.h>

#include "button_clicked.h"
#include "command.h"
#include "gui_env.h"
#include "link.h"
#include "module.h"
#include "pages.h"
#include "setting_file.h"
#include "sim_runner.h"
#include "strutil.h"
#include "uthread.h"
#include "window.h"

namespace {

struct Actions : Gui {
    sim_process sim{{"--module", "127.0.0.2"}};
    /* A settings window linked to the module, its pages read. */
    void SetUp() override
    {
        Gui::SetUp();
        ASSERT_TRUE(sim.ready());
        open_socket();
        init_window();
        std::string out = console_of(net_udp_thread);
        out += click(button_setting_read);
        ASSERT_EQ(color, GREEN) << out;
    }
    /* What the module now holds. */
    static std::string query(const char* cmd)
    {
        char value[100] = "<no answer>";
        module_send_cmd_get(cmd, value);
        return value;
    }
    static void slower_uart()
    {
        act(combo_modcom_baud, "9600");
        act(combo_modcom_parity, "Even");
    }
};

TEST_F(Actions, ConfirmCommitsThePageOnceTheModuleTookAllEvenWhenItsFileCannotBeWritten)
{
    ASSERT_EQ(mkdir("cmd_comm_tmp.txt", 0755), 0);
    console_of(on(&entry_modnet_tcpto, "120"));
    EXPECT_EQ(click(button_comm_confirm), "\n------------Start to send Command------------\nSend CMD: AT+TCPTO=120\n"
                                          "-----------------Finished-----------------\n\n"
                                          "The module took the commands; only cmd_comm_tmp.txt could not be written\n");
    EXPECT_EQ(query("AT+TCPTO"), "120");
    EXPECT_EQ(strMODComm.TCPto, 120) << "the page holds what the module has";
    EXPECT_FALSE(sensitive(button_comm_confirm));
    EXPECT_FALSE(sensitive(button_setting_save)) << "the page files do not hold this page";
    /* A confirm that writes its file: tests/e2e/road_lan.py. */
    ASSERT_EQ(rmdir("cmd_comm_tmp.txt"), 0);
    console_of(on(&entry_modnet_tcpto, "110"));
    click(button_comm_confirm);
    ASSERT_EQ(read("cmd_comm_tmp.txt"), "AT+TCPTO=110\nE");

    /* A disk that takes no more: the earlier confirm's file must not be
     * saved as this page's commands. */
    rlimit before{}, tiny{1, RLIM_INFINITY};
    getrlimit(RLIMIT_FSIZE, &before);
    auto old_handler = signal(SIGXFSZ, SIG_IGN);
    console_of(on(&entry_modnet_tcpto, "130"));
    setrlimit(RLIMIT_FSIZE, &tiny);
    gtk_button_clicked(GTK_BUTTON(button_comm_confirm));  /* its console line cannot be captured either */
    setrlimit(RLIMIT_FSIZE, &before);
    signal(SIGXFSZ, old_handler);
    EXPECT_EQ(strMODComm.TCPto, 130);
    EXPECT_EQ(read("cmd_comm_tmp.txt"), "<missing>");
}

TEST_F(Actions, RefusedConfirmCancelAndAReadOverPendingEdits)
{
    console_of(on(&entry_ap_ssid, ""));  /* no module takes an empty SSID */
    std::string out = click(button_ap_confirm);
    EXPECT_NE(out.find("Command refused: AT+WAP=11BGN,,CH1\n"), std::string::npos) << out;
    EXPECT_EQ(cmd_num_ap, 1);
    EXPECT_TRUE(sensitive(button_ap_confirm)) << "the user can confirm again";
    EXPECT_FALSE(sensitive(button_setting_save));
    EXPECT_STREQ(strMODAP.SSID, "KXD40_0002") << "the current record is still what was read";

    /* A module that falls silent stops a read before it reaches the
     * pages: they keep their edits. (Cancel, and a read that drops them:
     * tests/e2e/road_lan.py.) */
    console_of(on(&entry_ap_ssid, "workshop"));
    console_of(slower_uart);
    sim.child().pause();
    out = click(button_setting_read);
    sim.child().resume();
    EXPECT_NE(out.find("No answer from the module"), std::string::npos) << out;
    EXPECT_EQ(cmd_num_ap + cmd_num_comm, 2);
    EXPECT_TRUE(sensitive(button_ap_confirm));

    click(button_setting_read);
    /* The next edit sends itself and nothing of the edit before the read. */
    console_of(on(&combo_ap_channel, "Channel 6"));
    out = click(button_ap_confirm);
    EXPECT_NE(out.find("Send CMD: AT+WAP=11BGN,KXD40_0002,CH6\n-----"), std::string::npos) << out;
    EXPECT_EQ(query("AT+WAP"), "11BGN,KXD40_0002,CH6");
    EXPECT_EQ(query("AT+UART"), "115200,8,1,None,NFC");
}

using Switch = Gui;

TEST_F(Switch, TheSwitchWritesTheSettingsFileAndSetsTheFourWidgets)
{
    init_window();
    EXPECT_EQ(read("set_para.txt"), "<missing>") << "building the window writes nothing";
    gtk_entry_set_text(GTK_ENTRY(entry_setting_file), "line2.txt");
    GtkWidget* four[] = {button_setting_read, button_setting_save, button_setting_down, entry_setting_file};
    for (int on : {1, 0}) {
        gtk_button_clicked(GTK_BUTTON(check_setting_auto));
        EXPECT_EQ(auto_setting, on);
        EXPECT_EQ(read("set_para.txt"), std::to_string(on) + " line2.txt");
        for (GtkWidget* w : four)
            EXPECT_EQ(sensitive(w), on == 0) << widget_id(w);
    }
    /* Fifteen characters fit the entry, not the 29 bytes read back: the
     * file keeps the name it was loaded with rather than half of one. */
    const std::string chinese = "命令文件命令文件命令文件命令.";
    gtk_entry_set_text(GTK_ENTRY(entry_setting_file), chinese.c_str());
    EXPECT_EQ(click(check_setting_auto), "Too long for this setting: " + chinese + "\n");
    EXPECT_EQ(read("set_para.txt"), "1 set_file.txt");

    /* A long name from the file shows as its first fifteen characters. */
    gtk_widget_destroy(window);
    copy_text(setting_file, "a_very_long_command_file.txt");
    auto_setting = 1;
    init_window();
    EXPECT_EQ(text(entry_setting_file), "a_very_long_com");
    EXPECT_TRUE(active(check_setting_auto));
    EXPECT_EQ(auto_setting, 1) << "building the window ran no handler";
}

} // namespace
