/*
 * main.cpp - kxd40ctl's command line: the subcommands, their options, and
 * the checks that all pass before the first datagram is sent.
 *
 * A usage error exits with 2 and one line on stderr; whatever a module
 * answers or fails to answer is the actions' affair (0, 1, or 130 when
 * the program was stopped).
 */
#include <CLI/CLI.hpp>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <unistd.h>

#include "desired.h"

#include "actions.h"
#include "data_file.h"
#include "defaults.h"
#include "prometheus.h"
#include "report.h"
#include "target_list.h"
#include "version.h"


namespace {

using namespace kxctl;

/* Everything the command line says. */
struct command_line {
    common_options o;
    target_choice t;
    std::vector<std::string> words; /* targets as given: addresses, ranges, @FILE */
    std::vector<std::string> sweep; /* search --sweep's blocks as given */
    std::string file;
    std::vector<std::string> commands;
    bool as_json = false, as_commands = false, yes = false;
    state_options s;
    std::vector<std::string> exclude;
    int wait_s = 0;
    upload_options upload;
    std::string max_fail; /* N or P% as given: a share is known once the targets are */
};

/* send's one positional holds its targets and then its commands, which
 * CLI11's usage line, made from the positional's name, cannot say. */
struct send_usage : CLI::Formatter {
    std::string make_usage(const CLI::App*, std::string name) const override
    {
        return get_label("Usage") + ": " + name + " [OPTIONS] TARGET... COMMAND...\n";
    }
};

void add_link_options(CLI::App* sub, common_options& o)
{
    sub->add_option("--tries", o.tries, "sends of a keyword, query or setting before the module counts as silent")
        ->check(CLI::Range(1, 100))
        ->capture_default_str();
    sub->add_option("--timeout", o.timeout_ms, "milliseconds to wait for an answer before sending again")
        ->check(CLI::Range(1, 60000))
        ->capture_default_str();
}

void add_search_options(CLI::App* sub, common_options& o)
{
    sub->add_option("--from", o.from,
                    "one of this machine's addresses: the search broadcasts to its network (may be repeated); "
                    "default: the first of them that the window offers")
        ->allow_extra_args(false);
    sub->add_option("--broadcast", o.broadcasts,
                    "a further broadcast address the search sends to, such as another subnet's (may be "
                    "repeated)")
        ->allow_extra_args(false)
        ->option_text("ADDR");
    sub->add_option("--keyword-file", o.keyword_file,
                    "the search keyword's file (default: data/aswd.txt here, else the installed window's "
                    "$XDG_DATA_HOME/kxd40-tool/data/aswd.txt, else KX-D40LOCATORPING)")
        ->option_text("FILE");
}

/* search, read and diff: what they learn of the fleet, for monitoring. */
void add_prometheus_option(CLI::App* sub, common_options& o)
{
    sub->add_option("--prometheus", o.prometheus,
                    "also write the run's results to FILE in Prometheus's text format, replaced whole, for a "
                    "node exporter's textfile collector (FILE ending in .prom)")
        ->option_text("FILE");
}

void add_fleet_options(CLI::App* sub, command_line& c)
{
    sub->add_option("targets", c.words,
                    "modules: addresses, ranges such as 198.51.100.10-49, blocks such as 10.1.0.0/22, @FILE (one "
                    "per line, # comments; or a CSV with an ip column)");
    sub->add_flag("--all", c.t.all, "every module a search finds");
    sub->add_option("--id", c.t.id_pattern,
                    "the modules a search finds whose ID matches the shell pattern (with or without --all); "
                    "addresses named are taken as they are");
    sub->add_option("--jobs", c.o.jobs, "modules handled at once (default: all, at most 1000)")->check(CLI::Range(1, 10000));
    sub->add_option("--stagger", c.o.stagger_ms, "the n-th module starts no sooner than (n - 1) times MS after the first")
        ->check(CLI::Range(0, 600000))
        ->option_text("MS")
        ->capture_default_str();
    sub->add_option("--failed-to", c.o.failed_to,
                    "write the addresses that failed, were not reached, not started or stopped to FILE, one per "
                    "line in the modules' order (empty when all were done or skipped)")
        ->option_text("FILE");
    sub->add_flag("--json", c.o.json, "one JSON object per module on stdout (JSON Lines)");
    sub->add_flag("-q,--quiet", c.o.quiet,
                  "on stderr only the failures and the summary: no progress, no line for a module done "
                  "(the results on stdout stay)");
    add_search_options(sub, c.o);
    add_link_options(sub, c.o);
}

/* --max-fail's value: a count, or a share of the targets; "" when good. */
std::string max_fail_error(const std::string& v)
{
    std::string digits = !v.empty() && v.back() == '%' ? v.substr(0, v.size() - 1) : v;
    bool number = !digits.empty() && digits.size() <= 6 && digits.find_first_not_of("0123456789") == std::string::npos;
    if (number && (digits == v || std::stoi(digits) <= 100))
        return "";
    return "wants a count N or a share P% (at most 100%): " + v;
}

/* upload's options: a rollout that skips what is done already and stops
 * before a bad image reaches the whole fleet. */
void add_upload_options(CLI::App* upload, command_line& c)
{
    upload->add_option("--wait", c.upload.wait_s,
                       "seconds to wait for each module's restart; then its version before and after")
        ->check(CLI::Range(1, 3600));
    upload->add_option("--version-after", c.upload.version_after,
                       "the version the image brings, as the module's AT+VER gives it: a module already on it is "
                       "skipped; with --wait, a module is done only when it comes back on it")
        ->option_text("V");
    upload->add_option("--canary", c.o.canary,
                       "the first N modules go alone; the rest start only when every one of them is done or skipped")
        ->check(CLI::Range(1, 100000))
        ->option_text("N");
    upload->add_option("--max-fail", c.max_fail,
                       "once more than N modules (or P% of the targets, rounded down) have failed or were not "
                       "reached, start no further one")
        ->check(max_fail_error)
        ->option_text("N|P%");
    upload->add_flag("--check", c.upload.check,
                     "link each module and read its version; report which would be uploaded or skipped; send no "
                     "image (--canary and --max-fail hold nothing back)");
}

/* --max-fail's share of the targets, and no rollout's gate for a plan. */
void rollout_limits(command_line& c, size_t targets)
{
    if (c.upload.check) {
        c.o.canary = 0;
        return;
    }
    if (c.max_fail.empty())
        return;
    bool share = c.max_fail.back() == '%';
    long n = std::stol(share ? c.max_fail.substr(0, c.max_fail.size() - 1) : c.max_fail);
    c.o.max_fail = static_cast<int>(share ? n * static_cast<long>(targets) / 100 : n);
}

/* The checks CLI11 cannot make; "" when all pass. */
std::string check(command_line& c, bool needs_targets)
{
    std::string why = expand_targets(c.words, &c.t.addresses);
    if (!why.empty())
        return why;
    std::vector<std::string> mine = c.o.from.empty() ? std::vector<std::string>() : local_choices();
    for (const std::string& from : c.o.from)
        if (std::find(mine.begin(), mine.end(), from) == mine.end())
            return given_as("--from", from) + " is not an address of this machine (it has: " +
                   (mine.empty() ? "none" : joined(mine)) + ")";
    for (const std::string& b : c.o.broadcasts) {
        unsigned char bytes[4];
        if (!parse_dotted_ipv4(b.c_str(), bytes))
            return "--broadcast " + b + " is not an address";
    }
    if (needs_targets && c.t.addresses.empty() && !c.t.searching())
        return "no module named: give addresses, --all or --id PATTERN";
    return "";
}

/* A sweep asks each address itself, so nothing of a broadcast goes with
 * it; KXD40CTL_FROM, a default for every search, is left unused. */
std::string check_sweep(command_line& c)
{
    if (!c.o.broadcasts.empty())
        return "--sweep and --broadcast exclude each other";
    if (!c.o.from.empty() && !from_environment_only("--from"))
        return "--sweep and --from exclude each other: a sweep sends to each address from the machine's own "
               "route to it";
    std::string why = expand_targets(c.sweep, &c.o.sweep);
    if (why.empty() && c.o.sweep.empty())
        why = "--sweep names no address to send to";
    return why;
}

int usage_error(const std::string& why)
{
    std::fprintf(stderr, "kxd40ctl: %s (try --help)\n", why.c_str());
    return EXIT_USAGE;
}

void add_state_options(CLI::App* sub, command_line& c, bool sends)
{
    sub->add_option("--exclude", c.exclude,
                    "leave this setting alone: a field such as sta.key, a section such as sta, or a command "
                    "such as WSKEY (may be repeated)")
        ->option_text("NAME")
        ->allow_extra_args(false);
    sub->add_flag("--show-secrets", c.s.show_secrets, "show the keys and the web password in text output");
    if (!sends)
        return;
    sub->add_flag("--check", c.s.check, "read each module and report what would be sent; send no setting");
    sub->add_flag("--force", c.s.force, "send every line as written, without reading the module first");
    sub->add_flag("--verify", c.s.verify, "read each module again and report every setting that differs, by value");
}

/* The desired settings, read and checked before anything is sent; the
 * exit status when they cannot be, else -1. */
int load_checked(const std::string& path, desired_state* d, bool document)
{
    std::string text, why;
    if (!read_command_text(path, &text))
        return EXIT_FAILED;
    bool loaded = load_desired(text, d, &why);
    if (loaded && document && !d->document) {
        loaded = false;
        why = "a backup is a JSON settings document, not a command file";
    }
    if (!loaded) {
        std::fprintf(stderr, "kxd40ctl: %s: %s\n", path.c_str(), why.c_str());
        return EXIT_USAGE;
    }
    return -1;
}

/* Restarting or resetting a whole fleet at once is not done by a slip:
 * on a terminal the user says yes, elsewhere --yes does. Without a
 * terminal this is known before the search, which then is not sent. */
bool can_ask() { return isatty(STDIN_FILENO) && isatty(STDERR_FILENO); }

int needs_yes(const char* what, const command_line& c)
{
    if (c.yes || can_ask() || (!c.t.searching() && c.t.addresses.size() < 2))
        return -1;
    return usage_error(std::string(what) + " of more than one module needs --yes when there is no terminal to ask on");
}

int confirmed(const char* what, size_t modules, const command_line& c)
{
    if (modules < 2 || c.yes)
        return -1;
    if (!can_ask())
        return usage_error(std::string(what) + " of " + std::to_string(modules) +
                           " modules needs --yes when there is no terminal to ask on");
    std::fprintf(stderr, "kxd40ctl: %s %zu modules? [y/N] ", what, modules);
    char answer[16] = "";
    if (std::fgets(answer, sizeof answer, stdin) == nullptr || (answer[0] != 'y' && answer[0] != 'Y')) {
        std::fprintf(stderr, "kxd40ctl: nothing sent\n");
        return EXIT_FAILED;
    }
    return -1;
}

/* The socket, then the modules chosen; the exit status when either
 * failed, else -1. The modules named come first as named, then those a
 * search found, in address order: they answer in any order, and the
 * results of two runs must compare line by line. */
int prepare(const command_line& c, std::vector<module_ref>* modules)
{
    if (!open_socket())
        return EXIT_FAILED;
    if (!resolve_targets(c.t, c.o, modules)) {
        metrics_run_error("targets", "the modules to act on could not be found");
        return EXIT_FAILED;
    }
    auto found = modules->begin() + static_cast<long>(std::min(c.t.addresses.size(), modules->size()));
    in_address_order(found, modules->end());
    return -1;
}

/* How many words follow option name as its value: 0 or 1, or -1 when no
 * subcommand has that option, or the program has it itself (--help). */
int value_words(CLI::App& app, const std::string& word)
{
    size_t equals = word.find('=');
    std::string name = word.substr(0, equals);
    if (app.get_option_no_throw(name) != nullptr)
        return -1;
    for (CLI::App* sub : app.get_subcommands([](CLI::App*) { return true; })) {
        const CLI::Option* opt = sub->get_option_no_throw(name);
        if (opt != nullptr)
            return opt->get_expected_max() == 0 || equals != std::string::npos ? 0 : 1;
    }
    return -1;
}

/* The options given before the subcommand ("kxd40ctl --id 'L*' read")
 * moved right behind it, where it takes them as its own, so each option
 * is defined and checked once. Anything else stays as given, for the
 * parser to take or refuse. */
std::vector<std::string> subcommand_first(CLI::App& app, int argc, char** argv)
{
    std::vector<std::string> args(argv, argv + argc);
    for (size_t i = 1; i < args.size();) {
        if (args[i].size() < 2 || args[i][0] != '-') {
            auto named = [&](CLI::App* sub) { return sub->check_name(args[i]); };
            auto sub = args.begin() + static_cast<long>(i);
            if (i > 1 && !app.get_subcommands(named).empty())
                std::rotate(args.begin() + 1, sub, sub + 1);
            break;
        }
        int values = value_words(app, args[i]);
        if (values < 0)
            break;
        i += 1 + static_cast<size_t>(values);
    }
    return args;
}

/* The program but for the end of stdout. */
int run(int argc, char** argv)
{
    CLI::App app{"Configures KX-D40 serial-to-WiFi modules over UDP from a shell: search, read, make modules "
                 "match desired settings (diff, apply, backup, restore), send AT commands, restart, reset, "
                 "upload firmware; on many modules at once.\n"
                 "Exit status: 0 when every module did what was asked, 1 when any failed or did not answer, "
                 "2 for a usage error, 130 when stopped by Ctrl-C or SIGTERM, 141 when stopped because "
                 "standard output was closed; diff: 0 the same, 1 differences, 2 trouble.\n"
                 "A subcommand's options may also come before it.",
                 "kxd40ctl"};
    app.set_version_flag("--version", "kxd40ctl " KXD40_VERSION);
    app.footer("Environment: KXD40CTL_FROM, KXD40CTL_TRIES, KXD40CTL_TIMEOUT and KXD40CTL_KEYWORD_FILE give the "
               "defaults of --from, --tries, --timeout and --keyword-file; an option given wins.\n"
               "Keyword file: --keyword-file, else data/aswd.txt here, else the installed window's "
               "$XDG_DATA_HOME/kxd40-tool/data/aswd.txt (~/.local/share when unset).");
    app.require_subcommand(1, 1);
    command_line c;

    CLI::App* search = app.add_subcommand("search", "list every module that answers the search keyword");
    add_search_options(search, c.o);
    search->add_flag("--json", c.o.json, "one JSON object per module (JSON Lines)");
    search->add_flag("--csv", c.o.csv, "a header line, then one line per module, comma-separated (RFC 4180)");
    add_prometheus_option(search, c.o);
    CLI::Option* sweep = search->add_option(
        "--sweep", c.sweep,
        "instead of a broadcast, send the keyword to each address of the blocks (such as 10.2.0.0/22; also "
        "addresses, ranges, @FILE), one by one: for modules behind a router, where no broadcast arrives");
    sweep->option_text("BLOCK...");
    search->add_option("--rate", c.o.sweep_rate, "keywords a second that a sweep sends")
        ->check(CLI::Range(1, 100000))
        ->capture_default_str()
        ->needs(sweep);

    CLI::App* read = app.add_subcommand("read", "read the four settings pages of each module");
    add_fleet_options(read, c);
    add_prometheus_option(read, c.o);
    read->add_flag("--show-secrets", c.s.show_secrets, "show the keys and the web password in text and CSV output");
    read->add_flag("--commands", c.as_commands,
                   "a command file that gives another module the same settings (MID aside, and no command "
                   "whose query got no positive reply); not with --json or --csv");
    read->add_flag("--csv", c.o.csv,
                   "a header line, then one line per module, comma-separated (RFC 4180): --json's data "
                   "flattened, a page's fields named page.field; a failed module has its failure in the error "
                   "column");

    const char* desired_help = "desired settings: a command file (AT lines up to the first empty line or line "
                               "beginning with E) or a JSON settings document as read --json prints it (fields "
                               "left out are left alone); a regular file, or - for standard input";
    CLI::App* apply = app.add_subcommand("apply", "make each module's settings match: read it, send only the "
                                                  "settings that differ (lines that are no known setting are "
                                                  "always sent)");
    apply->add_option("desired", c.file, desired_help)->required();
    add_fleet_options(apply, c);
    add_state_options(apply, c, true);

    CLI::App* diff = app.add_subcommand("diff", "show each setting in which a module differs from the desired "
                                                "ones; exit status 0 same, 1 differences, 2 trouble");
    diff->add_option("desired", c.file, desired_help)->required();
    add_fleet_options(diff, c);
    add_prometheus_option(diff, c.o);
    add_state_options(diff, c, false);

    CLI::App* backup = app.add_subcommand("backup", "save each module's settings as DIR/<MAC>.json");
    backup->add_option("dir", c.file, "directory for the backups")->required()->check(CLI::ExistingDirectory);
    add_fleet_options(backup, c);

    CLI::App* restore = app.add_subcommand("restore", "give each module its own backup from DIR (found by its "
                                                      "MAC), or one backup FILE (identity left alone)");
    restore->add_option("backup", c.file, "directory of backups, or one backup file")->required();
    add_fleet_options(restore, c);
    add_state_options(restore, c, true);

    CLI::App* send = app.add_subcommand("send", "send AT commands to each module, print the replies: "
                                                "send TARGET... COMMAND... (the commands begin at the first "
                                                "word that begins with AT)");
    add_fleet_options(send, c);
    send->formatter(std::make_shared<send_usage>());
    send->get_option("targets")->description(
        "modules (addresses, ranges such as 198.51.100.10-49, blocks such as 10.1.0.0/22, @FILE), then the COMMANDs: AT commands, from the "
        "first word that begins with AT");

    CLI::App* restart = app.add_subcommand("restart", "restart each module (AT+Z)");
    add_fleet_options(restart, c);
    restart->add_option("--wait", c.wait_s, "seconds to wait for each module to come back")->check(CLI::Range(1, 3600));
    restart->add_flag("--yes", c.yes, "do not ask before restarting more than one module");

    CLI::App* reset = app.add_subcommand("reset", "restore each module's factory settings (AT+RELD)");
    add_fleet_options(reset, c);
    reset->add_flag("--yes", c.yes, "do not ask before resetting more than one module");

    CLI::App* upload = app.add_subcommand("upload", "upload a firmware image to each module (or only to those "
                                                    "not yet on --version-after), canaries first");
    upload->add_option("image", c.file, "firmware image, a regular file")->required();
    add_fleet_options(upload, c);
    add_upload_options(upload, c);

    try {
        std::vector<std::string> args = subcommand_first(app, argc, argv);
        std::vector<char*> words;
        for (std::string& w : args)
            words.push_back(&w[0]);
        app.parse(argc, words.data());
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0)
            return app.exit(e);
        return usage_error(e.what());
    }
    /* From here on, a run with --prometheus leaves a file however it ends. */
    CLI::App* metered[] = {search, read, diff};
    for (CLI::App* sub : metered)
        if (sub->parsed() && !c.o.prometheus.empty())
            metrics_to(c.o.prometheus, sub->get_name());
    /* Before any check, so a variable's value is checked as the option's. */
    for (CLI::App* sub : app.get_subcommands()) {
        std::string bad = apply_environment(sub);
        if (!bad.empty())
            return usage_error(bad);
    }
    std::string unreadable;
    if (!load_keyword(c.o.keyword_file, &unreadable))
        return usage_error(unreadable);

