/*
 * netns.h - puts a test process into a private network of its own, so
 * port 48899 is free in each test process and no datagram leaves the
 * machine. The test mains call it before anything else.
 */
#ifndef KX_TESTS_NETNS_H
#define KX_TESTS_NETNS_H

#include <string>
#include <sys/types.h>

/* Unshares the network (with a user namespace when not root) and brings
 * loopback up; false, and why, when it cannot or when anything but
 * loopback is still visible. Must run before the process starts a thread. */
bool enter_private_network(std::string* why);

/* A network beside the test's own (a subnet behind a cable, a router),
 * held open by a child process and gone when it ends. */
class side_network {
public:
    side_network();
    ~side_network();
    side_network(const side_network&) = delete;
    side_network& operator=(const side_network&) = delete;
    bool ready() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }
    /* "/proc/PID/ns/net": what ip(8) and a child given it take. */
    const std::string& path() const { return path_; }
    /* A shell command line run inside it (no single quotes in it); true
     * when it exited 0. */
    bool run(const std::string& command) const;

private:
    pid_t pid_ = -1;
    std::string path_;
};

/* A shell command line run in the test's own network; true when it
 * exited 0. */
bool run_here(const std::string& command);

#endif
