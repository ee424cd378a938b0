/*
 * main.h - the search window and the program's start-up.
 */
#ifndef KX_MAIN_H
#define KX_MAIN_H

#include <gtk/gtk.h>

extern GtkWidget* search_window;
extern GtkWidget* clist_main;
extern GtkWidget* combo_ip;
extern GtkWidget* frame_op;
extern GtkWidget* entry_file;
extern GtkWidget* label_up;
extern int row_selected;
extern int bfirst_show;

/* GB18030 text to a new UTF-8 string (g_free it), or NULL. */
char* _lang(const char* c);

void set_list_frame(GtkWidget* frame);
void set_option_frame(GtkWidget* frame);
void set_list_width(GtkWidget* list);
void set_com_ip(GtkWidget* combo);
void list_clear(GtkWidget* list);
void show_list_data(GtkWidget* list);
gboolean main_expose_event(GtkWidget* widget, GdkEventExpose* event, gpointer data);
void list_select(GtkWidget* list, gint row, gint column, GdkEventButton* event, gpointer data);
void main_button_clicked(GtkWidget* widget, gpointer data);

/* Builds the search window (not yet shown) and returns it. */
GtkWidget* build_search_window();

/* The whole program: start-up, the main loop; returns the exit status. */
int run_tool(int argc, char** argv);

#endif
