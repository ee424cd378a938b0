/*
 * search_list.cpp - the module list of the search window: the list and
 * the address combo it is searched from, the row chosen, and the list
 * filled from the search's table.
 */
#include "search_list.h"

#include <cstdio>
#include <string>
#include <vector>

#include "local_addr.h"
#include "module.h"
#include "utf8_text.h"

GtkWidget* clist_main = nullptr;
GtkWidget* combo_ip = nullptr;
GtkWidget* frame_op = nullptr;
int row_selected = 0;
int bfirst_show = 0;

void set_list_width(GtkWidget* list)
{
    gtk_clist_set_column_width(GTK_CLIST(list), 0, 10);
    gtk_clist_set_column_width(GTK_CLIST(list), 1, 100);
    gtk_clist_set_column_width(GTK_CLIST(list), 2, 80);
}

void set_com_ip(GtkWidget* combo)
{
    bool resolved = false;
    std::vector<std::string> all = local_addresses(&resolved);
    if (!resolved)
        std::puts("Yow! Bad host lookup.");
    for (const std::string& a : all)
        gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(combo), a.c_str());
    if (!all.empty())
        gtk_combo_box_set_active(GTK_COMBO_BOX(combo), 0);
}

void list_clear(GtkWidget* list)
{
    if (list != nullptr)
        gtk_clist_clear(GTK_CLIST(list));
}

void show_list_data(GtkWidget* list)
{
    if (list == nullptr)
        return;
    gtk_clist_freeze(GTK_CLIST(list));
    list_clear(list);
    for (int i = 0; i < strmodule_num; ++i) {
        /* The answer's bytes as received may be anything; the list takes
         * a valid copy. */
        std::string ip = utf8_for_display(strmodule[i].ip);
        std::string id = utf8_for_display(strmodule[i].id);
        gchar empty[] = "";
        gchar* row[3] = {empty, ip.data(), id.data()};
        gtk_clist_append(GTK_CLIST(list), row);
    }
    gtk_clist_thaw(GTK_CLIST(list));
}

gboolean main_expose_event(GtkWidget*, GdkEventExpose*, gpointer)
{
    if (bfirst_show == 0) {
        bfirst_show = 1;
        show_list_data(clist_main);
    }
    return FALSE;
}

void list_select(GtkWidget*, gint row, gint, GdkEventButton*, gpointer)
{
    /* Choosing a row sends nothing, so it counts even while a wait runs:
     * the row shown selected is the one the next action takes. */
    row_selected = row;
    if (frame_op != nullptr)
        gtk_widget_set_sensitive(frame_op, TRUE);
}
