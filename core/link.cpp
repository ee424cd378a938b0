/*
 * link.cpp - opening, using and ending the link to one module, and the
 * window's one link.
 */
#include "link.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "discovery.h"
#include "strutil.h"

module_link window_link;
sockaddr_in& addr_r = window_link.addr_r;

bool link_open(module_link& l, bool quiet)
{
    sockaddr_in address{};
    bool valid = make_address(l.module_ip, KX_PORT, &address) == 1;
    if (!valid && !quiet)
        std::printf("Module address not valid: %s\n", l.module_ip);
    l.ended = false;
    l.link_unconfirmed = false;
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

void link_discard_pending(module_link& l, std::deque<link_datagram>* dropped) { hub_discard(l, dropped); }

/* ---- What the link learns ---- */

at_resend learning_resend(int tries, int timeout_ms)
{
    int low = timeout_ms < AT_LEARNED_MIN_MS ? timeout_ms : AT_LEARNED_MIN_MS;
    int high = timeout_ms > AT_LEARNED_MAX_MS ? timeout_ms : AT_LEARNED_MAX_MS;
    return at_resend{tries, timeout_ms, timeout_ms, low, high};
}

namespace {

std::mutex shared_lock;
rtt_estimate shared_rtt; /* every learning link's samples */

/* As TCP's retransmission time-out: gains 1/8 and 1/4, four spreads. */
void take_sample(rtt_estimate& e, int ms)
{
    if (e.srtt_ms < 0) {
        e.srtt_ms = ms;
        e.rttvar_ms = ms / 2;
    } else {
        e.rttvar_ms = (3 * e.rttvar_ms + std::abs(e.srtt_ms - ms)) / 4;
        e.srtt_ms = (7 * e.srtt_ms + ms) / 8;
    }
    e.rto_ms = e.srtt_ms + std::max(1, 4 * e.rttvar_ms);
}

} // namespace

void forget_shared_rtt()
{
    std::lock_guard<std::mutex> g(shared_lock);
    shared_rtt = rtt_estimate{};
}

int link_wait_ms(const module_link& l, const at_resend& r)
{
    if (!r.learns())
        return r.wait_ms;
    int guess = l.rtt.rto_ms;
    if (guess < 0) {
        std::lock_guard<std::mutex> g(shared_lock);
        guess = shared_rtt.rto_ms >= 0 ? std::min(shared_rtt.rto_ms, r.wait_ms) : r.wait_ms;
    }
    return std::min(std::max(guess, r.min_wait_ms), r.max_wait_ms);
}

int link_copy_wait_ms(const module_link& l, const at_resend& r)
{
    if (!r.learns())
        return r.wait_ms;
    rtt_estimate e = l.rtt;
    if (e.srtt_ms < 0) {
        std::lock_guard<std::mutex> g(shared_lock);
        e = shared_rtt;
    }
    if (e.srtt_ms < 0)
        return link_wait_ms(l, r);
    /* Not held up to the lower bound: a copy later than this still meets
     * the ledger in the next exchange, it only costs more there. */
    return std::min(e.srtt_ms + std::max(1, 4 * e.rttvar_ms), r.max_wait_ms);
}

void link_rtt_sample(module_link& l, const at_resend& r, int ms)
{
    take_sample(l.rtt, ms);
    if (!r.learns())
        return;
    l.rtt.rto_ms = std::min(std::max(l.rtt.rto_ms, r.min_wait_ms), r.max_wait_ms);
    std::lock_guard<std::mutex> g(shared_lock);
    take_sample(shared_rtt, ms);
}

void link_back_off(module_link& l, const at_resend& r)
{
    if (r.learns())
        l.rtt.rto_ms = std::min(2 * link_wait_ms(l, r), r.max_wait_ms);
}

namespace {

/* The ledger of this opening of the link: another module, or the same one
 * linked anew, owes nothing to the replies of the last. */
reply_ledger& ledger_of(module_link& l)
{
    reply_ledger& g = l.ledger;
    if (g.serial != l.serial) {
        g = reply_ledger{};
        g.serial = l.serial;
    }
    return g;
}

} // namespace

namespace {

/* Another exchange has passed: what is owed no more, or too long, goes. */
void age_ledger(reply_ledger& g)
{
    for (owed_reply& e : g.replies)
        ++e.age;
    while (!g.replies.empty()) {
        const owed_reply& e = g.replies.front();
        if (e.seen < e.expected && e.age <= reply_ledger::KEPT_EXCHANGES)
            break;
        g.replies.pop_front();
    }
    if (g.replies.size() > reply_ledger::KEPT_EXCHANGES)
        g.replies.pop_front();
}

} // namespace

void link_took(module_link& l, const std::string& reply, int sends, long long last_send_ms, int wait_ms)
{
    /* An answer shows the module alive, and a back-off ends with it: one
     * loss is not to make every later one cost a doubled wait. Unless it
     * came so soon after the last send (within half a round trip) that it
     * may answer an earlier one: then the module is slower than learned,
     * and Karn's rule leaves the wait to the next clean sample. */
    rtt_estimate& rtt = l.rtt;
    if (sends > 1 && rtt.srtt_ms >= 0 && net().clock_ms() - last_send_ms >= rtt.srtt_ms / 2)
        rtt.rto_ms = rtt.srtt_ms + std::max(1, 4 * rtt.rttvar_ms);
    reply_ledger& g = ledger_of(l);
    age_ledger(g);
    owed_reply e;
    e.text = reply;
    e.sends = sends;
    e.expected = g.copies_seen ? 2 * sends : sends;
    e.seen = 1;
    e.until = last_send_ms + wait_ms;
    g.replies.push_back(e);
    g.last_taken = true;
}

void link_took_nothing(module_link& l)
{
    reply_ledger& g = ledger_of(l);
    age_ledger(g);
    g.last_taken = false;
}

int link_copy_of_last(module_link& l, const std::string& d, bool could_answer)
{
    reply_ledger& g = ledger_of(l);
    for (owed_reply& e : g.replies)
        if (e.seen < e.expected && e.text == d) {
            ++e.seen;
            return could_answer ? MAYBE_A_COPY : A_COPY;
        }
    if (could_answer)
        return NOT_A_COPY;
    for (auto e = g.replies.rbegin(); e != g.replies.rend(); ++e) {
        if (e->text != d)
            continue;
        /* More replies than sends: each send is answered twice. */
        if (!g.copies_seen) {
            g.copies_seen = true;
            for (owed_reply& o : g.replies)
                o.expected = 2 * o.sends;
        }
        ++e->seen;
        return A_COPY;
    }
    return NOT_A_COPY;
}

namespace {

/* The reply of the last exchange, while copies of it are owed. */
owed_reply* owing_last(reply_ledger& g)
{
    if (!g.last_taken || g.replies.empty())
        return nullptr;
    owed_reply& e = g.replies.back();
    return e.seen < e.expected ? &e : nullptr;
}

} // namespace

void link_settle(module_link& l, bool drop_pending)
{
    std::deque<link_datagram> stale;
    reply_ledger& g = ledger_of(l);
    if (drop_pending || owing_last(g) != nullptr)
        link_discard_pending(l, &stale);
    for (const link_datagram& d : stale)
        link_copy_of_last(l, d.bytes, false);
    char buf[AT_REPLY_MAX];
    for (int i = 0; i < 1000 && owing_last(g) != nullptr; ++i) {
        long long left = owing_last(g)->until - net().clock_ms();
        int length = 0, stored = 0;
        if (left <= 0)
            break;
        if (link_receive(l, buf, sizeof buf, static_cast<int>(left), &length, &stored) != RECEIVED)
            break;
        link_copy_of_last(l, std::string(buf, static_cast<size_t>(stored)), false);
    }
}

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
    return link_handshake(l, at_resend{tries, wait_ms, wait_ms}, answer, hooks);
}

