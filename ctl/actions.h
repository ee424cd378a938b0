/*
 * actions.h - the subcommands of kxd40ctl, called once the command line
 * has been checked and the targets resolved; each returns the program's
 * exit status.
 */
#ifndef KXCTL_ACTIONS_H
#define KXCTL_ACTIONS_H

#include <set>
#include <string>
#include <vector>

#include "ctl.h"

namespace kxctl {

enum class read_format { text, json, commands };

class module_task;
struct desired_state;

/* The steps the actions share. The four pages; false (the task failed)
 * when the module fell silent; the queries without a positive reply are
 * named in *unanswered. */
bool read_pages(module_task& t, std::string* unanswered);
/* A setting, sent again after a second handshake when the module fell
 * silent: 1 accepted, 0 refused, -1 silent. */
int setting(module_task& t, const std::string& line);

/* How apply, restore and diff treat what they are given. */
struct state_options {
    bool check = false;        /* report what would be sent, send no setting */
    bool force = false;        /* every line as written, without comparing */
    bool verify = false;       /* read back and compare by value */
    bool show_secrets = false; /* the keys and the web password in text output */
    std::set<std::string> excluded;
};

int run_search(const common_options& o);
int run_read(const std::vector<module_ref>& modules, const common_options& o, read_format format,
             bool show_secrets);
/* d: the command file or settings document, read once for every module. */
int run_apply(const desired_state& d, const std::vector<module_ref>& modules, const common_options& o,
              const state_options& s);
/* Exit status as diff(1): 0 all the same, 1 differences, 2 a module that
 * could not be compared. */
int run_diff(const desired_state& d, const std::vector<module_ref>& modules, const common_options& o,
             const state_options& s);
/* One settings document per module, dir/<MAC>.json. */
int run_backup(const std::string& dir, const std::vector<module_ref>& modules, const common_options& o);
/* Each module's own backup from dir (found by its MAC), or, when dir is
 * empty, the one backup given onto every module. */
int run_restore(const std::string& dir, const desired_state& one, const std::vector<module_ref>& modules,
                const common_options& o, const state_options& s);
/* prefix: each reply line begins with the module's address. */
int run_send(const std::vector<std::string>& commands, const std::vector<module_ref>& modules,
             const common_options& o, bool prefix);
/* wait_s > 0: wait that long for each module to come back. */
int run_restart(const std::vector<module_ref>& modules, const common_options& o, int wait_s);
int run_reset(const std::vector<module_ref>& modules, const common_options& o);
/* What upload is asked besides its image. */
struct upload_options {
    int wait_s = 0;            /* > 0: wait that long for each module to come back on a new version */
    std::string version_after; /* the version the image brings; a module on it is skipped */
    bool check = false;        /* link and read each module's version; send nothing that changes it */
};
int run_upload(const std::string& image, const std::vector<module_ref>& modules, const common_options& o,
               const upload_options& u);

} // namespace kxctl

#endif
