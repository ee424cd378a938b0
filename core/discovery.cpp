/*
 * discovery.cpp - the search keyword, the parsing of module answers and
 * the passes of a search, broadcast or swept.
 */
#include "discovery.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "data_file.h"
#include "module_records.h"
#include "port_claim.h"
#include "strutil.h"

char aswd[100];
sockaddr_in addr_b;

const char default_keyword[] = "KX-D40LOCATORPING";

void get_aswd(char* buf)
{
    copy_text(buf, 100, default_keyword);
    read_keyword_file("data/aswd.txt", buf);
}

bool read_keyword_file(const char* path, char* buf)
{
    errno = 0;
    stdio_file f(open_regular(path));
    if (!f)
        return false;
    char line[100];
    if (std::fgets(line, sizeof line, f.get()) != nullptr && line[0] != '\0')
        copy_text(buf, 100, line);
    return true;
}

int get_field(char* dest, const char* text, int length, int* position)
{
    int start = *position;
    int n = 0;
    while (start + n < length && text[start + n] != ',' && text[start + n] != '\0') {
        if (n == FIELD_MAX)
            return 0;
        ++n;
    }
    if (start < length)
        copy_text_n(dest, FIELD_MAX + 1, text + start, n);
    else
        dest[0] = '\0';
    *position = start + n + 1;
    return 1;
}

int check_ip(const char* text)
{
    unsigned char scratch[4];
    return string_to_ip(text, scratch);
}

namespace {

/* The row that already lists the module at ip, or -1. Addresses are
 * compared as addresses, so "127.000.000.002" is 127.0.0.2. */
int row_of_address(const char* ip)
{
    unsigned char wanted[4], listed[4];
    if (!string_to_ip(ip, wanted))
        return -1;
    for (int i = 0; i < strmodule_num; ++i)
        if (string_to_ip(strmodule[i].ip, listed) && std::memcmp(wanted, listed, 4) == 0)
            return i;
    return -1;
}

} // namespace

int add_module_answer(const char* text, int length)
{
    /* The text ends at the datagram's end or its first NUL. */
    int len = 0;
    while (len < length && text[len] != '\0')
        ++len;

    STRMODULE m{};
    int position = 0;
    if (!get_field(m.ip, text, len, &position) || !check_ip(m.ip))
        return 0;
    if (!get_field(m.mac, text, len, &position) || !get_field(m.id, text, len, &position))
        return 0;
    if (m.ip[0] == '\0' || m.mac[0] == '\0')
        return 1;
    /* A module that answers twice keeps its one row, with what it said
     * last, and leaves the other rows to the modules not yet listed. */
    int row = row_of_address(m.ip);
    if (row < 0) {
        if (strmodule_num >= MODULE_TABLE_SIZE)
            return 0;
        row = strmodule_num++;
    }
    copy_text(strmodule[row].ip, m.ip);
    copy_text(strmodule[row].mac, m.mac);
    copy_text(strmodule[row].id, m.id);
    return 1;
}

int init_udp_socket()
{
    udp_open_error err = UDP_OPEN_OK;
    int sock = net().open_udp(KX_PORT, &err);
    std::string user = sock == 0 && err == UDP_OPEN_BIND_FAILED ? udp_port_user(KX_PORT) : std::string();
    if (!user.empty())
        std::printf("Port %d is %s\n", KX_PORT, held_by_text(user).c_str());
    else if (sock == 0)
        std::printf(err == UDP_OPEN_BIND_FAILED ? "udp-b bind failed\n" : "udp-b socket failed\n");
    return sock;
}

int broadcast_address(const char* local_ip, sockaddr_in* out)
{
    std::memset(out, 0, sizeof *out);
    if (local_ip == nullptr)
        return 0;
    /* Everything up to and including the third '.', then "255": the /24
     * broadcast, whatever the real netmask. */
    char text[32];
    int dots = 0;
    size_t n = 0;
    while (local_ip[n] != '\0' && dots < 3 && n + 4 < sizeof text) {
        if (local_ip[n] == '.')
            ++dots;
        ++n;
    }
    if (dots < 3)
        return 0;
    copy_text_n(text, sizeof text, local_ip, n);
    copy_text(text + n, sizeof text - n, "255");
    return make_address(text, KX_PORT, out);
}

