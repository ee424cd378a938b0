/*
 * defaults.cpp - the keyword file and the environment variables of
 * kxd40ctl.
 *
 * The window, once installed, works in $XDG_DATA_HOME/kxd40-tool, and a
 * keyword changed there must hold for the shell tool too, or a site would
 * find its modules with one program and not the other. A directory of the
 * window's own (./data) still comes first, as it always has.
 */
#include "defaults.h"

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <set>
#include <unistd.h>

#include "data_file.h"
#include "discovery.h"
#include "strutil.h"

namespace kxctl {
namespace {

/* Each variable stands for one option, and goes through that option's
 * checks, so its ranges are written once. */
struct env_default {
    const char* variable;
    const char* option;
};
const env_default env_defaults[] = {
    {"KXD40CTL_FROM", "--from"},
    {"KXD40CTL_TRIES", "--tries"},
    {"KXD40CTL_TIMEOUT", "--timeout"},
    {"KXD40CTL_KEYWORD_FILE", "--keyword-file"},
};

/* The options whose value came from the environment. */
std::set<std::string> from_environment;

std::string origin = "the default keyword, no keyword file";

/* The window's working directory, as the launcher computes it. */
std::string installed_keyword_file()
{
    const char* data = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    std::string base;
    if (data != nullptr && data[0] != '\0')
        base = data;
    else if (home != nullptr && home[0] != '\0')
        base = std::string(home) + "/.local/share";
    else
        return "";
    return base + "/kxd40-tool/data/aswd.txt";
}

bool read_keyword(const std::string& path)
{
    if (!read_keyword_file(path.c_str(), aswd))
        return false;
    origin = "the keyword of " + path;
    return true;
}

} // namespace

std::string apply_environment(CLI::App* sub)
{
    for (const env_default& e : env_defaults) {
        CLI::Option* opt = sub->get_option_no_throw(e.option);
        const char* value = std::getenv(e.variable);
        if (opt == nullptr || opt->count() > 0 || value == nullptr || value[0] == '\0')
            continue;
        try {
            opt->add_result(value);
            opt->run_callback();
        } catch (const CLI::Error& err) {
            return std::string(e.variable) + "=" + value + ": " + err.what();
        }
        from_environment.insert(e.option);
    }
    return "";
}

std::string given_as(const std::string& option, const std::string& value)
{
    for (const env_default& e : env_defaults)
        if (option == e.option && from_environment.count(option) > 0)
            return std::string(e.variable) + "=" + value;
    return option + " " + value;
}

bool from_environment_only(const std::string& option) { return from_environment.count(option) > 0; }

bool load_keyword(const std::string& given, std::string* why)
{
    copy_text(aswd, sizeof aswd, default_keyword);
    if (!given.empty()) {
        if (read_keyword(given))
            return true;
        *why = given_as("--keyword-file", given) + ": " + (errno == 0 ? "not a regular file" : std::strerror(errno));
        return false;
    }
    /* A keyword file that is there but cannot be read gives the default
     * keyword, as in the window. */
    std::string path = "data/aswd.txt";
    if (access(path.c_str(), F_OK) != 0) {
        path = installed_keyword_file();
        if (path.empty() || access(path.c_str(), F_OK) != 0)
            return true;
    }
    read_keyword(path);
    return true;
}

std::string keyword_origin() { return origin; }

} // namespace kxctl
