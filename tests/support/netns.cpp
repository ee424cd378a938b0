/*
 * netns.cpp - private network namespace for test processes.
 */
#include "netns.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

bool fail(std::string* why, const std::string& what)
{
    *why = what + ": " + std::strerror(errno);
    return false;
}

/* In one write(2), as the kernel wants the maps. */
bool write_file(const char* path, const std::string& text)
{
    int fd = open(path, O_WRONLY);
    bool ok = fd >= 0 && write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    if (fd >= 0)
        close(fd);
    return ok;
}

} // namespace

bool enter_private_network(std::string* why)
{
    std::string dummy;
    why = why != nullptr ? why : &dummy;
    why->clear();
    uid_t uid = geteuid();
    gid_t gid = getegid();
    if (unshare(uid == 0 ? CLONE_NEWNET : CLONE_NEWUSER | CLONE_NEWNET) != 0)
        return fail(why, "unshare");
    if (uid != 0) {
        write_file("/proc/self/setgroups", "deny");
        if (!write_file("/proc/self/uid_map", std::to_string(uid) + " " + std::to_string(uid) + " 1\n") ||
            !write_file("/proc/self/gid_map", std::to_string(gid) + " " + std::to_string(gid) + " 1\n"))
            return fail(why, "writing the user namespace maps");
    }
    int s = socket(AF_INET, SOCK_DGRAM, 0);
    ifreq ifr{};
    std::strcpy(ifr.ifr_name, "lo");
    bool up = s >= 0 && ioctl(s, SIOCGIFFLAGS, &ifr) == 0 && (ifr.ifr_flags |= IFF_UP | IFF_RUNNING) &&
              ioctl(s, SIOCSIFFLAGS, &ifr) == 0;
    close(s);
    if (!up)
        return fail(why, "bringing lo up");
    /* The network is private only if loopback is the one interface left. */
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return fail(why, "getifaddrs");
    for (ifaddrs* a = list; a != nullptr && why->empty(); a = a->ifa_next)
        if (std::strcmp(a->ifa_name, "lo") != 0)
            *why = std::string("interface still visible: ") + a->ifa_name;
    freeifaddrs(list);
    return why->empty();
}
