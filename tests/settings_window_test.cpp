/*
 * settings_window_test.cpp - the settings window under Xvfb, checked
 * against its layout: positions, sizes, limits, states, combo contents,
 * fonts, the name string of every signal, the lamp and the logo.
 */
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

#include "callback.h"
#include "gui_env.h"
#include "main.h"
#include "module.h"
#include "setting_file.h"
#include "strutil.h"
#include "window.h"

namespace {

std::vector<std::pair<std::string, std::string>> dispatched;

void record_dispatch(const char* dispatcher, const char* name) { dispatched.emplace_back(dispatcher, name); }

struct SettingsWindow : testing::Test {
    void SetUp() override
    {
        copy_text(module_ip, "127.0.0.2");
        copy_text(module_mac, "ACCF23000002");
        copy_text(module_id, "KXD40-0002");
        copy_text(setting_file, "set_file.txt");
        auto_setting = 0;
        dispatched.clear();
        dispatch_trace = record_dispatch;
        init_window();
        pump_events();
    }
    void TearDown() override
    {
        dispatch_trace = nullptr;
        if (window != nullptr)
            gtk_widget_destroy(window);
        pump_events();
    }
    GtkWidget* by_id(const std::string& id)
    {
        GtkWidget* w = find_by_id(window, id);
        EXPECT_NE(w, nullptr) << id;
        return w;
    }
    /* Fires the widget's signal and returns the name that reached a
     * dispatcher, as "dispatcher:name". */
    std::string fire(GtkWidget* w)
    {
        dispatched.clear();
        if (GTK_IS_COMBO_BOX(w)) {
            g_signal_emit_by_name(w, "changed");
        } else if (GTK_IS_RADIO_BUTTON(w)) {
            g_signal_emit_by_name(w, "pressed");
        } else if (GTK_IS_BUTTON(w)) {
            g_signal_emit_by_name(w, "clicked");
        } else if (GTK_IS_ENTRY(w)) {
            GdkEvent* ev = gdk_event_new(GDK_FOCUS_CHANGE);
            ev->focus_change.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(w)));
            ev->focus_change.in = FALSE;
            gboolean handled = TRUE;
            g_signal_emit_by_name(w, "focus-out-event", ev, &handled);
            EXPECT_FALSE(handled) << "the focus change goes on";
            gdk_event_free(ev);
        }
        /* Only the first: a handler may set off further signals. */
        return dispatched.empty() ? "" : dispatched[0].first + ":" + dispatched[0].second;
    }
};

/* Where a widget sits and what it does. w and h of -1: natural size. */
struct placed {
    const char* id;
    int x, y, w, h;
    int max_len;       /* entries */
    bool sensitive;
    const char* signal;  /* "dispatcher:name", or "" */
};

