/*
 * targets.cpp - the program's socket, the search and the link of
 * kxd40ctl: which modules a command reaches and how each is opened.
 *
 * The search is the window's (the keyword of data/aswd.txt, the passes of
 * the core, the /24 broadcast of the local address); only the list it
 * fills is printed instead of drawn.
 */
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fnmatch.h>

#include "ctl.h"
#include "discovery.h"
#include "link.h"
#include "local_addr.h"
#include "module.h"
#include "port_claim.h"
#include "strutil.h"

namespace kxctl {
namespace {

void take_answer(const char* text, int length) { add_module_answer(text, length); }

/* The module's answer to the handshake keyword: "IP,MAC,ID". */
std::string handshake_answer;
void remember_answer(const char* text) { handshake_answer = text; }

/* Fills MAC and ID from a handshake answer when they are not known. */
void take_names(module_ref& m)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t comma = handshake_answer.find(',', start);
        parts.push_back(handshake_answer.substr(start, comma - start));
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    if (parts.size() >= 3 && parts[0] == m.ip) {
        if (m.mac.empty())
            m.mac = parts[1];
        if (m.id.empty())
            m.id = parts[2];
    }
}

int handshake(const common_options& o)
{
    handshake_answer.clear();
    handshake_hooks hooks{nullptr, nullptr, remember_answer};
    return keyword_handshake(module_aswd, o.tries, hooks);
}

} // namespace

void complain(const module_ref& m, const std::string& text)
{
    std::fprintf(stderr, "kxd40ctl: %s: %s\n", m.ip.c_str(), text.c_str());
}

bool open_socket()
{
    get_aswd(aswd);
    init_net();
    /* Another of our programs on this machine would take the modules'
     * replies: nothing is sent while one holds the port. */
    std::string holder;
    if (!hold_program_port(&holder)) {
        std::fprintf(stderr, "kxd40ctl: port %d is %s\n", KX_PORT, held_by_text(holder).c_str());
        return false;
    }
    udp_open_error err = UDP_OPEN_OK;
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

std::string default_local_address()
{
    bool resolved = false;
    std::vector<std::string> all = local_addresses(&resolved);
    return all.empty() ? std::string() : all.front();
}

bool search_modules(const std::string& local, std::vector<module_ref>* found)
{
    if (!broadcast_address(local.c_str(), &addr_b)) {
        std::fprintf(stderr, "kxd40ctl: no local address to search from\n");
        return false;
    }
    strmodule_num = 0;
    int keyword_len = static_cast<int>(std::strlen(aswd));
    if (!search_passes(u_socket, addr_b, aswd, keyword_len, take_answer)) {
        std::fprintf(stderr, "kxd40ctl: the search was cut short\n");
        return false;
    }
    for (int i = 0; i < strmodule_num; ++i)
        found->push_back({strmodule[i].ip, strmodule[i].mac, strmodule[i].id});
    return true;
}

bool resolve_targets(const target_choice& chosen, const common_options& o, std::vector<module_ref>* out)
{
    for (const std::string& a : chosen.addresses)
        out->push_back({a, "", ""});
    if (!chosen.searching())
        return true;
    std::vector<module_ref> found;
    if (!search_modules(o.from.empty() ? default_local_address() : o.from, &found))
        return false;
    if (found.empty()) {
        std::fprintf(stderr, "kxd40ctl: the search found no module\n");
        return false;
    }
    size_t before = out->size();
    for (const module_ref& m : found) {
        bool wanted = chosen.all || fnmatch(chosen.id_pattern.c_str(), m.id.c_str(), 0) == 0;
        bool listed = std::any_of(out->begin(), out->end(), [&](const module_ref& t) { return t.ip == m.ip; });
        if (wanted && !listed)
            out->push_back(m);
    }
    if (out->size() == before && !chosen.all) {
        std::fprintf(stderr, "kxd40ctl: no module found has an ID matching %s\n", chosen.id_pattern.c_str());
        return false;
    }
    return true;
}

bool open_link(module_ref& m, const common_options& o)
{
    copy_text(module_ip, m.ip.c_str());
    copy_text(module_aswd, aswd);
    udp_add_r();
    if (handshake(o) != 1) {
        complain(m, "no answer to the keyword");
        return false;
    }
    take_names(m);
    return true;
}

bool relink(module_ref& m, const common_options& o)
{
    if (o.tries <= 1)
        return false;
    /* The module may have missed the "+ok" that opens its link, and then
     * takes no command; the keyword is harmless to a linked module. */
    return handshake(o) == 1 || (complain(m, "no answer to the keyword"), false);
}

} // namespace kxctl
