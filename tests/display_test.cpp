/*
 * display_test.cpp - texts that reach the screen under Xvfb: bytes from
 * the network shown without complaint from the toolkit.
 */
#include <gtest/gtest.h>

#include <string>

#include "gui_env.h"
#include "main.h"
#include "module.h"
#include "strutil.h"
#include "wait.h"
#include "window.h"

namespace {

#define R "\xEF\xBF\xBD"  /* U+FFFD */

int* complaints_seen = nullptr;

/* Pango logs through the structured writer, past any g_log_set_handler:
 * the count is taken where every message ends up. */
GLogWriterOutput count_complaints(GLogLevelFlags level, const GLogField* fields, gsize n, gpointer data)
{
    if (complaints_seen != nullptr && (level & (G_LOG_LEVEL_WARNING | G_LOG_LEVEL_CRITICAL))) {
        std::string domain, message;
        for (gsize i = 0; i < n; ++i) {
            std::string key = fields[i].key;
            if (key == "GLIB_DOMAIN" || key == "MESSAGE")
                (key == "MESSAGE" ? message : domain) = static_cast<const char*>(fields[i].value);
        }
        for (const char* d : {"Gtk", "GLib", "Pango", "GLib-GObject"})
            if (domain == d) {
                ++*complaints_seen;
                ADD_FAILURE() << domain << ": " << message;
            }
    }
    return g_log_writer_default(level, fields, n, data);
}

/* Counts the toolkit's warnings and criticals while alive. */
struct complaint_counter {
    int count = 0;
    complaint_counter()
    {
        static const bool installed = (g_log_set_writer_func(count_complaints, nullptr, nullptr), true);
        (void)installed;
        complaints_seen = &count;
    }
    ~complaint_counter() { complaints_seen = nullptr; }
};

void redraw()
{
    pump_events();
    gdk_window_process_all_updates();
    pump_for(50);
}

struct Display : testing::Test {
    void SetUp() override
    {
        strmodule_num = 0;
        bfirst_show = 1;
        install_window_waits();
        build_search_window();
        gtk_widget_show_all(search_window);
        redraw();
    }
    void TearDown() override
    {
        for (GtkWidget* w : {window, search_window})
            if (w != nullptr)
                gtk_widget_destroy(w);
        pump_events();
    }
    void list_modules(std::initializer_list<const char*> ids)
    {
        strmodule_num = 0;
        for (const char* id : ids) {
            STRMODULE& m = strmodule[strmodule_num];
            format_text(m.ip, sizeof m.ip, "198.51.100.%d", 10 + strmodule_num);
            format_text(m.mac, sizeof m.mac, "ACCF2300%04d", 10 + strmodule_num);
            copy_text(m.id, id);
            ++strmodule_num;
        }
        show_list_data(clist_main);
        redraw();
    }
    std::string cell(int row, int col)
    {
        gchar* text = nullptr;
        gtk_clist_get_text(GTK_CLIST(clist_main), row, col, &text);
        return text != nullptr ? text : "";
    }
    std::string text(GtkWidget* entry) { return gtk_entry_get_text(GTK_ENTRY(entry)); }
};

TEST_F(Display, InvalidUtf8FromTheNetworkShowsReplacedWithoutWarnings)
{
    complaint_counter complaints;
    list_modules({"KX\xFF\xFE-01"});
    EXPECT_EQ(cell(0, 2), "KX" R R "-01");
    copy_text(strmodule[0].mac, "AC\xC0\xAF" "F23000002");
    ASSERT_TRUE(choose_module(0, "KX-D40LOCATORPING"));
    init_window();

    strMODMana_up = {};
    copy_text(strMODMana_up.user, "ad\xE6\xA8min");
    copy_text(strMODMana_up.mver, "V1.0\xFF");
    update_mana_widgets();
    strMODComm_up = {};
    copy_text(strMODComm_up.hostname, "srv\xF5.lan");
    update_comm_widgets();
    strMODAP_up = {};
    copy_text(strMODAP_up.SSID, "\xED\xA0\x80net");
    update_ap_widgets();
    GtkWidget* notebook = find_by_id(window, "notebook");
    for (int page : {1, 2, 0}) {
        gtk_notebook_set_current_page(GTK_NOTEBOOK(notebook), page);
        redraw();
    }

    EXPECT_NE(label_with_text(window, "Module ID: KX" R R "-01"), nullptr);
    EXPECT_NE(label_with_text(window, "Module MAC: AC" R R "F23000002"), nullptr);
    EXPECT_EQ(text(entry_mod_usr), "ad" R "min");
    EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(label_mod_ver)), "软件版本: V1.0" R);
    EXPECT_EQ(text(entry_modnet_ip), "srv" R ".lan");
    EXPECT_EQ(text(entry_ap_ssid), R R R "net");
    EXPECT_STREQ(strmodule[0].id, "KX\xFF\xFE-01") << "the records keep the bytes";
    EXPECT_STREQ(module_mac, "AC\xC0\xAF" "F23000002");
    EXPECT_STREQ(strMODMana_up.user, "ad\xE6\xA8min");
    EXPECT_EQ(complaints.count, 0);
}

#undef R

} // namespace