int network_broadcast(const char* local_ip, int prefix, sockaddr_in* out)
{
    std::memset(out, 0, sizeof *out);
    unsigned char b[4];
    if (local_ip == nullptr || !parse_dotted_ipv4(local_ip, b) || prefix < 0 || prefix > 30)
        return 0;
    uint32_t host = prefix == 0 ? 0xffffffffu : 0xffffffffu >> prefix;
    uint32_t a = (static_cast<uint32_t>(b[0]) << 24 | b[1] << 16 | b[2] << 8 | b[3]) | host;
    out->sin_family = AF_INET;
    out->sin_port = htons(KX_PORT);
    out->sin_addr.s_addr = htonl(a);
    return 1;
}

namespace {

/* The search's share of the socket: what no link owns. */
hub_slot search_link;

struct search_scope {
    search_scope() { hub_search_begin(search_link); }
    ~search_scope() { hub_search_end(); }
};

/* When the i-th keyword of a paced pass is due, in ms after the first. */
long long due_ms(size_t i, int per_second)
{
    return per_second > 0 ? static_cast<long long>(i) * 1000 / per_second : 0;
}

void count_unsent(search_count* count, const sockaddr_in& to)
{
    if (count->unsent++ == 0)
        count->first_unsent = to;
}

/* One pass: the keyword to each destination at the plan's pace, answers
 * taken meanwhile; then answers until a second passes in silence or
 * SEARCH_PASS_MS have passed since the last keyword went, so that a stream
 * of traffic to the port cannot hold the search. Returns 0 when the wait
 * was abandoned. */
int search_pass(int sock, const search_plan& plan, const char* keyword, int keyword_len,
                void (*put_answer)(const char*, int), search_count* count)
{
    long long start = net().clock_ms(), end = 0;
    size_t sent = 0;
    for (;;) {
        long long now = net().clock_ms();
        for (; sent < plan.to.size() && start + due_ms(sent, plan.per_second) <= now; ++sent)
            if (net().send_to(sock, keyword, keyword_len, plan.to[sent]) != keyword_len && count != nullptr)
                count_unsent(count, plan.to[sent]);
        long long wait;
        if (sent < plan.to.size()) {
            wait = start + due_ms(sent, plan.per_second) - now;
        } else {
            if (end == 0)
                end = now + SEARCH_PASS_MS;
            wait = end - now;
            if (wait <= 0)
                return 1;
        }
        link_datagram d;
        int got = hub_receive(search_link, wait < SEARCH_QUIET_MS ? static_cast<int>(wait) : SEARCH_QUIET_MS, &d);
        if (got == RECEIVE_ABANDONED)
            return 0;
        if (got == RECEIVE_TIMED_OUT) {
            if (sent == plan.to.size())
                return 1;
            continue;
        }
        /* Failed and oversized datagrams, like every other one, only
         * restart the quiet second. */
        if (d.length >= 0 && d.length <= ANSWER_MAX)
            put_answer(d.bytes.data(), d.length);
    }
}

int window_list_filled() { return strmodule_num > 0 ? 1 : 0; }

} // namespace

int search_passes(int sock, const sockaddr_in& dest, const char* keyword, int keyword_len,
                  void (*put_answer)(const char*, int), int (*found)())
{
    if (found == nullptr)
        found = window_list_filled;
    search_plan plan;
    plan.to.push_back(dest);
    search_scope scope;
    for (int pass = 0; pass < SEARCH_PASSES && !found(); ++pass)
        if (!search_pass(sock, plan, keyword, keyword_len, put_answer, nullptr))
            return 0;
    return 1;
}

int search_to_end(int sock, const search_plan& plan, const char* keyword, int keyword_len,
                  void (*put_answer)(const char*, int), int (*listed)(), search_count* out)
{
    *out = search_count{};
    search_scope scope;
    for (;;) {
        int before = listed();
        unsigned long dropped = net().drops(sock);
        /* Every pass sends to every destination: the last one tells which
         * the system would not take. */
        out->unsent = 0;
        if (!search_pass(sock, plan, keyword, keyword_len, put_answer, out))
            return 0;
        unsigned long lost = net().drops(sock) - dropped;
        ++out->passes;
        out->lost += lost;
        out->may_miss_modules = lost > 0;
        /* Modules answering a broadcast all at once can lose each other's
         * answers on the air, which no counter tells: a broadcast passes
         * again after a pass that found someone. A sweep's answers come
         * spread over its length; asking the whole block again would
         * double it for nothing. */
        bool again = lost > 0 || (!plan.sweep && (listed() > before || (listed() == 0 && out->passes < SEARCH_PASSES)));
        if (!again || out->passes >= SEARCH_PASSES_MOST)
            return 1;
    }
}