    if (read->parsed() && c.as_commands && (c.o.json || c.o.csv))
        return usage_error(std::string("--commands and ") + (c.o.json ? "--json" : "--csv") + " exclude each other");
    if (c.o.json && c.o.csv)
        return usage_error("--json and --csv exclude each other");
    if (send->parsed()) {
        split_send_words(&c.words, &c.commands);
        if (c.commands.empty() || (c.words.empty() && !c.t.searching()))
            return usage_error("send needs a target and a command, e.g. send 198.51.100.10 AT+VER");
        std::string refused = check_send_commands(c.commands);
        if (!refused.empty())
            return usage_error(refused);
    }
    std::string why = check(c, !search->parsed());
    if (why.empty() && !c.sweep.empty())
        why = check_sweep(c);
    if (!why.empty())
        return usage_error(why);
    if (search->parsed())
        return run_search(c.o);

    for (const std::string& name : c.exclude)
        if (!add_exclusion(name, &c.s.excluded, &why))
            return usage_error(why);
    if (c.s.check && (c.s.force || c.s.verify))
        return usage_error(std::string("--check and ") + (c.s.force ? "--force" : "--verify") + " exclude each other");
    if (c.s.force && !c.s.excluded.empty())
        return usage_error("--force sends every line as written: it leaves nothing alone, so not with --exclude");
    const char* drastic = restart->parsed() ? "restart" : reset->parsed() ? "reset" : nullptr;
    if (drastic != nullptr) {
        int refused = needs_yes(drastic, c);
        if (refused >= 0)
            return refused;
    }

