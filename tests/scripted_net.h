/*
 * scripted_net.h - a mediator that plays a script instead of a network.
 *
 * Datagrams queued with arrive() are there for the next wait; a wait with
 * nothing queued is a time-out (its length is added to a virtual clock).
 * Replies can also be tied to sends: on_send() answers each datagram sent
 * with the next scripted reaction. Everything sent is recorded.
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
    /* A datagram that is waiting from now on (a recv failure when fail). */
    void arrive(const std::string& bytes, bool fail = false);
    /* Called with each datagram sent, after it was recorded. */
    std::function<void(const sent_datagram&)> on_send;
    /* Wait results forced before the queue is looked at (e.g. abandon). */
    std::deque<int> forced_waits;

    std::vector<sent_datagram> sent;
    std::vector<int> wait_timeouts;
    long long now = 0;
    int opened = 0;
    int closed = 0;
    udp_open_error open_fails_with = UDP_OPEN_OK;

    int open_udp(unsigned short port, udp_open_error* err) override;
    void close_udp(int sock) override;
    int send_to(int sock, const void* data, int n, const sockaddr_in& to) override;
    int recv_from(int sock, char* buf, int n, int* stored, sockaddr_in* from) override;
    int wait_readable(int sock, int timeout_ms) override;
    bool has_datagram(int sock) override;
    void pause_ms(int ms) override;
    std::vector<int> pauses;

private:
    struct pending {
        std::string bytes;
        bool fail;
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
