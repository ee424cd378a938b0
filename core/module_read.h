/*
 * module_read.h - reading a page's settings from the module into its
 * records, on any link or on the window's, and reading a setting's value
 * as the reply to its query.
 */
#ifndef KX_MODULE_READ_H
#define KX_MODULE_READ_H

#include <string>

#include "link.h"
#include "module_records.h"

/* Reads page type (ENCMDTYPE) from the module into l.pages; the queries
 * it asks without a positive reply are added to *unanswered (when given),
 * as "AT+NAME". */
void read_page(module_link& l, int type, std::string* unanswered = nullptr);

/* The same on the window's link, one page each. */
void init_module_mana_struct();
void init_module_comm_struct();
void init_module_ap_struct();
void init_module_sta_struct();

void init_modcom_baud(const char* item);
void init_modcom_data(const char* item);
void init_modcom_stop(const char* item);
void init_modcom_parity(const char* item);
void init_modcom_fc(const char* item);
void init_ap_channel(const char* item);
void init_wifi_auth(const char* item, char* ret);
void init_wifi_encry(const char* item, char* ret);

/* Reads value into p's current records as the reply to the query name
 * ("UART") would be read; false when a read asks no such query. A
 * setting command's value is read this way, since a module's reply to a
 * query has the layout of the setting of the same name. */
bool read_setting_value(module_pages& p, const char* name, const char* value);

#endif
