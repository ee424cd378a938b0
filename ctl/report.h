/*
 * report.h - what kxd40ctl shows of a fleet at work.
 *
 * On stderr, the progress: on a terminal one line per module, redrawn in
 * place (address, ID, step or share sent, result); elsewhere one plain
 * line per module event; then a summary. On stdout, the results: the
 * action's text, or one JSON object per module with --json and nothing
 * else (read --csv: a header, then a row per module), in the order of the
 * modules: a module's results are held until every module before it has
 * finished, so two runs compare line by line.
 * Every line is written whole under one lock, so no two modules' output
 * ever meets in a line. A write to stdout that fails is told once on
 * stderr; a reader that went away (EPIPE) stops the run.
 */
#ifndef KXCTL_REPORT_H
#define KXCTL_REPORT_H

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "ctl.h"

namespace kxctl {

enum { JSON_SCHEMA = 1 };

/* What became of one module. Skipped is a success (it was already as
 * asked); not started is a failure (a rollout's gate held it back). */
enum class outcome { done, failed, not_reached, stopped, skipped, not_started };
enum { OUTCOMES = 6 };
/* Whether a module so ended was not as asked: what --failed-to lists. */
bool failure(outcome o);

const char* outcome_text(outcome o);

/* The exit status of a run stopped because its stdout was closed: that of
 * a program killed by SIGPIPE, as every other writer of a pipeline gives. */
constexpr int EXIT_OUTPUT_CLOSED = 141;

/* How one module's action ended: its outcome and what it tells. */
struct module_result {
    module_ref m;
    outcome how;
    std::string error;
    ordered_json data; /* the action's, for JSON */
    std::string note;  /* after "done" on a terminal */
};

/* Each module's end as the report takes it: the result, whether the module
 * answered its keyword, and the seconds since its first step (0 when it
 * never began). Set before the run; for the metrics file. */
using module_end_hook = void (*)(const module_result& r, bool answered, double seconds);
void on_module_end(module_end_hook hook);

class fleet_report {
public:
    fleet_report(const std::string& action, const std::vector<module_ref>& modules, const common_options& o);

    void linked(size_t i, const module_ref& m);
    void step(size_t i, const std::string& what);
    void share(size_t i, long long bytes, long long total);
    void print(size_t i, const std::string& text);
    void finish(size_t i, const module_result& t);
    /* Modules that never started because the program was stopped. */
    void never_started(size_t i);
    /* Modules a rollout held back; why is the error they report. */
    void not_started(size_t i, const std::string& why);

    /* What is still held for stdout, the summary on stderr (for more than
     * one module), and the failed addresses into o.failed_to. False when
     * stdout or that file could not be written. */
    bool close();

    /* The counts so far. */
    int count(outcome o) const;

private:
    struct row {
        module_ref m;
        std::string state = "waiting";
        bool ended = false;
        outcome how = outcome::done;
        std::string error;
        int last_share = -1;
        long long drawn_ms = 0;
        ordered_json data = ordered_json::object(); /* the action's, for JSON */
        std::string out; /* results held for stdout */
        bool answered = false; /* linked: the module answered its keyword */
        std::chrono::steady_clock::time_point began{}; /* its first step */
    };
    void show(size_t i);
    void draw_line(size_t i);
    void event(size_t i, const std::string& text);
    void ended(size_t i);
    void unstarted(size_t i, outcome how, const std::string& why);
    void release();

    std::string action_;
    const common_options& o_;
    std::vector<row> rows_;
    bool live_;      /* stderr is a terminal: lines redrawn in place */
    bool quiet_;     /* one module, or -q: no progress lines, only errors (and the summary) */
    bool hold_out_;  /* stdout is the same terminal: results wait for the end */
    size_t released_ = 0; /* rows whose results went to stdout */
    mutable std::mutex lock_;
};

/* Writes text to stdout whole and flushed. A failure is told once on
 * stderr ("kxd40ctl: cannot write standard output: ..."), and nothing
 * more is written; a closed pipe also calls the stop given to
 * on_output_closed (the fleet's). False when stdout has failed, now or
 * before. */
bool write_standard_output(const std::string& text);

/* What a closed pipe on stdout stops besides the output: set by the run
 * that writes, before its first line. */
void on_output_closed(void (*stop)());

/* read --csv's header and one module's row, as the read hands them
 * before its run: the columns are the pages', which the read knows. */
using csv_row_text = std::function<std::string(const module_ref& m, const std::string& result,
                                               const std::string& error, const ordered_json& data)>;
void on_csv_rows(std::string (*header)(), csv_row_text row);

/* The end of stdout at the program's end: flushed and closed, checked.
 * Returns status, or when stdout failed and status was 0, 1 (141 for a
 * closed pipe). */
int close_standard_output(int status);

/* A module's text made valid UTF-8, as the window shows it. */
std::string shown(const std::string& bytes);

} // namespace kxctl

#endif
