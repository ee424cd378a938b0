/*
 * module.cpp - the window's module: the old names of its link's pages and
 * address, the copies of its pages, and the module chosen from the table.
 */
#include "module.h"

#include "enums.h"
#include "strutil.h"

_MOD_MANA_STRUCT &strMODMana = window_link.pages.mana, &strMODMana_up = window_link.pages.mana_up;
_MOD_COMM_STRUCT &strMODComm = window_link.pages.comm, &strMODComm_up = window_link.pages.comm_up;
_MOD_AP_STRUCT &strMODAP = window_link.pages.ap, &strMODAP_up = window_link.pages.ap_up;
_MOD_STA_STRUCT &strMODSTA = window_link.pages.sta, &strMODSTA_up = window_link.pages.sta_up;

char (&module_ip)[20] = window_link.module_ip;
char (&module_mac)[20] = window_link.module_mac;
char (&module_id)[30] = window_link.module_id;
char (&module_aswd)[100] = window_link.module_aswd;

void copy_module_mana_struct() { take_page_edits(window_link.pages, CMDTYPE_MOD); }
void copy_module_comm_struct() { take_page_edits(window_link.pages, CMDTYPE_COMM); }
void copy_module_ap_struct() { take_page_edits(window_link.pages, CMDTYPE_AP); }
void copy_module_sta_struct() { take_page_edits(window_link.pages, CMDTYPE_STA); }

void copy_module_mana_struct_up() { drop_page_edits(window_link.pages, CMDTYPE_MOD); }
void copy_module_comm_struct_up() { drop_page_edits(window_link.pages, CMDTYPE_COMM); }
void copy_module_ap_struct_up() { drop_page_edits(window_link.pages, CMDTYPE_AP); }
void copy_module_sta_struct_up() { drop_page_edits(window_link.pages, CMDTYPE_STA); }

void clear_mod_structs() { clear_pages(window_link.pages); }

int choose_module(int row, const char* keyword)
{
    if (row < 0 || row >= strmodule_num)
        return 0;
    copy_text(module_ip, strmodule[row].ip);
    copy_text(module_mac, strmodule[row].mac);
    copy_text(module_id, strmodule[row].id);
    copy_text(module_aswd, keyword);
    return 1;
}
