/*
 * module_at.cpp - one AT command and its answer.
 *
 * The only place where command text meets the link. An exchange sends the
 * command once and then takes datagrams until a positive reply, 40 other
 * answers, or two seconds of silence; datagrams already waiting before the
 * send are stale and dropped first.
 */
#include <cstdio>
#include <cstring>

#include "link.h"
#include "module.h"
#include "strutil.h"

int module_silent = 0;

namespace {

/* The command and its line feed, whole, in one datagram. */
int send_command(const char* cmd)
{
    char line[AT_LINE_MAX];
    size_t n = format_text(line, sizeof line, "%s\n", cmd);
    link_discard_pending();
    return udpsendn(line, static_cast<int>(n)) < 0 ? 0 : 1;
}

/* One datagram of the exchange; false when none came in time. The module
 * counts as silent only when nothing at all answered the command: one that
 * answered otherwise and then stopped has merely refused it. */
bool receive(char* buf, int n, int* length, int* stored, bool* heard)
{
    if (link_receive(buf, n, AT_RECEIVE_MS, length, stored) == RECEIVED) {
        *heard = true;
        return true;
    }
    module_silent = *heard ? 0 : 1;
    return false;
}

bool begins(const char* buf, int stored, const char* prefix)
{
    size_t len = std::strlen(prefix);
    return stored >= static_cast<int>(len) && std::memcmp(buf, prefix, len) == 0;
}

} // namespace

int module_send_cmd_get(const char* cmd, char* ret, size_t cap)
{
    module_silent = 0;
    if (!send_command(cmd))
        return 0;
    char buf[AT_REPLY_MAX + 1];
    int tries = 0, failed = 0;
    bool heard = false;
    while (tries < AT_TRIES) {
        int length = 0, stored = 0;
        if (!receive(buf, AT_REPLY_MAX, &length, &stored, &heard))
            return 0;
        if (length < 0) {
            /* Oversized or failed receives cost no try, but cannot go on
             * for ever either. */
            if (++failed >= AT_TRIES)
                return 0;
            continue;
        }
        if (length <= 4)
            continue;
        buf[length - 4] = '\0';
        if (begins(buf, length - 4, "+ok")) {
            /* "+ok", one separator byte, then the value; a reply too short
             * to carry a separator has an empty value. */
            copy_text(ret, cap, length - 4 > 4 ? buf + 4 : "");
            return 1;
        }
        ++tries;
        net().pause_ms(AT_PAUSE_MS);
    }
    return 0;
}

int module_send_cmd_set(const char* cmd)
{
    module_silent = 0;
    if (!send_command(cmd))
        return 0;
    char buf[AT_SET_JUDGED];
    bool heard = false;
    for (int tries = 0; tries < AT_TRIES; ++tries) {
        int length = 0, stored = 0;
        if (!receive(buf, AT_SET_JUDGED, &length, &stored, &heard))
            return 0;
        /* The echo of an "AT+E..." command: the reply is the next one. */
        if (begins(buf, stored, "AT+E"))
            return receive(buf, AT_SET_JUDGED, &length, &stored, &heard) ? 1 : 0;
        if (begins(buf, stored, "+ok"))
            return 1;
        net().pause_ms(AT_PAUSE_MS);
    }
    return 0;
}

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
