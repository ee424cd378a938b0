/*
 * fleet.h - running one action on many modules at once: a worker thread
 * and a link per module, the limits on how many run and how fast they
 * start, the end on Ctrl-C or SIGTERM, and each module's result.
 */
#ifndef KXCTL_FLEET_H
#define KXCTL_FLEET_H

#include <functional>
#include <string>
#include <vector>

#include "ctl.h"
#include "report.h"

namespace kxctl {

/* One module's action in progress: its link and what it tells. */
class module_task {
public:
    module_task(const module_ref& m, const common_options& o, fleet_report& report, size_t index);

    module_ref m;
    module_link link;
    const common_options& o;
    /* The action's own data for its JSON object. */
    ordered_json data = ordered_json::object();
    /* What a module's line on a terminal says after "done". */
    std::string note;

    /* The link and its keyword handshake, with the options' tries and
     * timeout; fills the module's MAC and ID from the answer. False (the
     * module not reached) when it does not answer. */
    bool open();
    /* A second handshake after a silence: the module may have missed the
     * "+ok" that opens its link. */
    bool relink();

    /* Progress: the step the action is at, or the share of an image sent. */
    void step(const std::string& what);
    void share(long long bytes, long long total);
    /* A result for stdout in the text format, printed whole. */
    void print(const std::string& text);

    /* The action failed (returns false, for "return t.fail(...)"); a
     * failure while the program is stopping counts as stopped. */
    bool fail(const std::string& error);
    bool not_reached(const std::string& error);
    /* Nothing to do: the module already is as asked (returns true). */
    bool skipped(const std::string& why);

    outcome result() const { return result_; }
    const std::string& error() const { return error_; }

private:
    fleet_report& report_;
    size_t index_;
    outcome result_ = outcome::done;
    std::string error_;
    int relinks_ = 0;
};

/* Why a run stopped early. */
enum class stop_cause { none, signal, output_closed };

/* True once Ctrl-C, SIGTERM or a closed stdout stopped the run. */
bool fleet_stopping();
/* Stops the run as Ctrl-C does: every link ends after its current
 * exchange and no module starts. The first cause is kept. */
void fleet_stop(stop_cause why);

/* Runs act on every module (true: done), at most o.jobs at a time and
 * o.stagger_ms apart, the first o.canary alone, and none once more than
 * o.max_fail have failed; with the progress and the summary on stderr and
 * the results on stdout. Returns the exit status: 0 when every module is
 * done or skipped and every result written, 130 when the program was stopped by a
 * signal, 141 when by a closed stdout, else 1. */
int run_fleet(const std::string& action, const std::vector<module_ref>& modules, const common_options& o,
              const std::function<bool(module_task&)>& act);

} // namespace kxctl

#endif
