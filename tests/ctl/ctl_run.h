/*
 * ctl_run.h - runs the real kxd40ctl for a test: its exit status, stdout
 * and stderr, and its JSON Lines.
 */
#ifndef KX_TESTS_CTL_RUN_H
#define KX_TESTS_CTL_RUN_H

#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <sys/types.h>
#include <vector>

struct ctl_result {
    int status = -1; /* the exit status, or -1 when it did not exit */
    std::string out, err;
};

/* kxd40ctl with args, to its end, reading input on its stdin. When stop_at
 * is given, SIGINT goes to it once its stderr holds that text. */
ctl_result ctl(std::vector<std::string> args, const std::string& stop_at = "", const std::string& input = "");

/* The same with these "NAME=VALUE" in its environment ("NAME" alone
 * unsets NAME). Every kxd40ctl of a test starts without the KXD40CTL_
 * variables and with XDG_DATA_HOME naming no directory, so that the
 * user's own defaults and installed keyword never reach a test. */
ctl_result ctl_env(const std::vector<std::string>& env, std::vector<std::string> args,
                   const std::string& alone_in = "");
/* alone_in: in that directory and a network of its own, where nothing
 * answers, so that runs waiting out a whole search can go side by side. */

/* kxd40ctl writing its stdout to out_path (a device, a FIFO) while
 * meanwhile(its PID) runs in the test; out stays empty. */
ctl_result ctl_out_to(std::vector<std::string> args, const std::string& out_path,
                      const std::function<void(pid_t)>& meanwhile = [](pid_t) {});

/* One object per line. */
std::vector<nlohmann::json> json_lines(const std::string& out);
/* ip -> the run's object for it; every line must be one module's. */
std::map<std::string, nlohmann::json> by_address(const std::string& out);
/* The module's settings as read --json gives them (null when it fails). */
nlohmann::json settings_of(const std::string& ip);

class sim_process;
/* The lines that change a module (a setting, AT+Z, AT+RELD) the
 * simulator received from its log's entry from on, "IP AT+..." each. */
std::string changes_since(const sim_process& sim, size_t from);

/* What went to the modules since the log's entry first, one "IP bytes" a
 * line: the keyword as "keyword", the "+ok" that opens a link left out. */
std::string sent_since(const sim_process& sim, size_t first);

/* A run told whole: its exit status, its stdout, "--", its stderr. */
std::string whole(const ctl_result& r);

/* One row of a table of runs on one simulator, in order: kxd40ctl with
 * args, where "FILE" stands for a file holding text, "@FILE" for that
 * file as a target list (text is its stdin
 * too); the run told whole; the changes_since() it made. A usage error
 * (2, one line on stderr alone) must send nothing at all. */
struct ctl_case {
    std::vector<std::string> args;
    std::string text, told, changes;
};
void expect_cases(const sim_process& sim, const std::vector<ctl_case>& cases);

std::string file_text(const std::string& path);
void write_file(const std::string& path, const std::string& text);

#endif
