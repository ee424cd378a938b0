/*
 * button_clicked.cpp - the reading, command-file and module actions of the
 * settings window.
 */
#include "button_clicked.h"

#include <cstdio>
#include <gtk/gtk.h>

#include "link.h"
#include "module.h"
#include "window.h"

void button_setting_read_clicked()
{
    struct page {
        void (*read)();
        void (*refresh)();
    };
    static const page pages[] = {
        {init_module_mana_struct, update_mana_widgets},
        {init_module_comm_struct, update_comm_widgets},
        {init_module_ap_struct, update_ap_widgets},
        {init_module_sta_struct, update_sta_widgets},
    };
    std::printf("Read the Module Setting...");
    std::fflush(stdout);
    for (int i = 0; i < 4; ++i) {
        pages[i].read();
        if (module_silent) {
            /* The page being read keeps its record; the rest are not read. */
            std::printf(link_ended() ? "\nRead stopped: the settings window was closed\n"
                                     : "\nNo answer from the module\n");
            return;
        }
        pages[i].refresh();
        if (i < 3) {
            std::printf("...");
            std::fflush(stdout);
        }
    }
    std::printf("OK!\n");
    if (frame_module != nullptr)
        gtk_widget_set_sensitive(frame_module, TRUE);
}
