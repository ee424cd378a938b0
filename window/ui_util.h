/*
 * ui_util.h - small helpers every window file uses: accessible ids and an
 * owner for strings that GLib allocated, and entries that show bytes
 * received from a module.
 */
#ifndef KX_UI_UTIL_H
#define KX_UI_UTIL_H

#include <gtk/gtk.h>
#include <initializer_list>

#include "utf8_text.h"

/* Owns a g_malloc'ed string and g_frees it at the end of its scope. */
class gchar_ptr {
public:
    explicit gchar_ptr(gchar* s = nullptr) : s_(s) {}
    ~gchar_ptr() { g_free(s_); }
    gchar_ptr(const gchar_ptr&) = delete;
    gchar_ptr& operator=(const gchar_ptr&) = delete;
    const gchar* get() const { return s_; }
    /* The text, or "" when there is none (a failed conversion). */
    const gchar* text() const { return s_ != nullptr ? s_ : ""; }

private:
    gchar* s_;
};

/* Shows bytes from the network in an entry; ill-formed UTF-8 shows as
 * U+FFFD, the bytes themselves stay as they are wherever they are kept. */
inline void set_entry_bytes(GtkWidget* entry, const char* bytes)
{
    gtk_entry_set_text(GTK_ENTRY(entry), utf8_for_display(bytes).c_str());
}

/* Names the widget for tests and assistive tools. */
inline void set_widget_id(GtkWidget* w, const char* id)
{
    atk_object_set_accessible_id(gtk_widget_get_accessible(w), id);
}

/* Sets each widget that exists (a global of a closed window is 0). */
inline void set_sensitive(std::initializer_list<GtkWidget*> widgets, bool on)
{
    for (GtkWidget* w : widgets)
        if (w != nullptr)
            gtk_widget_set_sensitive(w, on ? TRUE : FALSE);
}

inline void set_visible(std::initializer_list<GtkWidget*> widgets, bool on)
{
    for (GtkWidget* w : widgets)
        if (w != nullptr)
            on ? gtk_widget_show(w) : gtk_widget_hide(w);
}

#endif
