/*
 * netns.cpp - private network namespace for test processes.
 */
#include "netns.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

bool write_file(const char* path, const std::string& text)
{
    int fd = open(path, O_WRONLY);
    if (fd < 0)
        return false;
    bool ok = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    close(fd);
    return ok;
}

bool bring_loopback_up(std::string* why)
{
    int s = socket(AF_INET, SOCK_DGRAM, 0);
    if (s < 0) {
        *why = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    ifreq ifr{};
    std::snprintf(ifr.ifr_name, sizeof ifr.ifr_name, "lo");
    bool ok = ioctl(s, SIOCGIFFLAGS, &ifr) == 0;
    if (ok) {
        ifr.ifr_flags |= IFF_UP | IFF_RUNNING;
        ok = ioctl(s, SIOCSIFFLAGS, &ifr) == 0;
    }
    if (!ok)
        *why = std::string("bringing lo up: ") + std::strerror(errno);
    close(s);
    return ok;
}

/* The namespace is private only if loopback is the one interface left. */
bool only_loopback_visible(std::string* why)
{
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) {
        *why = "getifaddrs failed";
        return false;
    }
    bool ok = true;
    for (ifaddrs* a = list; a != nullptr; a = a->ifa_next) {
        if (std::strcmp(a->ifa_name, "lo") != 0) {
            *why = std::string("interface still visible: ") + a->ifa_name;
            ok = false;
            break;
        }
    }
    freeifaddrs(list);
    return ok;
}

} // namespace

bool enter_private_network(std::string* why)
{
    std::string dummy;
    if (why == nullptr)
        why = &dummy;
    if (geteuid() == 0) {
        if (unshare(CLONE_NEWNET) != 0) {
            *why = std::string("unshare(CLONE_NEWNET): ") + std::strerror(errno);
            return false;
        }
    } else {
        uid_t uid = geteuid();
        gid_t gid = getegid();
        if (unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0) {
            *why = std::string("unshare(CLONE_NEWUSER|CLONE_NEWNET): ") + std::strerror(errno);
            return false;
        }
        write_file("/proc/self/setgroups", "deny");
        if (!write_file("/proc/self/uid_map", std::to_string(uid) + " " + std::to_string(uid) + " 1\n") ||
            !write_file("/proc/self/gid_map", std::to_string(gid) + " " + std::to_string(gid) + " 1\n")) {
            *why = "writing the user namespace maps failed";
            return false;
        }
    }
    return bring_loopback_up(why) && only_loopback_visible(why);
}
