/*
 * actions.h - the subcommands of kxd40ctl, called once the command line
 * has been checked and the targets resolved; each returns the program's
 * exit status.
 */
#ifndef KXCTL_ACTIONS_H
#define KXCTL_ACTIONS_H

#include <string>
#include <vector>

#include "ctl.h"

namespace kxctl {

enum class read_format { text, json, commands };

int run_search(const common_options& o);
int run_read(const std::vector<module_ref>& modules, const common_options& o, read_format format);
/* lines: the command file's text, read once for every module. */
int run_apply(const std::string& lines, const std::vector<module_ref>& modules, const common_options& o,
              bool verify);
/* prefix: each reply line begins with the module's address. */
int run_send(const std::vector<std::string>& commands, const std::vector<module_ref>& modules,
             const common_options& o, bool prefix);
/* wait_s > 0: wait that long for each module to come back. */
int run_restart(const std::vector<module_ref>& modules, const common_options& o, int wait_s);
int run_reset(const std::vector<module_ref>& modules, const common_options& o);
int run_upload(const std::string& image, const std::vector<module_ref>& modules, const common_options& o,
               int wait_s);

} // namespace kxctl

#endif
