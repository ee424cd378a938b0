/*
 * netns.h - puts a test process into a private network of its own, so
 * port 48899 is free in each test process and no datagram leaves the
 * machine. The test mains call it before anything else.
 */
#ifndef KX_TESTS_NETNS_H
#define KX_TESTS_NETNS_H

#include <string>

/* Unshares the network (with a user namespace when not root) and brings
 * loopback up; false, and why, when it cannot or when anything but
 * loopback is still visible. Must run before the process starts a thread. */
bool enter_private_network(std::string* why);

#endif
