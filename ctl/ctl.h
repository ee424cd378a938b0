/*
 * ctl.h - what the parts of kxd40ctl share: the checked command line, the
 * modules to handle, and the functions each part offers the others.
 *
 * The program runs on the GTK-free core. Every module has a link of its
 * own (module_link) on the one socket, and a worker thread runs the
 * module's action on it as the sequence of exchanges it is; the hub's
 * receiver hands each worker its module's datagrams, so the modules of a
 * fleet are handled side by side and a silent one delays no other.
 */
#ifndef KXCTL_CTL_H
#define KXCTL_CTL_H

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "link.h"

namespace kxctl {

using ordered_json = nlohmann::ordered_json;

enum exit_code { EXIT_DONE = 0, EXIT_FAILED = 1, EXIT_USAGE = 2, EXIT_INTERRUPTED = 130 };

/* Which modules a subcommand acts on. */
struct target_choice {
    std::vector<std::string> addresses; /* checked: dotted IPv4 addresses, each once */
    bool all = false;                   /* every module a search finds */
    std::string id_pattern;             /* modules whose ID matches (fnmatch) */
    bool searching() const { return all || !id_pattern.empty(); }
};

/* The options every subcommand understands. */
struct common_options {
    std::vector<std::string> from;       /* local addresses whose networks the search broadcasts to;
                                            none: the window's first */
    std::vector<std::string> broadcasts; /* further broadcast addresses of the search */
    std::vector<std::string> sweep;      /* search: checked addresses asked one by one instead */
    int sweep_rate = 1500;               /* keywords a second of a sweep */
    int tries = 4;        /* sends of a keyword, query or setting before the module is silent */
    int timeout_ms = 500; /* wait for an answer before sending again */
    int jobs = 0;         /* modules handled at once; 0: all (at most 1000) */
    int stagger_ms = 0;   /* between two modules' starts */
    bool json = false;    /* JSON Lines on stdout */
    bool csv = false;     /* comma-separated values on stdout (search, read) */
    bool quiet = false;   /* -q: on stderr only the failures and the summary */
    std::string failed_to; /* file for the addresses that failed */
    int canary = 0;        /* a rollout's first modules, which go alone before the rest */
    int max_fail = -1;     /* more failures than this and no further module starts; -1: no limit */
    std::string prometheus; /* search, read, diff: the metrics file (prometheus.h) */
    std::string keyword_file; /* given; empty: ./data/aswd.txt, else the installed window's */
};

/* One module found by a search, or named on the command line. */
struct module_ref {
    std::string ip, mac, id;
};

/* ---- targets.cpp: the socket, the search, the targets ---- */

/* Opens the program's one socket; false with a message on stderr. */
bool open_socket();
/* The machine's addresses a search can start from (the window's list). */
std::vector<std::string> local_choices();
/* The address the window offers first, or "" when there is none. */
std::string default_local_address();
/* The modules chosen: the given addresses, then the matching modules of a
 * search, each once. False with a message when a search was needed and
 * failed or found none. */
bool resolve_targets(const target_choice& chosen, const common_options& o, std::vector<module_ref>* out);
/* Sorts modules by address, so that two runs' outputs compare line by line. */
void in_address_order(std::vector<module_ref>::iterator first, std::vector<module_ref>::iterator last);
/* The words with ", " between them. */
std::string joined(const std::vector<std::string>& words);
/* "kxd40ctl: IP: text" on stderr, whole. */
void complain(const module_ref& m, const std::string& text);

/* ---- records.cpp: the four pages as JSON, text and commands ---- */

/* The pages with named fields. */
ordered_json pages_json(const module_pages& p);
/* The same as indented "name: value" lines under "module IP (ID)"; the
 * keys and the web password as "********" unless show_secrets. */
std::string records_text(const module_ref& m, const ordered_json& pages, bool show_secrets);
/* One field's value as the text and CSV outputs write it: a string as it
 * is, a number in digits, a key or the web password as "********" unless
 * show_secrets. */
std::string field_text(const std::string& page, const std::string& field, const ordered_json& v, bool show_secrets);
/* The setting commands that give another module these pages, one per line
 * (without the MID, which is the module's own), but for the commands
 * whose query in unanswered ("AT+UART AT+NETP") got no positive reply. */
std::vector<std::string> clone_commands(const module_pages& p, const std::string& unanswered = "");
/* The command the tool would send for name ("UART") to give a module these
 * pages, or "" when name has no builder. */
std::string command_from_pages(const module_pages& p, const std::string& name);

} // namespace kxctl

#endif
