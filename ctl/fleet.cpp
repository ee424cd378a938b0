/*
 * fleet.cpp - a worker thread per module, fed by the hub's receiver.
 *
 * Threads, not resumable tasks on one loop: each action stays the plain
 * sequence of exchanges the core already knows how to run (handshake,
 * queries, settings, the image), and the only things the workers share
 * are the hub (its lock), the report (its lock) and the options, which
 * nobody writes once the run has begun. Ctrl-C and SIGTERM are taken by
 * one thread with sigwait, which ends every link: each worker's wait ends
 * at once, nothing more is sent, and each module's state is reported. A
 * stdout whose reader went away ends the run the same way (fleet_stop,
 * which the report calls through on_output_closed).
 */
#include "fleet.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <pthread.h>
#include <thread>

#include "discovery.h"
#include "report.h"
#include "strutil.h"
#include "udp_hub.h"

namespace kxctl {
namespace {

/* How many modules run at once unless --jobs says: a thousand answer a
 * read in the time one does, and a thousand threads fit any machine that
 * runs the program (HACKING.md, "Ten thousand modules"). */
enum { DEFAULT_JOBS_MAX = 1000 };

/* A worker's stack. The deepest action (read --commands) goes under
 * 50 KiB deep; glibc also puts the thread's own variables at the top of
 * its stack (a few KiB). The default, 8 MiB, would reserve 8 GiB of
 * address space for a thousand workers. */
const size_t WORKER_STACK = 1024 * 1024;

std::atomic<bool> stopping{false};
std::atomic<stop_cause> cause{stop_cause::none};
std::mutex start_lock;
std::condition_variable start_gate; /* a stop wakes the staggered starts */

/* The module's answer to the keyword: "IP,MAC,ID". */
std::vector<std::string> answer_fields(const std::string& answer)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t comma = answer.find(',', start);
        parts.push_back(answer.substr(start, comma - start));
        if (comma == std::string::npos)
            return parts;
        start = comma + 1;
    }
}

/* Takes SIGINT and SIGTERM for the whole program (every thread started
 * after it has them blocked) until the run ends. */
class stop_signals {
public:
    stop_signals()
    {
        sigemptyset(&set_);
        sigaddset(&set_, SIGINT);
        sigaddset(&set_, SIGTERM);
        sigaddset(&set_, SIGUSR1); /* the run's own end */
        pthread_sigmask(SIG_BLOCK, &set_, &old_);
        waiter_ = std::thread([this] { wait(); });
    }
    ~stop_signals()
    {
        pthread_kill(waiter_.native_handle(), SIGUSR1);
        waiter_.join();
        pthread_sigmask(SIG_SETMASK, &old_, nullptr);
    }

private:
    void wait()
    {
        int sig = 0;
        while (sigwait(&set_, &sig) == 0 && sig != SIGUSR1)
            fleet_stop(stop_cause::signal);
    }
    sigset_t set_, old_;
    std::thread waiter_;
};

/* Which modules of a rollout may start: the canaries first and alone,
 * the rest only once every canary went well, and none once more than
 * --max-fail have failed. A module under way is never cut short: the gate
 * only keeps new ones from starting, so the limit holds as tightly as
 * --jobs lets it. It waits on the start lock, which a stop wakes. */
class rollout_gate {
public:
    rollout_gate(const common_options& o, const std::vector<module_ref>& modules)
        : modules_(modules), canaries_(std::min(static_cast<size_t>(o.canary), modules.size())),
          max_fail_(o.max_fail)
    {
    }

    /* Waits until module i may be judged; false when the run was stopped
     * meanwhile, else *held says why it must not start ("" to start). */
    bool admit(size_t i, std::string* held)
    {
        std::unique_lock<std::mutex> g(start_lock);
        if (i >= canaries_)
            start_gate.wait(g, [this] { return stopping || canaries_ended_ == canaries_; });
        if (stopping)
            return false;
        if (!failed_canary_.empty())
            *held = "not started: the canary " + failed_canary_ + " failed";
        else if (max_fail_ >= 0 && failed_ > max_fail_)
            *held = "not started: " + std::to_string(failed_) + " modules failed, more than --max-fail " +
                    std::to_string(max_fail_);
        /* A canary held back has ended too, or the rest would wait for it. */
        if (!held->empty() && i < canaries_) {
            ++canaries_ended_;
            start_gate.notify_all();
        }
        return true;
    }

    void ended(size_t i, outcome how)
    {
        std::lock_guard<std::mutex> g(start_lock);
        bool bad = how == outcome::failed || how == outcome::not_reached;
        failed_ += bad ? 1 : 0;
        if (i < canaries_) {
            ++canaries_ended_;
            if (bad && failed_canary_.empty())
                failed_canary_ = modules_[i].ip;
            start_gate.notify_all();
        }
    }

private:
    const std::vector<module_ref>& modules_;
    size_t canaries_;
    int max_fail_;
    size_t canaries_ended_ = 0;
    int failed_ = 0;
    std::string failed_canary_;
};

/* A reader of stdout that went away ends the run as Ctrl-C does. */
void stop_on_closed_output() { fleet_stop(stop_cause::output_closed); }

/* Waits until ms have passed since the run began; false when stopped. */
bool wait_for_turn(std::chrono::steady_clock::time_point due)
{
    std::unique_lock<std::mutex> g(start_lock);
    return !start_gate.wait_until(g, due, [] { return stopping.load(); });
}

/* The workers of a run: up to n threads with small stacks, each running
 * work, joined when the pool goes. A system that gives fewer threads
 * gets fewer workers: the modules wait their turn rather than fail. */
