/*
 * module_at.cpp - one AT command and its answer.
 *
 * The only place where command text meets the link. An exchange sends the
 * command (again, as its link's resend says, while the module says
 * nothing) and then takes the module's datagrams until a positive reply,
 * 40 other answers, a silence, or ten seconds in all, whatever arrives;
 * datagrams already waiting before the send are stale and dropped first.
 */
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <string>

#include "link.h"
#include "module.h"
#include "strutil.h"

int& module_silent = window_link.module_silent;
char (&module_last_refusal)[AT_REPLY_MAX + 1] = window_link.module_last_refusal;

namespace {

/* The command and its line feed, whole, in one datagram. */
int send_command(module_link& l, const char* cmd)
{
    char line[AT_LINE_MAX];
    size_t n = format_text(line, sizeof line, "%s\n", cmd);
    link_discard_pending(l);
    return link_send(l, line, static_cast<int>(n)) < 0 ? 0 : 1;
}

bool begins(const char* buf, int stored, const char* prefix)
{
    size_t len = std::strlen(prefix);
    return stored >= static_cast<int>(len) && std::memcmp(buf, prefix, len) == 0;
}

/* The time and the answers of one exchange. The module counts as silent
 * when nothing that counts as an answer came before the exchange ended, or
 * when the link ended under it: either way a read stops there. One that
 * answered otherwise has merely refused the command. */
class exchange {
public:
    exchange(module_link& l, const char* cmd, const at_resend& resend)
        : l_(l), cmd_(cmd), resend_(resend), deadline_(net().clock_ms() + longest())
    {
        l_.module_silent = 0;
    }

    /* The first send; false (with module_silent) when it could not go. */
    bool start()
    {
        ++sends_;
        if (send_command(l_, cmd_))
            return true;
        l_.module_silent = l_.ended ? 1 : 0;
        return false;
    }

    /* The next datagram, waiting at most limit_ms (-1: as long as the
     * exchange may); false when none came in time. A limit is waited out
     * whole, however short the link's wait for an answer: it is the time a
     * held reply gives the real one to come. */
    bool receive(char* buf, int n, int* length, int* stored, int limit_ms = -1)
    {
        for (;;) {
            int each = limit_ms >= 0 ? limit_ms : heard_ ? resend_.heard_wait_ms : resend_.wait_ms;
            int wait = left() < each ? left() : each;
            if (wait > 0 && link_receive(l_, buf, n, wait, length, stored) == RECEIVED)
                return true;
            if (heard_ || sends_ >= resend_.tries || left() == 0 || l_.ended)
                break;
            ++sends_;
            send_command(l_, cmd_);
        }
        l_.module_silent = heard_ && !l_.ended ? 0 : 1;
        return false;
    }
    void heard() { heard_ = true; }
    /* The pause after an answer that is not positive; false when the
     * exchange is over. */
    bool pause()
    {
        int ms = left() < AT_PAUSE_MS ? left() : AT_PAUSE_MS;
        if (!link_pause(l_, ms)) {
            l_.module_silent = 1;
            return false;
        }
        return left() > 0;
    }

private:
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
    int sends_ = 0;
    bool heard_ = false;
};

/* A reply equal to one of the link's recent positive replies is held for
 * a moment, in case the real reply follows; when nothing follows it is
 * taken, as two settings may well have the same value. They belong to one
 * opening of the link: another module, or the same one linked anew, owes
 * nothing to them. */
void forget_other_openings(module_link& l)
{
    recent_replies& r = l.recent;
    if (r.serial == l.serial)
        return;
    r.serial = l.serial;
    for (std::string& k : r.kept)
        k.clear();
    r.next = 0;
}

bool recently_replied(module_link& l, const std::string& reply)
{
    forget_other_openings(l);
    for (const std::string& k : l.recent.kept)
        if (k == reply)
            return true;
    return false;
}

void remember_reply(module_link& l, const std::string& reply)
{
    forget_other_openings(l);
    l.recent.kept[l.recent.next] = reply;
    l.recent.next = (l.recent.next + 1) % recent_replies::KEPT;
}

} // namespace

void set_at_resend(int tries, int wait_ms)
{
    bool valid = tries >= 1 && wait_ms >= 1;
    window_link.query_resend = valid ? at_resend{tries, wait_ms, wait_ms} : window_query_resend;
    window_link.setting_resend = valid ? at_resend{tries, wait_ms, wait_ms} : window_setting_resend;
}

int at_query(module_link& l, const char* cmd, char* ret, size_t cap)
{
    exchange x(l, cmd, l.query_resend);
    l.module_last_refusal[0] = '\0';
    if (!x.start())
        return 0;
    char buf[AT_REPLY_MAX + 1];
    std::string held;   /* a reply equal to a recent one, while we wait */
    long long held_until = 0;
    int tries = 0;
    while (tries < AT_TRIES) {
        int length = 0, stored = 0;
        int limit = held.empty() ? -1 : static_cast<int>(std::max(0LL, held_until - net().clock_ms()));
        if (!x.receive(buf, AT_REPLY_MAX, &length, &stored, limit)) {
            if (held.empty() || l.ended)
                return 0;
            l.module_silent = 0;
            copy_text(ret, cap, held.size() > 4 ? held.c_str() + 4 : "");
            return 1;
        }
        /* Datagrams of 4 bytes or less and oversized ones cost no try; the
         * exchange's time limit bounds them. */
        if (stored > 4)
            x.heard();
        if (length <= 4)
            continue;
        buf[length - 4] = '\0';
        if (begins(buf, length - 4, "+ok")) {
            std::string reply(buf, static_cast<size_t>(length - 4));
            if (recently_replied(l, reply)) {
                if (held.empty()) {
                    held = reply;
                    held_until = net().clock_ms() + AT_DUPLICATE_GRACE_MS;
                }
                continue;
            }
            remember_reply(l, reply);
            /* "+ok", one separator byte, then the value; a reply too short
             * to carry a separator has an empty value. */
            copy_text(ret, cap, length - 4 > 4 ? buf + 4 : "");
            return 1;
        }
        copy_text(l.module_last_refusal, buf);
        ++tries;
        if (!x.pause())
            return 0;
    }
    return 0;
}

int at_setting(module_link& l, const char* cmd)
{
    exchange x(l, cmd, l.setting_resend);
    if (!x.start())
        return 0;
    char buf[AT_SET_JUDGED];
    for (int tries = 0; tries < AT_TRIES; ++tries) {
        int length = 0, stored = 0;
        if (!x.receive(buf, AT_SET_JUDGED, &length, &stored))
            return 0;
        x.heard();
        /* The echo of an "AT+E..." command: the reply is the next one. */
        if (begins(buf, stored, "AT+E"))
            return x.receive(buf, AT_SET_JUDGED, &length, &stored) ? 1 : 0;
        if (begins(buf, stored, "+ok"))
            return 1;
        if (!x.pause())
            return 0;
    }
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
