/*
 * loss_bench.cpp - how often the window reads a module whole on a lossy
 * network.
 *
 * "读取设置" against a simulated module that loses one datagram in ten on
 * its way in, once for each drop seed 1..20: the window's handshake, then
 * the four pages in the window's order, stopping where the window stops
 * (the first page that finds the module silent). A run counts as complete
 * when no page found the module silent and all four were read. The seeds
 * fix which datagrams are lost, so the count moves only when the tool
 * sends differently. Each run has a private network of its own.
 */
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "discovery.h"
#include "link.h"
#include "module.h"
#include "netns.h"
#include "sim_runner.h"
#include "strutil.h"

namespace {

const int seeds = 20;
const int target = 19;
const char* const drop_rate = "0.1";
/* A run that takes longer than this is taken as hung, not as a result. */
const unsigned run_limit_s = 300;

enum run_end { COMPLETE = 0, INCOMPLETE = 1, BROKEN = 2 };

struct page {
    const char* name;
    void (*read)();
    const int* inited;
};

const page pages[] = {
    {"management", init_module_mana_struct, &strMODMana.inited},
    {"serial", init_module_comm_struct, &strMODComm.inited},
    {"AP", init_module_ap_struct, &strMODAP.inited},
    {"STA", init_module_sta_struct, &strMODSTA.inited},
};

/* The datagrams the module lost, as "AT+WMODE, +ok": why a run stopped. */
std::string losses(const sim_process& sim)
{
    std::string out;
    for (const sim_datagram& d : sim.received()) {
        if (d.fate != "dropped")
            continue;
        std::string text = d.bytes == default_keyword ? "keyword" : d.bytes.substr(0, d.bytes.find('\n'));
        out += (out.empty() ? "" : ", ") + text;
    }
    return out.empty() ? "none" : out;
}

/* The window's "模块设置" handshake: the keyword each second until an
 * answer, then "+ok". A single keyword and a wait without end, as
 * read_bench links, would hang whenever the keyword is lost. */
bool window_link()
{
    u_socket = udpsocket = init_udp_socket();
    if (u_socket == 0)
        return false;
    copy_text(module_ip, "127.0.0.2");
    copy_text(module_aswd, default_keyword);
    clear_mod_structs();
    udp_add_r();
    const handshake_hooks quiet = {nullptr, nullptr, nullptr};
    return keyword_handshake(module_aswd, 0, quiet) == 1;
}

/* One seeded read; runs in a child process of its own. */
int one_run(int seed)
{
    std::string why;
    if (!enter_private_network(&why)) {
        std::fprintf(stderr, "loss_bench: no private network: %s\n", why.c_str());
        return BROKEN;
    }
    sim_process sim({"--drop-rate", drop_rate, "--seed", std::to_string(seed), "--module", "127.0.0.2"});
    if (!sim.ready() || !window_link()) {
        std::fprintf(stderr, "loss_bench: seed %d: the simulated module did not answer\n", seed);
        return BROKEN;
    }
    long long t0 = monotonic_ms();
    const char* stopped = nullptr;
    for (const page& p : pages) {
        p.read();
        if (module_silent || *p.inited != 1) {
            stopped = p.name;
            break;
        }
    }
    long long ms = monotonic_ms() - t0;
    if (stopped == nullptr) {
        std::printf("  seed %2d: complete, %lld ms\n", seed, ms);
        return COMPLETE;
    }
    std::printf("  seed %2d: stopped at the %s page after %lld ms; lost on the way in: %s\n", seed, stopped,
        ms, losses(sim).c_str());
    return INCOMPLETE;
}

/* The run's end as its child reports it. A child that did not exit
 * normally is BROKEN, and its simulator, in the child's process group,
 * is ended with it. */
int run_in_child(int seed)
{
    std::fflush(stdout);
    pid_t pid = fork();
    if (pid < 0)
        return BROKEN;
    if (pid == 0) {
        setpgid(0, 0);
        alarm(run_limit_s);
        int end = one_run(seed);
        std::fflush(stdout);
        _exit(end);
    }
    setpgid(pid, pid);
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
        kill(-pid, SIGTERM);
        return BROKEN;
    }
    return WEXITSTATUS(status);
}

} // namespace

int main()
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::printf("window read of the four pages, %s of the datagrams to the module lost, seeds 1..%d\n",
        drop_rate, seeds);
    int complete = 0;
    for (int seed = 1; seed <= seeds; ++seed) {
        int end = run_in_child(seed);
        if (end != COMPLETE && end != INCOMPLETE) {
            std::fprintf(stderr, "loss_bench: seed %d: the run broke off\n", seed);
            return 1;
        }
        complete += end == COMPLETE ? 1 : 0;
    }
    std::printf("summary: window read at 10%% loss: %d of %d seeded runs complete (target >= %d)\n", complete,
        seeds, target);
    return complete >= target ? 0 : 3;
}
