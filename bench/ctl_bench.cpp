/*
 * ctl_bench.cpp - what a fleet costs kxd40ctl against a single module.
 *
 * Whole kxd40ctl processes in a private network of their own, against
 * simulated modules that answer 20 ms late, named as an address range so
 * that no search (with its quiet second) is timed:
 *  - a read of 30 modules against a read of one, by wall time;
 *  - a 256 KiB upload to 30 modules against one;
 *  - a read of 29 modules beside a silent one against the same 29 alone,
 *    by the slowest of the 29's own times: when its JSON line arrived on
 *    the child's stdout, which it does as each module finishes;
 *  - the CPU time and peak memory of the 30-module read and upload;
 *  - at scale, beside a second simulator of 10,000 modules: a read of
 *    1000 against a read of one, and a read of all 10,000 (time, peak
 *    memory, CPU time).
 * The modules run at once, so 30 should cost about what one costs, and a
 * thousand not much more; a silent module must not hold up the others
 * while it is asked again. Every kind runs once per round and the rounds
 * alternate, so all see the same machine; the best round of each counts.
 */
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <map>
#include <nlohmann/json.hpp>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "netns.h"
#include "sim_runner.h"

namespace {

const int fleet = 30;
const int rounds = 7;
const int latency_ms = 20;
const long image_bytes = 256 * 1024;
const double target_ratio = 1.2;
const double target_silent = 1.1;
/* The program mostly waits: some 1 ms of CPU a module reads, 2 ms an
 * upload takes, and 7 MB for thirty modules. A receiver that spins, or a
 * copy of the image for each module, crosses these. */
const double target_read_cpu_ms = 150;
const double target_upload_cpu_ms = 300;
const double target_peak_mb = 12;

using clock_type = std::chrono::steady_clock;

/* At scale: a thousand modules must cost at most half again what one
 * costs (all run at once), ten thousand some ten waves of a thousand. */
const int scale_fleet = 10000;
const int scale_part = 1000;
const int scale_rounds = 3;
const double target_scale_ratio = 1.5;
const double target_scale_s = 10;
const double target_scale_mb = 300;

/* Modules 127.0.0.2-31 answer; 127.0.0.32 is silent. */
const int first_host = 2;
const int silent_host = first_host + fleet;

std::string host(int n) { return "127.0.0." + std::to_string(n); }
std::string range(int from, int to) { return host(from) + "-" + std::to_string(to); }

/* The modules from..to as the run should name them. */
std::vector<std::string> hosts(int from, int to)
{
    std::vector<std::string> out;
    for (int n = from; n <= to; ++n)
        out.push_back(host(n));
    return out;
}

/* One module's JSON line: when it came and what it said. */
struct module_line {
    double at_ms;
    nlohmann::json j;
};

/* One kxd40ctl process. */
struct run {
    double wall_ms = 0;
    double cpu_ms = 0;
    double peak_mb = 0;
    int status = -1; /* exit status, -1 when it did not exit */
    std::map<std::string, module_line> lines;
    std::string stray;  /* output that was no module's JSON line */
    std::string errors; /* its stderr */
};

double since(clock_type::time_point t0)
{
    return std::chrono::duration<double, std::milli>(clock_type::now() - t0).count();
}

void take_line(run& r, const std::string& line, double at_ms)
{
    nlohmann::json j = nlohmann::json::parse(line, nullptr, false);
    std::string ip = j.is_object() && j.contains("ip") && j["ip"].is_string() ? j["ip"] : "";
    if (!ip.empty() && r.lines.count(ip) == 0)
        r.lines[ip] = {at_ms, j};
    else
        r.stray += line + "\n";
}

/* A line of the child's stdout and when it came. */
struct stamped_line {
    std::string text;
    double at_ms;
};

/* Reads the child's stdout to its end, each line stamped on arrival and
 * parsed later: ten thousand lines parsed meanwhile would take the CPU
 * the child is timed on. A child that says nothing for a minute is hung:
 * it is ended. */
void read_lines(int fd, pid_t pid, clock_type::time_point t0, run& r, std::vector<stamped_line>& lines)
{
    std::string pending;
    char buf[65536];
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        int ready = poll(&p, 1, 60000);
        if (ready == 0)
            kill(pid, SIGTERM);
        if (ready == 0 || (ready < 0 && errno == EINTR))
            continue;
        ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0)
            break;
        double at = since(t0);
        size_t from = 0;
        pending.append(buf, static_cast<size_t>(n));
        for (size_t nl; (nl = pending.find('\n', from)) != std::string::npos; from = nl + 1)
            lines.push_back({pending.substr(from, nl - from), at});
        pending.erase(0, from);
    }
    if (!pending.empty())
        r.stray += pending;
}

