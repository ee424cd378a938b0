/*
 * report.cpp - the progress lines, the results and the summary of a fleet.
 */
#include "report.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>
#include <sys/ioctl.h>
#include <unistd.h>

#include "data_file.h"
#include "utf8_text.h"

namespace kxctl {
namespace {

bool terminal(int fd) { return isatty(fd) == 1; }

/* Lines the terminal on stderr shows, or 0 when it cannot tell. */
int terminal_rows()
{
    winsize w{};
    return ioctl(STDERR_FILENO, TIOCGWINSZ, &w) == 0 ? w.ws_row : 0;
}

bool same_terminal()
{
    if (!terminal(STDOUT_FILENO) || !terminal(STDERR_FILENO))
        return false;
    const char* out = ttyname(STDOUT_FILENO);
    std::string first = out != nullptr ? out : "";
    const char* err = ttyname(STDERR_FILENO);
    return err != nullptr && first == err;
}

std::string padded(const std::string& text, size_t width)
{
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

std::string addresses(const std::vector<std::string>& list)
{
    std::string out;
    for (const std::string& a : list)
        out += (out.empty() ? "" : " ") + a;
    return out;
}

/* The first failure of stdout (its errno), or 0; written under the
 * report's lock, or after the workers have ended. */
int output_error = 0;

void (*stop_on_closed_output)() = nullptr;

void output_failed(int error)
{
    output_error = error != 0 ? error : EIO;
    std::fprintf(stderr, "kxd40ctl: cannot write standard output: %s\n", std::strerror(output_error));
    /* Nobody reads what follows: the run ends as on Ctrl-C. */
    if (output_error == EPIPE && stop_on_closed_output != nullptr)
        stop_on_closed_output();
}

/* read --csv's lines, handed by the read. */
std::string (*csv_header_text)() = nullptr;
csv_row_text csv_row = nullptr;

module_end_hook module_ended = nullptr;

} // namespace

void on_module_end(module_end_hook hook) { module_ended = hook; }

void on_output_closed(void (*stop)()) { stop_on_closed_output = stop; }

void on_csv_rows(std::string (*header)(), csv_row_text row)
{
    csv_header_text = header;
    csv_row = std::move(row);
}

bool write_standard_output(const std::string& text)
{
    if (output_error != 0)
        return false;
    errno = 0;
    if (std::fputs(text.c_str(), stdout) < 0 || std::fflush(stdout) != 0) {
        output_failed(errno);
        return false;
    }
    return true;
}

int close_standard_output(int status)
{
    errno = 0;
    bool flushed = std::fflush(stdout) == 0 && !std::ferror(stdout);
    int error = errno;
    if (std::fclose(stdout) != 0 && flushed) {
        flushed = false;
        error = errno;
    }
    if (!flushed && output_error == 0)
        output_failed(error);
    if (output_error == 0 || status != EXIT_DONE)
        return status;
    return output_error == EPIPE ? EXIT_OUTPUT_CLOSED : EXIT_FAILED;
}

std::string shown(const std::string& bytes) { return utf8_for_display(bytes.c_str()); }

const char* outcome_text(outcome o)
{
    switch (o) {
    case outcome::done:
        return "done";
    case outcome::failed:
        return "failed";
    case outcome::not_reached:
        return "not reached";
    case outcome::skipped:
        return "skipped";
    case outcome::not_started:
        return "not started";
    default:
        return "stopped";
    }
}

bool failure(outcome o) { return o != outcome::done && o != outcome::skipped; }

fleet_report::fleet_report(const std::string& action, const std::vector<module_ref>& modules,
                           const common_options& o)
    : action_(action), o_(o), quiet_(modules.size() <= 1 || o.quiet)
{
    for (const module_ref& m : modules) {
        rows_.emplace_back();
        rows_.back().m = m;
    }
    int rows = terminal_rows();
    live_ = !quiet_ && terminal(STDERR_FILENO) && rows > static_cast<int>(rows_.size()) + 2;
    hold_out_ = live_ && same_terminal();
    if (!live_)
        return;
    std::lock_guard<std::mutex> g(lock_);
    for (size_t i = 0; i < rows_.size(); ++i) {
        draw_line(i);
        std::fputc('\n', stderr);
    }
    std::fflush(stderr);
}

/* Row i's line where the cursor is: address, ID, state. */
void fleet_report::draw_line(size_t i)
{
    const row& r = rows_[i];
    std::string line = padded(r.m.ip, 15) + "  " + padded(shown(r.m.id), 16) + "  " + r.state;
    std::fprintf(stderr, "\r\033[2K%s", line.c_str());
}

/* Row i redrawn in place: up to it, the line, back below the last row. */
void fleet_report::show(size_t i)
{
    int up = static_cast<int>(rows_.size() - i);
    std::fprintf(stderr, "\033[%dA", up);
    draw_line(i);
    std::fprintf(stderr, "\033[%dB\r", up);
    std::fflush(stderr);
}

void fleet_report::event(size_t i, const std::string& text)
{
    if (rows_[i].state == "waiting")
        rows_[i].began = std::chrono::steady_clock::now();
    rows_[i].state = text;
    if (live_)
        show(i);
    else if (!quiet_)
        std::fprintf(stderr, "%s %s\n", rows_[i].m.ip.c_str(), text.c_str());
}

void fleet_report::linked(size_t i, const module_ref& m)
{
    std::lock_guard<std::mutex> g(lock_);
    rows_[i].m = m;
    rows_[i].answered = true;
    event(i, m.id.empty() ? "linked" : "linked " + shown(m.id));
}

void fleet_report::step(size_t i, const std::string& what)
{
    std::lock_guard<std::mutex> g(lock_);
    event(i, what);
}

void fleet_report::share(size_t i, long long bytes, long long total)
{
    std::lock_guard<std::mutex> g(lock_);
    row& r = rows_[i];
    int percent = total > 0 ? static_cast<int>(bytes * 100 / total) : 0;
    /* A terminal sees every percent; a log every quarter. */
    int every = live_ ? 1 : 25;
    if (percent == r.last_share || (percent / every == r.last_share / every && bytes != total))
        return;
    r.last_share = percent;
    event(i, "sent " + std::to_string(percent) + "% (" + std::to_string(bytes) + " of " +
                 std::to_string(total) + " bytes)");
}

void fleet_report::print(size_t i, const std::string& text)
{
    if (o_.json || o_.csv)
        return;
    std::lock_guard<std::mutex> g(lock_);
    rows_[i].out += text;
}

/* Results go out in the modules' order, each as soon as every module
 * before it has ended; on the terminal that shows the progress, only at
 * the end, below it. */
void fleet_report::release()
{
    for (; released_ < rows_.size() && rows_[released_].ended && !hold_out_; ++released_) {
        row& r = rows_[released_];
        if (!r.out.empty())
            write_standard_output(r.out);
        r.out.clear();
    }
}

void fleet_report::ended(size_t i)
{
    row& r = rows_[i];
    r.ended = true;
    if (o_.json) {
        ordered_json j{{"schema", JSON_SCHEMA},  {"ip", r.m.ip},          {"mac", shown(r.m.mac)},
                       {"id", shown(r.m.id)},    {"action", action_},     {"result", outcome_text(r.how)},
                       {"error", r.error.empty() ? ordered_json() : ordered_json(r.error)}, {"data", r.data}};
        r.out = j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    } else if (o_.csv && csv_row != nullptr) {
        /* The header rides on the first module's row, which goes out first. */
        r.out = (i == 0 ? csv_header_text() : "") + csv_row(r.m, outcome_text(r.how), r.error, r.data);
    }
    release();
}

void fleet_report::finish(size_t i, const module_result& t)
{
    std::lock_guard<std::mutex> g(lock_);
    row& r = rows_[i];
    bool began = r.state != "waiting";
    double seconds = began ? std::chrono::duration<double>(std::chrono::steady_clock::now() - r.began).count() : 0;
    r.m = t.m;
    r.how = t.how;
    r.error = t.error;
    r.data = t.data;
    std::string state = outcome_text(r.how);
    if (!r.error.empty())
        state += ": " + r.error;
    else if (!t.note.empty())
        state += ": " + t.note;
    if (live_) {
        r.state = state;
        show(i);
    } else if (failure(r.how)) {
        std::fprintf(stderr, "kxd40ctl: %s: %s\n", r.m.ip.c_str(), r.error.c_str());
    } else if (!quiet_) {
        std::fprintf(stderr, "%s %s\n", r.m.ip.c_str(), outcome_text(r.how));
    }
    if (module_ended != nullptr)
        module_ended(t, r.answered, seconds);
    ended(i);
}

void fleet_report::unstarted(size_t i, outcome how, const std::string& why)
{
    row& r = rows_[i];
    r.how = how;
    r.error = why;
    if (live_) {
        r.state = why;
        show(i);
    }
    if (module_ended != nullptr)
        module_ended(module_result{r.m, r.how, r.error, r.data, ""}, false, 0);
    ended(i);
}

void fleet_report::never_started(size_t i)
{
    std::lock_guard<std::mutex> g(lock_);
    unstarted(i, outcome::stopped, "stopped before it began");
}

/* Told on stderr as any failure is: nobody must take the run's silence
 * about a module for its success. */
void fleet_report::not_started(size_t i, const std::string& why)
{
    std::lock_guard<std::mutex> g(lock_);
    if (!live_)
        std::fprintf(stderr, "kxd40ctl: %s: %s\n", rows_[i].m.ip.c_str(), why.c_str());
    unstarted(i, outcome::not_started, why);
}

int fleet_report::count(outcome o) const
{
    std::lock_guard<std::mutex> g(lock_);
    int n = 0;
    for (const row& r : rows_)
        n += r.ended && r.how == o ? 1 : 0;
    return n;
}

bool fleet_report::close()
{
    std::lock_guard<std::mutex> g(lock_);
    hold_out_ = false;
    release();
    bool written = write_standard_output("");
    std::vector<std::string> by[OUTCOMES];
    std::vector<std::string> failed; /* in the modules' order, so a rerun keeps it */
    for (const row& r : rows_) {
        if (!r.ended)
            continue;
        by[static_cast<int>(r.how)].push_back(r.m.ip);
        if (failure(r.how))
            failed.push_back(r.m.ip);
    }
    auto of = [&](outcome o) -> const std::vector<std::string>& { return by[static_cast<int>(o)]; };
    if (rows_.size() > 1) {
        std::fprintf(stderr, "kxd40ctl: %s of %zu modules: %zu done, %zu failed, %zu not reached", action_.c_str(),
                     rows_.size(), of(outcome::done).size(), of(outcome::failed).size(),
                     of(outcome::not_reached).size());
        for (outcome o : {outcome::skipped, outcome::not_started, outcome::stopped})
            if (!of(o).empty())
                std::fprintf(stderr, ", %zu %s", of(o).size(), outcome_text(o));
        std::fputc('\n', stderr);
        for (outcome o : {outcome::failed, outcome::not_reached, outcome::not_started, outcome::stopped})
            if (!of(o).empty())
                std::fprintf(stderr, "  %s: %s\n", outcome_text(o), addresses(of(o)).c_str());
    }
    if (o_.failed_to.empty())
        return written;
    errno = 0;
    whole_file f(o_.failed_to);
    for (size_t k = 0; k < failed.size() && f; ++k)
        std::fprintf(f.get(), "%s\n", failed[k].c_str());
    if (f && f.commit())
        return written;
    std::fprintf(stderr, "kxd40ctl: cannot write %s: %s\n", o_.failed_to.c_str(), write_failure(errno).c_str());
    return false;
}

} // namespace kxctl
