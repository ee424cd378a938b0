/*
 * gui_env.h - the one harness of the window tests: real windows under
 * Xvfb, widgets found by their accessible ids, edits made on them as a
 * user makes them, and the checks of what a window shows.
 */
#ifndef KX_TESTS_GUI_ENV_H
#define KX_TESTS_GUI_ENV_H

#include <functional>
#include <gdk/gdkkeysyms.h>
#include <gtk/gtk.h>
#include <string>
#include <vector>

#include "temp_dir.h"

void pump_events();
/* Runs the main loop for about ms milliseconds. */
void pump_for(int ms);
/* Runs f once from the main loop, ms milliseconds from now (0: when idle). */
void after(int ms, std::function<void()> f);

/* root and every widget below it, the toolkit's own parts included. */
std::vector<GtkWidget*> widgets_below(GtkWidget* root);
std::string widget_id(GtkWidget* w);
/* First widget below root (root included) whose accessible id is id. */
GtkWidget* find_by_id(GtkWidget* root, const std::string& id);
GtkWidget* label_with_text(GtkWidget* root, const std::string& text);
std::vector<std::string> combo_items(GtkWidget* combo);
std::string combo_active_text(GtkWidget* combo);
std::string clist_cell(GtkWidget* list, int row, int col);
GtkAllocation allocation_of(GtkWidget* w);
/* "(x,y wxh)" */
std::string box_text(const GtkAllocation& a);
int windows_titled(const char* title);
/* The colour of one pixel of w as drawn, 0xRRGGBB. */
unsigned pixel_at(GtkWidget* w, int x, int y);

/* A user's action on w: the text typed into an entry and the entry left
 * with Tab (its page in front, the window given the keyboard), the item
 * with that text chosen, a button pressed. */
void act(GtkWidget* w, const std::string& input);

/* The settings window's pages as a person reads them, one line a page:
 * each widget with an id as id=value (the id without its kind, spaces
 * in the value as _; a label's only its state), "(off)" when insensitive,
 * "(hid)" when hidden; then the page's pending commands as pending_N=ROW|ROW
 * (spaces as _ too). */
std::string pages_state();
/* The items of now that before lacks: each changed value as its new item. */
std::string changes(const std::string& before, const std::string& now);

/* One action and what it leaves: the items of pages_state() that changed
 * with it, and the console (nullptr: not looked at). */
struct step {
    std::function<void()> act;
    std::string changed;
    const char* console = nullptr;
};
/* The action of a user on *w (act), for a step. */
std::function<void()> on(GtkWidget** w, const std::string& input);

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
 * a key, and calls look with "page P, auth A" for each. */
void show_every_page(const std::function<void(const std::string& what)>& look);

/* A case in a directory of its own with the module at 127.0.0.2 chosen,
 * nothing pending and the windows' waits; whatever it opened (windows,
 * the socket, the port) is closed after it. */
struct Gui : InTempDir {
    void SetUp() override;
    void TearDown() override;
    /* The UDP socket of a search, in the test's private network. */
    void open_socket();
    /* A settings window whose four pages show a module's defaults as a
     * read leaves them, nothing pending. */
    static void open_read_pages();
    /* Runs f and returns what it printed. */
    static std::string console_of(const std::function<void()>& f);
    static std::string click(GtkWidget* button);
    static std::string text(GtkWidget* entry) { return gtk_entry_get_text(GTK_ENTRY(entry)); }
    static bool sensitive(GtkWidget* w) { return gtk_widget_get_sensitive(w) != 0; }
    static bool active(GtkWidget* w) { return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(w)) != 0; }
    /* Takes the steps in turn, each compared with the pages as the step
     * before left them. */
    static void run(const std::vector<step>& steps);
};

#endif
