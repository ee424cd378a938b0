/*
 * sim_main.cpp - kxd40-sim: runs the simulated modules on real UDP sockets.
 *
 * One thread and one loop serve every module socket, the broadcast socket
 * and the signal pipe; it waits on a ready_set, so each wake-up costs the
 * sockets with something to read, not the thousands that are quiet. A
 * reply that must wait (--latency) is queued with its due time instead of
 * sleeping, so a slow module never holds up the others.
 */
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>

#include "sim_log.h"
#include "sim_module.h"
#include "sim_options.h"
#include "sim_socket.h"
#include "strutil.h"
#include "version.h"

namespace kxsim {
namespace {

/* A datagram taken from a socket, with the kernel's time of arrival. */
struct arrival {
    int64_t stamp_us;
    size_t source; // module index; the broadcast socket is modules_.size()
    peer from;
    std::string data;
};

/* Datagrams taken from one socket in one round, so a flood on one socket
 * cannot starve the others. */
const int round_limit = 1024;

/* Open files besides the modules' sockets: standard streams, the log, the
 * broadcast socket, the signal pipe, the ready set, the stamp probe. */
const size_t spare_descriptors = 16;

struct pending_send {
    size_t module;
    peer to;
    std::string bytes;
};

class simulator {
public:
    explicit simulator(const sim_config& config);
    bool start(std::string* why);
    void run();

private:
    using clock = std::chrono::steady_clock;

    long now_ms() const;
    int poll_timeout() const;
    void collect(size_t source, udp_socket& s, std::vector<arrival>* batch);
    void serve_round(const std::vector<size_t>& ready);
    void serve_module(const arrival& a);
    void serve_broadcast(const arrival& a);
    void deliver(size_t i, const std::string& datagram, const peer& from, long now);
    void send_due();
    void save_firmware(const sim_module& m, const std::string& image);

