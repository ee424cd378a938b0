/*
 * netns.cpp - private network namespace for test processes.
 */
#include "netns.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
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

bool lo_up()
{
    int s = socket(AF_INET, SOCK_DGRAM, 0);
    ifreq ifr{};
    std::strcpy(ifr.ifr_name, "lo");
    bool up = s >= 0 && ioctl(s, SIOCGIFFLAGS, &ifr) == 0 && (ifr.ifr_flags |= IFF_UP | IFF_RUNNING) &&
              ioctl(s, SIOCSIFFLAGS, &ifr) == 0;
    if (s >= 0)
        close(s);
    return up;
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
    if (!lo_up())
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

side_network::side_network()
{
    int ready[2];
    if (pipe(ready) != 0)
        return;
    pid_t pid = fork();
    if (pid == 0) {
        char ok = unshare(CLONE_NEWNET) == 0 && lo_up() ? 1 : 0;
        if (write(ready[1], &ok, 1) == 1 && ok)
            for (;;)
                pause();
        _exit(1);
    }
    close(ready[1]);
    char ok = 0;
    if (pid > 0 && read(ready[0], &ok, 1) == 1 && ok) {
        pid_ = pid;
        path_ = "/proc/" + std::to_string(pid) + "/ns/net";
    } else if (pid > 0) {
        waitpid(pid, nullptr, 0);
    }
    close(ready[0]);
}

side_network::~side_network()
{
    if (pid_ > 0 && kill(pid_, SIGKILL) == 0)
        waitpid(pid_, nullptr, 0);
}

bool side_network::run(const std::string& command) const
{
    return ready() && run_here("nsenter --net=" + path_ + " sh -c '" + command + "'");
}

bool run_here(const std::string& command) { return std::system(command.c_str()) == 0; }
