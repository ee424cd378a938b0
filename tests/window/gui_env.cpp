/*
 * gui_env.cpp - GTK set-up for the window tests, widget lookups, a user's
 * edits, the checks of what a window shows and the fixture around a case.
 */
#include "gui_env.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <set>
#include <sstream>

#include "command.h"
#include "discovery.h"
#include "enums.h"
#include "link.h"
#include "main.h"
#include "module.h"
#include "netio.h"
#include "pages.h"
#include "port_claim.h"
#include "rendered_rows.h"
#include "setting_file.h"
#include "strutil.h"
#include "wait.h"
#include "window.h"

namespace {

/* GTK starts once per test process, after the process has left the
 * network, and only when tests are actually run. */
class gtk_environment : public testing::Environment {
public:
    void SetUp() override
    {
        int argc = 0;
        ASSERT_TRUE(gtk_init_check(&argc, nullptr)) << "no X display";
    }
};

const bool registered = (testing::AddGlobalTestEnvironment(new gtk_environment), true);

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
        for (const char* d : {"Gtk", "Gdk", "GLib", "Pango", "GLib-GObject"})
            if (domain == d) {
                ++*complaints_seen;
                ADD_FAILURE() << domain << ": " << message;
            }
    }
    return g_log_writer_default(level, fields, n, data);
}

void collect(GtkWidget* w, gpointer out)
{
    static_cast<std::vector<GtkWidget*>*>(out)->push_back(w);
    if (GTK_IS_CONTAINER(w))
        gtk_container_forall(GTK_CONTAINER(w), collect, out);
}

/* How a fault report names a widget. */
std::string name_of(GtkWidget* w)
{
    std::string id = widget_id(w);
    if (!id.empty())
        return id;
    if (GTK_IS_LABEL(w))
        return std::string("label \"") + gtk_label_get_text(GTK_LABEL(w)) + "\"";
    if (GTK_IS_BIN(w) && GTK_IS_LABEL(gtk_bin_get_child(GTK_BIN(w))))
        return G_OBJECT_TYPE_NAME(w) + (" " + name_of(gtk_bin_get_child(GTK_BIN(w))));
    return G_OBJECT_TYPE_NAME(w);
}

bool inside(const GtkAllocation& a, const GtkAllocation& box)
{
    return a.x >= box.x && a.y >= box.y && a.x + a.width <= box.x + box.width
        && a.y + a.height <= box.y + box.height;
}

void fixed_faults(GtkWidget* fixed, std::vector<std::string>* faults)
{
    GtkAllocation box = allocation_of(fixed);
    std::vector<GtkWidget*> shown;
    GList* children = gtk_container_get_children(GTK_CONTAINER(fixed));
    for (GList* c = children; c != nullptr; c = c->next)
        if (gtk_widget_get_mapped(GTK_WIDGET(c->data)))
            shown.push_back(GTK_WIDGET(c->data));
    g_list_free(children);
    for (size_t i = 0; i < shown.size(); ++i) {
        GtkAllocation a = allocation_of(shown[i]);
        if (!inside(a, box))
            faults->push_back(
                name_of(shown[i]) + " " + box_text(a) + " reaches out of its place " + box_text(box));
        for (size_t j = i + 1; j < shown.size(); ++j) {
            GtkAllocation b = allocation_of(shown[j]);
            if (gdk_rectangle_intersect(&a, &b, nullptr))
                faults->push_back(name_of(shown[i]) + " " + box_text(a) + " overlaps " + name_of(shown[j])
                    + " " + box_text(b));
        }
    }
}

