/*
 * search_bench.cpp - how many of a thousand modules answering a search at
 * once kxd40ctl lists.
 *
 * Whole kxd40ctl searches in a private network, against 1000 simulated
 * modules that answer the broadcast 20 ms late, all at the same moment:
 * the burst a large fleet on one switch sends. Each answer that finds no
 * room in the socket's receive buffer is lost, so the figure is the
 * modules listed against those that answered; the worst round counts,
 * and a run that lists fewer without exiting 1 and saying how many
 * answers were lost is a fault of its own.
 *
 * Then sweeps at the default rate: a /22 holding 1000 modules, and a /16
 * with 1000 modules in it, every other address silent; the time of each
 * and the modules it listed.
 */
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <set>
#include <sstream>
#include <string>

#include "ctl/ctl_run.h"
#include "netns.h"
#include "sim_runner.h"

namespace {

const int fleet = 1000;
const int latency_ms = 20;
const int rounds = 3;
const char lost_text[] = "answers were lost on the way in";

struct outcome {
    int found = 0;
    double ms = 0;
    bool truthful = true; /* fewer listed only with exit 1 and the loss said */
};

outcome search_once(const std::vector<std::string>& args = {"search", "--from", "127.0.0.1"})
{
    auto t0 = std::chrono::steady_clock::now();
    ctl_result r = ctl(args);
    outcome o;
    o.ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    std::set<std::string> listed;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);)
        listed.insert(line.substr(0, line.find(' ')));
    o.found = static_cast<int>(listed.size());
    bool said = r.err.find(lost_text) != std::string::npos;
    o.truthful = o.found == fleet ? r.status == 0 && !said : r.status == 1 && said;
    return o;
}

/* A sweep of block, where fleet modules answer from first on. */
bool sweep(const char* block, const char* first, double target_s)
{
    sim_child sim({"--latency", std::to_string(latency_ms), "--modules", std::to_string(fleet), "--first", first});
    if (!sim.wait_for("kxd40-sim: ready\n")) {
        std::fprintf(stderr, "search_bench: the simulator did not start\n");
        return false;
    }
    outcome o = search_once({"search", "--sweep", block});
    bool ok = o.found == fleet && o.truthful && o.ms <= target_s * 1000;
    std::printf("summary: kxd40ctl search --sweep %s (%d modules answering %d ms late, the default rate): %d of %d"
                " listed in %.1f s (target <= %.0f s) %s\n",
        block, fleet, latency_ms, o.found, fleet, o.ms / 1000, target_s, ok ? "ok" : "FAIL");
    return ok;
}

} // namespace

int main()
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::string why;
    if (!enter_private_network(&why)) {
        std::fprintf(stderr, "search_bench: no private network: %s\n", why.c_str());
        return 2;
    }
    sim_child sim({"--latency", std::to_string(latency_ms), "--broadcast", "127.255.255.255", "--modules",
        std::to_string(fleet), "--first", "127.0.0.2"});
    if (!sim.wait_for("kxd40-sim: ready\n")) {
        std::fprintf(stderr, "search_bench: the simulator did not start\n");
        return 1;
    }
    int worst = fleet, best = 0;
    double slowest = 0;
    bool truthful = true;
    for (int r = 0; r < rounds; ++r) {
        outcome o = search_once();
        worst = std::min(worst, o.found);
        best = std::max(best, o.found);
        slowest = std::max(slowest, o.ms);
        truthful = truthful && o.truthful;
    }
    std::printf("kxd40ctl search, %d modules answering %d ms late at once, %d rounds: listed %d to %d,"
                " the slowest search %.1f s%s\n",
        fleet, latency_ms, rounds, worst, best, slowest / 1000,
        truthful ? "" : "; a search listed fewer without saying answers were lost");
    bool ok = worst == fleet && truthful;
    std::printf("summary: kxd40ctl search of %d modules answering %d ms late at once: %d of %d listed"
                " (target %d of %d) %s\n",
        fleet, latency_ms, worst, fleet, fleet, fleet, ok ? "ok" : "FAIL");
    sim.stop();
    bool swept = sweep("127.1.0.0/22", "127.1.0.2", 3);
    swept = sweep("127.2.0.0/16", "127.2.0.2", 60) && swept;
    return ok && swept ? 0 : 3;
}
