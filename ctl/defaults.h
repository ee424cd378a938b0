/*
 * defaults.h - where kxd40ctl's defaults come from besides its own
 * options: the keyword file it shares with the installed window, and the
 * environment variables that hold the options a site always passes.
 */
#ifndef KXCTL_DEFAULTS_H
#define KXCTL_DEFAULTS_H

#include <string>

namespace CLI {
class App;
}

namespace kxctl {

/* Gives each option of sub that the command line left out the value of
 * its variable (KXD40CTL_FROM for --from, ...; an empty variable counts
 * as unset), through the option's own checks. "" when all went well,
 * else the usage error, naming the variable. */
std::string apply_environment(CLI::App* sub);

/* How the value of option reached the program, for a usage error:
 * "--from 192.0.2.1" or "KXD40CTL_FROM=192.0.2.1". */
std::string given_as(const std::string& option, const std::string& value);

/* True when option's value came from its variable, not the command line. */
bool from_environment_only(const std::string& option);

/* Reads the search keyword into the core's aswd: from the file given
 * (--keyword-file), else from data/aswd.txt in the current directory when
 * it is there, else from the installed window's working directory
 * ($XDG_DATA_HOME/kxd40-tool/data/aswd.txt, as the launcher makes it),
 * else the default keyword. False with why when a given file cannot be
 * read. */
bool load_keyword(const std::string& given, std::string* why);

/* What the search sent, for a search nobody answered: "the keyword of
 * FILE" or "the default keyword, no keyword file". */
std::string keyword_origin();

} // namespace kxctl

#endif