    sim_config config_;
    std::vector<sim_module> modules_;
    std::vector<udp_socket> sockets_;
    udp_socket broadcast_;
    traffic_log log_;
    signal_pipe wake_;
    ready_set ready_;
    std::multimap<long, pending_send> queue_; // equal due times keep their order
    clock::time_point started_ = clock::now();
};

simulator::simulator(const sim_config& config) : config_(config)
{
    for (const module_config& m : config.modules)
        modules_.emplace_back(m, config.keyword, config.seed);
}

bool simulator::start(std::string* why)
{
    if (!allow_descriptors(modules_.size() + spare_descriptors, why)) {
        *why = std::to_string(modules_.size()) + " modules: " + *why;
        return false;
    }
    if (!log_.open(config_.log_path, why))
        return false;
    sockets_.reserve(modules_.size());
    for (const sim_module& m : modules_) {
        sockets_.emplace_back();
        if (!sockets_.back().open(m.addr(), config_.port, false, why)
            || !ready_.add(sockets_.back().fd(), sockets_.size() - 1, why))
            return false;
    }
    if (config_.broadcast_set
        && (!broadcast_.open(config_.broadcast, config_.port, true, why)
            || !ready_.add(broadcast_.fd(), modules_.size(), why)))
        return false;
    if (!modules_.empty() && !await_arrival_stamps(modules_.front().addr(), 3000))
        std::fprintf(stderr, "kxd40-sim: datagrams are not stamped on arrival; "
                             "those sent to different modules may be served out of order\n");
    return wake_.open(why) && ready_.add(wake_.fd(), modules_.size() + 1, why);
}

long simulator::now_ms() const
{
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(clock::now() - started_).count());
}

int simulator::poll_timeout() const
{
    if (queue_.empty())
        return -1;
    long wait = queue_.begin()->first - now_ms();
    return wait < 0 ? 0 : static_cast<int>(wait);
}

void simulator::run()
{
    const size_t wake = modules_.size() + 1;
    std::vector<size_t> ready;
    /* A signal breaks the wait with nothing ready; it also wrote the
     * pipe, so the next wait ends the loop. */
    while (ready_.wait(poll_timeout(), &ready)) {
        if (std::find(ready.begin(), ready.end(), wake) != ready.end())
            break;
        serve_round(ready);
        send_due();
    }
    log_.close();
}

void simulator::collect(size_t source, udp_socket& s, std::vector<arrival>* batch)
{
    for (int n = 0; n < round_limit; ++n) {
        arrival a{0, source, {}, {}};
        if (!s.receive(&a.data, &a.from, &a.stamp_us))
            return;
        batch->push_back(std::move(a));
    }
}

/* Each socket has its own queue in the kernel; ordering what they hold by
 * arrival time serves the datagrams in the order the tool sent them, e.g. a
 * broadcast keyword before the "+ok" that follows it to one module. */
void simulator::serve_round(const std::vector<size_t>& ready)
{
    std::vector<arrival> batch;
    for (size_t key : ready)
        collect(key, key < sockets_.size() ? sockets_[key] : broadcast_, &batch);
    std::stable_sort(batch.begin(), batch.end(),
                     [](const arrival& a, const arrival& b) { return a.stamp_us < b.stamp_us; });
    for (const arrival& a : batch) {
        if (a.source < modules_.size())
            serve_module(a);
        else
            serve_broadcast(a);
    }
}

void simulator::serve_module(const arrival& a)
{
    sim_module& m = modules_[a.source];
    bool lost = m.drop_next();
    const std::string& lose = m.how().lose;
    lost = lost || (!lose.empty() && a.data.compare(0, lose.size(), lose) == 0);
    bool deaf = m.how().search_only;
    long now = now_ms();
    const char* fate = lost ? "dropped" : deaf ? "ignored" : m.booting(now) ? "booting" : "ok";
    log_.record(now, m.ip(), a.from, a.data, fate);
    if (!lost && !deaf)
        deliver(a.source, a.data, a.from, now);
}

/* Every module hears a broadcast, and each one may lose it on its own. */
void simulator::serve_broadcast(const arrival& a)
{
    std::vector<bool> lost;
    std::string who;
    for (sim_module& m : modules_) {
        lost.push_back(m.drop_next());
        if (lost.back())
            who += (who.empty() ? "" : ",") + m.ip();
    }
    long now = now_ms();
    log_.record(now, "bcast", a.from, a.data, who.empty() ? "ok" : "dropped:" + who);
    for (size_t i = 0; i < modules_.size(); ++i)
        if (!lost[i])
            deliver(i, a.data, a.from, now);
}

void simulator::deliver(size_t i, const std::string& datagram, const peer& from, long now)
{
    sim_module& m = modules_[i];
    long due = now + m.how().latency_ms;
    for (std::string& bytes : m.handle(datagram, from, now))
        queue_.emplace(due, pending_send{i, from, std::move(bytes)});
    std::string image;
    if (m.take_firmware(&image))
        save_firmware(m, image);
    send_due();
}

void simulator::send_due()
{
    long now = now_ms();
    while (!queue_.empty() && queue_.begin()->first <= now) {
        const pending_send& p = queue_.begin()->second;
        if (!sockets_[p.module].send(p.bytes, p.to))
            std::fprintf(stderr, "kxd40-sim: %s: send failed: %s\n",
                         modules_[p.module].ip().c_str(), std::strerror(errno));
        queue_.erase(queue_.begin());
    }
}

void simulator::save_firmware(const sim_module& m, const std::string& image)
{
    if (!config_.firmware_path.empty()) {
        std::string path = firmware_file(config_, m.ip());
        stdio_file f(path.c_str(), "wb");
        bool ok = f && std::fwrite(image.data(), 1, image.size(), f.get()) == image.size();
        if (f.close() != 0 || !ok)
            std::fprintf(stderr, "kxd40-sim: cannot write %s\n", path.c_str());
    }
    std::printf("kxd40-sim: %s firmware %zu bytes\n", m.ip().c_str(), image.size());
}

} // namespace
} // namespace kxsim

int main(int argc, char** argv)
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    kxsim::sim_config config;
    std::string why;
    switch (kxsim::parse_options(argc, argv, &config, &why)) {
    case kxsim::parse_result::help:
        std::fputs(kxsim::usage_text(), stdout);
        return 0;
    case kxsim::parse_result::version:
        std::puts("kxd40-sim " KXD40_VERSION);
        return 0;
    case kxsim::parse_result::fail:
        std::fprintf(stderr, "kxd40-sim: %s (try --help)\n", why.c_str());
        return 2;
    case kxsim::parse_result::run:
        break;
    }
    kxsim::simulator sim(config);
    if (!sim.start(&why)) {
        std::fprintf(stderr, "kxd40-sim: %s\n", why.c_str());
        return 1;
    }
    std::printf("kxd40-sim: ready\n");
    sim.run();
    return 0;
}
