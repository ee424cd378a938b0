/*
 * pages.cpp - the table of the four module pages.
 */
#include "pages.h"

#include "command.h"
#include "enums.h"
#include "lang.h"
#include "module.h"
#include "window_pages.h"
#include "window_refresh.h"

const settings_page settings_pages[SETTINGS_PAGES] = {
    {CMDTYPE_MOD, text_notebook_management, set_MOD_MANA_frame, init_module_mana_struct,
     update_mana_widgets, copy_module_mana_struct, copy_module_mana_struct_up, &strMODMana.inited,
     &strMODMana.dirty, &button_mana_confirm, &page_mana_shown},
    {CMDTYPE_COMM, text_notebook_comm, set_MOD_COMM_frame, init_module_comm_struct, update_comm_widgets,
     copy_module_comm_struct, copy_module_comm_struct_up, &strMODComm.inited, &strMODComm.dirty,
     &button_comm_confirm, &page_comm_shown},
    {CMDTYPE_AP, text_notebook_ap, set_MOD_AP_frame, init_module_ap_struct, update_ap_widgets,
     copy_module_ap_struct, copy_module_ap_struct_up, &strMODAP.inited, &strMODAP.dirty,
     &button_ap_confirm, &page_ap_shown},
    {CMDTYPE_STA, text_notebook_sta, set_MOD_STA_frame, init_module_sta_struct, update_sta_widgets,
     copy_module_sta_struct, copy_module_sta_struct_up, &strMODSTA.inited, &strMODSTA.dirty,
     &button_sta_confirm, &page_sta_shown},
};

const settings_page* settings_page_of(int type)
{
    return type >= 0 && type < SETTINGS_PAGES ? &settings_pages[type] : nullptr;
}

bool page_pending(int type)
{
    int* count = nullptr;
    return command_rows(type, &count) != nullptr && *count > 0;
}

void mark_page(int type)
{
    const settings_page* p = settings_page_of(type);
    /* A mark without a command would let a confirm rewrite the page's
     * file with nothing and lose the commands it held. */
    if (p == nullptr || *p->dirty != 0 || !page_pending(type))
        return;
    *p->dirty = 1;
    if (*p->confirm != nullptr)
        gtk_widget_set_sensitive(*p->confirm, TRUE);
}

void drop_pending(int type)
{
    const settings_page* p = settings_page_of(type);
    int* count = nullptr;
    if (p == nullptr || command_rows(type, &count) == nullptr)
        return;
    *count = 0;
    *p->dirty = 0;
    if (*p->confirm != nullptr)
        gtk_widget_set_sensitive(*p->confirm, FALSE);
}