const placed layout[] = {
    {"button_setting_read", 10, 10, 70, 28, 0, false, "button_clicked:setting_read_button"},
    {"button_setting_save", 100, 10, 70, 28, 0, false, "button_clicked:setting_save_button"},
    {"label_setting_file", 10, 53, -1, -1, 0, true, ""},
    {"entry_setting_file", 70, 50, 100, 22, 15, true, ""},
    {"check_setting_auto", 10, 77, -1, -1, 0, true, "button_clicked:auto_setting_button"},
    {"button_setting_down", 15, 100, 140, 28, 0, false, "button_clicked:setting_down_button"},
    {"draw_net_connect", 10, 150, 30, 30, 0, true, ""},
    {"label_net_conn", 50, 158, -1, -1, 0, true, ""},
    /* management */
    {"radio_wifimode_ap", 20, 20, -1, -1, 0, true, "radio_changed:AP_Mode"},
    {"radio_wifimode_sta", 20, 50, -1, -1, 0, true, "radio_changed:STA_Mode"},
    {"radio_workmode_th", 20, 20, -1, -1, 0, true, "radio_changed:TH_Mode"},
    {"radio_workmode_ag", 20, 50, -1, -1, 0, true, "radio_changed:AG_Mode"},
    {"entry_mod_usr", 80, 17, 160, 22, 15, true, "entry_focus_out:user"},
    {"entry_mod_pwd", 80, 47, 160, 22, 15, true, "entry_focus_out:pwd"},
    {"entry_mod_mid", 80, 17, 160, 22, 15, true, ""},
    {"restart_button", 30, 70, 100, 28, 0, true, "button_clicked:restart_button"},
    {"reload_button", 150, 70, 100, 28, 0, true, "button_clicked:reload_button"},
    {"label_mod_ver", 10, 250, -1, -1, 0, true, ""},
    {"button_mana_confirm", 300, 300, 100, 28, 0, false, "button_clicked:mana_confirm_button"},
    {"mana_cancel_button", 430, 300, 100, 28, 0, true, "button_clicked:mana_cancel_button"},
    /* communication */
    {"combo_modcom_baud", 90, 17, -1, -1, 0, true, "combo_selected:modcom_baudrate"},
    {"combo_modcom_data", 90, 47, -1, -1, 0, true, "combo_selected:modcom_data"},
    {"combo_modcom_parity", 90, 77, -1, -1, 0, true, "combo_selected:modcom_parity"},
    {"combo_modcom_stop", 90, 107, -1, -1, 0, true, "combo_selected:modcom_stop"},
    {"combo_modcom_af", 90, 17, -1, -1, 0, true, "combo_selected:modcom_frame"},
    {"label_modcom_aft", 20, 51, -1, -1, 0, true, ""},
    {"entry_modcom_aft", 205, 47, 50, 22, 5, false, "entry_focus_out:aft"},
    {"label_modcom_afl", 20, 81, -1, -1, 0, true, ""},
    {"entry_modcom_afl", 205, 77, 50, 22, 5, false, "entry_focus_out:afl"},
    {"combo_modnet_mode", 90, 17, -1, -1, 0, true, "combo_selected:modnet_mode"},
    {"combo_modnet_prot", 90, 47, -1, -1, 0, true, "combo_selected:modnet_prot"},
    {"entry_modnet_port", 90, 77, 100, 22, 5, true, "entry_focus_out:netp_port"},
    {"entry_modnet_ip", 90, 107, 180, 22, 100, false, "entry_focus_out:netp_ip"},
    {"entry_modnet_tcpto", 180, 137, 60, 22, 5, true, "entry_focus_out:netp_tcpto"},
    {"entry_modnet_maxsk", 180, 167, 60, 22, 5, true, "entry_focus_out:netp_maxsk"},
    {"button_comm_confirm", 300, 300, 100, 28, 0, false, "button_clicked:comm_confirm_button"},
    {"comm_cancel_button", 430, 300, 100, 28, 0, true, "button_clicked:comm_cancel_button"},
    /* AP */
    {"combo_ap_wifimode", 120, 17, -1, -1, 0, true, "combo_selected:modap_wifimode"},
    {"entry_ap_ssid", 90, 47, 150, 22, 32, true, "entry_focus_out:ap_ssid"},
    {"combo_ap_channel", 90, 77, -1, -1, 0, true, "combo_selected:modap_wifichannel"},
    {"combo_ap_auth", 90, 137, -1, -1, 0, true, "combo_selected:modap_wifiauth"},
    {"combo_ap_encry_open", 90, 167, -1, -1, 0, true, "combo_selected:modap_wifiencry"},
    {"combo_ap_encry_shared", 90, 167, -1, -1, 0, true, "combo_selected:modap_wifiencry"},
    {"combo_ap_encry_wpapsk", 90, 167, -1, -1, 0, true, "combo_selected:modap_wifiencry"},
    {"label_ap_key", 20, 201, -1, -1, 0, true, ""},
    {"entry_ap_key", 60, 197, 180, 22, 65, true, "entry_focus_out:ap_key"},
    {"combo_lan_dhcp", 110, 27, -1, -1, 0, false, "combo_selected:modap_dhcp"},
    {"entry_lan_ip", 80, 97, 180, 22, 20, true, "entry_focus_out:lan_ip"},
    {"entry_lan_mask", 80, 127, 180, 22, 20, true, "entry_focus_out:lan_mask"},
    {"entry_lan_gateway", 80, 157, 180, 22, 20, true, "entry_focus_out:lan_gw"},
    {"button_ap_confirm", 300, 300, 100, 28, 0, false, "button_clicked:ap_confirm_button"},
    {"ap_cancel_button", 430, 300, 100, 28, 0, true, "button_clicked:ap_cancel_button"},
    /* STA */
    {"entry_sta_ssid", 90, 17, 150, 22, 32, true, "entry_focus_out:sta_ssid"},
    {"entry_sta_mac", 90, 47, 150, 22, 32, false, "entry_focus_out:sta_mac"},
    {"combo_sta_auth", 90, 97, -1, -1, 0, true, "combo_selected:modsta_wifiauth"},
    {"combo_sta_encry_open", 90, 127, -1, -1, 0, true, "combo_selected:modsta_wifiencry"},
    {"combo_sta_encry_shared", 90, 127, -1, -1, 0, true, "combo_selected:modsta_wifiencry"},
    {"combo_sta_encry_wpapsk", 90, 127, -1, -1, 0, true, "combo_selected:modsta_wifiencry"},
    {"label_sta_key", 20, 161, -1, -1, 0, true, ""},
    {"entry_sta_key", 60, 157, 180, 22, 65, true, "entry_focus_out:sta_key"},
    {"radio_wan_dhcp", 50, 21, -1, -1, 0, true, "radio_changed:modsta_dhcp"},
    {"radio_wan_static", 50, 51, -1, -1, 0, true, "radio_changed:modsta_static"},
    {"entry_wan_ip", 80, 97, 180, 22, 20, true, "entry_focus_out:wan_ip"},
    {"entry_wan_mask", 80, 127, 180, 22, 20, true, "entry_focus_out:wan_mask"},
    {"entry_wan_gateway", 80, 157, 180, 22, 20, true, "entry_focus_out:wan_gw"},
    {"button_sta_confirm", 300, 300, 100, 28, 0, false, "button_clicked:sta_confirm_button"},
    {"sta_cancel_button", 430, 300, 100, 28, 0, true, "button_clicked:sta_cancel_button"},
};

