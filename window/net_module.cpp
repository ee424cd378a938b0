/*
 * net_module.cpp - what happens once the link to a module is up.
 */
#include "net_module.h"

#include <gtk/gtk.h>

#include "button_clicked.h"
#include "module.h"
#include "setting_file.h"
#include "window_frame.h"

void net_module_connected()
{
    clear_mod_structs();
    if (auto_setting == 0) {
        if (button_setting_read != nullptr)
            gtk_widget_set_sensitive(button_setting_read, TRUE);
        if (button_setting_down != nullptr)
            gtk_widget_set_sensitive(button_setting_down, TRUE);
        return;
    }
    /* The command file goes to every module as soon as it answers; the
     * buttons stay as they are. */
    button_setting_down_clicked();
}
