/*
 * window.cpp - the settings window: its skeleton of logo strip, left
 * column and module frame, and what its closing ends.
 *
 * The top of the window: it hands the dispatchers their handlers before
 * it builds the widgets whose signals reach them.
 */
#include "window.h"

#include <cstdio>

#include "command.h"
#include "enums.h"
#include "lang.h"
#include "link.h"
#include "signal_table.h"
#include "ui_util.h"
#include "window_build.h"

namespace {

void on_window_destroy(GtkWidget*, gpointer)
{
    /* The widgets are gone: nothing may reach them through a global. */
    forget_window_globals();
    /* The link of this window ends with it: whatever its action waits
     * for, nothing more is sent or awaited for it. */
    link_end();
    /* Edits not confirmed were made for this module on these pages; left
     * in the tables they would go to the next module with its own. */
    drop_pending_commands();
    /* The next window's pages have not been shown yet: until its first
     * refresh its handlers take the building of its widgets for no edit. */
    page_mana_shown = page_comm_shown = page_ap_shown = page_sta_shown = 0;
}

} // namespace

void init_window()
{
    std::puts("init_window: 1");
    install_signal_tables();
    window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    register_window_global(&window);
    gchar_ptr title(_(text_title));
    gtk_window_set_title(GTK_WINDOW(window), title.text());
    gtk_container_set_border_width(GTK_CONTAINER(window), 10);
    g_signal_connect(window, "destroy", G_CALLBACK(on_window_destroy), nullptr);
    set_widget_id(window, "window");

    GtkWidget* table = gtk_table_new(6, 1, TRUE);
    gtk_container_add(GTK_CONTAINER(window), table);

    GtkWidget* logo_frame = gtk_frame_new(nullptr);
    gtk_table_attach_defaults(GTK_TABLE(table), logo_frame, 0, 1, 0, 1);
    GtkWidget* logo = gtk_drawing_area_new();
    g_signal_connect(logo, "expose_event", G_CALLBACK(draw_logo_expose_event), nullptr);
    set_widget_id(logo, "draw_logo");
    gtk_container_add(GTK_CONTAINER(logo_frame), logo);

    GtkWidget* body = gtk_table_new(1, 4, TRUE);
    gtk_table_attach_defaults(GTK_TABLE(table), body, 0, 1, 1, 6);
    set_PC_frame(body);
    set_MOD_frame(body);

    color = BLANK;
    gtk_widget_show_all(window);
    /* Of each page's stacked encryption lists only the one for the
     * authentication shown (OPEN) is visible until the first refresh. */
    set_visible({combo_ap_encry_shared, combo_ap_encry_wpapsk, combo_sta_encry_shared, combo_sta_encry_wpapsk},
                false);
}

