/*
 * main.h - the search window and the program's start-up. The module
 * list it holds is declared in search_list.h, which comes with it.
 */
#ifndef KX_MAIN_H
#define KX_MAIN_H

#include <gtk/gtk.h>

#include "search_list.h"

extern GtkWidget* search_window;
extern GtkWidget* entry_file;
extern GtkWidget* label_up;

/* GB18030 text to a new UTF-8 string in the user's language (g_free it),
 * or NULL: _() of lang.h. */
char* _lang(const char* c);

void set_list_frame(GtkWidget* frame);
void set_option_frame(GtkWidget* frame);
void main_button_clicked(GtkWidget* widget, gpointer data);

/* The upload of data/<file> to the chosen module; then the progress count
 * on label_up, or "升级失败" when no image went out. */
void main_upload(const char* file);
/* The progress count, on a thread of its own: "升级中... 0" to 19, one
 * step apart, then the empty label. owner: see main.cpp. */
void upload_label(unsigned owner);
/* The count's text for n, "升级中... n" in the user's language (g_free it). */
gchar* upload_count_text(int n);
/* One step of the count; tests shorten it. */
extern int upload_count_step_ms;

/* Builds the search window (not yet shown) and returns it. */
GtkWidget* build_search_window();

/* The whole program: start-up, the main loop; returns the exit status. */
int run_tool(int argc, char** argv);

#endif