/* Starts kxd40ctl with stdout into the pipe and stderr into a file. */
pid_t spawn_ctl(std::vector<std::string> args, int out, const std::string& err_path)
{
    args.insert(args.begin(), KXD40CTL_PATH);
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(&a[0]);
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, out, STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&fa, STDERR_FILENO, err_path.c_str(), O_WRONLY | O_TRUNC, 0);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&fa);
    return pid;
}

run run_ctl(const std::vector<std::string>& args)
{
    run r;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return r;
    temp_file err;
    auto t0 = clock_type::now();
    pid_t pid = spawn_ctl(args, fds[1], err.path);
    close(fds[1]);
    std::vector<stamped_line> lines;
    if (pid > 0)
        read_lines(fds[0], pid, t0, r, lines);
    close(fds[0]);
    int status = 0;
    rusage use{};
    if (pid > 0 && wait4(pid, &status, 0, &use) == pid) {
        r.wall_ms = since(t0);
        r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
        r.cpu_ms = ms(use.ru_utime) + ms(use.ru_stime);
        r.peak_mb = use.ru_maxrss / 1024.0;
    }
    for (const stamped_line& l : lines)
        take_line(r, l.text, l.at_ms);
    r.errors = err.text();
    return r;
}

/* What is wrong with a run whose modules should all be done (and the
 * silent one, if named, not reached); "" when nothing. */
std::string fault(const run& r, const std::vector<std::string>& done, const std::string& silent)
{
    int want_status = silent.empty() ? 0 : 1;
    if (r.status != want_status)
        return "exit status " + std::to_string(r.status) + ", not " + std::to_string(want_status);
    if (!r.stray.empty())
        return "output that is no module's JSON line: " + r.stray;
    if (r.lines.size() != done.size() + (silent.empty() ? 0 : 1))
        return std::to_string(r.lines.size()) + " JSON lines for " + std::to_string(done.size()) + " modules";
    for (const std::string& ip : done)
        if (!r.lines.count(ip) || r.lines.at(ip).j.value("result", "") != "done")
            return ip + " is not done";
    if (!silent.empty()
        && (!r.lines.count(silent) || r.lines.at(silent).j.value("result", "") != "not reached"))
        return "the silent " + silent + " is not \"not reached\"";
    return "";
}

/* The image must reach each module whole. */
std::string upload_fault(const run& r, const std::vector<std::string>& done)
{
    std::string why = fault(r, done, "");
    for (const auto& l : r.lines)
        if (why.empty()
            && l.second.j.value("data", nlohmann::json::object()).value("bytes", -1L) != image_bytes)
            why = l.first + " did not take the whole image";
    return why;
}

/* The latest of the given modules' JSON lines, in ms since the start. */
double slowest(const run& r, const std::vector<std::string>& ips)
{
    double worst = 0;
    for (const std::string& ip : ips)
        worst = std::max(worst, r.lines.at(ip).at_ms);
    return worst;
}

double last_line(const run& r)
{
    double last = 0;
    for (const auto& l : r.lines)
        last = std::max(last, l.second.at_ms);
    return last;
}

