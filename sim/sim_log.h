/*
 * sim_log.h - the traffic log of kxd40-sim.
 *
 * One line for every datagram the simulator receives, written before the
 * drop decision takes effect and flushed at once, so a test can read what
 * the tool sent even while the simulator is still running:
 *
 *   <seq> <t_ms> <to> <from-ip:port> <len> <hex> <fate>
 *
 *   seq    1, 2, 3, ... in order of reception
 *   t_ms   whole milliseconds since the simulator started
 *   to     the receiving module's address, or "bcast" for the broadcast socket
 *   len    datagram length in bytes
 *   hex    the bytes in lower-case hex, two digits each, "-" when empty
 *   fate   "ok"; "dropped" when the module lost it; "ignored" by a module
 *          that answers only the search; "booting" when it came while the
 *          module was restarting; for bcast "dropped:IP[,IP...]" naming
 *          the modules that lost it
 */
#ifndef KXSIM_LOG_H
#define KXSIM_LOG_H

#include <memory>
#include <string>

#include "sim_module.h"

class stdio_file;

namespace kxsim {

/* The log line without its end, so tests can compare it whole. */
std::string log_line(unsigned long seq, long t_ms, const std::string& to, const peer& from,
                     const std::string& data, const std::string& fate);

class traffic_log {
public:
    traffic_log();
    ~traffic_log();

    /* An empty path gives a log that writes nothing. */
    bool open(const std::string& path, std::string* why);
    void record(long t_ms, const std::string& to, const peer& from, const std::string& data,
                const std::string& fate);
    void close();

private:
    std::unique_ptr<stdio_file> file_;
    unsigned long seq_ = 0;
};

} // namespace kxsim

#endif