void label_faults(GtkWidget* label, std::vector<std::string>* faults)
{
    const std::string name = name_of(label);
    PangoLayout* layout = gtk_label_get_layout(GTK_LABEL(label));
    if (pango_layout_get_unknown_glyphs_count(layout) != 0)
        faults->push_back(name + ": glyphs missing from the fonts");
    /* Across, the text's advance: a glyph may overhang it by a pixel.
     * Down, the drawn pixels: a line's box is taller than its glyphs. */
    PangoRectangle ink, logical;
    pango_layout_get_pixel_extents(layout, &ink, &logical);
    int x = 0, y = 0;
    gtk_label_get_layout_offsets(GTK_LABEL(label), &x, &y);
    GtkAllocation text = {x + logical.x, y + ink.y, logical.width, ink.height};
    GtkAllocation a = allocation_of(label);
    if (logical.width > 0 && !inside(text, a))
        faults->push_back(name + ": text drawn at " + box_text(text) + " beyond its place " + box_text(a));
    if (pango_layout_is_ellipsized(layout)) {
        gchar* tip = gtk_widget_get_tooltip_text(label);
        if (tip == nullptr || tip != std::string(gtk_label_get_text(GTK_LABEL(label))))
            faults->push_back(name + ": cut without its whole text in a tooltip");
        g_free(tip);
    }
    const int smallest = 7 * PANGO_SCALE;
    if (pango_font_description_get_size(gtk_widget_get_style(label)->font_desc) < smallest)
        faults->push_back(name + ": smaller than 7 points");
}

void type_into(GtkWidget* entry, const char* text)
{
    /* Its page in front, as a user clicks the tab before typing there. */
    for (GtkWidget* child = entry; gtk_widget_get_parent(child) != nullptr; child = gtk_widget_get_parent(child))
        if (GTK_IS_NOTEBOOK(gtk_widget_get_parent(child))) {
            GtkNotebook* nb = GTK_NOTEBOOK(gtk_widget_get_parent(child));
            gtk_notebook_set_current_page(nb, gtk_notebook_page_num(nb, child));
            pump_events();
        }
    /* The window has the keyboard, as under a window manager once clicked. */
    GtkWidget* top = gtk_widget_get_toplevel(entry);
    if (!gtk_window_has_toplevel_focus(GTK_WINDOW(top))) {
        GdkEvent* e = gdk_event_new(GDK_FOCUS_CHANGE);
        e->focus_change.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(top)));
        e->focus_change.send_event = TRUE;
        e->focus_change.in = TRUE;
        gtk_widget_send_focus_change(top, e);
        gdk_event_free(e);
    }
    gtk_widget_grab_focus(entry);
    gtk_test_text_set(entry, text);
    gtk_test_widget_send_key(entry, GDK_Tab, GdkModifierType(0));
    pump_events();
}

} // namespace

void pump_events()
{
    while (gtk_events_pending())
        gtk_main_iteration();
}

void pump_for(int ms)
{
    long long end = monotonic_ms() + ms;
    while (monotonic_ms() < end) {
        pump_events();
        g_usleep(5000);
    }
}

void after(int ms, std::function<void()> f)
{
    auto once = [](gpointer data) -> gboolean {
        auto* g = static_cast<std::function<void()>*>(data);
        (*g)();
        delete g;
        return FALSE;
    };
    auto* held = new std::function<void()>(std::move(f));
    if (ms == 0)
        g_idle_add(once, held);
    else
        g_timeout_add(ms, once, held);
}

std::vector<GtkWidget*> widgets_below(GtkWidget* root)
{
    std::vector<GtkWidget*> all;
    collect(root, &all);
    return all;
}

std::string widget_id(GtkWidget* w)
{
    const gchar* id = atk_object_get_accessible_id(gtk_widget_get_accessible(w));
    return id != nullptr ? id : "";
}

GtkWidget* find_by_id(GtkWidget* root, const std::string& id)
{
    for (GtkWidget* w : widgets_below(root))
        if (widget_id(w) == id)
            return w;
    return nullptr;
}

GtkWidget* label_with_text(GtkWidget* root, const std::string& text)
{
    for (GtkWidget* w : widgets_below(root))
        if (GTK_IS_LABEL(w) && text == gtk_label_get_text(GTK_LABEL(w)))
            return w;
    return nullptr;
}

std::vector<std::string> combo_items(GtkWidget* combo)
{
    std::vector<std::string> items;
    GtkTreeModel* m = gtk_combo_box_get_model(GTK_COMBO_BOX(combo));
    GtkTreeIter it;
    for (bool ok = gtk_tree_model_get_iter_first(m, &it); ok; ok = gtk_tree_model_iter_next(m, &it)) {
        gchar* t = nullptr;
        gtk_tree_model_get(m, &it, 0, &t, -1);
        items.push_back(t != nullptr ? t : "");
        g_free(t);
    }
    return items;
}

