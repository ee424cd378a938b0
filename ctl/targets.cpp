/*
 * targets.cpp - the program's socket, the search and the targets of
 * kxd40ctl: which modules a command reaches.
 *
 * The search is the window's (the keyword of its keyword file, the passes
 * of the core), but it keeps every module that answers: the window's list
 * stops at ten, a fleet does not. It broadcasts to the network of each
 * local address by its real netmask, not the window's /24, and to the
 * broadcast addresses given; or it sweeps blocks behind routers, where no
 * broadcast arrives, one address at a time.
 */
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <fnmatch.h>

#include "actions.h"
#include "csv.h"
#include "ctl.h"
#include "defaults.h"
#include "discovery.h"
#include "local_addr.h"
#include "module.h"
#include "port_claim.h"
#include "prometheus.h"
#include "report.h"
#include "strutil.h"
#include "target_list.h"

namespace kxctl {
namespace {

/* The answers of the search in progress (it runs before any worker), and
 * where each address stands among them: a module answers every pass, and
 * a thousand of them each time. */
std::vector<module_ref> answers;
std::map<uint32_t, size_t> answer_at;
/* When the search began, and when each module's first answer came (the
 * search's part of the metrics). */
long long search_began_ms = 0;
std::map<uint32_t, long long> first_answer_ms;

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
    uint32_t key = address_number(ip);
    auto known = answer_at.emplace(key, answers.size());
    if (known.second) {
        answers.push_back({ip, mac, id});
        first_answer_ms[key] = monotonic_ms() - search_began_ms;
    }
    else
        answers[known.first->second] = {ip, mac, id};
}

int answer_count() { return static_cast<int>(answers.size()); }

/* What the search in progress was sent to, for the line that says nobody
 * answered. */
std::string sent_to;

/* The list may miss a module: say so, with how many answers the system
 * dropped and how many keywords it would not send. True when it may. */
bool say_gaps(const search_count& c)
{
    if (c.may_miss_modules)
        std::fprintf(stderr, "kxd40ctl: %lu answers were lost on the way in (the receive buffer overflowed)\n",
                     c.lost);
    if (c.unsent > 0) {
        char first[INET_ADDRSTRLEN] = "";
        address_text(c.first_unsent, first, sizeof first);
        std::fprintf(stderr, "kxd40ctl: the keyword could not be sent to %s%s\n", first,
                     c.unsent > 1 ? (" and " + std::to_string(c.unsent - 1) + " more").c_str() : "");
    }
    return c.may_miss_modules || c.unsent > 0;
}

/* A search nobody answered is most often a keyword or a network other
 * than the modules': say which were used. */
std::string searched()
{
    /* The keyword goes as its file holds it, a final line break too. */
    size_t length = std::strlen(aswd);
    bool line_break = length > 0 && (aswd[length - 1] == '\n' || aswd[length - 1] == '\r');
    return " (" + keyword_origin() + (line_break ? ", ending in a line break that is sent with it" : "") + "; " +
           sent_to + ")";
}

/* The network of this machine that holds address: the interface's own,
 * else the subnet around it (the host name may stand for an address in
 * loopback's /8 that no interface holds as its own). */
bool holding_network(const std::string& address, local_network* out)
{
    std::vector<local_network> nets = local_networks();
    for (const local_network& n : nets)
        if (n.address == address)
            return *out = n, true;
    for (const local_network& n : nets) {
        uint32_t mask = n.prefix == 0 ? 0 : 0xffffffffu << (32 - n.prefix);
        if (((address_number(address) ^ address_number(n.address)) & mask) == 0)
            return *out = {address, n.prefix}, true;
    }
    return false;
}

void add_destination(search_plan* plan, const sockaddr_in& to)
{
    for (const sockaddr_in& d : plan->to)
        if (same_host(d, to))
            return;
    plan->to.push_back(to);
}

/* The broadcast of each --from's network (the window's first address when
 * none is given) and each --broadcast; false with a line on stderr when a
 * --from's network has none. */
bool plan_broadcasts(const common_options& o, search_plan* plan)
{
    std::vector<std::string> from = o.from;
    if (from.empty())
        from.push_back(default_local_address());
    std::vector<std::string> to;
    for (const std::string& f : from) {
        local_network n{};
        sockaddr_in b{};
        if (!f.empty() && holding_network(f, &n) && network_broadcast(f.c_str(), n.prefix, &b)) {
            add_destination(plan, b);
            continue;
        }
        /* A PC on a point-to-point link, told where to broadcast, needs
         * no broadcast of its own. */
        if (!o.broadcasts.empty())
            continue;
        if (f.empty())
            std::fprintf(stderr, "kxd40ctl: no local address to search from\n");
        else if (n.address.empty())
            std::fprintf(stderr, "kxd40ctl: no interface of this machine holds %s, so its network is unknown: give "
                                 "--from ADDR or --broadcast ADDR\n",
                         f.c_str());
        else
            std::fprintf(stderr, "kxd40ctl: the network of %s/%d has no broadcast address: give --broadcast ADDR, "
                                 "or search --sweep BLOCK\n",
                         f.c_str(), n.prefix);
        return false;
    }
    for (const std::string& a : o.broadcasts) {
        sockaddr_in b{};
        make_address(a.c_str(), KX_PORT, &b);
        add_destination(plan, b);
    }
    for (const sockaddr_in& d : plan->to) {
        char text[INET_ADDRSTRLEN] = "";
        address_text(d, text, sizeof text);
        to.push_back(text);
    }
    sent_to = "broadcast to " + joined(to) + " from " + joined(from);
    return true;
}

/* Where the search sends its keyword: a sweep's addresses one by one at
 * its pace, else the broadcasts. */
bool plan_search(const common_options& o, search_plan* plan)
{
    *plan = search_plan{};
    if (o.sweep.empty())
        return plan_broadcasts(o, plan);
    for (const std::string& a : o.sweep) {
        plan->to.emplace_back();
        make_address(a.c_str(), KX_PORT, &plan->to.back());
    }
    plan->per_second = o.sweep_rate;
    plan->sweep = true;
    sent_to = "sent to each of " + std::to_string(o.sweep.size()) + " address" + (o.sweep.size() > 1 ? "es" : "") +
              ", " + std::to_string(o.sweep_rate) + " a second";
    return true;
}

/* The search o asks for: every module that answers, in the order they
 * answered; false with a message when it could not run. *count tells
 * whether the list may miss a module. */
bool search_modules(const common_options& o, std::vector<module_ref>* found, search_count* count)
{
    search_plan plan;
    if (!plan_search(o, &plan))
        return false;
    answers.clear();
    answer_at.clear();
    first_answer_ms.clear();
    search_began_ms = monotonic_ms();
    int keyword_len = static_cast<int>(std::strlen(aswd));
    if (!search_to_end(u_socket, plan, aswd, keyword_len, take_answer, answer_count, count)) {
        std::fprintf(stderr, "kxd40ctl: the search was cut short\n");
        metrics_run_error("search", "the search was cut short");
        return false;
    }
    metrics_searched();
    *found = answers;
    return true;
}

} // namespace

