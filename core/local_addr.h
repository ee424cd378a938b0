/*
 * local_addr.h - the PC's own IPv4 addresses, offered as search origins.
 */
#ifndef KX_LOCAL_ADDR_H
#define KX_LOCAL_ADDR_H

#include <string>
#include <vector>

/* Orders candidate addresses for the address list: the resolver's
 * non-loopback addresses in its order, then interface addresses not yet
 * listed, then the loopback ones; no address twice. */
std::vector<std::string> order_local_addresses(const std::vector<std::string>& resolved,
                                               const std::vector<std::string>& interfaces);

/* The host name's IPv4 addresses in resolver order. Returns false when the
 * name cannot be resolved. */
bool resolve_host_addresses(std::vector<std::string>* out);

/* IPv4 addresses of the interfaces that are up. */
std::vector<std::string> interface_addresses();

/* One of the machine's IPv4 addresses and the length of its prefix. */
struct local_network {
    std::string address;
    int prefix;
};

/* Every IPv4 address of the machine's interfaces, up or down, with its
 * prefix: what a module can never be. */
std::vector<local_network> local_networks();

/* The addresses the search window offers, in its order; *resolved tells
 * whether the host name could be resolved. */
std::vector<std::string> local_addresses(bool* resolved);

#endif