std::string combo_active_text(GtkWidget* combo)
{
    gchar* t = gtk_combo_box_text_get_active_text(GTK_COMBO_BOX_TEXT(combo));
    std::string out = t != nullptr ? t : "";
    g_free(t);
    return out;
}

std::string clist_cell(GtkWidget* list, int row, int col)
{
    gchar* text = nullptr;
    gtk_clist_get_text(GTK_CLIST(list), row, col, &text);
    return text != nullptr ? text : "";
}

std::string box_text(const GtkAllocation& a)
{
    return "(" + std::to_string(a.x) + "," + std::to_string(a.y) + " " + std::to_string(a.width) + "x"
        + std::to_string(a.height) + ")";
}

GtkAllocation allocation_of(GtkWidget* w)
{
    GtkAllocation a;
    gtk_widget_get_allocation(w, &a);
    return a;
}

int windows_titled(const char* title)
{
    int n = 0;
    GList* all = gtk_window_list_toplevels();
    for (GList* l = all; l != nullptr; l = l->next)
        if (g_strcmp0(gtk_window_get_title(GTK_WINDOW(l->data)), title) == 0)
            ++n;
    g_list_free(all);
    return n;
}

complaint_counter::complaint_counter()
{
    static const bool installed = (g_log_set_writer_func(count_complaints, nullptr, nullptr), true);
    (void)installed;
    complaints_seen = &count;
}

complaint_counter::~complaint_counter() { complaints_seen = nullptr; }

std::vector<std::string> layout_faults(GtkWidget* root)
{
    std::vector<std::string> faults;
    for (GtkWidget* w : widgets_below(root)) {
        if (!gtk_widget_get_mapped(w))
            continue;
        if (GTK_IS_FIXED(w))
            fixed_faults(w, &faults);
        else if (GTK_IS_LABEL(w))
            label_faults(w, &faults);
    }
    return faults;
}

void show_every_page(const std::function<void(const std::string& what)>& look)
{
    for (int auth : {WIFIAUTH_OPEN, WIFIAUTH_WPA2PSK}) {
        strMODMana_up = {};
        strMODComm_up = {};
        strMODAP_up = {};
        strMODSTA_up = {};
        strMODAP_up.enc_auth = strMODSTA_up.enc_auth = static_cast<char>(auth);
        strMODAP_up.enc_encry = strMODSTA_up.enc_encry = static_cast<char>(auth == WIFIAUTH_OPEN ? ENC_NONE : ENC_AES);
        for (const settings_page& p : settings_pages) {
            p.refresh();
            gtk_notebook_set_current_page(GTK_NOTEBOOK(find_by_id(window, "notebook")), p.type);
            pump_events();
            look("page " + std::to_string(p.type) + ", auth " + std::to_string(auth));
        }
    }
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

void act(GtkWidget* w, const std::string& input)
{
    if (GTK_IS_ENTRY(w))
        return type_into(w, input.c_str());
    if (GTK_IS_COMBO_BOX(w)) {
        std::vector<std::string> items = combo_items(w);
        auto it = std::find(items.begin(), items.end(), input);
        if (it == items.end()) {
            ADD_FAILURE() << widget_id(w) << " offers no \"" << input << "\"";
            return;
        }
        gtk_combo_box_set_active(GTK_COMBO_BOX(w), static_cast<int>(it - items.begin()));
    } else if (GTK_IS_RADIO_BUTTON(w)) {
        gtk_button_pressed(GTK_BUTTON(w));
        gtk_button_released(GTK_BUTTON(w));
    } else {
        gtk_button_clicked(GTK_BUTTON(w));
    }
    pump_events();
}

std::function<void()> on(GtkWidget** w, const std::string& input)
{
    return [=] { act(*w, input); };
}

std::string pages_state()
{
    std::string out;
    GtkNotebook* notebook = GTK_NOTEBOOK(find_by_id(window, "notebook"));
    for (const settings_page& p : settings_pages) {
        for (GtkWidget* w : widgets_below(gtk_notebook_get_nth_page(notebook, p.type))) {
            std::string id = widget_id(w), value;
            if (id.empty())
                continue;
            if (GTK_IS_ENTRY(w))
                value = gtk_entry_get_text(GTK_ENTRY(w));
            else if (GTK_IS_COMBO_BOX(w))
                value = combo_active_text(w);
            else if (GTK_IS_TOGGLE_BUTTON(w))
                value = gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(w)) ? "on" : "";
            std::replace(value.begin(), value.end(), ' ', '_');
            value += gtk_widget_get_sensitive(w) ? "" : "(off)";
            value += gtk_widget_get_visible(w) ? "" : "(hid)";
            if (!GTK_IS_LABEL(w))
                id.erase(0, id.find('_') + 1);
            out += id + "=" + value + " ";
        }
        std::string rows;
        for (const std::string& row : rendered_rows(p.type))
            rows += (rows.empty() ? "" : "|") + row;
        std::replace(rows.begin(), rows.end(), ' ', '_');
        out += "pending_" + std::to_string(p.type) + "=" + rows + "\n";
    }
    return out;
}

