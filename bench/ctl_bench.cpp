/*
 * ctl_bench.cpp - what handling many modules in one run costs kxd40ctl.
 *
 * "read --all" over ten simulated modules against one "read" of a single
 * module, both as whole processes in a private network of their own. The
 * search that --all begins with lasts its quiet second whatever the
 * program does, so a "search" run is timed too and taken off: what is
 * left, per module, is set beside the single read (target <= 1.1).
 */
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "netns.h"
#include "sim_runner.h"

namespace {

const int modules = 10;

/* Milliseconds one kxd40ctl run took, or -1 when it did not exit 0. */
double timed_run(std::vector<std::string> args)
{
    args.insert(args.begin(), KXD40CTL_PATH);
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    auto t0 = std::chrono::steady_clock::now();
    pid_t pid = 0;
    int status = -1;
    if (posix_spawn(&pid, argv[0], &quiet, nullptr, argv.data(), environ) == 0)
        waitpid(pid, &status, 0);
    posix_spawn_file_actions_destroy(&quiet);
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? ms : -1.0;
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
    sim_process sim({"--broadcast", "127.0.0.255", "--modules", std::to_string(modules), "--first", "127.0.0.2"});
    if (!sim.ready()) {
        std::fprintf(stderr, "ctl_bench: the simulator did not start\n");
        return 1;
    }
    /* Rounds alternate so that all three see the same machine; the best
     * round of each counts. */
    std::vector<double> all, search, single;
    for (int round = 0; round < 5; ++round) {
        all.push_back(timed_run({"read", "--all", "--from", "127.0.0.1", "--json"}));
        search.push_back(timed_run({"search", "--from", "127.0.0.1"}));
        for (int i = 0; i < 5; ++i)
            single.push_back(timed_run({"read", "--json", "127.0.0.2"}));
    }
    for (const auto* v : {&all, &search, &single})
        if (std::count(v->begin(), v->end(), -1.0) > 0) {
            std::fprintf(stderr, "ctl_bench: a run failed\n");
            return 1;
        }
    double a = *std::min_element(all.begin(), all.end());
    double s = *std::min_element(search.begin(), search.end());
    double r = *std::min_element(single.begin(), single.end());
    double per_module = (a - s) / modules;
    std::printf("kxd40ctl read --all over %d modules, best of 5 rounds\n", modules);
    std::printf("  read --all: %.1f ms   search alone: %.1f ms\n", a, s);
    std::printf("  per module in --all: %.2f ms   single read (whole process): %.2f ms\n", per_module, r);
    std::printf("  ratio per module/single: %.2f   (target <= 1.10)\n", per_module / r);
    bool ok = per_module / r <= 1.1;
    std::printf("summary: kxd40ctl read --all over %d modules, %.2f ms a module against %.2f ms for one read"
                " (target ratio <= 1.10) %s\n", modules, per_module, r, ok ? "ok" : "FAIL");
    return ok ? 0 : 3;
}
