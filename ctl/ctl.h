/*
 * ctl.h - what the parts of kxd40ctl share: the checked command line, the
 * modules to handle, and the functions each part offers the others.
 *
 * The program runs on the GTK-free core, one module at a time, through the
 * core's globals (the one socket, the chosen module, the four records), so
 * every module is handled exactly as the window would handle it.
 */
#ifndef KXCTL_CTL_H
#define KXCTL_CTL_H

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace kxctl {

using ordered_json = nlohmann::ordered_json;

enum exit_code { EXIT_DONE = 0, EXIT_FAILED = 1, EXIT_USAGE = 2 };

/* Which modules a subcommand acts on. */
struct target_choice {
    std::vector<std::string> addresses; /* given on the command line */
    bool all = false;                   /* every module a search finds */
    std::string id_pattern;             /* modules whose ID matches (fnmatch) */
    bool searching() const { return all || !id_pattern.empty(); }
};

/* The options every subcommand understands. */
struct common_options {
    std::string from;   /* local address of the search; empty: the window's first */
    int tries = 4;      /* sends of a query or setting before the module is silent */
    int timeout_ms = 500;
    bool json = false;
};

/* One module found by a search, or named on the command line. */
struct module_ref {
    std::string ip, mac, id;
};

/* ---- targets.cpp: the socket, the search, the link ---- */

/* Opens the program's one socket; false with a message on stderr. */
bool open_socket();
/* The address the window offers first, or "" when there is none. */
std::string default_local_address();
/* The window's search from local; false with a message when it could not
 * run. */
bool search_modules(const std::string& local, std::vector<module_ref>* found);
/* The modules chosen: the given addresses, then the matching modules
 * of a search. False with a message when a search was needed and failed. */
bool resolve_targets(const target_choice& chosen, const common_options& o, std::vector<module_ref>* out);
/* Links to the module (keyword handshake); fills its ID from the answer
 * when it had none. False with a message on stderr. */
bool open_link(module_ref& m, const common_options& o);
/* After a silence: the link again, for the programs that resend. */
bool relink(module_ref& m, const common_options& o);
/* "kxd40ctl: IP: text" on stderr. */
void complain(const module_ref& m, const std::string& text);

/* ---- records.cpp: the four records as JSON, text and commands ---- */

/* The records read last, with named fields. */
ordered_json records_json(const module_ref& m);
/* The same as indented "name: value" lines. */
std::string records_text(const ordered_json& j);
/* The setting commands that give another module these settings, one per
 * line (without the MID, which is the module's own). */
std::vector<std::string> clone_commands();
/* The command the tool would send for name ("UART") to give a module the
 * records read last, or "" when name has no builder. */
std::string command_from_records(const std::string& name);

/* ---- actions.cpp: the subcommands, per module ---- */

/* Reads the four pages; false when the module fell silent. */
bool read_module(module_ref& m, const common_options& o);

/* ---- progress.cpp ---- */

/* Draws the upload's progress on stderr when it is a terminal. */
class progress_bar {
public:
    explicit progress_bar(const std::string& label);
    ~progress_bar();
    void update(long long bytes, long long total);
    static void hook(long long bytes, long long total, void* self);
    long long bytes() const { return bytes_; }

private:
    std::string label_;
    long long bytes_ = 0;
    bool tty_;
    bool drawn_ = false;
    long long started_ms_;
};

} // namespace kxctl

#endif