/* The best of a figure's rounds. */
struct figure {
    std::vector<double> v;
    double best() const { return *std::min_element(v.begin(), v.end()); }
    double worst() const { return *std::max_element(v.begin(), v.end()); }
};

struct figures {
    figure read1, read30, upload1, upload30, alone29, beside29, silent_run;
    figure read_cpu, upload_cpu, read_mb, upload_mb;
    figure tail; /* from the last JSON line to the exit */
};

class bench {
public:
    explicit bench(const std::string& image) : image_(image) { }
    /* One round of every kind; false when a run went wrong. */
    bool round(figures& f);

private:
    bool checked(const char* what, const run& r, const std::string& why);
    std::string image_;
};

bool bench::checked(const char* what, const run& r, const std::string& why)
{
    if (why.empty())
        return true;
    std::fprintf(stderr, "ctl_bench: %s: %s\n%s", what, why.c_str(), r.errors.c_str());
    return false;
}

bool bench::round(figures& f)
{
    const std::vector<std::string> one = hosts(first_host, first_host);
    const std::vector<std::string> all = hosts(first_host, first_host + fleet - 1);
    const std::vector<std::string> others = hosts(first_host + 1, silent_host - 1);
    run r1 = run_ctl({"read", "--json", host(first_host)});
    run r30 = run_ctl({"read", "--json", range(first_host, first_host + fleet - 1)});
    run u1 = run_ctl({"upload", "--json", image_, host(first_host)});
    run u30 = run_ctl({"upload", "--json", image_, range(first_host, first_host + fleet - 1)});
    run alone = run_ctl({"read", "--json", range(first_host + 1, silent_host - 1)});
    run beside = run_ctl({"read", "--json", range(first_host + 1, silent_host)});
    if (!checked("read of one", r1, fault(r1, one, "")) || !checked("read of 30", r30, fault(r30, all, ""))
        || !checked("upload to one", u1, upload_fault(u1, one))
        || !checked("upload to 30", u30, upload_fault(u30, all))
        || !checked("read of 29", alone, fault(alone, others, ""))
        || !checked("read of 29 and a silent one", beside, fault(beside, others, host(silent_host))))
        return false;
    f.read1.v.push_back(r1.wall_ms);
    f.read30.v.push_back(r30.wall_ms);
    f.upload1.v.push_back(u1.wall_ms);
    f.upload30.v.push_back(u30.wall_ms);
    f.alone29.v.push_back(slowest(alone, others));
    f.beside29.v.push_back(slowest(beside, others));
    f.silent_run.v.push_back(beside.wall_ms);
    for (const run* r : {&r1, &r30, &u1, &u30, &alone})
        f.tail.v.push_back(r->wall_ms - last_line(*r));
    f.read_cpu.v.push_back(r30.cpu_ms);
    f.upload_cpu.v.push_back(u30.cpu_ms);
    f.read_mb.v.push_back(r30.peak_mb);
    f.upload_mb.v.push_back(u30.peak_mb);
    return true;
}

bool summary_ratio(const char* what, const figure& many, const figure& few, double target)
{
    double ratio = many.best() / few.best();
    bool ok = ratio <= target;
    std::printf("summary: %s: %.2f s / %.2f s = %.2f (target <= %.1f) %s\n", what, many.best() / 1000,
        few.best() / 1000, ratio, target, ok ? "ok" : "FAIL");
    return ok;
}

/* CPU time barely moves with the machine's load, memory not at all: the
 * least CPU and the most memory of the rounds. */
bool summary_cost(const char* what, const figure& cpu, const figure& mb, double cpu_target)
{
    bool cpu_ok = cpu.best() <= cpu_target;
    std::printf("summary: kxd40ctl %s, CPU time: %.0f ms (target <= %.0f ms) %s\n", what, cpu.best(),
        cpu_target, cpu_ok ? "ok" : "FAIL");
    bool mb_ok = mb.worst() <= target_peak_mb;
    std::printf("summary: kxd40ctl %s, peak memory: %.1f MB (target <= %.0f MB) %s\n", what, mb.worst(),
        target_peak_mb, mb_ok ? "ok" : "FAIL");
    return cpu_ok && mb_ok;
}

