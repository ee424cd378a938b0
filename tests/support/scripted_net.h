/*
 * scripted_net.h - a mediator that plays a script instead of a network,
 * on a virtual clock.
 *
 * A wait with nothing due in its time is a time-out and moves the clock by
 * its length; a wait for a datagram due later moves the clock to it.
 * on_send reacts to each datagram sent, which is recorded.
 */
#ifndef KX_TESTS_SCRIPTED_NET_H
#define KX_TESTS_SCRIPTED_NET_H

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "netio.h"

struct sent_datagram {
    std::string bytes;
    std::string to;      /* "a.b.c.d:port" */
    long long at_ms;     /* virtual time of the send */
};

class scripted_net : public net_mediator {
public:
    /* From the module at 127.0.0.2, waiting from now on (a failed
     * receive when fail). */
    void arrive(const std::string& bytes, bool fail = false) { inbox_.push_back({bytes, fail, now, "127.0.0.2"}); }
    /* From host, due at virtual time at_ms. */
    void arrive_at(long long at_ms, const std::string& bytes, const std::string& host = "127.0.0.2")
    {
        inbox_.push_back({bytes, false, at_ms, host});
    }
    std::function<void(const sent_datagram&)> on_send;
    std::deque<int> forced_waits; /* wait results that come before the script's */

    std::vector<sent_datagram> sent;
    std::vector<int> wait_timeouts;
    std::vector<int> pauses;
    long long now = 0;
    unsigned long dropped = 0; /* what drops() tells: answers lost to a full buffer */
    int opened = 0;
    udp_open_error open_fails_with = UDP_OPEN_OK;

    int open_udp(unsigned short port, udp_open_error* err) override;
    void close_udp(int) override {}
    int send_to(int sock, const void* data, int n, const sockaddr_in& to) override;
    int recv_from(int sock, char* buf, int n, int* stored, sockaddr_in* from) override;
    int wait_readable(int sock, int timeout_ms) override;
    bool has_datagram(int) override { return !inbox_.empty() && inbox_.front().due <= now; }
    bool pause_ms(int ms) override;
    unsigned long drops(int) override { return dropped; }
    void interrupt() override {}
    long long clock_ms() override { return now; }

private:
    struct pending {
        std::string bytes;
        bool fail;
        long long due;
        std::string host;
    };
    std::deque<pending> inbox_;
};

/* Installs a mediator for the lifetime of the object. */
struct net_scope {
    explicit net_scope(net_mediator* m) { set_net(m); }
    ~net_scope() { set_net(nullptr); }
};

#endif
