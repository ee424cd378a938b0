/*
 * module_at.cpp - one AT command and its answer.
 *
 * The only place where command text meets the link. An exchange sends the
 * command (again, as its link's resend says, while the module says
 * nothing) and then takes the module's datagrams until its answer, 40
 * other answers, a silence, or ten seconds in all, whatever arrives;
 * datagrams already waiting before the send are stale and dropped first,
 * after the copies of the last reply that may still come (link.h).
 *
 * Only the answer is taken: a setting's is a bare "+ok", a query's a
 * positive reply of the query's shape. A reply to another command that
 * arrives late (the module was slow, the command went twice, a datagram
 * came twice) is no answer, and what cannot be told from such a reply is
 * asked again or fails the exchange: a value is never guessed.
 */
#include "module_at.h"

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "strutil.h"

int& module_silent = window_link.module_silent;
char (&module_last_refusal)[AT_REPLY_MAX + 1] = window_link.module_last_refusal;

namespace {

/* The command and its line feed, whole, in one datagram. */
int send_command(module_link& l, const char* cmd)
{
    char line[AT_LINE_MAX];
    size_t n = format_text(line, sizeof line, "%s\n", cmd);
    return link_send(l, line, static_cast<int>(n)) < 0 ? 0 : 1;
}

bool begins(const char* buf, int stored, const char* prefix)
{
    size_t len = std::strlen(prefix);
    return stored >= static_cast<int>(len) && std::memcmp(buf, prefix, len) == 0;
}

/* "+ok" and nothing but line ends: a setting's acknowledgment. A query's
 * "+ok=..." is not one, whatever follows. */
bool bare_ok(const char* buf, int stored, int length)
{
    if (length < 3 || stored < length || !begins(buf, stored, "+ok"))
        return false;
    for (int i = 3; i < length; ++i)
        if (buf[i] != '\r' && buf[i] != '\n')
            return false;
    return true;
}

/* The time and the answers of one exchange. The module counts as silent
 * when nothing that counts as an answer came before the exchange ended, or
 * when the link ended under it: either way a read stops there. One that
 * answered otherwise has merely refused the command, answered it oddly,
 * or answered so that its reply could not be told from a late one. */
class exchange {
public:
    exchange(module_link& l, const char* cmd, const at_resend& resend)
        : l_(l), cmd_(cmd), resend_(resend), deadline_(net().clock_ms() + longest())
    {
        l_.module_silent = 0;
    }

    /* The first send, once the copies the module still owes came or their
     * time is over; false (with module_silent) when it could not go. */
    bool start()
    {
        link_settle(l_);
        if (send())
            return true;
        l_.module_silent = l_.ended ? 1 : 0;
        link_took_nothing(l_);
        return false;
    }

    /* The next datagram, waiting as long as the exchange may; false (the
     * exchange is over) when none came in time. A wait in silence sends
     * the command again while the resend allows it. */
    bool receive(char* buf, int n, int* length, int* stored)
    {
        for (;;) {
            int each = heard_ ? resend_.heard_wait_ms : link_wait_ms(l_, resend_);
            /* The last send waits out the patience the resend gives: what
             * was learned hastens a resend, never the verdict of silence. */
            if (!heard_ && resend_.learns() && sends_ >= resend_.tries)
                each = std::max(each, static_cast<int>(first_send_ + patience() - net().clock_ms()));
            int wait = left() < each ? left() : each;
            if (wait > 0 && link_receive(l_, buf, n, wait, length, stored) == RECEIVED)
                return true;
            if (!heard_)
                link_back_off(l_, resend_);
            if (heard_ || sends_ >= resend_.tries || left() == 0 || l_.ended)
                break;
            send();
        }
        l_.module_silent = (heard_ || odd_ || unsure_) && !l_.ended ? 0 : 1;
        link_took_nothing(l_);
        return false;
    }