/* The globals, by the id their widget carries. */
std::map<std::string, GtkWidget**> globals()
{
#define G(n) {#n, &n}
    return {G(window), G(frame_module), G(draw_net_connect), G(label_net_conn), G(button_setting_read),
            G(button_setting_save), G(label_setting_file), G(entry_setting_file), G(check_setting_auto),
            G(button_setting_down), G(radio_wifimode_ap), G(radio_wifimode_sta), G(radio_workmode_th),
            G(radio_workmode_ag), G(entry_mod_usr), G(entry_mod_pwd), G(entry_mod_mid), G(label_mod_ver),
            G(button_mana_confirm), G(combo_modcom_baud), G(combo_modcom_data), G(combo_modcom_parity),
            G(combo_modcom_stop), G(combo_modcom_af), G(label_modcom_aft), G(entry_modcom_aft),
            G(label_modcom_afl), G(entry_modcom_afl), G(combo_modnet_mode), G(combo_modnet_prot),
            G(entry_modnet_port), G(entry_modnet_ip), G(entry_modnet_tcpto), G(entry_modnet_maxsk),
            G(button_comm_confirm), G(combo_ap_wifimode), G(entry_ap_ssid), G(combo_ap_channel),
            G(combo_ap_auth), G(combo_ap_encry_open), G(combo_ap_encry_shared), G(combo_ap_encry_wpapsk),
            G(label_ap_key), G(entry_ap_key), G(combo_lan_dhcp), G(entry_lan_ip), G(entry_lan_mask),
            G(entry_lan_gateway), G(button_ap_confirm), G(entry_sta_ssid), G(entry_sta_mac),
            G(combo_sta_auth), G(combo_sta_encry_open), G(combo_sta_encry_shared),
            G(combo_sta_encry_wpapsk), G(label_sta_key), G(entry_sta_key), G(radio_wan_dhcp),
            G(radio_wan_static), G(entry_wan_ip), G(entry_wan_mask), G(entry_wan_gateway),
            G(button_sta_confirm)};
#undef G
}