std::string joined(const std::vector<std::string>& words)
{
    std::string out;
    for (const std::string& w : words)
        out += (out.empty() ? "" : ", ") + w;
    return out;
}

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
        std::string held = "port " + std::to_string(KX_PORT) + " is " + held_by_text(holder);
        std::fprintf(stderr, "kxd40ctl: %s\n", held.c_str());
        metrics_run_error("port_held", held);
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
    std::string why = !user.empty() ? "port " + std::to_string(KX_PORT) + " is " + held_by_text(user)
                                    : std::string("cannot ") + (err == UDP_OPEN_BIND_FAILED ? "bind" : "open") +
                                          " a UDP socket on port " + std::to_string(KX_PORT);
    std::fprintf(stderr, "kxd40ctl: %s\n", why.c_str());
    metrics_run_error(user.empty() ? "socket" : "port_held", why);
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

bool resolve_targets(const target_choice& chosen, const common_options& o, std::vector<module_ref>* out)
{
    for (const std::string& a : chosen.addresses)
        out->push_back({a, "", ""});
    if (!chosen.searching())
        return true;
    std::vector<module_ref> found;
    search_count count;
    /* An action on all modules but some it could not know of is refused. */
    if (!search_modules(o, &found, &count) || say_gaps(count))
        return false;
    if (found.empty()) {
        std::fprintf(stderr, "kxd40ctl: the search found no module%s\n", searched().c_str());
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
    std::stable_sort(first, last,
                     [](const module_ref& a, const module_ref& b) { return address_number(a.ip) < address_number(b.ip); });
}

int run_search(const common_options& o)
{
    if (!open_socket())
        return EXIT_FAILED;
    std::vector<module_ref> found;
    search_count count;
    if (!search_modules(o, &found, &count))
        return EXIT_FAILED;
    in_address_order(found.begin(), found.end());
    if (o.csv)
        std::printf("%s", search_csv_header().c_str());
    for (const module_ref& m : found) {
        metrics_heard(m, static_cast<double>(first_answer_ms[address_number(m.ip)]) / 1000);
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
    /* What the search may have missed is told after the list, which is
     * true as far as it goes. */
    bool gaps = say_gaps(count);
    if (!gaps && found.empty())
        std::fprintf(stderr, "kxd40ctl: no module answered%s\n", searched().c_str());
    if (gaps)
        metrics_run_error("incomplete", "the search may have missed modules");
    else if (found.empty())
        metrics_run_error("no_answer", "no module answered");
    return found.empty() || gaps ? EXIT_FAILED : EXIT_DONE;
}

} // namespace kxctl