    /* What a datagram is, besides an answer: a copy of the last reply
     * (dropped), or one that cannot be told from such a copy (held, and
     * the wait goes on: asked again, the module settles it). */
    bool copy(const char* buf, int stored, bool could_answer)
    {
        int c = link_copy_of_last(l_, std::string(buf, static_cast<size_t>(stored)), could_answer);
        unsure_ = unsure_ || c == MAYBE_A_COPY;
        return c != NOT_A_COPY;
    }
    /* A positive reply of another command's shape: no answer, no try. */
    void stray() { odd_ = true; }
    void heard()
    {
        heard_ = true;
        l_.link_unconfirmed = false;
    }

    /* The answer: its copies may follow, and its time teaches the link
     * when the command went once. */
    void took(const char* buf, int stored)
    {
        l_.link_unconfirmed = false;
        long long now = net().clock_ms();
        if (sends_ == 1 && !unsure_)
            link_rtt_sample(l_, resend_, static_cast<int>(now - first_send_));
        int wait = std::min(first_wait_, link_copy_wait_ms(l_, resend_));
        link_took(l_, std::string(buf, static_cast<size_t>(stored)), sends_, last_send_, wait);
    }

    /* The pause after an answer that is not positive; false when the
     * exchange is over. */
    bool pause()
    {
        int ms = left() < AT_PAUSE_MS ? left() : AT_PAUSE_MS;
        if (!link_pause(l_, ms))
            l_.module_silent = 1;
        else if (left() > 0)
            return true;
        link_took_nothing(l_);
        return false;
    }
    void gave_up() { link_took_nothing(l_); }

private:
    bool send()
    {
        last_send_ = net().clock_ms();
        /* The silence may be a module that never got the link's "+ok". */
        if (sends_ > 0 && l_.link_unconfirmed)
            link_send(l_, "+ok", 3);
        if (sends_++ == 0) {
            first_send_ = last_send_;
            first_wait_ = link_wait_ms(l_, resend_);
        }
        return send_command(l_, cmd_) == 1;
    }
    long long patience() const { return static_cast<long long>(resend_.tries) * resend_.wait_ms; }
    int longest() const
    {
        long long all = static_cast<long long>(resend_.tries) * resend_.wait_ms;
        return all > AT_EXCHANGE_MS ? static_cast<int>(all) : AT_EXCHANGE_MS;
    }
    int left() const
    {
        long long l = deadline_ - net().clock_ms();
        return l > 0 ? static_cast<int>(l) : 0;
    }
    module_link& l_;
    const char* cmd_;
    at_resend resend_;
    long long deadline_;
    long long first_send_ = 0;
    long long last_send_ = 0;
    int first_wait_ = 0; /* the learned wait, before any back-off */
    int sends_ = 0;
    bool heard_ = false;
    bool odd_ = false;
    bool unsure_ = false;
};

/* Whether one item of a query's value is of the kind its shape says. */
bool item_fits(char kind, const enum_table* table, const std::string& item)
{
    unsigned char address[4];
    switch (kind) {
    case 'e':
        return table != nullptr && enum_by_module_text(*table, item.c_str(), -1) >= 0;
    case 'n':
        return !item.empty() && item.size() <= 9 && item.find_first_not_of("0123456789") == std::string::npos;
    case 'a':
        return parse_dotted_ipv4(item.c_str(), address) == 1;
    default:
        return true;
    }
}

} // namespace

bool reply_fits(const reply_shape& shape, const char* value)
{
    if (shape.items == nullptr)
        return true;
    std::vector<std::string> parts;
    for (const char* p = value;; ++p) {
        const char* comma = std::strchr(p, ',');
        parts.emplace_back(p, comma != nullptr ? static_cast<size_t>(comma - p) : std::strlen(p));
        if (comma == nullptr)
            break;
        p = comma;
    }
    const char* pattern = shape.items;
    size_t len = std::strlen(pattern);
    const char* star = std::strchr(pattern, '*');
    size_t before = star != nullptr ? static_cast<size_t>(star - pattern) : len;
    size_t after = star != nullptr ? len - before - 1 : 0;
    size_t rest_least = star == nullptr ? 0 : after > 0 ? 1 : 0;
    if (star == nullptr ? parts.size() != len : parts.size() < before + after + rest_least)
        return false;
    int table = 0;
    for (size_t i = 0; i < before; ++i)
        if (!item_fits(pattern[i], pattern[i] == 'e' ? shape.tables[table++] : nullptr, parts[i]))
            return false;
    for (size_t i = 0; i < after; ++i) {
        char kind = pattern[before + 1 + i];
        if (!item_fits(kind, kind == 'e' ? shape.tables[table++] : nullptr, parts[parts.size() - after + i]))
            return false;
    }
    return true;
}

