/*
 * netns.h - puts a test process into a private network of its own.
 *
 * Every test that opens a socket calls enter_private_network() before
 * anything else (the test mains do it), so port 48899 is free in each test
 * process and no datagram can leave the machine.
 */
#ifndef KX_TESTS_NETNS_H
#define KX_TESTS_NETNS_H

#include <string>

/* Unshares the network namespace (with a user namespace when not root) and
 * brings loopback up. Returns false and says why when it cannot, or when
 * anything but loopback is still visible afterwards. Must run before the
 * process starts a thread. */
bool enter_private_network(std::string* why);

#endif
