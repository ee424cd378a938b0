/*
 * reply_bench.cpp - what slow and lossy modules cost kxd40ctl, and whether
 * what it reads of them is true.
 *
 * Whole kxd40ctl processes with their default options, in a private
 * network, against simulated modules named as address ranges (no search):
 *  - a read of 30 modules answering 800 ms late (later than the default
 *    time-out) against a read of one of them, by wall time, and how many
 *    of the 30 records are exactly the module's settings: the factory's as
 *    a fault-free module reports them, with the module's own MID and
 *    access point name;
 *  - a read of 100 modules answering 20 ms late that lose one datagram in
 *    ten on its way in, against 100 that lose none.
 * A link that learns how long its module takes waits for a slow reply
 * instead of asking again, and a lost datagram costs about one of its
 * waits, not a time-out. The kinds alternate round by round, so all see
 * the same machine; the best round of each time counts, the worst of the
 * exact counts.
 */
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "ctl/ctl_run.h"
#include "netns.h"
#include "sim_runner.h"

namespace {

using nlohmann::json;
using clock_type = std::chrono::steady_clock;

const int slow_fleet = 30;
const int lossy_fleet = 100;
const int rounds = 3;
const double target_slow_ratio = 1.2;
const double target_loss_ratio = 2.0;

/* 127.0.0.2 answers at once and tells the factory settings; 127.0.1.x
 * answer 800 ms late; 127.0.2.x lose nothing, 127.0.3.x one in ten. */
const char* const reference = "127.0.0.2";

std::string range(int net, int count)
{
    return "127.0." + std::to_string(net) + ".2-" + std::to_string(count + 1);
}

std::vector<std::string> sim_args()
{
    return {"--module", reference, "--latency", "800", "--modules", std::to_string(slow_fleet), "--first",
        "127.0.1.2", "--latency", "20", "--modules", std::to_string(lossy_fleet), "--first", "127.0.2.2",
        "--drop-rate", "0.1", "--modules", std::to_string(lossy_fleet), "--first", "127.0.3.2"};
}

/* The settings the module at ip holds: the simulator names it after its
 * address. */
json truth(json factory, const std::string& ip)
{
    unsigned a = 0, b = 0, c = 0, d = 0;
    std::sscanf(ip.c_str(), "%u.%u.%u.%u", &a, &b, &c, &d);
    char mid[16], ssid[16];
    std::snprintf(mid, sizeof mid, "KXD40-%04u", (c * 256 + d) % 10000);
    std::snprintf(ssid, sizeof ssid, "KXD40_%02X%02X", c, d);
    factory["management"]["mid"] = mid;
    factory["ap"]["ssid"] = ssid;
    return factory;
}

struct timed {
    double ms = 0;
    int done = 0, exact = 0;
};

timed read_of(const std::string& targets, const json& factory)
{
    auto t0 = clock_type::now();
    ctl_result r = ctl({"read", "--json", targets});
    timed t;
    t.ms = std::chrono::duration<double, std::milli>(clock_type::now() - t0).count();
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
        json j = json::parse(line, nullptr, false);
        if (!j.is_object() || j.value("result", "") != "done")
            continue;
        t.done += 1;
        t.exact += j["data"]["settings"] == truth(factory, j.value("ip", "")) ? 1 : 0;
    }
    return t;
}

/* The rounds of one kind. */
struct figure {
    std::vector<timed> v;
    template <class T> T least(T timed::*what) const
    {
        T n = v.front().*what;
        for (const timed& t : v)
            n = std::min(n, t.*what);
        return n;
    }
    template <class T> T most(T timed::*what) const
    {
        T n = v.front().*what;
        for (const timed& t : v)
            n = std::max(n, t.*what);
        return n;
    }
    double best() const { return least(&timed::ms); }
    double worst() const { return most(&timed::ms); }
};

bool summary_ratio(const char* what, const figure& many, const figure& few, double target)
{
    double ratio = many.best() / few.best();
    bool ok = ratio <= target;
    std::printf("summary: %s: %.2f s / %.2f s = %.2f (target <= %.1f) %s\n", what, many.best() / 1000,
        few.best() / 1000, ratio, target, ok ? "ok" : "FAIL");
    return ok;
}

bool summary_count(const char* what, int count, int target)
{
    bool ok = count >= target;
    std::printf("summary: %s: %d of %d (target %d of %d) %s\n", what, count, target, target, target,
        ok ? "ok" : "FAIL");
    return ok;
}

} // namespace

int main()
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::string why;
    if (!enter_private_network(&why)) {
        std::fprintf(stderr, "reply_bench: no private network: %s\n", why.c_str());
        return 2;
    }
    sim_child sim(sim_args());
    if (!sim.wait_for("kxd40-sim: ready\n")) {
        std::fprintf(stderr, "reply_bench: the simulator did not start\n");
        return 1;
    }
    ctl_result ref = ctl({"read", "--json", reference});
    json factory = json::parse(ref.out, nullptr, false);
    if (ref.status != 0 || !factory.is_object()) {
        std::fprintf(stderr, "reply_bench: the fault-free module could not be read\n%s", ref.err.c_str());
        return 1;
    }
    factory = factory["data"]["settings"];
    figure slow1, slow30, clean100, lossy100;
    for (int r = 0; r < rounds; ++r) {
        slow1.v.push_back(read_of("127.0.1.2", factory));
        slow30.v.push_back(read_of(range(1, slow_fleet), factory));
        clean100.v.push_back(read_of(range(2, lossy_fleet), factory));
        lossy100.v.push_back(read_of(range(3, lossy_fleet), factory));
    }
    std::printf("kxd40ctl read with its default options, best of %d rounds\n", rounds);
    std::printf("  800 ms late: one %.0f to %.0f ms, 30 %.0f to %.0f ms; exact records of the 30: %d to %d\n",
        slow1.best(), slow1.worst(), slow30.best(), slow30.worst(), slow30.least(&timed::exact),
        slow30.most(&timed::exact));
    std::printf("  100 modules 20 ms late: %.0f to %.0f ms without loss, %.0f to %.0f ms at 10 %% loss"
                " (done at least %d and %d of 100; exact %d and %d)\n",
        clean100.best(), clean100.worst(), lossy100.best(), lossy100.worst(), clean100.least(&timed::done),
        lossy100.least(&timed::done), clean100.least(&timed::exact), lossy100.least(&timed::exact));
    const bool met[] = {
        summary_ratio("kxd40ctl read of 30 modules answering 800 ms late against one", slow30, slow1,
            target_slow_ratio),
        summary_count("kxd40ctl read of 30 modules answering 800 ms late, exact records",
            slow30.least(&timed::exact), slow_fleet),
        summary_ratio(
            "kxd40ctl read of 100 modules at 10 % loss against none", lossy100, clean100, target_loss_ratio),
    };
    return std::all_of(std::begin(met), std::end(met), [](bool m) { return m; }) ? 0 : 3;
}
