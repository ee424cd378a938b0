/*
 * report.h - what kxd40ctl shows of a fleet at work.
 *
 * On stderr, the progress: on a terminal one line per module, redrawn in
 * place (address, ID, step or share sent, result); elsewhere one plain
 * line per module event; then a summary. On stdout, the results: the
 * action's text, or one JSON object per module with --json and nothing
 * else. Every line is written whole under one lock, so no two modules'
 * output ever meets in a line.
 */
#ifndef KXCTL_REPORT_H
#define KXCTL_REPORT_H

#include <mutex>
#include <string>
#include <vector>

#include "fleet.h"

namespace kxctl {

enum { JSON_SCHEMA = 1 };

class fleet_report {
public:
    fleet_report(const std::string& action, const std::vector<module_ref>& modules, const common_options& o);

    void linked(size_t i, const module_ref& m);
    void step(size_t i, const std::string& what);
    void share(size_t i, long long bytes, long long total);
    void print(size_t i, const std::string& text);
    void finish(size_t i, const module_task& t);
    /* Modules that never started because the program was stopped. */
    void never_started(size_t i);

    /* The summary on stderr (for more than one module), and the failed
     * addresses into o.failed_to. False when that file cannot be written. */
    bool close();

    /* The counts so far. */
    int count(outcome o) const;

private:
    struct row {
        module_ref m;
        std::string state;
        bool ended = false;
        outcome how = outcome::done;
        std::string error;
        int last_share = -1;
        long long drawn_ms = 0;
    };
    void show(size_t i);
    void draw_line(size_t i);
    void event(size_t i, const std::string& text);

    std::string action_;
    const common_options& o_;
    std::vector<row> rows_;
    bool live_;      /* stderr is a terminal: lines redrawn in place */
    bool quiet_;     /* one module: no progress lines, only its errors */
    bool hold_out_;  /* stdout is the same terminal: results wait for the end */
    std::vector<std::string> held_;
    mutable std::mutex lock_;
};

/* A module's text made valid UTF-8, as the window shows it. */
std::string shown(const std::string& bytes);

} // namespace kxctl

#endif
