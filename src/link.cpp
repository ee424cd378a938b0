/*
 * link.cpp - opening, using and ending the link to one module, and the
 * window's one link.
 */
#include "link.h"

#include <cstdio>
#include <cstring>

#include "discovery.h"
#include "strutil.h"
#include "udp_hub.h"

module_link window_link;
sockaddr_in& addr_r = window_link.addr_r;

module_link::~module_link() { hub_detach(*this); }

bool link_open(module_link& l, bool quiet)
{
    sockaddr_in address{};
    bool valid = make_address(l.module_ip, KX_PORT, &address) == 1;
    if (!valid && !quiet)
        std::printf("Module address not valid: %s\n", l.module_ip);
    l.ended = false;
    ++l.serial;
    hub_attach(l, address);
    return valid;
}

int link_send(module_link& l, const char* data, int n)
{
    if (l.ended || udpsocket == 0 || address_unset(l.addr_r))
        return -1;
    return net().send_to(udpsocket, data, n, l.addr_r);
}

int link_receive(module_link& l, char* buf, int n, int timeout_ms, int* length, int* stored)
{
    *stored = 0;
    *length = -1;
    link_datagram d;
    int end = hub_receive(l, timeout_ms, &d);
    if (end != RECEIVED)
        return end;
    int keep = static_cast<int>(d.bytes.size()) < n ? static_cast<int>(d.bytes.size()) : n;
    std::memcpy(buf, d.bytes.data(), static_cast<size_t>(keep));
    *stored = keep;
    *length = d.length >= 0 && d.length <= n ? d.length : -1;
    return RECEIVED;
}

bool link_pause(module_link& l, int ms) { return hub_pause(l, ms); }

void link_discard_pending(module_link& l) { hub_discard(l); }

void link_end(module_link& l)
{
    /* An upload lent the link is not the settings window's to end. */
    if (l.lent) {
        l.ended_while_lent = true;
        return;
    }
    l.ended = true;
    ++l.serial;
    hub_wake(l);
}

link_hold::link_hold(module_link& l) : link_(l) { ++link_.held; }

link_hold::~link_hold() { --link_.held; }

int link_handshake(module_link& l, int tries, int wait_ms, std::string* answer, const handshake_hooks& hooks)
{
    int length = static_cast<int>(std::strlen(l.module_aswd));
    for (int n = 0; tries == 0 || n < tries; ++n) {
        link_send(l, l.module_aswd, length);
        if (hooks.sent != nullptr)
            hooks.sent();
        char text[ANSWER_MAX + 1];
        int got = 0, stored = 0;
        int end = link_receive(l, text, ANSWER_MAX, wait_ms, &got, &stored);
        if (end == RECEIVE_ABANDONED)
            return -1;
        if (end == RECEIVED) {
            text[stored] = '\0';
            if (answer != nullptr)
                *answer = text;
            if (hooks.answered != nullptr)
                hooks.answered(text);
            link_send(l, "+ok", 3);
            return 1;
        }
        if (hooks.silent != nullptr)
            hooks.silent();
    }
    return 0;
}

/* ---- The window's link ---- */

void udp_add_r() { link_open(window_link); }

int udpsendn(const char* data, int n) { return link_send(window_link, data, n); }

int udprecvn(char* buf, int n)
{
    int length = -1, stored = 0;
    return link_receive(window_link, buf, n, WAIT_FOREVER, &length, &stored) == RECEIVED ? length : -1;
}

bool link_ended() { return window_link.ended; }

void link_end() { link_end(window_link); }

void link_discard_pending() { link_discard_pending(window_link); }

unsigned link_serial() { return window_link.serial; }

lent_link::lent_link() : saved_addr_(window_link.addr_r), saved_ended_(window_link.ended)
{
    window_link.lent = true;
    window_link.ended_while_lent = false;
    udp_add_r();
}

lent_link::~lent_link()
{
    window_link.addr_r = saved_addr_;
    window_link.ended = saved_ended_ || window_link.ended_while_lent;
    window_link.lent = false;
    ++window_link.serial;
}

int keyword_handshake(const char* keyword, int tries, const handshake_hooks& hooks)
{
    if (keyword != window_link.module_aswd)
        copy_text(window_link.module_aswd, keyword);
    return link_handshake(window_link, tries, HANDSHAKE_WAIT_MS, nullptr, hooks);
}
