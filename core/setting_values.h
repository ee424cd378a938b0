/*
 * setting_values.h - settings as values: what a setting command, a field
 * of a settings document and a module's records set, compared by value
 * rather than by how the text is written ("AT+TCPTO=0300" sets what a
 * module holding 300 has).
 *
 * A setting line is read with the readers of the module's replies (a
 * reply to a query has the layout of the setting of the same name) and
 * written back with the window's builders, so a command file, a settings
 * document and a module's records all meet in one form: the values of each
 * command as the window would send them.
 */
#ifndef KX_SETTING_VALUES_H
#define KX_SETTING_VALUES_H

#include <string>
#include <vector>

#include "module.h"

/* How a field's values are told apart: a name, a key or an item of an
 * enumeration byte for byte; a number by its value ("0300" is 300); an
 * address by its four bytes; a server by its address when both texts are
 * dotted addresses, else byte for byte (a host name is a name). */
enum class field_kind { text, number, address, host };

/* One setting: its name in a settings document ("communication", "baud")
 * and the place of its value in the command that sets it. */
struct setting_field {
    const char* section;
    const char* name;
    const char* command;
    int item;
    field_kind kind; /* a number is a decimal number in a settings document */
};

/* Every setting a command sets, in the order of the window's pages. The
 * MID and the version are the module's own and no command sets them. */
const std::vector<setting_field>& setting_fields();
/* The field of section.name, or of command's item; nullptr when none. */
const setting_field* find_setting_field(const std::string& section, const std::string& name);
const setting_field* field_of_item(const std::string& command, int item);
/* "communication.baud" */
std::string field_path(const setting_field& f);

/* The setting commands in the window's page order. */
const std::vector<std::string>& setting_commands();

/* The values of command name built from p's current records: as sent, or
 * full (a key without encryption, the addresses with DHCP as held). */
std::vector<std::string> setting_values(const module_pages& p, const std::string& name, bool full);

/* "AT+NAME=" and the items joined by commas. */
std::string setting_line(const std::string& name, const std::vector<std::string>& items);

/* "AT+NAME=value" into NAME and the value's items (the value whole for a
 * command of one value, which may hold commas). "AT+" and NAME are taken
 * in any case, and "NAME = value" as "NAME=value", as a person may write
 * them: such a line sets what the builder's form sets. Blanks after a
 * bare "=" are the value's own ("AT+WSSSID= x" names " x").
 * False when line is not that form or NAME is no setting command. */
bool split_setting_line(const std::string& line, std::string* name, std::vector<std::string>* items);

/* Reads the items of command name into p's current records as a reply
 * would be read. True when the records took every item as given, by
 * value: a text the module does not use for that setting, a number out of
 * its range or a text too long for its field is not a value the records
 * can hold, and the records are then left as they were. */
bool take_setting(module_pages& p, const std::string& name, const std::vector<std::string>& items);

/* Whether a and b are the same value of command's item, by its field's
 * kind: "0300" is 300 in TCPTO, but "0123" is no SSID "123". */
bool same_setting_value(const std::string& command, size_t item, const std::string& a, const std::string& b);

/* A module's access point is named "KXD40_" and the last four characters
 * of its MAC from the factory. True when ssid is such a name of another
 * module than the one with own_mac: a clone must not give it away. */
bool names_another_module(const std::string& ssid, const std::string& own_mac);

#endif
