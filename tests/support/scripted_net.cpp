/*
 * scripted_net.cpp - the scripted mediator.
 */
#include "scripted_net.h"

#include <cstring>

void scripted_net::arrive(const std::string& bytes, bool fail)
{
    inbox_.push_back({bytes, fail, now, "127.0.0.2"});
}

void scripted_net::arrive_at(long long at_ms, const std::string& bytes, const std::string& host)
{
    inbox_.push_back({bytes, false, at_ms, host});
}

int scripted_net::open_udp(unsigned short, udp_open_error* err)
{
    *err = open_fails_with;
    if (open_fails_with != UDP_OPEN_OK)
        return 0;
    return 100 + ++opened;
}

void scripted_net::close_udp(int) {}

int scripted_net::send_to(int, const void* data, int n, const sockaddr_in& to)
{
    if (address_unset(to))
        return -1;
    char host[32];
    address_text(to, host, sizeof host);
    sent_datagram d{std::string(static_cast<const char*>(data), n),
                    std::string(host) + ":" + std::to_string(ntohs(to.sin_port)), now};
    sent.push_back(d);
    if (on_send)
        on_send(d);
    return n;
}

int scripted_net::recv_from(int, char* buf, int n, int* stored, sockaddr_in* from)
{
    *stored = 0;
    if (inbox_.empty() || inbox_.front().due > now)
        return RECV_NONE;
    pending p = inbox_.front();
    inbox_.pop_front();
    if (p.fail)
        return -1;
    int keep = static_cast<int>(p.bytes.size()) < n ? static_cast<int>(p.bytes.size()) : n;
    std::memcpy(buf, p.bytes.data(), keep);
    *stored = keep;
    if (from != nullptr)
        make_address(p.host.c_str(), KX_PORT, from);
    return static_cast<int>(p.bytes.size()) > n ? -1 : static_cast<int>(p.bytes.size());
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
        if (inbox_.front().due > now)
            now = inbox_.front().due;
        return WAIT_READY;
    }
    if (timeout_ms >= 0)
        now += timeout_ms;
    return WAIT_TIMEOUT;
}

bool scripted_net::has_datagram(int) { return !inbox_.empty() && inbox_.front().due <= now; }

bool scripted_net::pause_ms(int ms)
{
    pauses.push_back(ms);
    now += ms;
    return true;
}