    /* The file is read before anything is sent, and only a regular file
     * (or standard input) is: a device never ends, a FIFO may never open. */
    desired_state desired;
    if (apply->parsed() || diff->parsed()) {
        int bad = load_checked(c.file, &desired, false);
        if (bad >= 0)
            return diff->parsed() ? EXIT_USAGE : bad;
    }
    /* One backup for many modules must be a settings document. */
    if (restore->parsed() && !is_directory(c.file)) {
        int bad = load_checked(c.file, &desired, true);
        if (bad >= 0)
            return bad;
    }
    if (upload->parsed() && !image_or_complain(c.file))
        return EXIT_FAILED;

    std::vector<module_ref> modules;
    int failed = prepare(c, &modules);
    if (failed >= 0)
        return diff->parsed() ? EXIT_USAGE : failed;
    int refused = drastic != nullptr ? confirmed(drastic, modules.size(), c) : -1;
    if (refused >= 0)
        return refused;
    rollout_limits(c, modules.size());
    if (read->parsed())
        return run_read(modules, c.o, c.as_commands ? read_format::commands : read_format::text, c.s.show_secrets);
    if (apply->parsed())
        return run_apply(desired, modules, c.o, c.s);
    if (diff->parsed())
        return run_diff(desired, modules, c.o, c.s);
    if (backup->parsed())
        return run_backup(c.file, modules, c.o);
    if (restore->parsed())
        return run_restore(is_directory(c.file) ? c.file : "", desired, modules, c.o, c.s);
    if (send->parsed())
        return run_send(c.commands, modules, c.o, modules.size() > 1 || c.t.searching());
    if (restart->parsed())
        return run_restart(modules, c.o, c.wait_s);
    if (reset->parsed())
        return run_reset(modules, c.o);
    return run_upload(c.file, modules, c.o, c.upload);
}

} // namespace

int main(int argc, char** argv)
{
    /* A reader that went away is a failed write (EPIPE), told and ended as
     * Ctrl-C ends a run, not a death in the middle of a line. */
    std::signal(SIGPIPE, SIG_IGN);
    return close_standard_output(metrics_finish(run(argc, argv)));
}
