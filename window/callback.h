/*
 * callback.h - the five dispatchers every signal of the settings window
 * goes to, with a constant name string telling which widget spoke.
 */
#ifndef KX_CALLBACK_H
#define KX_CALLBACK_H

#include <gtk/gtk.h>

void combo_selected(GtkWidget* widget, gpointer data);
void button_clicked(GtkWidget* widget, gpointer data);
void radio_changed(GtkWidget* widget, gpointer data);
gboolean entry_focus_out(GtkWidget* widget, GdkEventFocus* event, gpointer data);
void notebook_switch_page(GtkNotebook* notebook, GtkNotebookPage* page, gint page_num, gpointer data);

/* Page switching reads nothing while this is 0, which it always is. */
extern int started;
extern int notebook_page_now;

/* 1 when the dispatcher (by its function name, e.g. "combo_selected") has
 * a handler for name. */
int dispatch_name_known(const char* dispatcher, const char* name);

/* When set, sees every name a dispatcher receives, before the dispatch;
 * for tracing and tests. */
extern void (*dispatch_trace)(const char* dispatcher, const char* name);

#endif