bool report(const figures& f)
{
    std::printf("kxd40ctl against %d simulated modules answering %d ms late, best of %d rounds\n", fleet,
        latency_ms, rounds);
    std::printf("  read: one %.0f ms, 30 %.0f ms; 256 KiB upload: one %.0f ms, 30 %.0f ms\n", f.read1.best(),
        f.read30.best(), f.upload1.best(), f.upload30.best());
    std::printf("  read of 29: slowest module %.0f ms alone, %.0f ms beside a silent one"
                " (that run ended after %.0f ms)\n",
        f.alone29.best(), f.beside29.best(), f.silent_run.best());
    /* Part of every wall time above, however many modules: the time the
     * process takes to end once its last module has. */
    std::printf(
        "  from the last module's line to the exit: %.0f to %.0f ms\n", f.tail.best(), f.tail.worst());
    /* A braced list runs in order: every line is printed. */
    const bool met[] = {
        summary_ratio("kxd40ctl read of 30 modules against one", f.read30, f.read1, target_ratio),
        summary_ratio(
            "kxd40ctl 256 KiB upload to 30 modules against one", f.upload30, f.upload1, target_ratio),
        summary_ratio("kxd40ctl read of 29 modules beside a silent one against alone, the slowest of the 29",
            f.beside29, f.alone29, target_silent),
        summary_cost("read of 30 modules", f.read_cpu, f.read_mb, target_read_cpu_ms),
        summary_cost("256 KiB upload to 30 modules", f.upload_cpu, f.upload_mb, target_upload_cpu_ms),
    };
    return std::all_of(std::begin(met), std::end(met), [](bool m) { return m; });
}

/* The scale's modules, from 127.1.0.1 on. */
std::vector<std::string> scale_hosts(int count)
{
    std::vector<std::string> out;
    for (uint32_t a = (127u << 24) + (1u << 16) + 1; out.size() < static_cast<size_t>(count); ++a)
        out.push_back(std::to_string(a >> 24) + "." + std::to_string((a >> 16) & 255) + "." +
                      std::to_string((a >> 8) & 255) + "." + std::to_string(a & 255));
    return out;
}

struct scale_figures {
    figure read1, part, all, all_cpu, all_mb;
};

/* One round at scale: a read of one, of a thousand (a list of targets
 * in part) and of ten thousand (in all); false when a run went wrong. */
bool scale_round(scale_figures& f, const std::string& part, const std::string& all)
{
    const std::vector<std::string> everyone = scale_hosts(scale_fleet);
    const std::vector<std::string> one(everyone.begin(), everyone.begin() + 1);
    const std::vector<std::string> some(everyone.begin(), everyone.begin() + scale_part);
    run r1 = run_ctl({"read", "--json", one[0]});
    run rp = run_ctl({"read", "--json", "@" + part});
    run ra = run_ctl({"read", "--json", "@" + all});
    for (const auto& c : {std::make_pair(&r1, &one), std::make_pair(&rp, &some), std::make_pair(&ra, &everyone)}) {
        std::string why = fault(*c.first, *c.second, "");
        if (!why.empty()) {
            std::fprintf(stderr, "ctl_bench: read of %zu: %s\n%.2000s", c.second->size(), why.c_str(),
                c.first->errors.c_str());
            return false;
        }
    }
    f.read1.v.push_back(r1.wall_ms);
    f.part.v.push_back(rp.wall_ms);
    f.all.v.push_back(ra.wall_ms);
    f.all_cpu.v.push_back(ra.cpu_ms);
    f.all_mb.v.push_back(ra.peak_mb);
    return true;
}

