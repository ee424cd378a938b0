/*
 * module.h - the window's module: the names the window's code has always
 * used for the pages and the address of the window's link, the copies
 * between its records, and the module chosen from the search's table.
 *
 * It stands on top of the module's other headers and includes them, so
 * that the window's code finds all it knows of a module here.
 */
#ifndef KX_MODULE_H
#define KX_MODULE_H

#include "link.h"
#include "module_at.h"
#include "module_read.h"
#include "module_records.h"

/* The window's module: the pages of the window's link (link.h). */
extern _MOD_MANA_STRUCT &strMODMana, &strMODMana_up;
extern _MOD_COMM_STRUCT &strMODComm, &strMODComm_up;
extern _MOD_AP_STRUCT &strMODAP, &strMODAP_up;
extern _MOD_STA_STRUCT &strMODSTA, &strMODSTA_up;

/* The module chosen for Setting or Upload, copied at the click so that a
 * later search does not change them: the window's link's. */
extern char (&module_ip)[20];
extern char (&module_mac)[20];
extern char (&module_id)[30];
extern char (&module_aswd)[100];

/* _up record -> current record (after a confirm). */
void copy_module_mana_struct();
void copy_module_comm_struct();
void copy_module_ap_struct();
void copy_module_sta_struct();

/* current record -> _up record (after a read, on cancel). */
void copy_module_mana_struct_up();
void copy_module_comm_struct_up();
void copy_module_ap_struct_up();
void copy_module_sta_struct_up();

/* Every page counts as not read and unchanged. */
void clear_mod_structs();

/* Copies entry row of strmodule into the chosen-module globals together
 * with the keyword. Returns 0 when row is not a module of the table. */
int choose_module(int row, const char* keyword);

#endif
