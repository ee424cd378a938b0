/*
 * targets.cpp - the program's socket, the search and the targets of
 * kxd40ctl: which modules a command reaches.
 *
 * The search is the window's (the keyword of its keyword file, the passes
 * of the core, the /24 broadcast of the local address), but it keeps every
 * module that answers: the window's list stops at ten, a fleet does not.
 */
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <arpa/inet.h>
#include <fnmatch.h>

#include "actions.h"
#include "csv.h"
#include "ctl.h"
#include "defaults.h"
#include "discovery.h"
#include "local_addr.h"
#include "module.h"
#include "port_claim.h"
#include "report.h"
#include "strutil.h"

namespace kxctl {
namespace {

/* The answers of the search in progress (it runs before any worker), and
 * where each address stands among them: a module answers every pass, and
 * a thousand of them each time. */
std::vector<module_ref> answers;
std::map<uint32_t, size_t> answer_at;

bool same_address(const std::string& a, const std::string& b)
{
    unsigned char x[4], y[4];
    return parse_dotted_ipv4(a.c_str(), x) && parse_dotted_ipv4(b.c_str(), y) && std::memcmp(x, y, 4) == 0;
}

/* An answer by the window's field rules; a module answering twice keeps
 * its one place, with what it said last. */
void take_answer(const char* text, int length)
{
    int len = 0;
    while (len < length && text[len] != '\0')
        ++len;
    char ip[FIELD_MAX + 1], mac[FIELD_MAX + 1], id[FIELD_MAX + 1];
    int at = 0;
    if (!get_field(ip, text, len, &at) || !check_ip(ip) || !get_field(mac, text, len, &at) ||
        !get_field(id, text, len, &at) || mac[0] == '\0')
        return;
    unsigned char b[4] = {};
    parse_dotted_ipv4(ip, b);
    uint32_t key = static_cast<uint32_t>(b[0]) << 24 | b[1] << 16 | b[2] << 8 | b[3];
    auto known = answer_at.emplace(key, answers.size());
    if (known.second)
        answers.push_back({ip, mac, id});
    else
        answers[known.first->second] = {ip, mac, id};
}

int answer_count() { return static_cast<int>(answers.size()); }

/* The list may miss a module: say so, with how many answers the system
 * dropped. */
void say_lost(unsigned long lost)
{
    std::fprintf(stderr, "kxd40ctl: %lu answers were lost on the way in (the receive buffer overflowed)\n", lost);
}

/* A search nobody answered is most often a keyword or a network other
 * than the modules': say which were used. */
std::string searched(const std::string& local)
{
    char broadcast[INET_ADDRSTRLEN] = "";
    inet_ntop(AF_INET, &addr_b.sin_addr, broadcast, sizeof broadcast);
    /* The keyword goes as its file holds it, a final line break too. */
    size_t length = std::strlen(aswd);
    bool line_break = length > 0 && (aswd[length - 1] == '\n' || aswd[length - 1] == '\r');
    return " (" + keyword_origin() + (line_break ? ", ending in a line break that is sent with it" : "") +
           "; broadcast to " + broadcast + " from " + local + ")";
}

} // namespace

void complain(const module_ref& m, const std::string& text)
{
    std::fprintf(stderr, "kxd40ctl: %s: %s\n", m.ip.c_str(), text.c_str());
}

bool open_socket()
{
    init_net();
    /* Another of our programs on this machine would take the modules'
     * replies: nothing is sent while one holds the port. */
    std::string holder;
    if (!hold_program_port(&holder)) {
        std::fprintf(stderr, "kxd40ctl: port %d is %s\n", KX_PORT, held_by_text(holder).c_str());
        return false;
    }
    udp_open_error err = UDP_OPEN_OK;
    /* A small buffer makes the loss report testable with a few modules. */
    const char* buffer = std::getenv("KXD40CTL_RECEIVE_BUFFER");
    if (buffer != nullptr && *buffer != '\0')
        set_receive_buffer(std::atoi(buffer));
    u_socket = udpsocket = net().open_udp(KX_PORT, &err);
    if (u_socket != 0)
        return true;
    std::string user = err == UDP_OPEN_BIND_FAILED ? udp_port_user(KX_PORT) : std::string();
    if (!user.empty())
        std::fprintf(stderr, "kxd40ctl: port %d is %s\n", KX_PORT, held_by_text(user).c_str());
    else
        std::fprintf(stderr, "kxd40ctl: cannot %s a UDP socket on port %d\n",
                     err == UDP_OPEN_BIND_FAILED ? "bind" : "open", KX_PORT);
    return false;
}

std::vector<std::string> local_choices()
{
    bool resolved = false;
    return local_addresses(&resolved);
}

std::string default_local_address()
{
    std::vector<std::string> all = local_choices();
    return all.empty() ? std::string() : all.front();
}

bool search_modules(const std::string& local, std::vector<module_ref>* found, unsigned long* lost)
{
    if (!broadcast_address(local.c_str(), &addr_b)) {
        std::fprintf(stderr, "kxd40ctl: no local address to search from\n");
        return false;
    }
    answers.clear();
    answer_at.clear();
    int keyword_len = static_cast<int>(std::strlen(aswd));
    search_count count;
    if (!search_to_end(u_socket, addr_b, aswd, keyword_len, take_answer, answer_count, &count)) {
        std::fprintf(stderr, "kxd40ctl: the search was cut short\n");
        return false;
    }
    *found = answers;
    *lost = count.may_miss_modules ? count.lost : 0;
    return true;
}

bool resolve_targets(const target_choice& chosen, const common_options& o, std::vector<module_ref>* out)
{
    for (const std::string& a : chosen.addresses)
        out->push_back({a, "", ""});
    if (!chosen.searching())
        return true;
    std::vector<module_ref> found;
    std::string local = o.from.empty() ? default_local_address() : o.from;
    unsigned long lost = 0;
    if (!search_modules(local, &found, &lost))
        return false;
    /* An action on all modules but some it could not know of is refused. */
    if (lost > 0) {
        say_lost(lost);
        return false;
    }
    if (found.empty()) {
        std::fprintf(stderr, "kxd40ctl: the search found no module%s\n", searched(local).c_str());
        return false;
    }
    size_t before = out->size();
    for (const module_ref& m : found) {
        bool wanted = chosen.id_pattern.empty() || fnmatch(chosen.id_pattern.c_str(), m.id.c_str(), 0) == 0;
        auto listed = std::find_if(out->begin(), out->end(), [&](const module_ref& t) { return same_address(t.ip, m.ip); });
        if (listed != out->end())
            *listed = m; /* named and found: the search knows its MAC and ID */
        else if (wanted)
            out->push_back(m);
    }
    if (out->size() == before && !chosen.id_pattern.empty()) {
        std::fprintf(stderr, "kxd40ctl: no module found has an ID matching %s\n", chosen.id_pattern.c_str());
        return false;
    }
    return true;
}

void in_address_order(std::vector<module_ref>::iterator first, std::vector<module_ref>::iterator last)
{
    auto value = [](const module_ref& m) {
        in_addr a{};
        inet_pton(AF_INET, m.ip.c_str(), &a);
        return ntohl(a.s_addr);
    };
    std::stable_sort(first, last, [&](const module_ref& a, const module_ref& b) { return value(a) < value(b); });
}

int run_search(const common_options& o)
{
    if (!open_socket())
        return EXIT_FAILED;
    std::vector<module_ref> found;
    std::string local = o.from.empty() ? default_local_address() : o.from;
    unsigned long lost = 0;
    if (!search_modules(local, &found, &lost))
        return EXIT_FAILED;
    in_address_order(found.begin(), found.end());
    if (o.csv)
        std::printf("%s", search_csv_header().c_str());
    for (const module_ref& m : found) {
        if (o.csv) {
            std::printf("%s", search_csv_row(m).c_str());
        } else if (o.json) {
            ordered_json j{{"schema", JSON_SCHEMA}, {"ip", m.ip},         {"mac", shown(m.mac)},
                           {"id", shown(m.id)},     {"action", "search"}, {"result", "done"},
                           {"error", nullptr},      {"data", ordered_json::object()}};
            std::printf("%s\n", j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
        } else {
            std::printf("%-15s  %-17s  %s\n", m.ip.c_str(), shown(m.mac).c_str(), shown(m.id).c_str());
        }
    }
    if (lost > 0)
        say_lost(lost);
    else if (found.empty())
        std::fprintf(stderr, "kxd40ctl: no module answered%s\n", searched(local).c_str());
    return found.empty() || lost > 0 ? EXIT_FAILED : EXIT_DONE;
}

} // namespace kxctl