TEST_F(SettingsWindow, EveryWidgetSitsWhereTheLayoutSays)
{
    for (const placed& p : layout) {
        GtkWidget* w = by_id(p.id);
        if (w == nullptr)
            continue;
        expect_placed(w, p.id, p.x, p.y, p.w, p.h);
        EXPECT_EQ(gtk_widget_get_sensitive(w), p.sensitive) << p.id;
        if (GTK_IS_ENTRY(w)) {
            EXPECT_EQ(gtk_entry_get_max_length(GTK_ENTRY(w)), p.max_len) << p.id;
        }
    }
}

TEST_F(SettingsWindow, EverySignalCarriesItsNameString)
{
    for (const placed& p : layout) {
        GtkWidget* w = by_id(p.id);
        if (w != nullptr && !GTK_IS_LABEL(w) && !GTK_IS_DRAWING_AREA(w)) {
            EXPECT_EQ(fire(w), p.signal) << p.id;
        }
    }
    GtkWidget* notebook = by_id("notebook");
    dispatched.clear();
    gtk_notebook_set_current_page(GTK_NOTEBOOK(notebook), 2);
    ASSERT_EQ(dispatched.size(), 1u);
    EXPECT_EQ(dispatched[0].first, "notebook_switch_page");
    EXPECT_EQ(dispatched[0].second, "2");
}

TEST_F(SettingsWindow, SwitchingPagesReadsNothing)
{
    strMODComm.inited = 0;
    strMODComm.baud = BAUDRATE_300;
    GtkWidget* notebook = by_id("notebook");
    for (int page : {1, 2, 3, 0})
        gtk_notebook_set_current_page(GTK_NOTEBOOK(notebook), page);
    EXPECT_EQ(strMODComm.inited, 0);
    EXPECT_EQ(strMODComm.baud, BAUDRATE_300);
    EXPECT_EQ(page_comm_shown, 0) << "no page was refreshed";
    EXPECT_EQ(notebook_page_now, 0);
}

TEST_F(SettingsWindow, EveryGlobalNamesItsWidgetById)
{
    for (auto& g : globals()) {
        ASSERT_NE(*g.second, nullptr) << g.first;
        EXPECT_EQ(find_by_id(window, g.first), *g.second) << g.first;
    }
}

TEST_F(SettingsWindow, FramesTitlesAndSizes)
{
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(window)), "KX-D40设置工具 V2.2");
    EXPECT_EQ(gtk_container_get_border_width(GTK_CONTAINER(window)), 10u);
    int w = 0, h = 0;
    gtk_widget_get_size_request(frame_module, &w, &h);
    EXPECT_EQ(w, 600);
    EXPECT_EQ(h, 400);
    EXPECT_FALSE(gtk_widget_get_sensitive(frame_module));
    GtkWidget* notebook = by_id("notebook");
    ASSERT_EQ(gtk_notebook_get_n_pages(GTK_NOTEBOOK(notebook)), 4);
    const char* tabs[] = {"模块管理", "通讯设置", "AP模式设置", "STA模式设置"};
    for (int i = 0; i < 4; ++i) {
        GtkWidget* page = gtk_notebook_get_nth_page(GTK_NOTEBOOK(notebook), i);
        EXPECT_STREQ(gtk_notebook_get_tab_label_text(GTK_NOTEBOOK(notebook), page), tabs[i]);
        EXPECT_EQ(gtk_container_get_border_width(GTK_CONTAINER(page)), 10u);
    }
    GtkAllocation a;
    gtk_widget_get_allocation(window, &a);
    EXPECT_EQ(a.width, 820) << "four 200-pixel columns and the border";
}

