/*
 * edit_page.h - a settings window whose four pages show a module's
 * settings as a read leaves them, ready to be edited as a user edits.
 */
#ifndef KX_TESTS_EDIT_PAGE_H
#define KX_TESTS_EDIT_PAGE_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command.h"
#include "rendered_rows.h"
#include "gui_env.h"
#include "link.h"
#include "module.h"
#include "pages.h"
#include "strutil.h"
#include "widget_input.h"
#include "window.h"

struct EditedPages : testing::Test {
    void SetUp() override
    {
        init_window();
        set_read_records();
        for (const settings_page& p : settings_pages) {
            p.revert();
            p.refresh();
            *p.dirty = 0;
        }
        cmd_num_mod = cmd_num_comm = cmd_num_ap = cmd_num_sta = 0;
        gtk_widget_set_sensitive(frame_module, TRUE);
        pump_events();
    }
    void TearDown() override
    {
        if (window != nullptr)
            gtk_widget_destroy(window);
        pump_events();
    }
    /* What a module's defaults read as, through the page readers. */
    static void set_read_records()
    {
        strMODMana = {};
        strMODComm = {};
        strMODAP = {};
        strMODSTA = {};
        const char* replies[][2] = {
            {"WEBU", "admin,admin"}, {"UART", "115200,8,1,None,NFC"}, {"UARTFT", "200"}, {"UARTFL", "1024"},
            {"NETP", "TCP,Server,8899,10.10.100.100"}, {"MAXSK", "32"}, {"TCPTO", "300"},
            {"WAP", "11BGN,KXD40_0002,Auto"}, {"LANN", "10.10.100.254,255.255.255.0"}, {"DHCPGW", "10.10.100.254"},
            {"WSSSID", "KX-AP"}, {"WSKEY", "WPA2PSK,AES,12345678"}};
        for (auto& r : replies)
            ASSERT_TRUE(read_setting_value(window_link.pages, r[0], r[1])) << r[0];
        for (const settings_page& p : settings_pages)
            *p.inited = 1;
    }
    static std::vector<std::string> rows(int type) { return rendered_rows(type); }
    /* Runs an edit; returns what it printed. */
    template <typename EDIT>
    static std::string console_of(EDIT edit)
    {
        testing::internal::CaptureStdout();
        edit();
        return testing::internal::GetCapturedStdout();
    }
    static std::string text(GtkWidget* entry) { return gtk_entry_get_text(GTK_ENTRY(entry)); }
    static bool sensitive(GtkWidget* w) { return gtk_widget_get_sensitive(w) != 0; }
    static bool visible(GtkWidget* w) { return gtk_widget_get_visible(w) != 0; }
};

#endif
