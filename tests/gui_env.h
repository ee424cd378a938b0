/*
 * gui_env.h - helpers for tests that build real windows under Xvfb.
 */
#ifndef KX_TESTS_GUI_ENV_H
#define KX_TESTS_GUI_ENV_H

#include <gtk/gtk.h>
#include <string>
#include <vector>

/* Handles every pending event. */
void pump_events();
/* Runs the main loop for about ms milliseconds. */
void pump_for(int ms);

/* Position of child inside its GtkFixed parent; false if it has none. */
bool fixed_position(GtkWidget* child, int* x, int* y);
/* Checks w's position in its GtkFixed and its size request (-1: none). */
void expect_placed(GtkWidget* w, const std::string& what, int x, int y, int width, int height);
/* The texts of a text combo box's items, in order. */
std::vector<std::string> combo_items(GtkWidget* combo);
/* The accessible id given to w, or "". */
std::string widget_id(GtkWidget* w);
/* First widget below root (root included) whose accessible id is id. */
GtkWidget* find_by_id(GtkWidget* root, const std::string& id);
/* Text of a label, or of a button's label child. */
std::string widget_text(GtkWidget* w);
/* First label below root whose text is text (or, with whole_text false,
 * begins with it); nullptr if there is none. */
GtkWidget* label_with_text(GtkWidget* root, const std::string& text, bool whole_text = true);
/* Glyphs the fonts could not draw in a label's layout. */
int unknown_glyphs(GtkWidget* label);

#endif
