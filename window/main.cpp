/*
 * main.cpp - start-up and the search window.
 *
 * The search window lists the modules a search found; for the selected
 * one it opens the settings window or uploads a firmware image. Closing it
 * ends the program.
 */
#include "main.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "discovery.h"
#include "lang.h"
#include "link.h"
#include "module.h"
#include "netio.h"
#include "setting_file.h"
#include "text_fit.h"
#include "upload.h"
#include "ui_util.h"
#include "uthread.h"
#include "wait.h"
#include "window.h"
#include "window_build.h"

GtkWidget* search_window = nullptr;
GtkWidget* entry_file = nullptr;
GtkWidget* label_up = nullptr;

namespace {

/* The search window's texts, GB18030. */
char text_search_title[] = "KX-D40 \xcb\xd1\xcb\xf7\xb9\xa4\xbe\xdf" "V1.0"; /* KX-D40 搜索工具V1.0 */
char text_local_addr[] = "\xb1\xbe\xbb\xfa\xb5\xd8\xd6\xb7:";               /* 本机地址: */
char text_search[] = "\xcb\xd1\xcb\xf7";                                     /* 搜索 */
char text_operation[] = "\xb2\xd9\xd7\xf7";                                  /* 操作 */
char text_module_setting[] = "\xc4\xa3\xbf\xe9\xc9\xe8\xd6\xc3";             /* 模块设置 */
char text_upgrade_file[] = "\xc9\xfd\xbc\xb6\xce\xc4\xbc\xfe:";              /* 升级文件: */
char text_upgrade[] = "\xc9\xfd\xbc\xb6";                                    /* 升级 */

/* Characters the upload file's entry takes. */
const int upload_name_chars = 15;

/* The widest text the address column and the address combo must show. */
const char widest_address[] = "255.255.255.255";

GtkWidget* new_button(const char* gb_text, const char* command_word, int w, int h)
{
    gchar_ptr utf8(_lang(gb_text));
    GtkWidget* b = gtk_button_new_with_label(utf8.text());
    gtk_widget_set_size_request(b, w, h);
    fit_caption(b);
    g_signal_connect(b, "clicked", G_CALLBACK(main_button_clicked),
                     const_cast<char*>(command_word));
    set_widget_id(b, command_word);
    return b;
}

/* The list frame (no title) and the operation frame. */
GtkWidget* new_frame(const char* gb_title)
{
    GtkWidget* f = new_etched_frame(gb_title, 245, gb_title != nullptr ? 140 : 260);
    gtk_container_set_border_width(GTK_CONTAINER(f), 5);
    return f;
}

/* A caption at (x, y) that ends short of the field beside it at
 * field_x, in a smaller font where the theme's does not leave the room. */
void put_caption(GtkWidget* fixed, const char* gb_text, int x, int y, int field_x)
{
    GtkWidget* label = new_text_label(gb_text, font_kind::theme);
    gtk_fixed_put(GTK_FIXED(fixed), label, x, y);
    fit_label(label, field_x - x - 1);
}

void on_search_window_destroy(GtkWidget*, gpointer)
{
    /* Nothing may touch these widgets any more, not even a search that is
     * still unwinding from its wait. */
    search_window = clist_main = combo_ip = frame_op = entry_file = label_up = nullptr;
    abandon_all_waits();
    if (gtk_main_level() > 0)
        gtk_main_quit();
}

/* Copies the selected module and the keyword for Setting and Upload. */
bool choose_selected_module()
{
    if (!choose_module(row_selected, aswd)) {
        std::puts("No module selected");
        return false;
    }
    return true;
}

/* Set when another module is chosen while a handshake waits. */
bool chosen_again = false;

void setting_clicked()
{
    if (link_handshaking()) {
        /* The waiting handshake gives way to a valid new choice; the loop
         * below opens it once the old one has unwound. */
        if (!choose_selected_module())
            return;
        chosen_again = true;
        link_end();
        return;
    }
    do {
        chosen_again = false;
        if (!choose_selected_module())
            return;
        /* One settings window at a time stands over the widget globals. */
        if (window != nullptr)
            gtk_widget_destroy(window);
        init_window();
        net_udp_thread();
    } while (chosen_again);
}

/* A waiting handshake may be left for another module; every other wait
 * blocks the actions. */
bool blocked_for(const char* word)
{
    if (!action_blocked())
        return false;
    return !(link_handshaking() && std::strcmp(word, "Setting") == 0);
}

char text_upgrading[] = "\xc9\xfd\xbc\xb6\xd6\xd0... ";           /* 升级中... */
char text_upgrade_failed[] = "\xc9\xfd\xbc\xb6\xca\xa7\xb0\xdc"; /* 升级失败 */

/* Each count, and each failure shown, takes the next number; a count
 * whose number is no longer the last leaves the label alone, so the last
 * upload decides what it shows. */
std::atomic<unsigned> label_owner{0};

struct label_change {
    unsigned owner;
    gchar* text;
};

/* Runs on the UI thread: the label belongs to it. */
gboolean apply_label_change(gpointer data)
{
    auto* c = static_cast<label_change*>(data);
    if (c->owner == label_owner.load() && label_up != nullptr)
        gtk_label_set_text(GTK_LABEL(label_up), c->text);
    g_free(c->text);
    delete c;
    return FALSE;
}

void show_on_label(unsigned owner, gchar* utf8_text)
{
    g_idle_add(apply_label_change, new label_change{owner, utf8_text});
}

void show_upload_failed() { show_on_label(++label_owner, _lang(text_upgrade_failed)); }

gpointer count_thread(gpointer owner)
{
    upload_label(GPOINTER_TO_UINT(owner));
    return nullptr;
}

void upload_clicked()
{
    if (!choose_selected_module() || entry_file == nullptr)
        return;
    /* A copy: the entry may change while the upload waits. */
    const std::string file = gtk_entry_get_text(GTK_ENTRY(entry_file));
    main_upload(file.c_str());
}

} // namespace