void set_at_resend(int tries, int wait_ms)
{
    bool valid = tries >= 1 && wait_ms >= 1;
    window_link.query_resend = valid ? at_resend{tries, wait_ms, wait_ms} : window_query_resend;
    window_link.setting_resend = valid ? at_resend{tries, wait_ms, wait_ms} : window_setting_resend;
}

int at_query(module_link& l, const char* cmd, char* ret, size_t cap, const reply_shape* shape)
{
    exchange x(l, cmd, l.query_resend);
    l.module_last_refusal[0] = '\0';
    if (!x.start())
        return 0;
    char buf[AT_REPLY_MAX + 1];
    int tries = 0;
    while (tries < AT_TRIES) {
        int length = 0, stored = 0;
        if (!x.receive(buf, AT_REPLY_MAX, &length, &stored))
            return 0;
        bool positive = length > 4 && begins(buf, length - 4, "+ok");
        /* "+ok", one separator byte, then the value; a reply too short to
         * carry a separator has an empty value. */
        std::string value;
        if (positive && length - 4 > 4)
            value.assign(buf + 4, static_cast<size_t>(length - 8));
        value.resize(std::strlen(value.c_str()));
        bool fits = positive && (shape == nullptr || reply_fits(*shape, value.c_str()));
        if (x.copy(buf, stored, fits))
            continue;
        /* Datagrams of 4 bytes or less and oversized ones cost no try; the
         * exchange's time limit bounds them. */
        if (stored > 4 && !positive)
            x.heard();
        if (length <= 4)
            continue;
        if (fits) {
            x.took(buf, stored);
            copy_text(ret, cap, value.c_str());
            return 1;
        }
        if (positive) {
            x.stray();
            continue;
        }
        buf[length - 4] = '\0';
        copy_text(l.module_last_refusal, buf);
        ++tries;
        if (!x.pause())
            return 0;
    }
    x.gave_up();
    return 0;
}

int at_setting(module_link& l, const char* cmd)
{
    exchange x(l, cmd, l.setting_resend);
    if (!x.start())
        return 0;
    char buf[AT_REPLY_MAX + 1];
    for (int tries = 0; tries < AT_TRIES; ++tries) {
        int length = 0, stored = 0;
        if (!x.receive(buf, AT_REPLY_MAX, &length, &stored))
            return 0;
        bool echo = begins(buf, stored, "AT+E");
        bool ack = bare_ok(buf, stored, length);
        if (x.copy(buf, stored, ack || echo)) {
            --tries;
            continue;
        }
        if (!ack && begins(buf, stored, "+ok")) {
            x.stray(); /* a query's reply is no acknowledgment */
            --tries;
            continue;
        }
        x.heard();
        /* The echo of an "AT+E..." command: the reply is the next one. */
        if (echo) {
            if (!x.receive(buf, AT_REPLY_MAX, &length, &stored))
                return 0;
            x.took(buf, stored);
            return 1;
        }
        if (ack) {
            x.took(buf, stored);
            return 1;
        }
        if (!x.pause())
            return 0;
    }
    x.gave_up();
    return 0;
}

int module_send_cmd_get(const char* cmd, char* ret, size_t cap) { return at_query(window_link, cmd, ret, cap); }

int module_send_cmd_set(const char* cmd) { return at_setting(window_link, cmd); }

void get_list_item(const char* cin, int len, int* p, char* cout, size_t cap)
{
    int start = *p;
    int n = 0;
    while (start + n < len && cin[start + n] != ',')
        ++n;
    if (start < len)
        copy_text_n(cout, cap, cin + start, static_cast<size_t>(n));
    else if (cap > 0)
        cout[0] = '\0';
    *p = start + n + 1;
}
