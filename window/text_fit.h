/*
 * text_fit.h - fonts chosen so that a text fits the pixels it is given.
 *
 * The windows are laid out in fixed pixels, while the width of a text
 * depends on the fonts and resolution of the machine. These helpers
 * measure the text with the widget's own font and step its size down
 * until it fits, but never below a size that can still be read.
 */
#ifndef KX_TEXT_FIT_H
#define KX_TEXT_FIT_H

#include <gtk/gtk.h>

/* The smallest size a fitted text gets, in Pango units (points). */
extern const int smallest_text_size;

/* Gives w the largest size of its font, from its present size down to
 * smallest_text_size in half points, at which sample is at most room
 * pixels wide; the smallest when none is. Call it once w has its parent,
 * so that the theme's styles for its place apply. */
void fit_font(GtkWidget* w, const char* sample, int room);

/* fit_font for the label's own text; a text that does not fit even in the
 * smallest size is cut with an ellipsis at room pixels, and its tooltip
 * holds it whole. */
void fit_label(GtkWidget* label, int room);

/* Keeps the text of a combo box in a font in which sample fits the space
 * left of its arrow. That space is known only once the combo is
 * allocated, so it is measured at every allocation. sample must outlive
 * the combo. */
void fit_combo_text(GtkWidget* combo, const char* sample);

/* Keeps the caption of a button whose size the layout fixes in a font in
 * which it fits the room inside the button: a translation may be longer
 * than the text the size was chosen for. Measured at every allocation,
 * like a combo's text. */
void fit_caption(GtkWidget* button);

#endif