TEST_F(SettingsWindow, InitialStates)
{
    EXPECT_TRUE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(radio_wifimode_ap)));
    EXPECT_TRUE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(radio_workmode_th)));
    EXPECT_TRUE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(radio_wan_dhcp)));
    EXPECT_FALSE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(check_setting_auto)));
    EXPECT_FALSE(gtk_editable_get_editable(GTK_EDITABLE(entry_mod_mid)));
    EXPECT_TRUE(gtk_entry_get_visibility(GTK_ENTRY(entry_mod_pwd))) << "shown in clear";
    EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(entry_ap_key)), "31415926");
    EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(entry_sta_key)), "31415926");
    EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(entry_setting_file)), "set_file.txt");
    EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(entry_mod_usr)), "");
    EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(label_net_conn)), "正在等待连接.");
    EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(label_mod_ver)), "软件版本: ");
    for (GtkWidget* c : {combo_ap_encry_open, combo_ap_encry_shared, combo_ap_encry_wpapsk,
                         combo_sta_encry_open, combo_sta_encry_shared, combo_sta_encry_wpapsk})
        EXPECT_TRUE(gtk_widget_get_visible(c)) << widget_id(c) << ": all three shown, stacked";
    EXPECT_EQ(color, BLANK);
}

TEST_F(SettingsWindow, ComboItemsAndDefaults)
{
    using list = std::vector<std::string>;
    list channels = {"Auto"};
    for (int n = 1; n <= 14; ++n)
        channels.push_back("Channel " + std::to_string(n));
    struct combo_case {
        GtkWidget* combo;
        list items;
        int active;
    };
    const combo_case cases[] = {
        {combo_modcom_baud, {"50", "75", "110", "134", "150", "200", "300", "600", "1200", "1800", "2400",
                             "4800", "9600", "19200", "38400", "57600", "115200", "230400", "345600", "460800"},
         15},
        {combo_modcom_data, {"5", "6", "7", "8"}, 3},
        {combo_modcom_parity, {"None", "Odd", "Even", "Mark", "Space"}, 0},
        {combo_modcom_stop, {"1", "2"}, 0},
        {combo_modcom_af, {"Disable", "Enable"}, 0},
        {combo_modnet_mode, {"Server", "Client"}, 0},
        {combo_modnet_prot, {"TCP", "UDP"}, 0},
        {combo_ap_wifimode, {"802.11B Only", "802.11G Only", "802.11BG", "802.11N Only", "802.11BGN"}, 4},
        {combo_ap_channel, channels, 0},
        {combo_ap_auth, {"OPEN", "SHARED", "WPAPSK", "WPA2PSK"}, 0},
        {combo_sta_auth, {"OPEN", "SHARED", "WPAPSK", "WPA2PSK"}, 0},
        {combo_ap_encry_open, {"NONE", "WEP-HEX", "WEP-ASCII"}, 0},
        {combo_sta_encry_open, {"NONE", "WEP-HEX", "WEP-ASCII"}, 0},
        {combo_ap_encry_shared, {"WEP-HEX", "WEP-ASCII"}, 0},
        {combo_sta_encry_shared, {"WEP-HEX", "WEP-ASCII"}, 0},
        {combo_ap_encry_wpapsk, {"TKIP", "AES", "TKIPAES"}, 0},
        {combo_sta_encry_wpapsk, {"TKIP", "AES", "TKIPAES"}, 0},
        {combo_lan_dhcp, {"Enable", "Disable"}, 0},
    };
    for (const combo_case& c : cases) {
        EXPECT_EQ(combo_items(c.combo), c.items) << widget_id(c.combo);
        EXPECT_EQ(gtk_combo_box_get_active(GTK_COMBO_BOX(c.combo)), c.active) << widget_id(c.combo);
    }
    for (auto& d : dispatched)
        EXPECT_NE(d.first, "combo_selected") << "filling the lists reached " << d.second;
}

