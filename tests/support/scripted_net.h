/*
 * scripted_net.h - a mediator that plays a script instead of a network.
 *
 * Datagrams queued with arrive() are there for the next wait; arrive_at()
 * queues one for a moment of the virtual clock. A wait with nothing due in
 * time is a time-out (its length is added to the clock). Replies can also
 * be tied to sends: on_send() answers each datagram sent with the next
 * scripted reaction. Everything sent is recorded.
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
    /* A datagram from the module at 127.0.0.2 that is waiting from now on
     * (a failed receive when fail). */
    void arrive(const std::string& bytes, bool fail = false);
    /* A datagram from host that arrives at virtual time at_ms. */
    void arrive_at(long long at_ms, const std::string& bytes, const std::string& host = "127.0.0.2");
    /* Called with each datagram sent, after it was recorded. */
    std::function<void(const sent_datagram&)> on_send;
    /* Wait results forced before the queue is looked at (e.g. abandon). */
    std::deque<int> forced_waits;

    std::vector<sent_datagram> sent;
    std::vector<int> wait_timeouts;
    std::vector<int> pauses;
    long long now = 0;
    int opened = 0;
    udp_open_error open_fails_with = UDP_OPEN_OK;

    int open_udp(unsigned short port, udp_open_error* err) override;
    void close_udp(int sock) override;
    int send_to(int sock, const void* data, int n, const sockaddr_in& to) override;
    int recv_from(int sock, char* buf, int n, int* stored, sockaddr_in* from) override;
    int wait_readable(int sock, int timeout_ms) override;
    bool has_datagram(int sock) override;
    bool pause_ms(int ms) override;
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
class net_scope {
public:
    explicit net_scope(net_mediator* m) { set_net(m); }
    ~net_scope() { set_net(nullptr); }
};

#endif
