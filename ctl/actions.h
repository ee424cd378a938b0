/*
 * actions.h - the subcommands of kxd40ctl, called once the command line
 * has been checked; each returns the program's exit status.
 */
#ifndef KXCTL_ACTIONS_H
#define KXCTL_ACTIONS_H

#include <string>
#include <vector>

#include "ctl.h"

namespace kxctl {

enum class read_format { text, json, commands };

int run_search(const common_options& o);
int run_read(const target_choice& t, const common_options& o, read_format format);
int run_apply(const std::string& file, const target_choice& t, const common_options& o, bool verify);
int run_send(const std::string& address, const std::vector<std::string>& commands, const common_options& o);
int run_restart(const target_choice& t, const common_options& o);
int run_reset(const target_choice& t, const common_options& o);
int run_upload(const std::string& image, const target_choice& t, const common_options& o);

} // namespace kxctl

#endif
