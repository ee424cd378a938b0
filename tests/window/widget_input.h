/*
 * widget_input.h - edits made on the real widgets, as a user makes them:
 * text typed into an entry and the focus moved on with Tab, an item chosen
 * in a combo box, a radio button pressed.
 */
#ifndef KX_TESTS_WIDGET_INPUT_H
#define KX_TESTS_WIDGET_INPUT_H

#include <gdk/gdkkeysyms.h>
#include <gtk/gtk.h>

#include "gui_env.h"

/* The window has the keyboard, as it would have under a window manager
 * once clicked; without one nobody gives it. */
inline void give_keyboard(GtkWidget* w)
{
    GtkWidget* top = gtk_widget_get_toplevel(w);
    if (gtk_window_has_toplevel_focus(GTK_WINDOW(top)))
        return;
    GdkEvent* e = gdk_event_new(GDK_FOCUS_CHANGE);
    e->focus_change.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(top)));
    e->focus_change.send_event = TRUE;
    e->focus_change.in = TRUE;
    gtk_widget_send_focus_change(top, e);
    gdk_event_free(e);
}

/* The notebook page that holds w is brought to the front, as a user
 * would click its tab before typing there. */
inline void show_page_of(GtkWidget* w)
{
    for (GtkWidget* child = w; child != nullptr; child = gtk_widget_get_parent(child)) {
        GtkWidget* parent = gtk_widget_get_parent(child);
        if (parent != nullptr && GTK_IS_NOTEBOOK(parent)) {
            GtkNotebook* nb = GTK_NOTEBOOK(parent);
            gtk_notebook_set_current_page(nb, gtk_notebook_page_num(nb, child));
            pump_events();
            return;
        }
    }
}

/* Replaces the entry's text and leaves it with Tab, which fires
 * "focus-out-event". */
inline void type_into(GtkWidget* entry, const char* text)
{
    show_page_of(entry);
    give_keyboard(entry);
    gtk_widget_grab_focus(entry);
    gtk_test_text_set(entry, text);
    gtk_test_widget_send_key(entry, GDK_Tab, GdkModifierType(0));
    pump_events();
}

inline void choose(GtkWidget* combo, int index)
{
    gtk_combo_box_set_active(GTK_COMBO_BOX(combo), index);
    pump_events();
}

inline void press(GtkWidget* radio)
{
    gtk_button_pressed(GTK_BUTTON(radio));
    gtk_button_released(GTK_BUTTON(radio));
    pump_events();
}

#endif
