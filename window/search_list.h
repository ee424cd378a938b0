/*
 * search_list.h - the module list of the search window and the address
 * combo the search goes out from.
 */
#ifndef KX_SEARCH_LIST_H
#define KX_SEARCH_LIST_H

#include <gtk/gtk.h>

extern GtkWidget* clist_main;
extern GtkWidget* combo_ip;
/* The operation frame: usable once a row is chosen. */
extern GtkWidget* frame_op;
extern int row_selected;
extern int bfirst_show;

void set_list_width(GtkWidget* list);
void set_com_ip(GtkWidget* combo);
void list_clear(GtkWidget* list);
void show_list_data(GtkWidget* list);
gboolean main_expose_event(GtkWidget* widget, GdkEventExpose* event, gpointer data);
void list_select(GtkWidget* list, gint row, gint column, GdkEventButton* event, gpointer data);

#endif
