/*
 * window_frame.cpp - the settings window's frame and left column: the
 * globals of the window and the column, the module's identity, the
 * connection lamp and its texts, the setting-management frame, and the
 * logo strip.
 */
#include "window_frame.h"

#include <cmath>

#include "enums.h"
#include "lang.h"
#include "module.h"
#include "setting_file.h"
#include "text_fit.h"
#include "ui_util.h"
#include "window_build.h"

GtkWidget* window = nullptr;
GtkWidget* frame_module = nullptr;
GtkWidget* draw_net_connect = nullptr;
GtkWidget* label_net_conn = nullptr;
GtkWidget* button_setting_read = nullptr;
GtkWidget* button_setting_save = nullptr;
GtkWidget* label_setting_file = nullptr;
GtkWidget* entry_setting_file = nullptr;
GtkWidget* check_setting_auto = nullptr;
GtkWidget* button_setting_down = nullptr;
int color = BLANK;

namespace {

/* Connection status texts by number; anything else shows the first. */
char* conn_text(int n)
{
    char* texts[] = {text_net_conn1, text_net_conn1, text_net_conn2, text_net_conn3,
                     text_net_conn4, text_net_conn5, text_net_conn6};
    return n >= 1 && n <= 6 ? texts[n] : text_net_conn1;
}

/* The width inside a frame that has its size request, with the border
 * its theme will draw. */
int inner_width(GtkWidget* frame)
{
    int width = 0;
    gtk_widget_get_size_request(frame, &width, nullptr);
    gtk_widget_ensure_style(frame);
    int edge = static_cast<int>(gtk_container_get_border_width(GTK_CONTAINER(frame))) +
               gtk_widget_get_style(frame)->xthickness;
    return width - 2 * edge;
}

/* A line of the module's identity: the fixed text converted, the value
 * from the search answer taken as bytes. An 18-character value does not
 * fit the frame in the usual font: the text gets the largest font in
 * which it fits, or is cut and shown whole in its tooltip. */
GtkWidget* put_identity_label(GtkWidget* fixed, int room, const char* gb_fixed, const char* value,
                              font_kind font, int y)
{
    const int x = 5;
    GtkWidget* label = gtk_label_new(label_text(gb_fixed, value).c_str());
    apply_font(label, font);
    gtk_fixed_put(GTK_FIXED(fixed), label, x, y);
    fit_label(label, room - x);
    return label;
}

void set_PC_net_frame(GtkWidget* frame)
{
    GtkWidget* fixed = add_fixed(frame);
    int room = inner_width(frame);
    put_identity_label(fixed, room, "Module IP: ", module_ip, font_kind::normal, 21);
    put_identity_label(fixed, room, "Module MAC: ", module_mac, font_kind::normal, 51);
    GtkWidget* id = put_identity_label(fixed, room, "Module ID: ", module_id, font_kind::semibold, 81);
    GdkColor red = {0, 0xFFFF, 0, 0};
    gtk_widget_modify_fg(id, GTK_STATE_NORMAL, &red);

    draw_net_connect = gtk_drawing_area_new();
    gtk_widget_set_size_request(draw_net_connect, 30, 30);
    g_signal_connect(draw_net_connect, "expose_event", G_CALLBACK(draw_expose_event), nullptr);
    set_widget_id(draw_net_connect, "draw_net_connect");
    register_window_global(&draw_net_connect);
    gtk_fixed_put(GTK_FIXED(fixed), draw_net_connect, 10, 150);

    label_net_conn = new_text_label(text_net_conn1, font_kind::semibold);
    set_widget_id(label_net_conn, "label_net_conn");
    register_window_global(&label_net_conn);
    gtk_fixed_put(GTK_FIXED(fixed), label_net_conn, 50, 158);
}

void set_Setting_frame(GtkWidget* frame)
{
    const widget_spec w[] = {
        button_at(WG(button_setting_read), text_button_read, 10, 10, 70, 28, "setting_read_button")
            .with(WF_INSENSITIVE),
        button_at(WG(button_setting_save), text_button_save, 100, 10, 70, 28, "setting_save_button")
            .with(WF_INSENSITIVE),
        label_at(WG(label_setting_file), text_cmd_filename, 10, 53),
        entry_at(WG(entry_setting_file), 70, 50, 100, 22, 15, nullptr).starting_with(setting_file),
        check_at(WG(check_setting_auto), text_auto_config, 10, 77, "auto_setting_button")
            .with(auto_setting == 1 ? WF_ACTIVE : 0u),
        button_at(WG(button_setting_down), text_button_file_config, 15, 100, 140, 28, "setting_down_button")
            .with(WF_INSENSITIVE),
    };
    place_widgets(add_fixed(frame), w);
}

} // namespace

void set_PC_frame(GtkWidget* body)
{
    GtkWidget* column = new_etched_frame(nullptr, 200, 400);
    gtk_table_attach_defaults(GTK_TABLE(body), column, 0, 1, 0, 1);
    const subframe_spec f[] = {
        {text_frame_pcnet, 3, 8, 190, 220, set_PC_net_frame},
        {text_frame_config, 3, 242, 190, 150, set_Setting_frame},
    };
    place_subframes(add_fixed(column), f);
}

void set_conn_text(int n)
{
    if (label_net_conn == nullptr)
        return;
    gchar_ptr text(_(conn_text(n)));
    gtk_label_set_text(GTK_LABEL(label_net_conn), text.text());
}

void set_lamp(int cl)
{
    color = cl;
    if (draw_net_connect != nullptr)
        gtk_widget_queue_draw(draw_net_connect);
}

gboolean draw_logo_expose_event(GtkWidget* widget, GdkEventExpose*, gpointer)
{
    cairo_t* cr = gdk_cairo_create(gtk_widget_get_window(widget));
    show_pictures(cr);
    cairo_destroy(cr);
    return FALSE;
}

gboolean draw_expose_event(GtkWidget* widget, GdkEventExpose*, gpointer)
{
    cairo_t* cr = gdk_cairo_create(gtk_widget_get_window(widget));
    GtkAllocation a;
    gtk_widget_get_allocation(widget, &a);
    show_pictures_draw(cr, a.width, a.height);
    cairo_destroy(cr);
    return FALSE;
}

void show_pictures(cairo_t* cr)
{
    /* Read on every expose, so a new logo shows without a restart. */
    cairo_surface_t* image = cairo_image_surface_create_from_png("pic");
    if (cairo_surface_status(image) == CAIRO_STATUS_SUCCESS) {
        cairo_save(cr);
        cairo_set_source_surface(cr, image, 0, 0);
        cairo_paint(cr);
        cairo_restore(cr);
    }
    cairo_surface_destroy(image);
}

void show_pictures_draw(cairo_t* cr, int, int)
{
    struct rgb {
        double r, g, b;
    };
    static const rgb lamp[] = {{0.5, 0.5, 0.5}, {0, 1, 0}, {1, 0, 0}, {1, 1, 0}};
    rgb c = color >= BLANK && color <= YELLOW ? lamp[color] : rgb{1, 0, 0};
    cairo_set_source_rgb(cr, c.r, c.g, c.b);
    cairo_arc(cr, 20, 13, 10, 0, 2 * M_PI);
    cairo_fill(cr);
}
