/*
 * text_fit.cpp - stepping a widget's font down until a text fits.
 */
#include "text_fit.h"

const int smallest_text_size = 7 * PANGO_SCALE;

namespace {

const int size_step = PANGO_SCALE / 2;

/* The font w will be drawn with. A widget takes its style from the theme
 * only when its window is first shown: until then it would be the
 * default style, without the fonts the window gave it. */
const PangoFontDescription* style_font(GtkWidget* w)
{
    gtk_widget_ensure_style(w);
    return gtk_widget_get_style(w)->font_desc;
}

/* The largest size from start down to the smallest at which sample, in
 * w's font, is at most room pixels wide; 0 when there is none. */
int fitting_size(GtkWidget* w, const char* sample, int room, int start)
{
    PangoFontDescription* desc = pango_font_description_copy(style_font(w));
    PangoLayout* layout = gtk_widget_create_pango_layout(w, sample);
    int found = 0;
    for (int size = start; size >= smallest_text_size && found == 0; size -= size_step) {
        pango_font_description_set_size(desc, size);
        pango_layout_set_font_description(layout, desc);
        int width = 0;
        pango_layout_get_pixel_size(layout, &width, nullptr);
        if (width <= room)
            found = size;
    }
    g_object_unref(layout);
    pango_font_description_free(desc);
    return found;
}

int present_size(GtkWidget* w) { return pango_font_description_get_size(style_font(w)); }

/* A new font restyles and resizes the widget: only when it differs. */
void set_font_size(GtkWidget* w, int size)
{
    if (present_size(w) == size)
        return;
    PangoFontDescription* desc = pango_font_description_copy(style_font(w));
    pango_font_description_set_size(desc, size);
    gtk_widget_modify_font(w, desc);
    pango_font_description_free(desc);
}

const char sample_key[] = "kx-fit-sample";
const char base_key[] = "kx-fit-base-size";

/* The size the theme gave w, kept from before its first fitting, so that
 * a wider allocation can have a larger font again. */
int base_size(GtkWidget* w)
{
    int base = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(w), base_key));
    if (base == 0) {
        base = present_size(w);
        g_object_set_data(G_OBJECT(w), base_key, GINT_TO_POINTER(base));
    }
    return base;
}

void refit(GtkWidget* w, const char* sample, int room)
{
    int size = fitting_size(w, sample, room, base_size(w));
    set_font_size(w, size != 0 ? size : smallest_text_size);
}

void refit_combo_text(GtkWidget* view, GtkAllocation*, gpointer combo)
{
    gint xpad = 0;
    GList* cells = gtk_cell_layout_get_cells(GTK_CELL_LAYOUT(combo));
    if (cells != nullptr)
        g_object_get(cells->data, "xpad", &xpad, nullptr);
    g_list_free(cells);
    GtkAllocation a;
    gtk_widget_get_allocation(view, &a);
    const char* sample = static_cast<const char*>(g_object_get_data(G_OBJECT(view), sample_key));
    refit(view, sample, a.width - 2 * xpad);
}

void refit_caption(GtkWidget* label, GtkAllocation* a, gpointer)
{
    refit(label, gtk_label_get_text(GTK_LABEL(label)), a->width);
}

} // namespace

void fit_font(GtkWidget* w, const char* sample, int room)
{
    int size = fitting_size(w, sample, room, present_size(w));
    set_font_size(w, size != 0 ? size : smallest_text_size);
}

void fit_label(GtkWidget* label, int room)
{
    const gchar* text = gtk_label_get_text(GTK_LABEL(label));
    int size = fitting_size(label, text, room, present_size(label));
    if (size != 0) {
        set_font_size(label, size);
        return;
    }
    set_font_size(label, smallest_text_size);
    gtk_label_set_ellipsize(GTK_LABEL(label), PANGO_ELLIPSIZE_END);
    gtk_widget_set_size_request(label, room, -1);
    gtk_misc_set_alignment(GTK_MISC(label), 0, 0.5);
    gtk_widget_set_tooltip_text(label, text);
}

void fit_combo_text(GtkWidget* combo, const char* sample)
{
    GtkWidget* view = gtk_bin_get_child(GTK_BIN(combo));
    if (view == nullptr)
        return;
    g_object_set_data(G_OBJECT(view), sample_key, const_cast<char*>(sample));
    g_signal_connect_after(view, "size-allocate", G_CALLBACK(refit_combo_text), combo);
}

void fit_caption(GtkWidget* button)
{
    GtkWidget* label = gtk_bin_get_child(GTK_BIN(button));
    if (GTK_IS_LABEL(label))
        g_signal_connect_after(label, "size-allocate", G_CALLBACK(refit_caption), nullptr);
}
