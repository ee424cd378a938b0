/*
 * scripted_net.cpp - the scripted mediator.
 */
#include "scripted_net.h"

#include <algorithm>
#include <cstring>

int scripted_net::open_udp(unsigned short, udp_open_error* err)
{
    *err = open_fails_with;
    return open_fails_with != UDP_OPEN_OK ? 0 : 100 + ++opened;
}

int scripted_net::send_to(int, const void* data, int n, const sockaddr_in& to)
{
    if (address_unset(to))
        return -1;
    char host[32];
    address_text(to, host, sizeof host);
    sent.push_back({std::string(static_cast<const char*>(data), n),
                    std::string(host) + ":" + std::to_string(ntohs(to.sin_port)), now});
    if (on_send)
        on_send(sent_datagram(sent.back()));
    return n;
}

int scripted_net::recv_from(int, char* buf, int n, int* stored, sockaddr_in* from)
{
    *stored = 0;
    if (!has_datagram(0))
        return RECV_NONE;
    pending p = inbox_.front();
    inbox_.pop_front();
    if (p.fail)
        return -1;
    int size = static_cast<int>(p.bytes.size());
    *stored = size < n ? size : n;
    std::memcpy(buf, p.bytes.data(), *stored);
    if (from != nullptr)
        make_address(p.host.c_str(), KX_PORT, from);
    return size > n ? -1 : size;
}

int scripted_net::wait_readable(int, int timeout_ms)
{
    wait_timeouts.push_back(timeout_ms);
    if (!forced_waits.empty()) {
        int r = forced_waits.front();
        forced_waits.pop_front();
        return r;
    }
    if (!inbox_.empty() && (timeout_ms < 0 || inbox_.front().due <= now + timeout_ms)) {
        now = std::max(now, inbox_.front().due);
        return WAIT_READY;
    }
    now += timeout_ms >= 0 ? timeout_ms : 0;
    return WAIT_TIMEOUT;
}

bool scripted_net::pause_ms(int ms)
{
    pauses.push_back(ms);
    now += ms;
    return true;
}
