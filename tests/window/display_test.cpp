/*
 * display_test.cpp - what reaches the screen under Xvfb: bytes from the
 * network shown without complaint from the toolkit, the search window with
 * nothing overlapped or cut, and addresses and the module's identity kept
 * whole inside their places, measured with the fonts the widgets actually
 * draw with; the texts of the source converted for display.
 */
#include <gtest/gtest.h>

#include <string>

#include "gui_env.h"
#include "lang.h"
#include "main.h"
#include "module.h"
#include "strutil.h"
#include "wait.h"
#include "window.h"

namespace {

#define R "\xEF\xBF\xBD"  /* U+FFFD */

const char widest_address[] = "255.255.255.255";
const int smallest_size = 7 * PANGO_SCALE;  /* points: below this nobody reads it */

void redraw()
{
    pump_events();
    gdk_window_process_all_updates();
    pump_for(50);
}

/* Pixel width of text in the font w draws with. */
int text_width(GtkWidget* w, const char* text)
{
    PangoLayout* l = gtk_widget_create_pango_layout(w, text);
    int width = 0;
    pango_layout_get_pixel_size(l, &width, nullptr);
    g_object_unref(l);
    return width;
}

struct Display : Gui {
    void SetUp() override
    {
        Gui::SetUp();
        bfirst_show = 1;
        build_search_window();
        gtk_widget_show_all(search_window);
        redraw();
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
};

/* The GB18030 texts of the source convert; invalid bytes fail. */
TEST(Lang, TextsConvertAndInvalidBytesFail)
{
    const std::pair<gchar*, const char*> cases[] = {
        {_(""), ""}, {_("Module IP: 192.168.1.7"), "Module IP: 192.168.1.7"},
        {_((std::string(text_label_ver) + "V1.0").c_str()), "软件版本: V1.0"}, {_lang("\xcb\xd1\xcb\xf7"), "搜索"},
        {_("\x81"), nullptr} /* a lead byte without its trail byte */, {_("\xff\xff"), nullptr}};
    for (auto& [text, expected] : cases) {
        EXPECT_STREQ(text, expected);
        g_free(text);
    }
}

TEST_F(Display, InvalidUtf8FromTheNetworkShowsReplacedWithoutWarnings)
{
    complaint_counter complaints;
    list_modules({"KX\xFF\xFE-01"});
    EXPECT_EQ(clist_cell(clist_main, 0, 2), "KX" R R "-01");
    copy_text(strmodule[0].mac, "AC\xC0\xAF" "F23000002");
    ASSERT_TRUE(choose_module(0, "KX-D40LOCATORPING"));
    init_window();

    copy_text(strMODMana_up.user, "ad\xE6\xA8min");
    copy_text(strMODMana_up.mver, "V1.0\xFF");
    update_mana_widgets();
    copy_text(strMODComm_up.hostname, "srv\xF5.lan");
    update_comm_widgets();
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

TEST_F(Display, TheWidestAddressFitsTheListAndTheCombo)
{
    gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(combo_ip), widest_address);
    gtk_combo_box_set_active(GTK_COMBO_BOX(combo_ip), static_cast<int>(combo_items(combo_ip).size()) - 1);
    list_modules({"KXD40-5610", "KXD40-5611", "KXD40-5612"});

    /* A cell is clipped to its column's area; the insets lie outside it. */
    GtkCList* list = GTK_CLIST(clist_main);
    EXPECT_LE(text_width(clist_main, widest_address), list->column[1].area.width);
    EXPECT_LE(text_width(clist_main, "KXD40-5610"), list->column[2].area.width) << "the IDs beside stay whole";
    EXPECT_LE(list->column[2].area.x + list->column[2].area.width, list->clist_window_width);
    EXPECT_GE(pango_font_description_get_size(gtk_widget_get_style(clist_main)->font_desc), smallest_size);

    /* The combo's text is drawn by its cell view, left of the arrow. */
    GtkWidget* view = gtk_bin_get_child(GTK_BIN(combo_ip));
    GtkWidget* arrow = nullptr;
    for (GtkWidget* w : widgets_below(combo_ip))
        if (GTK_IS_ARROW(w))
            arrow = w;
    ASSERT_NE(arrow, nullptr);
    GList* cells = gtk_cell_layout_get_cells(GTK_CELL_LAYOUT(combo_ip));
    ASSERT_NE(cells, nullptr);
    gint xpad = 0;
    g_object_get(cells->data, "xpad", &xpad, nullptr);
    g_list_free(cells);
    GtkAllocation v = allocation_of(view);
    EXPECT_LE(text_width(view, widest_address), v.width - 2 * xpad);
    EXPECT_LE(v.x + v.width, allocation_of(arrow).x);
    EXPECT_GE(pango_font_description_get_size(gtk_widget_get_style(view)->font_desc), smallest_size);
}

/* Eighteen characters is the longest field a search answer gives: such
 * an ID is cut, and whole in its tooltip (layout_faults holds a cut label
 * to that); an address never is. Shorter ones: lang_locale_test.cpp. */
TEST_F(Display, TheLongestIdentityIsCutWithATooltipAndTheWidestAddressIsNot)
{
    copy_text(module_ip, widest_address);
    copy_text(module_mac, "ACCF23000002ABCDEF");
    copy_text(module_id, "KXD40-0123456789AB");
    init_window();
    redraw();
    for (const std::string& fault : layout_faults(window))
        ADD_FAILURE() << fault;
    for (auto [text, cut] : {std::pair{"Module IP: 255.255.255.255", false}, {"Module ID: KXD40-0123456789AB", true}}) {
        GtkWidget* label = label_with_text(window, text);
        ASSERT_NE(label, nullptr) << text;
        EXPECT_EQ(pango_layout_is_ellipsized(gtk_label_get_layout(GTK_LABEL(label))) != 0, cut) << text;
    }
}

#undef R

} // namespace
