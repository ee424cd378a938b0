/*
 * search_window_test.cpp - the search window under Xvfb: the search behind
 * "搜索" against the simulator, the rules for clicks while a search or a
 * handshake waits, and "升级": a file named with the entry's fifteen
 * characters is sent, the label counts (on a shortened clock), and of two
 * counts the last one started decides. The image stored byte for byte and
 * a failed upload's label are taken end to end (tests/e2e/road_lan.py).
 */
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <unistd.h>
#include <vector>

#include "discovery.h"
#include "gui_env.h"
#include "main.h"
#include "module.h"
#include "port_claim.h"
#include "sim_runner.h"
#include "strutil.h"
#include "wait.h"
#include "window.h"

namespace {

struct SearchWindow : Gui {
    void SetUp() override
    {
        Gui::SetUp();
        build_search_window();
        gtk_widget_show_all(search_window);
        pump_events();
    }
    static GtkWidget* button(const char* word) { return find_by_id(search_window, word); }
    static int rows() { return GTK_CLIST(clist_main)->rows; }
    /* As a search at 127.0.0.1 would leave it: modules listed, the socket
     * open; the first row selected. */
    void list_modules_first_selected(int n = 2)
    {
        open_socket();
        get_aswd(aswd);
        strmodule_num = n;
        for (int i = 0; i < n; ++i) {
            format_text(strmodule[i].ip, sizeof strmodule[i].ip, "127.0.0.%d", 2 + i);
            format_text(strmodule[i].mac, sizeof strmodule[i].mac, "ACCF2300000%d", 2 + i);
        }
        show_list_data(clist_main);
        gtk_clist_select_row(GTK_CLIST(clist_main), 0, 0);
    }
};

TEST_F(SearchWindow, ClicksDuringASearchHaveNoEffect)
{
    sim_process sim({"--broadcast", "127.0.0.255", "--latency", "300", "--module", "127.0.0.2"});
    ASSERT_TRUE(sim.ready());
    act(combo_ip, "127.0.0.1");
    strmodule_num = 1;  /* a module from an earlier search, selectable */
    row_selected = 0;
    module_ip[0] = '\0';
    after(100, [] {
        for (const char* w : {"Search", "Setting", "Upload"})
            gtk_button_clicked(GTK_BUTTON(button(w)));
    });
    gtk_button_clicked(GTK_BUTTON(button("Search")));
    EXPECT_EQ(rows(), 1);
    EXPECT_EQ(sim.received().size(), 1u) << "the second Search must not send";
    EXPECT_STREQ(module_ip, "") << "Setting must not copy while the search waits";
}

TEST_F(SearchWindow, ClosingDuringASearchEndsTheLoopAtOnce)
{
    sim_process sim({"--broadcast", "127.0.0.255", "--silent", "--module", "127.0.0.2"});
    ASSERT_TRUE(sim.ready());
    act(combo_ip, "127.0.0.1");
    long long closed_at = 0;
    after(0, [] { gtk_button_clicked(GTK_BUTTON(button("Search"))); });
    after(1500, [&] {
        closed_at = monotonic_ms();
        gtk_widget_destroy(search_window);
    });
    gtk_main();
    ASSERT_NE(closed_at, 0);
    EXPECT_EQ(search_window, nullptr);
    EXPECT_EQ(clist_main, nullptr);
    EXPECT_EQ(sim.received().size(), 2u) << "no keyword after the close";
}

/* Without a local address, or with the port held by another program
 * (which would take the replies), a search says why, empties the list and
 * sends nothing. Once the port is free the window takes it and keeps it
 * through its next searches. */
TEST_F(SearchWindow, ASearchThatCannotBeMadeSendsNothingAndSaysWhy)
{
    sim_process sim({"--broadcast", "127.0.0.255", "--module", "127.0.0.2"});
    ASSERT_TRUE(sim.ready());
    strmodule_num = 1;
    show_list_data(clist_main);
    gtk_combo_box_set_active(GTK_COMBO_BOX(combo_ip), -1);
    EXPECT_EQ(click(button("Search")), "No local address to search from\n");
    EXPECT_EQ(rows() + strmodule_num, 0);

    act(combo_ip, "127.0.0.1");
    release_program_port();
    {
        port_claim elsewhere(KX_PORT);
        ASSERT_TRUE(elsewhere.taken());
        strmodule_num = 1;
        show_list_data(clist_main);
        EXPECT_EQ(click(button("Search")), "Port 48899 is held by another program: "
                      + std::string(program_invocation_short_name) + " (pid " + std::to_string(getpid()) + ")\n");
        EXPECT_EQ(u_socket, 0);
        EXPECT_EQ(rows(), 0);
    }
    EXPECT_TRUE(sim.received().empty());
    gtk_button_clicked(GTK_BUTTON(button("Search")));
    EXPECT_EQ(rows(), 1);
    EXPECT_FALSE(port_claim(KX_PORT).taken()) << "the window keeps the port between searches";
    gtk_button_clicked(GTK_BUTTON(button("Search")));
    EXPECT_EQ(rows(), 1) << "a search does not refuse its own window";
    EXPECT_EQ(sim.received().size(), 2u) << "one keyword for each free search";
}

TEST_F(SearchWindow, FirstExposeShowsTheTable)
{
    gtk_widget_destroy(search_window);
    pump_events();
    strmodule_num = 1;
    copy_text(strmodule[0].ip, "10.0.0.9");
    copy_text(strmodule[0].id, "ID9");
    bfirst_show = 0;
    build_search_window();
    EXPECT_EQ(rows(), 0);
    gtk_widget_show_all(search_window);
    pump_for(300);
    EXPECT_EQ(bfirst_show, 1);
    ASSERT_EQ(rows(), 1);
    EXPECT_EQ(clist_cell(clist_main, 0, 1), "10.0.0.9");
    EXPECT_EQ(clist_cell(clist_main, 0, 2), "ID9");
}

TEST_F(SearchWindow, ChoosingAnotherModuleEndsAWaitingHandshake)
{
    sim_process sim({"--silent", "--module", "127.0.0.2", "--reset-behaviour", "--module", "127.0.0.3"});
    ASSERT_TRUE(sim.ready());
    list_modules_first_selected();
    after(1500, [] {
        gtk_clist_select_row(GTK_CLIST(clist_main), 1, 0);
        gtk_button_clicked(GTK_BUTTON(button("Setting")));
    });

    gtk_button_clicked(GTK_BUTTON(button("Setting")));

    ASSERT_NE(window, nullptr);
    EXPECT_EQ(color, GREEN);
    EXPECT_STREQ(module_ip, "127.0.0.3");
    EXPECT_EQ(windows_titled(gtk_window_get_title(GTK_WINDOW(window))), 1) << "one settings window at a time";
    EXPECT_NE(label_with_text(window, "Module IP: 127.0.0.3"), nullptr);

    pump_for(1200);
    int to_silent = 0, to_second = 0;
    for (auto& d : sim.received())
        (d.target == "127.0.0.2" ? to_silent : to_second) += 1;
    EXPECT_EQ(to_silent, 2) << "keywords at 0 and 1 s, none after the new choice";
    EXPECT_EQ(to_second, 2) << "the keyword and +ok";
}

TEST_F(SearchWindow, DuringAReadThePagesTakeNoEditAndARowChosenIsTheOneSettingOpens)
{
    sim_process sim({"--latency", "40", "--modules", "2", "--first", "127.0.0.2"});
    ASSERT_TRUE(sim.ready());
    list_modules_first_selected();
    gtk_button_clicked(GTK_BUTTON(button("Setting")));
    ASSERT_EQ(color, GREEN);
    std::string out = click(button_setting_read);
    pump_events();
    ASSERT_TRUE(gtk_widget_is_sensitive(radio_wifimode_sta)) << "the first read opened the pages";

    /* GTK gives no input to an insensitive widget: that is what keeps a
     * read from overwriting an edit. The other window's list still takes
     * a click. */
    bool pages_sensitive = true, busy = false, search_busy = false;
    after(100, [&] {
        pages_sensitive = gtk_widget_is_sensitive(radio_wifimode_sta);
        busy = gdk_window_get_cursor(gtk_widget_get_window(window)) != nullptr;
        search_busy = gdk_window_get_cursor(gtk_widget_get_window(search_window)) != nullptr;
        gtk_clist_select_row(GTK_CLIST(clist_main), 1, 0);
    });
    out += click(button_setting_read);
    EXPECT_EQ(out, "Read the Module Setting............OK!\nRead the Module Setting............OK!\n");
    EXPECT_FALSE(pages_sensitive);
    EXPECT_TRUE(busy && search_busy) << "both windows show the busy cursor";
    EXPECT_EQ(row_selected, 1);
    pump_events();
    EXPECT_TRUE(gtk_widget_is_sensitive(radio_wifimode_sta)) << "the read leaves the pages usable";
    for (GtkWidget* w : {window, search_window})
        EXPECT_EQ(gdk_window_get_cursor(gtk_widget_get_window(w)), nullptr);

    gtk_button_clicked(GTK_BUTTON(button("Setting")));
    EXPECT_STREQ(module_ip, "127.0.0.3");
    EXPECT_EQ(color, GREEN);
}

std::vector<std::string> label_texts;

void on_label(GObject* label, GParamSpec*, gpointer) { label_texts.push_back(gtk_label_get_text(GTK_LABEL(label))); }

struct UploadButton : SearchWindow {
    sim_process sim{{"--module", "127.0.0.2"}};
    void SetUp() override
    {
        SearchWindow::SetUp();
        ASSERT_TRUE(sim.ready());
        list_modules_first_selected(1);
        label_texts.clear();
        g_signal_connect(label_up, "notify::label", G_CALLBACK(on_label), nullptr);
        upload_count_step_ms = 5;
    }
    std::string upload(const char* file)
    {
        gtk_entry_set_text(GTK_ENTRY(entry_file), file);
        return click(button("Upload"));
    }
    /* Waits for the count to end on the empty label. */
    void until_count_ends()
    {
        for (int i = 0; i < 100 && (label_texts.empty() || !label_texts.back().empty()); ++i)
            pump_for(20);
    }
};

TEST_F(UploadButton, TheImageIsSentAndTheLabelCounts)
{
    const char name[] = "固件映像文件版本一二三四五六七";  /* the entry's 15 characters, 45 bytes */
    write((std::string("data/") + name).c_str(), std::string(10000, 'i'));
    EXPECT_EQ(upload(name), "") << "no complaint";
    until_count_ends();
    ASSERT_EQ(label_texts.size(), 21u);
    for (int n = 0; n < 20; ++n)
        EXPECT_EQ(label_texts[n], "升级中... " + std::to_string(n));
    EXPECT_EQ(label_texts[20], "");

    /* Of two counts the last one started decides. */
    upload_count_step_ms = 300;
    upload(name);
    upload_count_step_ms = 5;
    label_texts.clear();
    upload(name);
    until_count_ends();
    pump_for(1000);
    EXPECT_EQ(label_texts.back(), "") << "the first count no longer writes";
}

} // namespace
