/*
 * window_frame.h - the settings window's frame and left column: the
 * window, the module frame and the column's widgets, the connection lamp
 * and its texts, and the logo strip.
 *
 * Every widget that more than one function touches has a global. While no
 * settings window exists they are all 0, and every user checks.
 */
#ifndef KX_WINDOW_FRAME_H
#define KX_WINDOW_FRAME_H

#include <gtk/gtk.h>

/* Frame and left column. */
extern GtkWidget* window;
extern GtkWidget* frame_module;
extern GtkWidget* draw_net_connect;
extern GtkWidget* label_net_conn;
extern GtkWidget* button_setting_read;
extern GtkWidget* button_setting_save;
extern GtkWidget* label_setting_file;
extern GtkWidget* entry_setting_file;
extern GtkWidget* check_setting_auto;
extern GtkWidget* button_setting_down;
extern int color;

/* Lays out the left column (identity, lamp, setting management) in the
 * window's body table. */
void set_PC_frame(GtkWidget* body);

/* Stores cl as the lamp state and has the lamp redrawn. */
void set_lamp(int cl);

/* Shows connection status n (1-5 waiting, 6 connected) on the window. */
void set_conn_text(int n);

gboolean draw_logo_expose_event(GtkWidget* widget, GdkEventExpose* event, gpointer data);
gboolean draw_expose_event(GtkWidget* widget, GdkEventExpose* event, gpointer data);
void show_pictures(cairo_t* cr);
void show_pictures_draw(cairo_t* cr, int w, int h);

#endif