char* _lang(const char* c) { return _(c); }

gchar* upload_count_text(int n)
{
    /* The number stays out of the text that is translated. */
    gchar_ptr counting(_lang(text_upgrading));
    return g_strdup_printf("%s%d", counting.text(), n);
}

int upload_count_step_ms = 1000;

void upload_label(unsigned owner)
{
    const int step_ms = upload_count_step_ms;
    for (int n = 0; n < 20; ++n) {
        show_on_label(owner, upload_count_text(n));
        g_usleep(static_cast<gulong>(step_ms) * 1000);
    }
    show_on_label(owner, g_strdup(""));
}

void main_upload(const char* file)
{
    int result = upload_firmware(file);
    if (result == UPLOAD_STOPPED)
        return;
    if (result != UPLOAD_SENT) {
        show_upload_failed();
        return;
    }
    unsigned owner = ++label_owner;
    g_thread_unref(g_thread_new("upload_label", count_thread, GUINT_TO_POINTER(owner)));
}

void main_button_clicked(GtkWidget*, gpointer data)
{
    const char* word = static_cast<const char*>(data);
    if (blocked_for(word))
        return;
    if (std::strcmp(word, "Search") == 0)
        u_thread();
    else if (std::strcmp(word, "Setting") == 0)
        setting_clicked();
    else if (std::strcmp(word, "Upload") == 0)
        upload_clicked();
}

