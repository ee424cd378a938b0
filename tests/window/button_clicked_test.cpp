/*
 * button_clicked_test.cpp - the settings window's actions against the
 * simulator in the test's private network: confirm and cancel, a read
 * over pending edits, and the automatic-replay switch. Edits are made on
 * the widgets, as a user makes them. Saving, replaying, restarting and
 * resetting are taken end to end (tests/e2e/road_lan.py).
 */
#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <sys/resource.h>

#include "button_clicked.h"
#include "command.h"
#include "discovery.h"
#include "gui_env.h"
#include "link.h"
#include "module.h"
#include "pages.h"
#include "setting_file.h"
#include "sim_runner.h"
#include "strutil.h"
#include "temp_dir.h"
#include "uthread.h"
#include "wait.h"
#include "widget_input.h"
#include "window.h"

namespace {

struct Actions : InTempDir {
    void SetUp() override
    {
        InTempDir::SetUp();
        install_window_waits();
        u_socket = udpsocket = init_udp_socket();
        ASSERT_NE(udpsocket, 0);
        copy_text(module_aswd, "KX-D40LOCATORPING");
        copy_text(setting_file, "set_file.txt");
        auto_setting = 0;
        cmd_num_mod = cmd_num_comm = cmd_num_ap = cmd_num_sta = 0;
    }
    void TearDown() override
    {
        if (window != nullptr)
            gtk_widget_destroy(window);
        pump_events();
        net().close_udp(udpsocket);
        u_socket = udpsocket = 0;
        set_net(nullptr);
        InTempDir::TearDown();
    }
    /* A settings window linked to the module at ip, its pages read. */
    void open_and_read(const char* ip)
    {
        copy_text(module_ip, ip);
        testing::internal::CaptureStdout();
        init_window();
        net_udp_thread();
        gtk_button_clicked(GTK_BUTTON(button_setting_read));
        console = testing::internal::GetCapturedStdout();
        ASSERT_EQ(color, GREEN) << console;
    }
    /* What the module now holds. */
    std::string query(const char* cmd)
    {
        char value[100] = "<no answer>";
        module_send_cmd_get(cmd, value);
        return value;
    }
    /* The edit's console listing is not looked at here. */
    template <typename EDIT>
    void edit(EDIT change)
    {
        testing::internal::CaptureStdout();
        change();
        testing::internal::GetCapturedStdout();
    }
    std::string click(GtkWidget* button)
    {
        testing::internal::CaptureStdout();
        gtk_button_clicked(GTK_BUTTON(button));
        return testing::internal::GetCapturedStdout();
    }
    static bool sensitive(GtkWidget* w) { return gtk_widget_get_sensitive(w) != 0; }
    /* The pages as a read leaves them, without a module. */
    static void set_read_pages()
    {
        for (const settings_page& p : settings_pages) {
            p.revert();
            p.refresh();
        }
        gtk_widget_set_sensitive(frame_module, TRUE);
    }
    std::string console;
};

void slower_uart()
{
    choose(combo_modcom_baud, BAUDRATE_9600);
    choose(combo_modcom_parity, COMPARITY_EVEN);
}

TEST_F(Actions, ConfirmCommitsThePageOnceTheModuleTookAllEvenWhenItsFileCannotBeWritten)
{
    sim_process sim({"--module", "127.0.0.2"});
    ASSERT_TRUE(sim.ready());
    open_and_read("127.0.0.2");
    ASSERT_EQ(mkdir("cmd_comm_tmp.txt", 0755), 0);
    edit([] { type_into(entry_modnet_tcpto, "120"); });
    std::string out = click(button_comm_confirm);
    EXPECT_NE(out.find("The module took the commands; only cmd_comm_tmp.txt could not be written\n"),
              std::string::npos) << out;
    EXPECT_EQ(query("AT+TCPTO"), "120");
    EXPECT_EQ(strMODComm.TCPto, 120) << "the page holds what the module has";
    EXPECT_FALSE(sensitive(button_comm_confirm));
    EXPECT_FALSE(sensitive(button_setting_save)) << "the page files do not hold this page";

    ASSERT_EQ(rmdir("cmd_comm_tmp.txt"), 0);
    edit(slower_uart);
    ASSERT_TRUE(sensitive(button_comm_confirm));
    click(button_comm_confirm);
    EXPECT_EQ(read("cmd_comm_tmp.txt"), "AT+UART=9600,8,1,Even,NFC\nE");
    EXPECT_EQ(cmd_num_comm, 0);
    EXPECT_EQ(strMODComm.baud, BAUDRATE_9600) << "the edited values are the module's now";
    EXPECT_TRUE(sensitive(button_setting_save));
    EXPECT_FALSE(sensitive(button_comm_confirm));
    EXPECT_EQ(query("AT+UART"), "9600,8,1,Even,NFC");

    /* A disk that takes no more: the earlier confirm's file must not be
     * saved as this page's commands. */
    rlimit before{}, tiny{1, RLIM_INFINITY};
    getrlimit(RLIMIT_FSIZE, &before);
    auto old_handler = signal(SIGXFSZ, SIG_IGN);
    edit([] { type_into(entry_modnet_tcpto, "130"); });
    setrlimit(RLIMIT_FSIZE, &tiny);
    click(button_comm_confirm);  /* its console line cannot be captured either */
    setrlimit(RLIMIT_FSIZE, &before);
    signal(SIGXFSZ, old_handler);
    EXPECT_EQ(strMODComm.TCPto, 130);
    EXPECT_EQ(read("cmd_comm_tmp.txt"), "<missing>");
}

TEST_F(Actions, ARefusedConfirmLeavesThePagePendingAndCancelRestoresIt)
{
    sim_process sim({"--module", "127.0.0.2"});
    ASSERT_TRUE(sim.ready());
    open_and_read("127.0.0.2");
    edit([] { type_into(entry_ap_ssid, ""); });  /* no module takes an empty SSID */

    std::string out = click(button_ap_confirm);
    EXPECT_NE(out.find("Command refused: AT+WAP=11BGN,,CH1\n"), std::string::npos) << out;
    EXPECT_EQ(cmd_num_ap, 1);
    EXPECT_TRUE(sensitive(button_ap_confirm)) << "the user can confirm again";
    EXPECT_FALSE(sensitive(button_setting_save));
    EXPECT_STREQ(strMODAP.SSID, "KXD40_0002") << "the current record is still what was read";

    click(find_by_id(window, "ap_cancel_button"));
    EXPECT_EQ(cmd_num_ap, 0);
    EXPECT_FALSE(sensitive(button_ap_confirm));
    EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(entry_ap_ssid)), "KXD40_0002") << "the page shows what was read";
}

