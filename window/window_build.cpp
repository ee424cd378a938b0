/*
 * window_build.cpp - widgets from layout tables, and the register of the
 * widget globals that a closed window sets back to 0.
 */
#include "window_build.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "callback.h"
#include "lang.h"
#include "text_fit.h"
#include "ui_util.h"

namespace {

std::vector<GtkWidget**> window_globals;

widget_spec make(widget_kind k, GtkWidget** g, const char* id, const char* text, int x, int y,
                 int w, int h, const char* name)
{
    return widget_spec{k, g, id, text, x, y, w, h, 0, nullptr, name, 0u, font_kind::theme};
}

GtkWidget* caption_button(widget_kind k, const char* gb_text, GtkWidget* group_with)
{
    gchar_ptr caption(_(gb_text));
    switch (k) {
    case widget_kind::radio:
        return group_with != nullptr
                   ? gtk_radio_button_new_with_label_from_widget(GTK_RADIO_BUTTON(group_with), caption.text())
                   : gtk_radio_button_new_with_label(nullptr, caption.text());
    case widget_kind::check:
        return gtk_check_button_new_with_label(caption.text());
    default:
        return gtk_button_new_with_label(caption.text());
    }
}

GtkWidget* create(const widget_spec& s, GtkWidget** last_radio)
{
    GtkWidget* w = nullptr;
    switch (s.kind) {
    case widget_kind::label:
        return new_text_label(s.text, s.font);
    case widget_kind::entry:
        w = gtk_entry_new();
        /* The text goes in before the limit, which then cuts it. */
        if (s.text != nullptr)
            gtk_entry_set_text(GTK_ENTRY(w), s.text);
        if (s.max_len > 0)
            gtk_entry_set_max_length(GTK_ENTRY(w), s.max_len);
        if (s.flags & WF_NOT_EDITABLE)
            gtk_editable_set_editable(GTK_EDITABLE(w), FALSE);
        return w;
    case widget_kind::combo:
        w = gtk_combo_box_text_new();
        s.fill(w);
        return w;
    case widget_kind::radio:
        w = caption_button(s.kind, s.text, (s.flags & WF_NEW_GROUP) ? nullptr : *last_radio);
        *last_radio = w;
        break;
    case widget_kind::check:
    case widget_kind::button:
        w = caption_button(s.kind, s.text, nullptr);
        /* A check button grows with its caption; a button has its size. */
        if (s.kind == widget_kind::button)
            fit_caption(w);
        break;
    }
    /* Radio captions take the font on their label, not on the button. */
    if (s.kind == widget_kind::radio)
        apply_font(gtk_bin_get_child(GTK_BIN(w)), s.font);
    if (s.flags & WF_ACTIVE)
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(w), TRUE);
    return w;
}

void connect(GtkWidget* w, const widget_spec& s)
{
    if (s.name == nullptr)
        return;
    gpointer name = const_cast<char*>(s.name);
    switch (s.kind) {
    case widget_kind::entry:
        g_signal_connect(w, "focus-out-event", G_CALLBACK(entry_focus_out), name);
        break;
    case widget_kind::combo:
        g_signal_connect(w, "changed", G_CALLBACK(combo_selected), name);
        break;
    case widget_kind::radio:
        g_signal_connect(w, "pressed", G_CALLBACK(radio_changed), name);
        break;
    case widget_kind::check:
    case widget_kind::button:
        g_signal_connect(w, "clicked", G_CALLBACK(button_clicked), name);
        break;
    case widget_kind::label:
        break;
    }
}

/* The room of a label up to the field that follows it in its table on
 * the same row, or 0 when no field does. The layout was made for the
 * texts as written, which all fit there; a translation may need a
 * smaller font. */
int room_before_field(const widget_spec* specs, size_t n, size_t i)
{
    const int same_row = 6;
    if (specs[i].kind != widget_kind::label || i + 1 >= n)
        return 0;
    const widget_spec& field = specs[i + 1];
    if (field.kind == widget_kind::label || field.x <= specs[i].x || std::abs(field.y - specs[i].y) > same_row)
        return 0;
    return field.x - specs[i].x;
}

const char source_key[] = "kx-source-text";

void keep_source_height(GtkWidget* label, GtkRequisition* r, gpointer)
{
    const char* source = static_cast<const char*>(g_object_get_data(G_OBJECT(label), source_key));
    PangoLayout* layout = gtk_widget_create_pango_layout(label, source);
    int height = 0;
    pango_layout_get_pixel_size(layout, nullptr, &height);
    g_object_unref(layout);
    gint ypad = 0;
    gtk_misc_get_padding(GTK_MISC(label), nullptr, &ypad);
    r->height = std::max(r->height, height + 2 * ypad);
}

} // namespace

void register_window_global(GtkWidget** global) { window_globals.push_back(global); }

