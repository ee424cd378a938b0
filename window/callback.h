/*
 * callback.h - the four dispatchers every edit and button signal of the
 * settings window goes to, with a constant name string telling which
 * widget spoke.
 *
 * The dispatchers know no handler: init_window, the top of the settings
 * window, has signal_table.cpp hand each one its table of names and
 * handlers (set_dispatch_table) before it builds the widgets, so the
 * builders stand below the handlers that the widgets' signals reach.
 */
#ifndef KX_CALLBACK_H
#define KX_CALLBACK_H

#include <cstddef>
#include <gtk/gtk.h>

void combo_selected(GtkWidget* widget, gpointer data);
void button_clicked(GtkWidget* widget, gpointer data);
void radio_changed(GtkWidget* widget, gpointer data);
gboolean entry_focus_out(GtkWidget* widget, GdkEventFocus* event, gpointer data);

/* One row of a dispatcher's table. */
struct named_handler {
    const char* name;
    void (*run)();
    /* Sends nothing, so it runs even while a wait is in progress: the
     * widget changed on screen, and its handler must follow. */
    bool while_waiting;
};

/* Gives the dispatcher (by its function name, e.g. "combo_selected") its
 * table; a name not in it does nothing. */
void set_dispatch_table(const char* dispatcher, const named_handler* table, size_t n);

template <size_t N>
void set_dispatch_table(const char* dispatcher, const named_handler (&table)[N])
{
    set_dispatch_table(dispatcher, table, N);
}

/* 1 when the dispatcher (by its function name, e.g. "combo_selected") has
 * a handler for name. */
int dispatch_name_known(const char* dispatcher, const char* name);

/* When set, sees every name a dispatcher receives, before the dispatch;
 * for tracing and tests. */
extern void (*dispatch_trace)(const char* dispatcher, const char* name);

#endif
