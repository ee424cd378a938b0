/*
 * link.cpp - sending to the chosen module and receiving on the one socket.
 */
#include "link.h"

#include <cstring>

#include "discovery.h"
#include "module.h"

sockaddr_in addr_r;

namespace {

int waiting = 0;

} // namespace

void udp_add_r() { make_address(module_ip, KX_PORT, &addr_r); }

int udpsendn(const char* data, int n)
{
    if (udpsocket == 0)
        return -1;
    return net().send_to(udpsocket, data, n, addr_r);
}

int link_receive(char* buf, int n, int timeout_ms, int* length, int* stored)
{
    *stored = 0;
    *length = -1;
    if (udpsocket == 0)
        return RECEIVE_ABANDONED;
    ++waiting;
    int w = net().wait_readable(udpsocket, timeout_ms);
    --waiting;
    if (w == WAIT_ABANDONED)
        return RECEIVE_ABANDONED;
    if (w == WAIT_TIMEOUT)
        return RECEIVE_TIMED_OUT;
    *length = net().recv_from(udpsocket, buf, n, stored, nullptr);
    return RECEIVED;
}

int udprecvn(char* buf, int n)
{
    int length = -1, stored = 0;
    return link_receive(buf, n, WAIT_FOREVER, &length, &stored) == RECEIVED ? length : -1;
}

void link_discard_pending()
{
    char scrap[16];
    int stored = 0;
    for (int i = 0; udpsocket != 0 && i < 1000 && net().has_datagram(udpsocket); ++i)
        net().recv_from(udpsocket, scrap, sizeof scrap, &stored, nullptr);
}

bool link_waiting() { return waiting > 0; }