TEST_F(Actions, AReadDropsThePendingEditsOfThePagesItRead)
{
    sim_process sim({"--module", "127.0.0.2"});
    ASSERT_TRUE(sim.ready());
    open_and_read("127.0.0.2");
    edit([] { type_into(entry_ap_ssid, "workshop"); });
    edit(slower_uart);
    ASSERT_TRUE(sensitive(button_ap_confirm));

    /* A module that falls silent stops the read before it reaches them:
     * the pages keep their edits. */
    sim.child().pause();
    std::string out = click(button_setting_read);
    sim.child().resume();
    EXPECT_NE(out.find("No answer from the module"), std::string::npos) << out;
    EXPECT_EQ(cmd_num_ap, 1);
    EXPECT_EQ(cmd_num_comm, 1);
    EXPECT_TRUE(sensitive(button_ap_confirm));

    click(button_setting_read);
    EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(entry_ap_ssid)), "KXD40_0002") << "the module's SSID";
    for (const settings_page& p : settings_pages) {
        EXPECT_FALSE(sensitive(*p.confirm)) << p.type;
        EXPECT_EQ(*p.dirty, 0) << p.type;
    }
    EXPECT_EQ(cmd_num_ap + cmd_num_comm, 0);

    /* The next edit sends itself and nothing of the edit before the read. */
    edit([] { choose(combo_ap_channel, APCH_CH6); });
    out = click(button_ap_confirm);
    EXPECT_NE(out.find("Send CMD: AT+WAP=11BGN,KXD40_0002,CH6\n-----"), std::string::npos) << out;
    EXPECT_EQ(query("AT+WAP"), "11BGN,KXD40_0002,CH6");
    EXPECT_EQ(query("AT+UART"), "115200,8,1,None,NFC");
}

TEST_F(Actions, TheSwitchWritesTheSettingsFileAndSetsTheFourWidgets)
{
    auto_setting = 0;
    init_window();
    EXPECT_EQ(read("set_para.txt"), "<missing>") << "building the window writes nothing";
    gtk_entry_set_text(GTK_ENTRY(entry_setting_file), "line2.txt");
    GtkWidget* four[] = {button_setting_read, button_setting_save, button_setting_down, entry_setting_file};
    gtk_button_clicked(GTK_BUTTON(check_setting_auto));
    EXPECT_EQ(auto_setting, 1);
    EXPECT_EQ(read("set_para.txt"), "1 line2.txt");
    for (GtkWidget* w : four)
        EXPECT_FALSE(sensitive(w));
    gtk_button_clicked(GTK_BUTTON(check_setting_auto));
    EXPECT_EQ(read("set_para.txt"), "0 line2.txt");
    for (GtkWidget* w : four)
        EXPECT_TRUE(sensitive(w));

    /* Fifteen characters fit the entry, not the 29 bytes read back: the
     * file keeps the name it was loaded with rather than half of one. */
    const std::string chinese = "命令文件命令文件命令文件命令.";
    gtk_entry_set_text(GTK_ENTRY(entry_setting_file), chinese.c_str());
    EXPECT_EQ(click(check_setting_auto), "Too long for this setting: " + chinese + "\n");
    EXPECT_EQ(read("set_para.txt"), "1 set_file.txt");
}

TEST_F(Actions, EditsNotConfirmedGoWithTheirWindow)
{
    init_window();
    set_read_pages();
    edit([] { type_into(entry_ap_ssid, "workshop"); });
    ASSERT_EQ(cmd_num_ap, 1);
    gtk_widget_destroy(window);
    pump_events();
    EXPECT_EQ(cmd_num_ap, 0) << "the next module's window starts with nothing pending";
}

} // namespace
