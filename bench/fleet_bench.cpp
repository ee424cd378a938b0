/*
 * fleet_bench.cpp - whether the simulator serves a fleet in parallel.
 *
 * Thirty simulated modules, each answering 20 ms late, in a private
 * network of their own. A search broadcast, then the keyword to all thirty
 * at once, then a query to all thirty at once: each time every module must
 * answer from its own address with its own text, and the last answer must
 * come about 20 ms after the sends, not thirty times that, which is what a
 * simulator that served the modules' latencies one after another would
 * give. Plain sockets on the tool's side, so only the simulator is timed.
 */
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "netns.h"
#include "sim_runner.h"
#include "strutil.h"
#include "tool_socket.h"

namespace {

const int modules = 30;
const int latency_ms = 20;
const double target_ms = 2.0 * latency_ms;
const int rounds = 5;
const std::string keyword = "KX-D40LOCATORPING";

using clock_type = std::chrono::steady_clock;

std::string module_ip(int i) { return "127.0.0." + std::to_string(2 + i); }

/* The default ID of module i, from its address's last byte. */
std::string module_id(int i)
{
    char id[16];
    format_text(id, sizeof id, "KXD40-%04d", 2 + i);
    return id;
}

/* What module i answers to the keyword and to "AT+MID". */
std::string search_answer(int i)
{
    char mac[16];
    format_text(mac, sizeof mac, "ACCF230000%02X", 2 + i);
    return module_ip(i) + "," + mac + "," + module_id(i);
}

std::string mid_reply(int i) { return "+ok=" + module_id(i) + "\r\n\r\n"; }

/* Milliseconds from t0 until every module gave its expected answer, or
 * -1 when one was wrong or missing after a second. */
double answers(tool_socket& tool, clock_type::time_point t0, std::string (*expected)(int))
{
    std::map<std::string, std::string> want;
    for (int i = 0; i < modules; ++i)
        want[module_ip(i)] = expected(i);
    while (!want.empty()) {
        std::string from, data = tool.receive(&from, 1000);
        auto it = want.find(from);
        if (data.empty() || it == want.end() || it->second != data)
            return -1;
        want.erase(it);
    }
    return std::chrono::duration<double, std::milli>(clock_type::now() - t0).count();
}

struct figure {
    const char* what;
    std::vector<double> ms;
    double worst() const { return *std::max_element(ms.begin(), ms.end()); }
    double median() const
    {
        std::vector<double> v = ms;
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    }
};

/* One round: search, link all, query all; false when an answer was wrong
 * or missing. */
bool round_trip(tool_socket& tool, figure* search, figure* link, figure* query)
{
    auto t0 = clock_type::now();
    tool.send("127.0.0.255", keyword);
    search->ms.push_back(answers(tool, t0, search_answer));
    t0 = clock_type::now();
    for (int i = 0; i < modules; ++i)
        tool.send(module_ip(i), keyword);
    link->ms.push_back(answers(tool, t0, search_answer));
    for (int i = 0; i < modules; ++i)
        tool.send(module_ip(i), "+ok");
    t0 = clock_type::now();
    for (int i = 0; i < modules; ++i)
        tool.send(module_ip(i), "AT+MID\n");
    query->ms.push_back(answers(tool, t0, mid_reply));
    for (const figure* f : {search, link, query})
        if (f->ms.back() < 0)
            return false;
    return true;
}

} // namespace

int main()
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::string why;
    if (!enter_private_network(&why)) {
        std::fprintf(stderr, "fleet_bench: no private network: %s\n", why.c_str());
        return 2;
    }
    tool_socket tool;
    sim_process sim({"--latency", std::to_string(latency_ms), "--broadcast", "127.0.0.255", "--modules",
        std::to_string(modules), "--first", "127.0.0.2"});
    if (!tool.bound() || !sim.ready()) {
        std::fprintf(stderr, "fleet_bench: the simulator did not start\n");
        return 1;
    }
    figure search{"search (one broadcast)", {}}, link{"keyword to each at once", {}},
        query{"AT+MID to each at once", {}};
    for (int r = 0; r < rounds; ++r) {
        if (!round_trip(tool, &search, &link, &query)) {
            std::fprintf(stderr, "fleet_bench: a module's answer was wrong or missing\n");
            return 1;
        }
    }
    std::printf("%d simulated modules at %d ms latency, last answer after the sends, %d rounds\n", modules,
        latency_ms, rounds);
    for (const figure* f : {&search, &link, &query})
        std::printf("  %-24s median %.1f ms, worst %.1f ms\n", f->what, f->median(), f->worst());
    /* The median round of each, so one stall of a busy machine does not
     * decide; serving the modules in turn would be far off either way. */
    double slowest = std::max({search.median(), link.median(), query.median()});
    bool ok = slowest <= target_ms;
    std::printf("summary: simulator, %d modules at %d ms latency asked at once: all answered after %.1f ms"
                " (target <= %.0f ms; in turn it would be %d ms) %s\n",
        modules, latency_ms, slowest, target_ms, modules * latency_ms, ok ? "ok" : "FAIL");
    return ok ? 0 : 3;
}
