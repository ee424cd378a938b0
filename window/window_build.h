/*
 * window_build.h - building a fixed-layout frame from a table.
 *
 * Every page and sub-frame of the settings window is a list of widgets at
 * pixel positions; each row here says what one widget is, where it sits,
 * its limits and initial state, its font, and the name string its signal
 * carries to the dispatcher. place_widgets turns a table into widgets.
 */
#ifndef KX_WINDOW_BUILD_H
#define KX_WINDOW_BUILD_H

#include <cstddef>
#include <gtk/gtk.h>

enum class widget_kind { label, entry, combo, radio, check, button };
enum class font_kind { theme, normal, semibold, bold };

enum widget_flags : unsigned {
    WF_INSENSITIVE = 1u << 0,
    WF_NOT_EDITABLE = 1u << 1,
    WF_ACTIVE = 1u << 2,      /* radio or check button starts active */
    WF_NEW_GROUP = 1u << 3,   /* first radio button of its group */
};

struct widget_spec {
    widget_kind kind;
    GtkWidget** global;      /* nullptr for widgets nobody else touches */
    const char* id;          /* accessible id: the global's name, else the name string */
    const char* text;        /* GB18030 caption, or an entry's initial text */
    int x, y, w, h;          /* w, h of -1: natural size */
    int max_len;             /* entries; 0: no limit */
    void (*fill)(GtkWidget*);/* combo item list */
    const char* name;        /* name string of the signal; nullptr: no signal */
    unsigned flags;
    font_kind font;

    widget_spec with(unsigned f) const { widget_spec s = *this; s.flags |= f; return s; }
    widget_spec in_font(font_kind f) const { widget_spec s = *this; s.font = f; return s; }
    widget_spec starting_with(const char* t) const { widget_spec s = *this; s.text = t; return s; }
};

/* A global together with its name, for the id. */
#define WG(name) &name, #name

widget_spec label_at(const char* text, int x, int y);
widget_spec label_at(GtkWidget** g, const char* id, const char* text, int x, int y);
widget_spec entry_at(GtkWidget** g, const char* id, int x, int y, int w, int h, int max_len, const char* name);
widget_spec combo_at(GtkWidget** g, const char* id, int x, int y, void (*fill)(GtkWidget*), const char* name);
widget_spec radio_at(GtkWidget** g, const char* id, const char* text, int x, int y, const char* name);
widget_spec check_at(GtkWidget** g, const char* id, const char* text, int x, int y, const char* name);
widget_spec button_at(GtkWidget** g, const char* id, const char* text, int x, int y, int w, int h,
                      const char* name);

/* Creates the widgets of specs on fixed, in order, then connects their
 * signals and finally applies the insensitive states. */
void place_widgets(GtkWidget* fixed, const widget_spec* specs, size_t n);

template <size_t N>
void place_widgets(GtkWidget* fixed, const widget_spec (&specs)[N])
{
    place_widgets(fixed, specs, N);
}

/* Remembers a widget global so that it becomes 0 when the window goes;
 * place_widgets does it for every global of its tables. */
void register_window_global(GtkWidget** global);

/* The settings window is gone: every remembered global becomes 0 and is
 * forgotten. */
void forget_window_globals();

/* A labelled sub-frame, shadow etched out, with a fixed container. */
struct subframe_spec {
    const char* title;  /* GB18030; nullptr: no title */
    int x, y, w, h;
    void (*build)(GtkWidget* frame);
};

/* A frame with an etched-out shadow, a title (or none) and a size. */
GtkWidget* new_etched_frame(const char* gb_title, int w, int h);

/* Adds a fixed container to frame and returns it. */
GtkWidget* add_fixed(GtkWidget* frame);

void place_subframes(GtkWidget* fixed, const subframe_spec* specs, size_t n);

template <size_t N>
void place_subframes(GtkWidget* fixed, const subframe_spec (&specs)[N])
{
    place_subframes(fixed, specs, N);
}

/* The label of a frame's title or a notebook tab, from a GB18030 text. It
 * is as tall as the text as written would be in its font, in whatever
 * language it shows: that height places what the frame or the notebook
 * holds, and a translation must not move it. */
GtkWidget* new_caption(const char* gb_text);

/* A label from a GB18030 text, in the given font. */
GtkWidget* new_text_label(const char* gb_text, font_kind font);
void apply_font(GtkWidget* w, font_kind font);

#endif
