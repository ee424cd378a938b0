/*
 * notebook.h - the module frame with its notebook of the four pages, and
 * what switching pages does.
 */
#ifndef KX_NOTEBOOK_H
#define KX_NOTEBOOK_H

#include <gtk/gtk.h>

/* Builds frame_module with the notebook and the pages of settings_pages
 * in the window's body table. */
void set_MOD_frame(GtkWidget* table);

void notebook_switch_page(GtkNotebook* notebook, GtkNotebookPage* page, gint page_num, gpointer data);

/* Page switching reads nothing while this is 0, which it always is. */
extern int started;
extern int notebook_page_now;

#endif
