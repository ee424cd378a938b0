/*
 * button_clicked.cpp - the reading, command-file, confirm and cancel and
 * module actions of the settings window.
 *
 * The rules (what is sent, what a file holds) are the core's; these
 * handlers read the widgets, call the rule and show what came of it.
 */
#include "button_clicked.h"

#include <cstdio>
#include <gtk/gtk.h>
#include <initializer_list>

#include "command.h"
#include "command_file.h"
#include "edit_rules.h"
#include "enums.h"
#include "link.h"
#include "module.h"
#include "pages.h"
#include "setting_file.h"
#include "ui_util.h"
#include "window_frame.h"

namespace {

/* The name of the command file in data/ typed in the window. */
const char* named_command_file()
{
    return entry_setting_file != nullptr ? gtk_entry_get_text(GTK_ENTRY(entry_setting_file)) : "";
}

/* After a restart or a reset the module is gone until a new link. */
void link_gone()
{
    set_sensitive({frame_module}, false);
    set_lamp(RED);
    set_conn_text(1);
}

} // namespace

void button_setting_read_clicked()
{
    std::printf("Read the Module Setting...");
    std::fflush(stdout);
    for (const settings_page& p : settings_pages) {
        p.read();
        if (module_silent) {
            /* The page being read keeps its record; the rest are not read. */
            std::printf("\n%s\n", stop_reason());
            return;
        }
        p.refresh();
        /* The page shows the module's values now: an edit made before
         * the read, or a command the refresh rebuilt, is not to be sent. */
        drop_pending(p.type);
        if (p.type != CMDTYPE_STA) {
            std::printf("...");
            std::fflush(stdout);
        }
    }
    std::printf("OK!\n");
    set_sensitive({frame_module}, true);
}

void confirm_page(int type)
{
    const settings_page* p = settings_page_of(type);
    if (p == nullptr)
        return;
    int result = send_page_commands(type);
    /* The module took everything even when its file could not be written:
     * the page holds the module's values then too. */
    if (result != CONFIRM_DONE && result != CONFIRM_UNSAVED)
        return;
    p->commit();
    /* The refresh's combo signals may build rows again from the values
     * just taken over; they are not pending, so the table empties after. */
    p->refresh();
    drop_pending(type);
    /* Saving joins the page files, and this one does not hold the page. */
    if (result == CONFIRM_DONE)
        set_sensitive({button_setting_save}, true);
}

void cancel_page(int type)
{
    const settings_page* p = settings_page_of(type);
    if (p == nullptr)
        return;
    p->revert();
    p->refresh();
    drop_pending(type);
}

void button_mana_confirm_clicked() { confirm_page(CMDTYPE_MOD); }
void button_mana_cancel_clicked() { cancel_page(CMDTYPE_MOD); }
void button_comm_confirm_clicked() { confirm_page(CMDTYPE_COMM); }
void button_comm_cancel_clicked() { cancel_page(CMDTYPE_COMM); }
void button_ap_confirm_clicked() { confirm_page(CMDTYPE_AP); }
void button_ap_cancel_clicked() { cancel_page(CMDTYPE_AP); }
void button_sta_confirm_clicked() { confirm_page(CMDTYPE_STA); }
void button_sta_cancel_clicked() { cancel_page(CMDTYPE_STA); }

void button_setting_save_clicked() { save_command_file(named_command_file()); }

void button_setting_down_clicked() { replay_command_file(named_command_file()); }

/* The name is written whole or not at all: one that would be cut when
 * read back leaves the file with the name it was loaded with. */
void save_setting_file()
{
    const char* name = named_command_file();
    if (!text_fits(name, sizeof setting_file))
        name = setting_file;
    save_setting_para(auto_setting, name);
}

void button_setting_auto_clicked()
{
    auto_setting = auto_setting == 1 ? 0 : 1;
    save_setting_file();
    set_sensitive({button_setting_read, button_setting_save, button_setting_down, entry_setting_file},
                  auto_setting == 0);
}

void button_mod_restart_clicked()
{
    udpsendn("AT+Z\n", 5);
    link_gone();
}

void button_mod_reload_clicked()
{
    module_send_cmd_set("AT+RELD");
    link_gone();
}
