/*
 * desired.h - how a module should be set: a command file or a settings
 * document taken as values, and what a module must be sent to match it.
 *
 * Both forms become the values of setting commands (setting_values.h).
 * Lines the tool does not know as settings, or whose values it cannot
 * read exactly, stay lines: they are always sent as written and never
 * compared. A module is then compared command by command with the values
 * it would have after them; only a command that would change something is
 * sent, rebuilt from the module's values and the desired ones, so fields
 * nobody asked for stay as they are.
 */
#ifndef KXCTL_DESIRED_H
#define KXCTL_DESIRED_H

#include <set>
#include <string>
#include <vector>

#include "ctl.h"
#include "module.h"

namespace kxctl {

/* One line of a command file, or one command a document sets. */
struct desired_entry {
    std::string line;                /* as written; a document's: empty */
    bool too_long = false;           /* longer than a line may be */
    std::string command;             /* a setting command the tool compares, or "" */
    std::vector<std::string> items;  /* its values, by item; "" items left alone */
    std::vector<bool> given;         /* which items the entry sets */
};

struct desired_state {
    std::vector<desired_entry> entries;
    bool document = false; /* a settings document, not a command file */
    std::string mac;       /* a backup's: the module it was read from */
};

/* Reads a command file's text or a settings document (a JSON object: what
 * read --json prints for a module, {"settings": ...}, or the sections
 * themselves; fields left out are left alone), after a UTF-8 byte-order
 * mark if there is one. A command file holds at least one line, and each
 * line up to the closing "E" or the first empty line is an AT command.
 * False with why. */
bool load_desired(const std::string& text, desired_state* out, std::string* why);

/* The settings to leave alone: "sta.key", a section ("sta") or a command
 * name ("WSKEY"). False with why for a name that is none of these. */
bool add_exclusion(const std::string& name, std::set<std::string>* fields, std::string* why);

struct setting_difference {
    std::string name; /* "communication.baud" */
    std::string module, desired;
    bool number = false;
};

/* What a module must be sent to match. */
struct module_plan {
    std::vector<std::string> lines;     /* to send, in order */
    std::vector<bool> too_long;         /* per line */
    std::vector<setting_difference> differences;
    std::vector<std::string> uncompared; /* lines sent as written */
    std::string error;                   /* a desired value no module takes */
};

/* The plan for a module whose records were read, with MAC own_mac. With
 * force every line goes as written (a document's commands whole). A
 * factory access point name of another module (names_another_module) and
 * the excluded fields stay as the module has them; a line whose values
 * cannot be compared is left out when it sets an excluded field. The
 * error names a key or the web password only with show_secrets. */
module_plan plan_module(const module_pages& module, const std::string& own_mac, const desired_state& d,
                        const std::set<std::string>& excluded, bool force, bool show_secrets);

/* The differences as JSON: [{"name", "module", "desired"}]. */
ordered_json differences_json(const std::vector<setting_difference>& d);

/* line with the keys and the web password written as "********", for
 * text output. */
std::string without_secrets(const std::string& line);
bool secret_field(const std::string& path);

} // namespace kxctl

#endif
