/*
 * link.cpp - sending to the chosen module and receiving from it on the one
 * socket.
 */
#include "link.h"

#include <cstdio>

#include "discovery.h"
#include "module.h"

sockaddr_in addr_r;

namespace {

bool ended = false;
/* Waits and pauses of the link in progress; link_end interrupts them. */
int active = 0;

struct activity {
    activity() { ++active; }
    ~activity() { --active; }
};

/* Milliseconds left until deadline, or WAIT_FOREVER for none. */
int left_until(long long deadline)
{
    if (deadline < 0)
        return WAIT_FOREVER;
    long long left = deadline - net().clock_ms();
    return left > 0 ? static_cast<int>(left) : 0;
}

/* A datagram from the module? Foreign ones, failed receives and stale
 * readiness reports are all "nothing yet". */
bool take_datagram(char* buf, int n, int* length, int* stored)
{
    sockaddr_in from{};
    *length = net().recv_from(udpsocket, buf, n, stored, &from);
    bool datagram = *length >= 0 || *stored > 0;
    return datagram && same_host(from, addr_r);
}

} // namespace

void udp_add_r()
{
    ended = false;
    if (!make_address(module_ip, KX_PORT, &addr_r))
        std::printf("Module address not valid: %s\n", module_ip);
}

int udpsendn(const char* data, int n)
{
    if (ended || udpsocket == 0 || address_unset(addr_r))
        return -1;
    return net().send_to(udpsocket, data, n, addr_r);
}

int link_receive(char* buf, int n, int timeout_ms, int* length, int* stored)
{
    *stored = 0;
    *length = -1;
    long long deadline = timeout_ms >= 0 ? net().clock_ms() + timeout_ms : -1;
    while (!ended && udpsocket != 0) {
        int w;
        {
            activity a;
            w = net().wait_readable(udpsocket, left_until(deadline));
        }
        if (w == WAIT_ABANDONED || ended)
            break;
        if (w == WAIT_TIMEOUT)
            return RECEIVE_TIMED_OUT;
        if (take_datagram(buf, n, length, stored))
            return RECEIVED;
        *stored = 0;
        *length = -1;
        if (deadline >= 0 && left_until(deadline) == 0)
            return RECEIVE_TIMED_OUT;
    }
    return RECEIVE_ABANDONED;
}

int udprecvn(char* buf, int n)
{
    int length = -1, stored = 0;
    return link_receive(buf, n, WAIT_FOREVER, &length, &stored) == RECEIVED ? length : -1;
}

bool link_pause(int ms)
{
    if (ended)
        return false;
    activity a;
    net().pause_ms(ms);
    return !ended;
}

void link_discard_pending()
{
    char scrap[16];
    int stored = 0;
    for (int i = 0; udpsocket != 0 && i < 1000 && net().has_datagram(udpsocket); ++i)
        if (net().recv_from(udpsocket, scrap, sizeof scrap, &stored, nullptr) == RECV_NONE)
            break;
}

void link_end()
{
    ended = true;
    if (active > 0)
        net().interrupt();
}

bool link_ended() { return ended; }