std::string font_of(GtkWidget* w)
{
    GtkRcStyle* rc = gtk_widget_get_modifier_style(w);
    if (rc == nullptr || rc->font_desc == nullptr)
        return "theme";
    gchar* s = pango_font_description_to_string(rc->font_desc);
    std::string out = s;
    g_free(s);
    return out;
}

TEST_F(SettingsWindow, Fonts)
{
    const std::pair<const char*, const char*> labels[] = {
        {"Module IP: 127.0.0.2", "Sans 10"},
        {"正在等待连接.", "Sans Bold 10"},
        {"文件名:", "Sans 10"},
        {"波特率", "Sans 10"},
        {"成帧时间(100~10000)(ms)", "Sans 10"},
        {"TCP最大连接数(1~32)", "Sans 10"},
        {"DHCP服务器", "Sans 10"},
        {"MAC地址", "Sans 10"},
        {"KX-D40模块", "Sans 10"},
        {"软件版本: ", "Sans 10"},
        {"AP 模式", "Sans 10"},
        {"静态地址分配", "Sans 10"},
    };
    for (auto& l : labels) {
        GtkWidget* w = label_with_text(window, l.first);
        ASSERT_NE(w, nullptr) << l.first;
        EXPECT_EQ(font_of(w), l.second) << l.first;
        EXPECT_EQ(unknown_glyphs(w), 0) << l.first;
    }
    /* The identity lines keep family and weight; the size is fitted to
     * their frame, which display_test.cpp checks. */
    for (auto& l : {std::make_pair("Module MAC: ACCF23000002", "Sans"),
                    std::make_pair("Module ID: KXD40-0002", "Sans Bold")}) {
        GtkWidget* w = label_with_text(window, l.first);
        ASSERT_NE(w, nullptr) << l.first;
        std::string font = font_of(w);
        EXPECT_EQ(font.substr(0, font.rfind(' ')), l.second) << font;
        EXPECT_EQ(unknown_glyphs(w), 0) << l.first;
    }
    EXPECT_EQ(font_of(radio_wifimode_ap), "theme") << "the font is on the radio's label";
    for (GtkWidget* b : {button_setting_read, check_setting_auto, button_mana_confirm})
        EXPECT_EQ(font_of(b), "theme") << widget_id(b);
    GtkWidget* id_label = label_with_text(window, "Module ID: KXD40-0002");
    GdkColor fg = gtk_widget_get_modifier_style(id_label)->fg[GTK_STATE_NORMAL];
    EXPECT_EQ(fg.red, 0xFFFF);
    EXPECT_EQ(fg.green, 0);
    EXPECT_EQ(fg.blue, 0);
}

TEST_F(SettingsWindow, CompanyLabelIsBoldAndEmpty)
{
    GtkWidget* page = gtk_widget_get_parent(label_mod_ver);
    GList* children = gtk_container_get_children(GTK_CONTAINER(page));
    int bold = 0;
    for (GList* c = children; c != nullptr; c = c->next) {
        GtkWidget* w = GTK_WIDGET(c->data);
        int x = 0, y = 0;
        if (GTK_IS_LABEL(w) && fixed_position(w, &x, &y) && x == 10 && y == 290) {
            EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(w)), "");
            EXPECT_EQ(font_of(w), "Sans Bold 12");
            ++bold;
        }
    }
    g_list_free(children);
    EXPECT_EQ(bold, 1);
}

unsigned pixel_at(GtkWidget* w, int x, int y)
{
    GdkPixbuf* pb = gdk_pixbuf_get_from_drawable(nullptr, gtk_widget_get_window(w), nullptr, x, y, 0, 0, 1, 1);
    if (pb == nullptr)
        return 0xFFFFFFFF;
    const guchar* p = gdk_pixbuf_get_pixels(pb);
    unsigned rgb = (p[0] << 16) | (p[1] << 8) | p[2];
    g_object_unref(pb);
    return rgb;
}