bool scale_report(const scale_figures& f)
{
    std::printf("kxd40ctl against %d simulated modules answering %d ms late, best of %d rounds\n", scale_fleet,
        latency_ms, scale_rounds);
    std::printf("  read: one %.0f ms, %d %.0f ms, %d %.0f ms (CPU time %.0f ms, peak memory %.1f MB)\n",
        f.read1.best(), scale_part, f.part.best(), scale_fleet, f.all.best(), f.all_cpu.best(), f.all_mb.worst());
    std::string what = "kxd40ctl read of " + std::to_string(scale_part) + " modules against one";
    bool ratio_ok = summary_ratio(what.c_str(), f.part, f.read1, target_scale_ratio);
    bool time_ok = f.all.best() <= target_scale_s * 1000;
    std::printf("summary: kxd40ctl read of %d modules: %.2f s (target <= %.0f s) %s\n", scale_fleet,
        f.all.best() / 1000, target_scale_s, time_ok ? "ok" : "FAIL");
    bool mb_ok = f.all_mb.worst() <= target_scale_mb;
    std::printf("summary: kxd40ctl read of %d modules, peak memory: %.1f MB (target <= %.0f MB) %s\n", scale_fleet,
        f.all_mb.worst(), target_scale_mb, mb_ok ? "ok" : "FAIL");
    std::printf("summary: kxd40ctl read of %d modules, CPU time: %.2f s (no target)\n", scale_fleet,
        f.all_cpu.best() / 1000);
    return ratio_ok && time_ok && mb_ok;
}

/* The scale's simulator and rounds; false when a run went wrong, else
 * whether every target was met (in met). */
bool at_scale(bool* met)
{
    temp_file part, all;
    std::vector<std::string> everyone = scale_hosts(scale_fleet);
    {
        std::ofstream to_part(part.path), to_all(all.path);
        for (size_t i = 0; i < everyone.size(); ++i) {
            to_all << everyone[i] << "\n";
            if (i < static_cast<size_t>(scale_part))
                to_part << everyone[i] << "\n";
        }
    }
    sim_child sim({"--latency", std::to_string(latency_ms), "--modules", std::to_string(scale_fleet), "--first",
        everyone.front()});
    /* Ten thousand sockets take a while to bind on a busy machine. */
    if (!sim.wait_for("kxd40-sim: ready\n") && !sim.wait_for("kxd40-sim: ready\n")) {
        std::fprintf(stderr, "ctl_bench: the simulator of %d modules did not start\n", scale_fleet);
        return false;
    }
    scale_figures f;
    for (int r = 0; r < scale_rounds; ++r)
        if (!scale_round(f, part.path, all.path))
            return false;
    *met = scale_report(f);
    return true;
}

/* An image of image_bytes that is not all one byte. */
bool write_image(const std::string& path)
{
    std::string bytes(static_cast<size_t>(image_bytes), '\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>((i * 131 + i / 4096) & 0xff);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out.flush());
}

} // namespace

int main()
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::string why;
    if (!enter_private_network(&why)) {
        std::fprintf(stderr, "ctl_bench: no private network: %s\n", why.c_str());
        return 2;
    }
    temp_file image;
    if (!write_image(image.path)) {
        std::fprintf(stderr, "ctl_bench: cannot write the image %s\n", image.path.c_str());
        return 1;
    }
    /* Without a log: it would hold every image in hex. Its stdout gets a
     * line per image, some 10 KB in all, which the pipe holds unread. */
    sim_child sim({"--latency", std::to_string(latency_ms), "--modules", std::to_string(fleet), "--first",
        host(first_host), "--silent", "--module", host(silent_host)});
    if (!sim.wait_for("kxd40-sim: ready\n")) {
        std::fprintf(stderr, "ctl_bench: the simulator did not start\n");
        return 1;
    }
    bench b(image.path);
    figures f;
    for (int r = 0; r < rounds; ++r)
        if (!b.round(f))
            return 1;
    bool met = report(f), scale_met = false;
    if (!at_scale(&scale_met))
        return 1;
    return met && scale_met ? 0 : 3;
}
