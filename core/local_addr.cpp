/*
 * local_addr.cpp - the PC's own IPv4 addresses.
 *
 * On Linux the host name often resolves to loopback only, so the addresses
 * of the interfaces that are up are offered as well; loopback goes last,
 * where it is still at hand for a simulated module on this machine.
 */
#include "local_addr.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

bool is_loopback(const std::string& a) { return a.compare(0, 4, "127.") == 0; }

void add_unique(std::vector<std::string>& list, const std::string& a)
{
    if (std::find(list.begin(), list.end(), a) == list.end())
        list.push_back(a);
}

std::string dotted(const in_addr& a)
{
    char text[INET_ADDRSTRLEN] = "";
    inet_ntop(AF_INET, &a, text, sizeof text);
    return text;
}

} // namespace

std::vector<std::string> order_local_addresses(const std::vector<std::string>& resolved,
                                               const std::vector<std::string>& interfaces)
{
    std::vector<std::string> out;
    for (const auto& a : resolved)
        if (!is_loopback(a))
            add_unique(out, a);
    for (const auto& a : interfaces)
        if (!is_loopback(a))
            add_unique(out, a);
    for (const auto& a : resolved)
        if (is_loopback(a))
            add_unique(out, a);
    for (const auto& a : interfaces)
        if (is_loopback(a))
            add_unique(out, a);
    return out;
}

bool resolve_host_addresses(std::vector<std::string>* out)
{
    char name[255];
    if (gethostname(name, sizeof name) != 0)
        return false;
    name[sizeof name - 1] = '\0';
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* list = nullptr;
    if (getaddrinfo(name, nullptr, &hints, &list) != 0 || list == nullptr)
        return false;
    for (addrinfo* a = list; a != nullptr; a = a->ai_next)
        out->push_back(dotted(reinterpret_cast<sockaddr_in*>(a->ai_addr)->sin_addr));
    freeaddrinfo(list);
    return true;
}

std::vector<std::string> interface_addresses()
{
    std::vector<std::string> out;
#ifndef _WIN32
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return out;
    for (ifaddrs* a = list; a != nullptr; a = a->ifa_next)
        if (a->ifa_addr != nullptr && a->ifa_addr->sa_family == AF_INET && (a->ifa_flags & IFF_UP))
            add_unique(out, dotted(reinterpret_cast<sockaddr_in*>(a->ifa_addr)->sin_addr));
    freeifaddrs(list);
#endif
    return out;
}

std::vector<local_network> local_networks()
{
    std::vector<local_network> out;
#ifndef _WIN32
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return out;
    for (ifaddrs* a = list; a != nullptr; a = a->ifa_next) {
        if (a->ifa_addr == nullptr || a->ifa_addr->sa_family != AF_INET)
            continue;
        uint32_t mask = a->ifa_netmask != nullptr
                            ? ntohl(reinterpret_cast<sockaddr_in*>(a->ifa_netmask)->sin_addr.s_addr)
                            : 0xffffffffu;
        int prefix = 0;
        while (prefix < 32 && (mask & (0x80000000u >> prefix)) != 0)
            ++prefix;
        out.push_back({dotted(reinterpret_cast<sockaddr_in*>(a->ifa_addr)->sin_addr), prefix});
    }
    freeifaddrs(list);
#endif
    return out;
}

std::vector<std::string> local_addresses(bool* resolved)
{
    std::vector<std::string> by_name;
    *resolved = resolve_host_addresses(&by_name);
    return order_local_addresses(by_name, interface_addresses());
}