std::string changes(const std::string& before, const std::string& now)
{
    std::istringstream was_in(before), now_in(now);
    const std::set<std::string> was{std::istream_iterator<std::string>(was_in), {}};
    std::string out;
    for (std::istream_iterator<std::string> item(now_in), end; item != end; ++item)
        if (was.count(*item) == 0)
            out += (out.empty() ? "" : " ") + *item;
    return out;
}

void Gui::SetUp()
{
    InTempDir::SetUp();
    copy_text(module_ip, "127.0.0.2");
    copy_text(module_mac, "ACCF23000002");
    copy_text(module_id, "KXD40-0002");
    copy_text(module_aswd, "KX-D40LOCATORPING");
    copy_text(setting_file, "set_file.txt");
    auto_setting = 0;
    strmodule_num = row_selected = 0;
    bfirst_show = 0;
    strMODMana = strMODMana_up = {};
    strMODComm = strMODComm_up = {};
    strMODAP = strMODAP_up = {};
    strMODSTA = strMODSTA_up = {};
    cmd_num_mod = cmd_num_comm = cmd_num_ap = cmd_num_sta = 0;
    install_window_waits();
}

void Gui::TearDown()
{
    for (GtkWidget* w : {window, search_window})
        if (w != nullptr)
            gtk_widget_destroy(w);
    pump_events();
    if (udpsocket != 0)
        net().close_udp(udpsocket);
    u_socket = udpsocket = 0;
    set_net(nullptr);
    release_program_port();
    InTempDir::TearDown();
}

void Gui::open_socket()
{
    u_socket = udpsocket = init_udp_socket();
    ASSERT_NE(udpsocket, 0);
}

void Gui::open_read_pages()
{
    init_window();
    const char* replies[][2] = {
        {"WEBU", "admin,admin"}, {"UART", "115200,8,1,None,NFC"}, {"UARTFT", "200"}, {"UARTFL", "1024"},
        {"NETP", "TCP,Server,8899,10.10.100.100"}, {"MAXSK", "32"}, {"TCPTO", "300"},
        {"WAP", "11BGN,KXD40_0002,Auto"}, {"LANN", "10.10.100.254,255.255.255.0"}, {"DHCPGW", "10.10.100.254"},
        {"WSSSID", "KX-AP"}, {"WSKEY", "WPA2PSK,AES,12345678"}};
    for (auto& r : replies)
        ASSERT_TRUE(read_setting_value(window_link.pages, r[0], r[1])) << r[0];
    for (const settings_page& p : settings_pages) {
        *p.inited = 1;
        p.revert();
        p.refresh();
        *p.dirty = 0;
    }
    cmd_num_mod = cmd_num_comm = cmd_num_ap = cmd_num_sta = 0;
    gtk_widget_set_sensitive(frame_module, TRUE);
    pump_events();
}

std::string Gui::console_of(const std::function<void()>& f)
{
    testing::internal::CaptureStdout();
    f();
    return testing::internal::GetCapturedStdout();
}

std::string Gui::click(GtkWidget* button)
{
    return console_of([=] { gtk_button_clicked(GTK_BUTTON(button)); });
}

void Gui::run(const std::vector<step>& steps)
{
    std::string before = pages_state();
    for (const step& s : steps) {
        std::string console = console_of(s.act), now = pages_state();
        if (s.console != nullptr) {
            EXPECT_EQ(console, s.console) << s.changed;
        }
        EXPECT_EQ(changes(before, now), s.changed);
        before = now;
    }
}