class worker_pool {
public:
    worker_pool(size_t n, std::function<void()> work) : work_(std::move(work))
    {
        pthread_attr_t attr;
        bool small = pthread_attr_init(&attr) == 0 && pthread_attr_setstacksize(&attr, WORKER_STACK) == 0;
        for (size_t i = 0; i < n; ++i) {
            pthread_t t;
            /* A stack too small for the thread's variables: the default. */
            int r = small ? pthread_create(&t, &attr, start, this) : EINVAL;
            if (r == EINVAL) {
                small = false;
                r = pthread_create(&t, nullptr, start, this);
            }
            if (r != 0)
                break;
            threads_.push_back(t);
        }
        pthread_attr_destroy(&attr);
        if (threads_.size() < n)
            std::fprintf(stderr, "kxd40ctl: %zu modules at once, but the system gave %zu threads; "
                                 "the others wait their turn\n", n, std::max<size_t>(threads_.size(), 1));
        if (threads_.empty())
            work_();
    }
    ~worker_pool()
    {
        for (pthread_t t : threads_)
            pthread_join(t, nullptr);
    }
    worker_pool(const worker_pool&) = delete;
    worker_pool& operator=(const worker_pool&) = delete;

private:
    static void* start(void* self)
    {
        static_cast<worker_pool*>(self)->work_();
        return nullptr;
    }
    std::function<void()> work_;
    std::vector<pthread_t> threads_;
};

} // namespace

bool fleet_stopping() { return stopping; }

void fleet_stop(stop_cause why)
{
    stop_cause none = stop_cause::none;
    cause.compare_exchange_strong(none, why);
    stopping = true;
    hub_end_all();
    std::lock_guard<std::mutex> g(start_lock);
    start_gate.notify_all();
}

module_task::module_task(const module_ref& ref, const common_options& opts, fleet_report& report, size_t index)
    : m(ref), o(opts), report_(report), index_(index)
{
    copy_text(link.module_ip, m.ip.c_str());
    copy_text(link.module_aswd, aswd);
    /* --timeout is the first guess; the link learns its module's time. */
    at_resend resend = learning_resend(o.tries, o.timeout_ms);
    link.query_resend = resend;
    link.setting_resend = resend;
}

bool module_task::open()
{
    step("linking");
    link_open(link, true);
    if (stopping)
        link_end(link);
    std::string answer;
    int r = link_handshake(link, link.query_resend, &answer);
    if (r != 1)
        return r < 0 ? fail("stopped before it was linked") : not_reached("no answer to the keyword");
    std::vector<std::string> parts = answer_fields(answer);
    if (parts.size() >= 3 && parts[0] == m.ip) {
        if (m.mac.empty())
            m.mac = parts[1];
        if (m.id.empty())
            m.id = parts[2];
    }
    report_.linked(index_, m);
    return true;
}

bool module_task::relink()
{
    enum { RELINKS = 2 };
    if (o.tries <= 1 || relinks_ >= RELINKS || stopping)
        return false;
    ++relinks_;
    /* The keyword is harmless to a module that is linked already. */
    return link_handshake(link, link.query_resend, nullptr) == 1;
}

void module_task::step(const std::string& what) { report_.step(index_, what); }

void module_task::share(long long bytes, long long total) { report_.share(index_, bytes, total); }

void module_task::print(const std::string& text) { report_.print(index_, text); }

bool module_task::fail(const std::string& error)
{
    result_ = stopping ? outcome::stopped : outcome::failed;
    error_ = error;
    return false;
}

bool module_task::skipped(const std::string& why)
{
    result_ = outcome::skipped;
    note = why;
    return true;
}

bool module_task::not_reached(const std::string& error)
{
    fail(error);
    if (result_ == outcome::failed)
        result_ = outcome::not_reached;
    return false;
}

int run_fleet(const std::string& action, const std::vector<module_ref>& modules, const common_options& o,
              const std::function<bool(module_task&)>& act)
{
    on_output_closed(stop_on_closed_output);
    fleet_report report(action, modules, o);
    {
        stop_signals signals;
        hub_start_receiver();
        std::atomic<size_t> next{0};
        rollout_gate gate(o, modules);
        auto began = std::chrono::steady_clock::now();
        auto work = [&] {
            for (size_t i = next++; i < modules.size(); i = next++) {
                auto due = began + std::chrono::milliseconds(static_cast<long long>(o.stagger_ms) * i);
                std::string held;
                if (stopping || !wait_for_turn(due) || !gate.admit(i, &held)) {
                    report.never_started(i);
                    continue;
                }
                if (!held.empty()) {
                    report.not_started(i, held);
                    continue;
                }
                module_task t(modules[i], o, report, i);
                link_hold hold(t.link);
                if (!act(t) && t.result() == outcome::done)
                    t.fail("failed");
                report.finish(i, module_result{t.m, t.result(), t.error(), t.data, t.note});
                gate.ended(i, t.result());
            }
        };
        /* A thread a module, but not ten thousand: past a thousand the
         * threads' memory grows and the network, not the program, sets
         * the pace. */
        size_t limit = o.jobs > 0 ? static_cast<size_t>(o.jobs) : static_cast<size_t>(DEFAULT_JOBS_MAX);
        { worker_pool workers(std::min(limit, modules.size()), work); }
        hub_stop_receiver();
    }
    bool written = report.close();
    if (stopping)
        return cause == stop_cause::output_closed ? EXIT_OUTPUT_CLOSED : EXIT_INTERRUPTED;
    bool all_done = report.count(outcome::done) + report.count(outcome::skipped) == static_cast<int>(modules.size());
    return all_done && written ? EXIT_DONE : EXIT_FAILED;
}

} // namespace kxctl