TEST_F(SettingsWindow, LampColours)
{
    const std::pair<int, unsigned> cases[] = {
        {BLANK, 0x7f7f7f}, {GREEN, 0x00ff00}, {RED, 0xff0000}, {YELLOW, 0xffff00}, {4, 0xff0000}, {-1, 0xff0000},
    };
    for (auto& c : cases) {
        set_lamp(c.first);
        gdk_window_process_all_updates();
        pump_for(50);
        unsigned got = pixel_at(draw_net_connect, 20, 13);
        if (c.first == BLANK)  /* 0.5 grey may round either way */
            EXPECT_TRUE(got == 0x7f7f7f || got == 0x808080) << std::hex << got;
        else
            EXPECT_EQ(got, c.second) << "lamp " << c.first << " gave " << std::hex << got;
    }
    unsigned outside = pixel_at(draw_net_connect, 2, 28);
    EXPECT_NE(outside, 0xff0000u) << "only the disc is drawn";
}

TEST_F(SettingsWindow, LogoIsPaintedFromPicWhenThereIsOne)
{
    /* The tests run where there is no "pic": the strip stays empty. */
    ASSERT_NE(access("pic", F_OK), 0);
    GtkWidget* logo = by_id("draw_logo");
    pump_for(50);
    unsigned empty = pixel_at(logo, 30, 30);

    ASSERT_EQ(symlink(KXD40_SOURCE_DIR "/pic", "pic"), 0);
    gtk_widget_queue_draw(logo);
    gdk_window_process_all_updates();
    pump_for(50);
    unsigned painted = pixel_at(logo, 30, 30);
    unlink("pic");
    EXPECT_NE(painted, empty);
}

TEST_F(SettingsWindow, ClosingClearsEveryGlobal)
{
    gtk_widget_destroy(window);
    pump_events();
    for (auto& g : globals())
        EXPECT_EQ(*g.second, nullptr) << g.first;
    set_lamp(GREEN);  /* must not touch the destroyed lamp */
    EXPECT_EQ(color, GREEN);
}

TEST_F(SettingsWindow, LongFileNameShowsFifteenCharacters)
{
    gtk_widget_destroy(window);
    copy_text(setting_file, "a_very_long_command_file.txt");
    auto_setting = 1;
    init_window();
    EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(entry_setting_file)), "a_very_long_com");
    EXPECT_TRUE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(check_setting_auto)));
    EXPECT_EQ(auto_setting, 1) << "building the window ran no handler";
}

int toplevels_titled(const char* title)
{
    int n = 0;
    GList* all = gtk_window_list_toplevels();
    for (GList* l = all; l != nullptr; l = l->next)
        if (g_strcmp0(gtk_window_get_title(GTK_WINDOW(l->data)), title) == 0)
            ++n;
    g_list_free(all);
    return n;
}

TEST_F(SettingsWindow, SecondSettingReplacesTheWindow)
{
    gtk_widget_destroy(window);
    pump_events();
    build_search_window();
    strmodule_num = 2;
    copy_text(strmodule[0].ip, "127.0.0.2");
    copy_text(strmodule[1].ip, "127.0.0.3");
    copy_text(strmodule[1].mac, "ACCF23000003");
    row_selected = 0;
    main_button_clicked(nullptr, const_cast<char*>("Setting"));
    GtkWidget* first = window;
    row_selected = 1;
    main_button_clicked(nullptr, const_cast<char*>("Setting"));
    pump_events();
    EXPECT_NE(window, first);
    EXPECT_EQ(toplevels_titled("KX-D40设置工具 V2.2"), 1);
    EXPECT_NE(label_with_text(window, "Module IP: 127.0.0.3"), nullptr);
    gtk_widget_destroy(search_window);
}

} // namespace
