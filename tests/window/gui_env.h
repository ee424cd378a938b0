/*
 * gui_env.h - helpers for tests that build real windows under Xvfb.
 */
#ifndef KX_TESTS_GUI_ENV_H
#define KX_TESTS_GUI_ENV_H

#include <functional>
#include <gtk/gtk.h>
#include <string>
#include <vector>

/* Handles every pending event. */
void pump_events();
/* Runs the main loop for about ms milliseconds. */
void pump_for(int ms);

/* root and every widget below it, the toolkit's own parts included. */
std::vector<GtkWidget*> widgets_below(GtkWidget* root);
/* The accessible id given to w, or "". */
std::string widget_id(GtkWidget* w);
/* First widget below root (root included) whose accessible id is id. */
GtkWidget* find_by_id(GtkWidget* root, const std::string& id);
/* First label below root whose text is text; nullptr if there is none. */
GtkWidget* label_with_text(GtkWidget* root, const std::string& text);
/* The texts of a text combo box's items, in order. */
std::vector<std::string> combo_items(GtkWidget* combo);
std::string combo_active_text(GtkWidget* combo);
/* The text of a cell of a GtkCList. */
std::string clist_cell(GtkWidget* list, int row, int col);
GtkAllocation allocation_of(GtkWidget* w);
/* Toplevel windows with this title. */
int windows_titled(const char* title);

/* Counts the toolkit's warnings and criticals while alive; each is a
 * failure of the test too. */
struct complaint_counter {
    int count = 0;
    complaint_counter();
    ~complaint_counter();
};

/* What a person would find wrong in the part of root now on screen: two
 * widgets of one fixed layout on top of each other, a widget reaching out
 * of its layout, a label with glyphs the fonts lack, cut off by its place
 * (unless ellipsized with the whole text in its tooltip) or too small to
 * read. One line a fault. */
std::vector<std::string> layout_faults(GtkWidget* root);

/* Brings each page of the open settings window to front, refreshed from
 * empty edited records, once with the open authentication and once with
 * a key (the three encryption lists share one place, and a key shows its
 * entry), and calls look with "page P, auth A" for each. */
void show_every_page(const std::function<void(const std::string& what)>& look);

#endif
