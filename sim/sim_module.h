/*
 * sim_module.h - one simulated KX-D40 module, without any socket.
 *
 * The module is fed received datagrams and hands back the datagrams it
 * answers with; the socket loop in sim_main.cpp only moves bytes. Keeping
 * the protocol here lets the tests drive every state directly.
 */
#ifndef KXSIM_MODULE_H
#define KXSIM_MODULE_H

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "sim_settings.h"

namespace kxsim {

struct peer {
    uint32_t addr = 0; // host byte order
    uint16_t port = 0;
    bool operator==(const peer& o) const { return addr == o.addr && port == o.port; }
};

/* Ways a module may misbehave, so the tool can be tested against them. */
struct behaviour {
    long latency_ms = 0;
    bool silent = false;   // never sends anything
    bool twice = false;    // every datagram it sends goes out twice
    bool garbage = false;  // answers are replaced by bytes that are no valid answer
    bool oversize = false; // answers are padded past 100 bytes
    bool echo = false;     // echo at start-up and after every restart
    bool search_only = false; // answers the broadcast search, ignores its own address
    double drop_rate = 0.0;
    long boot_ms = 0;         // deaf for this long after a restart
    std::string version;      // AT+VER's answer from the start; empty: the factory's
    std::string next_version; // AT+VER's answer once an image is in; empty: unchanged
    std::string lose;         // datagrams to its address that begin so are lost; empty: none
    bool keep_settings = false; // acknowledges a valid setting, keeps the old value
};

struct module_config {
    uint32_t addr = 0;
    std::string mac;
    std::string id;
    behaviour how;
};

const char* const default_keyword = "KX-D40LOCATORPING";
/* Firmware arrives in datagrams of this size; a shorter one ends the image. */
const size_t firmware_chunk = 4096;
/* Length an oversized answer is padded to. */
const size_t oversize_length = 200;

class sim_module {
public:
    sim_module(const module_config& config, const std::string& keyword, uint32_t seed);

    /* Everything the module sends in return for one datagram, in order.
     * now_ms is the simulator's clock; only a module that boots after a
     * restart (boot_ms) cares what it says. */
    std::vector<std::string> handle(const std::string& datagram, const peer& from, long now_ms = 0);

    /* True while the module boots after a restart: it hears nothing. */
    bool booting(long now_ms) const { return now_ms < back_at_ms_; }

    /* Decides whether the next received datagram is lost on its way in.
     * The same seed gives the same sequence of decisions. */
    bool drop_next();

    /* Hands over a firmware image once one is complete; true only once per
     * image. */
    bool take_firmware(std::string* image);

    const std::string& ip() const { return unit_.ip; }
    uint32_t addr() const { return addr_; }
    const behaviour& how() const { return how_; }
    bool linked() const { return linked_; }
    bool echo() const { return echo_; }
    const settings& state() const { return state_; }

private:
    enum class kind { answer, echo };
    struct outgoing {
        kind what;
        bool discovery;
        std::string bytes;
    };

    std::vector<outgoing> respond(const std::string& datagram, const peer& from);
    std::vector<outgoing> command(const std::string& datagram, const peer& from);
    std::string run(const std::string& line, const peer& from);
    std::string run_action(const std::string& name, const peer& from);
    void take_chunk(const std::string& datagram);
    void restart();
    std::vector<std::string> shape(const std::vector<outgoing>& out) const;
    std::string misshape(const outgoing& o) const;

    identity unit_;
    uint32_t addr_;
    std::string keyword_;
    behaviour how_;
    settings state_;
    std::mt19937 dice_;

    bool greeted_ = false; // keyword seen, so "+ok" completes the link
    bool linked_ = false;
    bool echo_ = false;
    bool receiving_ = false;
    peer loader_;          // the peer whose datagrams are firmware data
    std::string image_;
    bool image_ready_ = false;
    long now_ms_ = 0;     // the clock when the datagram being handled came
    long back_at_ms_ = 0; // when the last restart's boot is over
};

} // namespace kxsim

#endif