void forget_window_globals()
{
    for (GtkWidget** g : window_globals)
        *g = nullptr;
    window_globals.clear();
}

widget_spec label_at(const char* text, int x, int y)
{
    return make(widget_kind::label, nullptr, nullptr, text, x, y, -1, -1, nullptr).in_font(font_kind::normal);
}

widget_spec label_at(GtkWidget** g, const char* id, const char* text, int x, int y)
{
    return make(widget_kind::label, g, id, text, x, y, -1, -1, nullptr).in_font(font_kind::normal);
}

widget_spec entry_at(GtkWidget** g, const char* id, int x, int y, int w, int h, int max_len, const char* name)
{
    widget_spec s = make(widget_kind::entry, g, id, nullptr, x, y, w, h, name);
    s.max_len = max_len;
    return s;
}

widget_spec combo_at(GtkWidget** g, const char* id, int x, int y, void (*fill)(GtkWidget*), const char* name)
{
    widget_spec s = make(widget_kind::combo, g, id, nullptr, x, y, -1, -1, name);
    s.fill = fill;
    return s;
}

widget_spec radio_at(GtkWidget** g, const char* id, const char* text, int x, int y, const char* name)
{
    return make(widget_kind::radio, g, id, text, x, y, -1, -1, name).in_font(font_kind::normal);
}

widget_spec check_at(GtkWidget** g, const char* id, const char* text, int x, int y, const char* name)
{
    return make(widget_kind::check, g, id, text, x, y, -1, -1, name);
}

widget_spec button_at(GtkWidget** g, const char* id, const char* text, int x, int y, int w, int h,
                      const char* name)
{
    return make(widget_kind::button, g, id, text, x, y, w, h, name);
}

void place_widgets(GtkWidget* fixed, const widget_spec* specs, size_t n)
{
    GtkWidget* last_radio = nullptr;
    std::vector<GtkWidget*> made(n);
    for (size_t i = 0; i < n; ++i) {
        const widget_spec& s = specs[i];
        GtkWidget* w = create(s, &last_radio);
        if (s.w >= 0 || s.h >= 0)
            gtk_widget_set_size_request(w, s.w, s.h);
        gtk_fixed_put(GTK_FIXED(fixed), w, s.x, s.y);
        if (int room = room_before_field(specs, n, i))
            fit_label(w, room);
        const char* id = s.id != nullptr ? s.id : s.name;
        if (id != nullptr)
            set_widget_id(w, id);
        if (s.global != nullptr) {
            *s.global = w;
            register_window_global(s.global);
        }
        made[i] = w;
    }
    /* Signals only once every widget exists and holds its first value, so
     * building the window runs no handler. */
    for (size_t i = 0; i < n; ++i)
        connect(made[i], specs[i]);
    for (size_t i = 0; i < n; ++i)
        if (specs[i].flags & WF_INSENSITIVE)
            gtk_widget_set_sensitive(made[i], FALSE);
}

GtkWidget* new_etched_frame(const char* gb_title, int w, int h)
{
    GtkWidget* f = gtk_frame_new(nullptr);
    if (gb_title != nullptr)
        gtk_frame_set_label_widget(GTK_FRAME(f), new_caption(gb_title));
    gtk_frame_set_shadow_type(GTK_FRAME(f), GTK_SHADOW_ETCHED_OUT);
    gtk_widget_set_size_request(f, w, h);
    return f;
}

GtkWidget* add_fixed(GtkWidget* frame)
{
    GtkWidget* fixed = gtk_fixed_new();
    gtk_container_add(GTK_CONTAINER(frame), fixed);
    return fixed;
}

void place_subframes(GtkWidget* fixed, const subframe_spec* specs, size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        GtkWidget* f = new_etched_frame(specs[i].title, specs[i].w, specs[i].h);
        gtk_fixed_put(GTK_FIXED(fixed), f, specs[i].x, specs[i].y);
        specs[i].build(f);
    }
}

void apply_font(GtkWidget* w, font_kind font)
{
    switch (font) {
    case font_kind::normal:
        set_widget_font(w);
        break;
    case font_kind::semibold:
        set_widget_font_sb(w);
        break;
    case font_kind::bold:
        set_widget_font_b(w);
        break;
    case font_kind::theme:
        break;
    }
}

GtkWidget* new_text_label(const char* gb_text, font_kind font)
{
    gchar_ptr text(_(gb_text));
    GtkWidget* l = gtk_label_new(text.text());
    apply_font(l, font);
    return l;
}

GtkWidget* new_caption(const char* gb_text)
{
    gchar_ptr text(_(gb_text));
    GtkWidget* l = gtk_label_new(text.text());
    gtk_widget_show(l);
    g_object_set_data_full(G_OBJECT(l), source_key, source_text(gb_text), g_free);
    g_signal_connect_after(l, "size-request", G_CALLBACK(keep_source_height), nullptr);
    return l;
}
