/*
 * link.cpp - sending to the chosen module and receiving from it on the one
 * socket.
 */
#include "link.h"

#include <cstdio>
#include <cstring>

#include "discovery.h"
#include "module.h"

sockaddr_in addr_r;

namespace {

bool ended = false;
unsigned serial = 0;
/* Waits and pauses of the link in progress; link_end interrupts them. */
int active = 0;
/* An upload has the link (lent_link); a close of the settings window
 * meanwhile ends the window's link only once the upload gives it back. */
bool lent = false;
bool ended_while_lent = false;

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
    ++serial;
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
    bool whole = net().pause_ms(ms);
    return whole && !ended;
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
    /* An upload lent the link is not the settings window's to end. */
    if (lent) {
        ended_while_lent = true;
        return;
    }
    ended = true;
    ++serial;
    if (active > 0)
        net().interrupt();
}

lent_link::lent_link() : saved_addr_(addr_r), saved_ended_(ended)
{
    lent = true;
    ended_while_lent = false;
    udp_add_r();
}

lent_link::~lent_link()
{
    addr_r = saved_addr_;
    ended = saved_ended_ || ended_while_lent;
    lent = false;
    ++serial;
}

int keyword_handshake(const char* keyword, int tries, const handshake_hooks& hooks)
{
    int length = static_cast<int>(std::strlen(keyword));
    for (int n = 0; tries == 0 || n < tries; ++n) {
        udpsendn(keyword, length);
        if (hooks.sent != nullptr)
            hooks.sent();
        char answer[ANSWER_MAX + 1];
        int got = 0, stored = 0;
        int end = link_receive(answer, ANSWER_MAX, HANDSHAKE_WAIT_MS, &got, &stored);
        if (end == RECEIVE_ABANDONED)
            return -1;
        if (end == RECEIVED) {
            answer[stored] = '\0';
            if (hooks.answered != nullptr)
                hooks.answered(answer);
            udpsendn("+ok", 3);
            return 1;
        }
        if (hooks.silent != nullptr)
            hooks.silent();
    }
    return 0;
}

bool link_ended() { return ended; }

unsigned link_serial() { return serial; }