int link_handshake(module_link& l, const at_resend& r, std::string* answer, const handshake_hooks& hooks)
{
    int length = static_cast<int>(std::strlen(l.module_aswd));
    link_settle(l, false);
    long long first_send = net().clock_ms();
    int first_wait = link_wait_ms(l, r);
    for (int n = 0; r.tries <= 0 || n < r.tries; ++n) {
        long long sent_at = net().clock_ms();
        link_send(l, l.module_aswd, length);
        if (hooks.sent != nullptr)
            hooks.sent();
        for (;;) {
            /* A link without samples of its own waits in short slices, so
             * that what its neighbours learn meanwhile shortens its wait. */
            long long left = sent_at + link_wait_ms(l, r) - net().clock_ms();
            /* What was learned decides when the keyword goes again, never
             * how soon a module counts as silent: that is the patience the
             * options give (a slow module among fast ones is still slow). */
            if (r.learns() && n + 1 == r.tries)
                left = std::max(left, first_send + static_cast<long long>(r.tries) * r.wait_ms - net().clock_ms());
            bool sliced = r.learns() && l.rtt.srtt_ms < 0 && left > r.min_wait_ms;
            char text[ANSWER_MAX + 1];
            int got = 0, stored = 0;
            int wait = static_cast<int>(sliced ? r.min_wait_ms : left);
            int end = left > 0 ? link_receive(l, text, ANSWER_MAX, wait, &got, &stored) : RECEIVE_TIMED_OUT;
            if (end == RECEIVE_ABANDONED)
                return -1;
            if (end != RECEIVED && sliced)
                continue;
            if (end != RECEIVED)
                break;
            std::string bytes(text, static_cast<size_t>(stored));
            /* A copy still owed of the module's last answer is no sign of
             * life; an answer like an earlier one is the answer all the
             * same (a module answers the keyword alike each time). */
            if (link_copy_of_last(l, bytes, true) != NOT_A_COPY)
                continue;
            if (n == 0)
                link_rtt_sample(l, r, static_cast<int>(net().clock_ms() - first_send));
            link_took(l, bytes, n + 1, sent_at, std::min(first_wait, link_copy_wait_ms(l, r)));
            l.link_unconfirmed = r.learns();
            text[stored] = '\0';
            if (answer != nullptr)
                *answer = text;
            if (hooks.answered != nullptr)
                hooks.answered(text);
            link_send(l, "+ok", 3);
            return 1;
        }
        link_back_off(l, r);
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
