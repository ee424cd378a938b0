/*
 * port_claim.cpp - the claim on port 48899 and the names of whoever is in
 * its way.
 *
 * A refused claim asks the holder's listening socket who it is: the kernel
 * keeps the listener's credentials and hands them to anyone who connects,
 * before any accept, so the holder need not answer. /proc turns the pid
 * into a name.
 */
#include "port_claim.h"

#include <memory>

#include "netio.h"
#include "strutil.h"

#ifndef _WIN32
#include <cerrno>
#include <cstddef>
#include <dirent.h>
#include <fstream>
#include <set>
#include <sstream>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#endif

#ifdef _WIN32

/* Windows has no abstract local names. There the way to keep the port to
 * one program is the socket's own SO_EXCLUSIVEADDRUSE, so the claim is
 * simply taken and nobody else's socket can be named. */
port_claim::port_claim(unsigned short) : taken_(true) {}
port_claim::~port_claim() {}
void port_claim::drop_askers() {}
std::string udp_port_user(unsigned short) { return std::string(); }

#else

namespace {

/* Closes a descriptor when its scope ends, unless released. */
class fd_holder {
public:
    explicit fd_holder(int fd) : fd_(fd) {}
    ~fd_holder()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    fd_holder(const fd_holder&) = delete;
    fd_holder& operator=(const fd_holder&) = delete;
    int get() const { return fd_; }
    int release()
    {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

using dir_holder = std::unique_ptr<DIR, int (*)(DIR*)>;

dir_holder open_dir(const std::string& path) { return dir_holder(opendir(path.c_str()), closedir); }

/* The claim's abstract name, a NUL and "kxd40-udp-PORT"; returns the
 * length of the address, which ends the name (no terminator counts). */
socklen_t claim_address(unsigned short port, sockaddr_un* a)
{
    *a = sockaddr_un{};
    a->sun_family = AF_UNIX;
    size_t n
        = format_text(a->sun_path + 1, sizeof a->sun_path - 1, "kxd40-udp-%u", static_cast<unsigned>(port));
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + n);
}

/* The start of a file up to the first delim, or "". */
std::string file_start(const std::string& path, char delim)
{
    std::ifstream in(path, std::ios::binary);
    std::string text;
    std::getline(in, text, delim);
    return text;
}

/* "NAME (pid N)", or "pid N" when the process has no name to read. */
std::string process_name(long pid)
{
    std::string dir = "/proc/" + std::to_string(pid);
    std::string comm = file_start(dir + "/comm", '\n');
    /* The kernel keeps 15 bytes of the name; argv[0] has it whole. */
    std::string argv0 = file_start(dir + "/cmdline", '\0');
    std::string base = argv0.substr(argv0.rfind('/') + 1);
    if (comm.size() == 15 && base.compare(0, comm.size(), comm) == 0)
        comm = base;
    std::string id = "pid " + std::to_string(pid);
    return comm.empty() ? id : comm + " (" + id + ")";
}

/* The process listening on the claim at a, or "". The asker's connection
 * stays queued at the holder until drop_askers. */
std::string claim_holder(const sockaddr_un& a, socklen_t len)
{
    fd_holder s(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    ucred cred{};
    socklen_t n = sizeof cred;
    if (s.get() < 0 || connect(s.get(), reinterpret_cast<const sockaddr*>(&a), len) != 0
        || getsockopt(s.get(), SOL_SOCKET, SO_PEERCRED, &cred, &n) != 0 || cred.pid <= 0)
        return std::string();
    return process_name(cred.pid);
}

/* The inodes of the UDP sockets on port in this network namespace. */
std::set<std::string> udp_inodes(unsigned short port)
{
    char suffix[8];
    format_text(suffix, sizeof suffix, ":%04X", static_cast<unsigned>(port));
    std::set<std::string> inodes;
    for (const char* table : {"/proc/net/udp", "/proc/net/udp6"}) {
        std::ifstream in(table);
        std::string line;
        std::getline(in, line); /* the column names */
        while (std::getline(in, line)) {
            std::istringstream f(line);
            std::string slot, local, remote, state, queues, timer, retries, uid, timeout, inode;
            if (f >> slot >> local >> remote >> state >> queues >> timer >> retries >> uid >> timeout >> inode
                && local.size() > 5 && local.compare(local.size() - 5, 5, suffix) == 0 && inode != "0")
                inodes.insert(inode);
        }
    }
    return inodes;
}

/* Whether process pid has one of the sockets open. Only the processes
 * this one may look into can be seen. */
bool has_socket(const std::string& pid, const std::set<std::string>& inodes)
{
    std::string dir = "/proc/" + pid + "/fd/";
    dir_holder fds = open_dir(dir);
    if (!fds)
        return false;
    while (dirent* e = readdir(fds.get())) {
        char target[64];
        ssize_t n = readlink((dir + e->d_name).c_str(), target, sizeof target);
        std::string t(target, n > 0 ? static_cast<size_t>(n) : 0);
        if (t.size() > 9 && t.compare(0, 8, "socket:[") == 0 && inodes.count(t.substr(8, t.size() - 9)) > 0)
            return true;
    }
    return false;
}

} // namespace

port_claim::port_claim(unsigned short port)
{
    sockaddr_un a;
    socklen_t len = claim_address(port, &a);
    fd_holder s(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    bool bound = s.get() >= 0 && bind(s.get(), reinterpret_cast<const sockaddr*>(&a), len) == 0;
    if (!bound && s.get() >= 0 && errno == EADDRINUSE) {
        holder_ = claim_holder(a, len);
        return;
    }
    /* Only a claim held elsewhere refuses the port. Where no claim can be
     * made at all the program goes on as it did before claims existed,
     * rather than stop for a reason that is not about the port. A listen
     * that fails leaves the name bound: the claim holds, nameless. */
    taken_ = true;
    if (bound) {
        (void)listen(s.get(), SOMAXCONN);
        fd_ = s.release();
    }
}

port_claim::~port_claim()
{
    if (fd_ >= 0)
        ::close(fd_);
}

void port_claim::drop_askers()
{
    if (fd_ < 0)
        return;
    for (int c; (c = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC)) >= 0;)
        ::close(c);
}

std::string udp_port_user(unsigned short port)
{
    std::set<std::string> inodes = udp_inodes(port);
    std::string users;
    dir_holder proc = open_dir("/proc");
    if (inodes.empty() || !proc)
        return users;
    const std::string self = std::to_string(getpid());
    while (dirent* e = readdir(proc.get())) {
        std::string pid = e->d_name;
        if (pid.find_first_not_of("0123456789") != std::string::npos || pid == self
            || !has_socket(pid, inodes))
            continue;
        users += (users.empty() ? "" : ", ") + process_name(std::stol(pid));
    }
    return users;
}

#endif

namespace {

std::unique_ptr<port_claim>& program_claim()
{
    static std::unique_ptr<port_claim> claim;
    return claim;
}

} // namespace

bool hold_program_port(std::string* holder)
{
    std::unique_ptr<port_claim>& held = program_claim();
    if (held) {
        held->drop_askers();
        return true;
    }
    auto claim = std::make_unique<port_claim>(KX_PORT);
    if (!claim->taken()) {
        *holder = claim->holder();
        return false;
    }
    held = std::move(claim);
    return true;
}

void release_program_port() { program_claim().reset(); }

std::string held_by_text(const std::string& holder)
{
    return holder.empty() ? "held by another program" : "held by another program: " + holder;
}