void set_list_frame(GtkWidget* frame)
{
    GtkWidget* fixed = gtk_fixed_new();
    gtk_container_add(GTK_CONTAINER(frame), fixed);

    GtkWidget* scrolled = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scrolled), GTK_POLICY_NEVER, GTK_POLICY_ALWAYS);
    gtk_widget_set_size_request(scrolled, 245, 210);
    gtk_fixed_put(GTK_FIXED(fixed), scrolled, 5, 5);

    clist_main = gtk_clist_new(3);
    gtk_clist_column_titles_hide(GTK_CLIST(clist_main));
    set_list_width(clist_main);
    g_signal_connect(clist_main, "select_row", G_CALLBACK(list_select), nullptr);
    set_widget_id(clist_main, "clist_main");
    gtk_container_add(GTK_CONTAINER(scrolled), clist_main);
    /* Rather a smaller font than an address that reads as another one. */
    fit_font(clist_main, widest_address, GTK_CLIST(clist_main)->column[1].width);

    put_caption(fixed, text_local_addr, 10, 226, 70);

    combo_ip = gtk_combo_box_text_new();
    gtk_widget_set_size_request(combo_ip, 110, 23);
    set_com_ip(combo_ip);
    fit_combo_text(combo_ip, widest_address);
    set_widget_id(combo_ip, "combo_ip");
    gtk_fixed_put(GTK_FIXED(fixed), combo_ip, 70, 221);

    gtk_fixed_put(GTK_FIXED(fixed), new_button(text_search, "Search", 50, 25), 190, 220);
}

void set_option_frame(GtkWidget* frame)
{
    GtkWidget* fixed = gtk_fixed_new();
    gtk_container_add(GTK_CONTAINER(frame), fixed);

    gtk_fixed_put(GTK_FIXED(fixed), new_button(text_module_setting, "Setting", 100, 25), 10, 10);

    GtkWidget* separator = gtk_hseparator_new();
    gtk_widget_set_size_request(separator, 240, 5);
    gtk_fixed_put(GTK_FIXED(fixed), separator, 10, 45);

    put_caption(fixed, text_upgrade_file, 10, 55, 70);

    entry_file = gtk_entry_new();
    gtk_entry_set_max_length(GTK_ENTRY(entry_file), upload_name_chars);
    gtk_widget_set_size_request(entry_file, 160, 22);
    set_widget_id(entry_file, "entry_file");
    gtk_fixed_put(GTK_FIXED(fixed), entry_file, 70, 52);

    gtk_fixed_put(GTK_FIXED(fixed), new_button(text_upgrade, "Upload", 100, 25), 10, 85);

    label_up = gtk_label_new("");
    set_widget_id(label_up, "label_up");
    gtk_fixed_put(GTK_FIXED(fixed), label_up, 120, 90);
}

GtkWidget* build_search_window()
{
    search_window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gchar_ptr title(_lang(text_search_title));
    gtk_window_set_title(GTK_WINDOW(search_window), title.text());
    gtk_widget_set_size_request(search_window, 280, 420);
    g_signal_connect(search_window, "destroy", G_CALLBACK(on_search_window_destroy), nullptr);
    g_signal_connect(search_window, "expose_event", G_CALLBACK(main_expose_event), nullptr);
    set_widget_id(search_window, "search_window");

    GtkWidget* vbox = gtk_vbox_new(FALSE, 5);
    gtk_container_set_border_width(GTK_CONTAINER(vbox), 5);
    gtk_container_add(GTK_CONTAINER(search_window), vbox);

    /* In the window before it is filled: the list's font is fitted from
     * the style that its place in the window gives it. */
    GtkWidget* list_frame = new_frame(nullptr);
    gtk_box_pack_start(GTK_BOX(vbox), list_frame, FALSE, FALSE, 0);
    set_list_frame(list_frame);

    frame_op = new_frame(text_operation);
    set_option_frame(frame_op);
    gtk_widget_set_sensitive(frame_op, FALSE);
    set_widget_id(frame_op, "frame_op");
    gtk_box_pack_start(GTK_BOX(vbox), frame_op, FALSE, FALSE, 0);
    return search_window;
}

int run_tool(int argc, char** argv)
{
    bfirst_show = 0;
    u_socket = 0;
    gtk_init(&argc, &argv);
    /* After gtk_init has set the locale, before the first text. */
    use_catalogues(catalogue_dir());
    if (!init_net()) {
        std::printf("WSAStarup failed\n");
        std::exit(1);
    }
    install_window_waits();
    init_setting_para();
    build_search_window();
    if (!g_thread_supported())
        g_thread_init(nullptr);
    gtk_widget_show_all(search_window);
    gtk_main();
    return 0;
}
