/*
 * notebook.cpp - the module frame and its notebook: one tab per module
 * page, each page read the first time it is shown.
 */
#include "notebook.h"

#include "callback.h"
#include "pages.h"
#include "ui_util.h"
#include "wait.h"
#include "window_build.h"
#include "window_frame.h"

int started = 0;
int notebook_page_now = 0;

void set_MOD_frame(GtkWidget* table)
{
    frame_module = gtk_frame_new(nullptr);
    gtk_table_attach_defaults(GTK_TABLE(table), frame_module, 1, 4, 0, 1);
    gtk_frame_set_shadow_type(GTK_FRAME(frame_module), GTK_SHADOW_ETCHED_OUT);
    gtk_widget_set_size_request(frame_module, 600, 400);
    gtk_widget_set_sensitive(frame_module, FALSE);
    set_widget_id(frame_module, "frame_module");
    register_window_global(&frame_module);

    GtkWidget* notebook = gtk_notebook_new();
    g_signal_connect(notebook, "switch_page", G_CALLBACK(notebook_switch_page), nullptr);
    gtk_notebook_set_tab_pos(GTK_NOTEBOOK(notebook), GTK_POS_TOP);
    set_widget_id(notebook, "notebook");
    gtk_container_add(GTK_CONTAINER(frame_module), notebook);
    /* The pages take no edit while the module is being talked to, so a
     * read in progress can never overwrite one; frame_module keeps the
     * sensitivity the actions give it. */
    insensitive_while_busy(notebook);

    for (const settings_page& p : settings_pages) {
        GtkWidget* page = gtk_frame_new(nullptr);
        gtk_container_set_border_width(GTK_CONTAINER(page), 10);
        gtk_notebook_append_page(GTK_NOTEBOOK(notebook), page, new_caption(p.tab));
        p.build(page);
    }
}

void notebook_switch_page(GtkNotebook*, GtkNotebookPage*, gint page_num, gpointer)
{
    static const char* const page_names[] = {"0", "1", "2", "3"};
    if (dispatch_trace != nullptr)
        dispatch_trace("notebook_switch_page", page_num >= 0 && page_num < 4 ? page_names[page_num] : "?");
    if (started == 0)
        return;
    /* An unread page is read when it is first shown. */
    const settings_page* p = settings_page_of(page_num);
    if (p != nullptr && *p->inited != 1) {
        p->read();
        p->refresh();
    }
    notebook_page_now = page_num;
}
