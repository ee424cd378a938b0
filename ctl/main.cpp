/*
 * main.cpp - kxd40ctl's command line: the subcommands, their options, and
 * the checks that all pass before the first datagram is sent.
 *
 * A usage error exits with 2 and one line on stderr; whatever a module
 * answers or fails to answer is the actions' affair (0 or 1).
 */
#include <CLI/CLI.hpp>
#include <cstdio>

#include "actions.h"
#include "netio.h"

#ifndef KXD40CTL_VERSION
#define KXD40CTL_VERSION "unknown"
#endif

namespace {

using namespace kxctl;

bool is_address(const std::string& text)
{
    unsigned char bytes[4];
    return parse_dotted_ipv4(text.c_str(), bytes) == 1;
}

void add_link_options(CLI::App* sub, common_options& o)
{
    sub->add_option("--tries", o.tries,
                    "sends of a keyword, query or setting before the module counts as silent")
        ->check(CLI::Range(1, 100))
        ->capture_default_str();
    sub->add_option("--timeout", o.timeout_ms, "milliseconds to wait for an answer before sending again")
        ->check(CLI::Range(1, 60000))
        ->capture_default_str();
}

void add_search_options(CLI::App* sub, common_options& o)
{
    sub->add_option("--from", o.from,
                    "local address to search from (the /24 broadcast of it); default: the first "
                    "address the window offers");
}

void add_targets(CLI::App* sub, target_choice& t, common_options& o)
{
    sub->add_option("targets", t.addresses, "module addresses");
    sub->add_flag("--all", t.all, "every module a search finds");
    sub->add_option("--id", t.id_pattern, "modules whose ID matches the shell pattern");
    add_search_options(sub, o);
    add_link_options(sub, o);
}

/* The checks CLI11 cannot make; "" when all pass. */
std::string check(const target_choice& t, const common_options& o, bool needs_targets)
{
    for (const std::string& a : t.addresses)
        if (!is_address(a))
            return "not a module address: " + a;
    if (!o.from.empty() && !is_address(o.from))
        return "--from is not an IPv4 address: " + o.from;
    if (needs_targets && t.addresses.empty() && !t.searching())
        return "no module named: give addresses, --all or --id PATTERN";
    return "";
}

int usage_error(const std::string& why)
{
    std::fprintf(stderr, "kxd40ctl: %s (try --help)\n", why.c_str());
    return EXIT_USAGE;
}

} // namespace

int main(int argc, char** argv)
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    CLI::App app{"Configures KX-D40 serial-to-WiFi modules over UDP from a shell: search, read, "
                 "apply command files, send AT commands, restart, reset, upload firmware.\n"
                 "Exit status: 0 when every module did what was asked, 1 when any failed or did "
                 "not answer, 2 for a usage error.",
                 "kxd40ctl"};
    app.set_version_flag("--version", KXD40CTL_VERSION);
    app.require_subcommand(1, 1);

    common_options o;
    target_choice t;
    std::string file;
    std::vector<std::string> commands;
    bool json = false, as_commands = false, verify = false;

    CLI::App* search = app.add_subcommand("search", "list the modules that answer the search keyword");
    add_search_options(search, o);
    search->add_flag("--json", o.json, "a JSON array of {ip, mac, id}");

    CLI::App* read = app.add_subcommand("read", "read the four settings pages of each module");
    add_targets(read, t, o);
    CLI::Option* json_opt = read->add_flag("--json", json, "one JSON object per module and line");
    read->add_flag("--commands", as_commands,
                   "a command file that gives another module the same settings (MID aside)")
        ->excludes(json_opt);

    CLI::App* apply = app.add_subcommand("apply", "send a command file's lines to each module");
    apply->add_option("file", file, "command file: AT lines, ended by a line E")
        ->required()
        ->check(CLI::ExistingFile);
    add_targets(apply, t, o);
    apply->add_flag("--verify", verify, "read each module again and report every setting that differs");

    CLI::App* send = app.add_subcommand("send", "send AT commands to one module, print the replies");
    std::string address;
    send->add_option("target", address, "module address")->required();
    send->add_option("commands", commands, "AT commands, e.g. AT+WMODE or AT+WMODE=STA")->required();
    add_link_options(send, o);

    CLI::App* restart = app.add_subcommand("restart", "restart each module (AT+Z)");
    add_targets(restart, t, o);
    CLI::App* reset = app.add_subcommand("reset", "restore each module's factory settings (AT+RELD)");
    add_targets(reset, t, o);

    CLI::App* upload = app.add_subcommand("upload", "upload a firmware image to each module");
    upload->add_option("image", file, "firmware image file")->required()->check(CLI::ExistingFile);
    add_targets(upload, t, o);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0)
            return app.exit(e);
        return usage_error(e.what());
    }

    bool needs_targets = !search->parsed() && !send->parsed();
    if (send->parsed())
        t.addresses.push_back(address);
    std::string why = check(t, o, needs_targets);
    if (!why.empty())
        return usage_error(why);

    if (search->parsed())
        return run_search(o);
    if (read->parsed())
        return run_read(t, o, as_commands ? read_format::commands : json ? read_format::json : read_format::text);
    if (apply->parsed())
        return run_apply(file, t, o, verify);
    if (send->parsed())
        return run_send(address, commands, o);
    if (restart->parsed())
        return run_restart(t, o);
    if (reset->parsed())
        return run_reset(t, o);
    return run_upload(file, t, o);
}
