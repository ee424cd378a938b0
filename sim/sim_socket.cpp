/*
 * sim_socket.cpp - POSIX UDP sockets for the simulator.
 */
#include "sim_socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/uio.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/epoll.h>
#endif

#include "sim_text.h"

namespace kxsim {
namespace {

/* Firmware comes in bursts of 4 KiB datagrams with nothing sent back, so a
 * small receive buffer would lose parts of an image. Best effort: the
 * kernel caps it. */
const int receive_buffer = 1 << 20;
const size_t max_datagram = 65536;

sockaddr_in socket_address(uint32_t addr, uint16_t port)
{
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(addr);
    sa.sin_port = htons(port);
    return sa;
}

bool set_flag(int fd, int option, std::string* why)
{
    int on = 1;
    if (setsockopt(fd, SOL_SOCKET, option, &on, sizeof on) == 0)
        return true;
    *why = std::string("setsockopt: ") + std::strerror(errno);
    return false;
}

/* The kernel's stamp when there is one, else the time of reading. */
int64_t arrival_time(msghdr& msg)
{
    timeval tv{};
    bool stamped = false;
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c != nullptr; c = CMSG_NXTHDR(&msg, c)) {
        if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMP) {
            std::memcpy(&tv, CMSG_DATA(c), sizeof tv);
            stamped = true;
        }
    }
    if (!stamped)
        gettimeofday(&tv, nullptr);
    return static_cast<int64_t>(tv.tv_sec) * 1000000 + tv.tv_usec;
}

int64_t now_us()
{
    timeval tv{};
    gettimeofday(&tv, nullptr);
    return static_cast<int64_t>(tv.tv_sec) * 1000000 + tv.tv_usec;
}

/* One datagram to ourselves: true when the kernel stamped it on arrival,
 * i.e. no later than sendto() returned, rather than when it was read. */
bool stamped_on_arrival(udp_socket& s, const peer& self)
{
    if (!s.send("stamp?", self))
        return false;
    int64_t sent = now_us();
    usleep(1000);
    pollfd p{s.fd(), POLLIN, 0};
    std::string data;
    peer from;
    int64_t stamp = 0;
    return poll(&p, 1, 200) == 1 && s.receive(&data, &from, &stamp) && stamp <= sent;
}

int wake_fds[2] = {-1, -1};

extern "C" void on_signal(int)
{
    char c = 1;
    ssize_t ignored = write(wake_fds[1], &c, 1);
    (void)ignored;
}

bool set_nonblocking(int fd)
{
    return fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK) == 0;
}

} // namespace

bool allow_descriptors(size_t needed, std::string* why)
{
    const rlim_t want = static_cast<rlim_t>(needed);
    rlimit lim{};
    if (getrlimit(RLIMIT_NOFILE, &lim) != 0) {
        *why = std::string("getrlimit: ") + std::strerror(errno);
        return false;
    }
    if (lim.rlim_cur == RLIM_INFINITY || lim.rlim_cur >= want)
        return true;
    rlimit past{want, want};
    if (lim.rlim_max != RLIM_INFINITY && lim.rlim_max < want && setrlimit(RLIMIT_NOFILE, &past) == 0)
        return true;
    lim.rlim_cur = lim.rlim_max == RLIM_INFINITY ? want : lim.rlim_max;
    if (setrlimit(RLIMIT_NOFILE, &lim) == 0 && lim.rlim_cur >= want)
        return true;
    getrlimit(RLIMIT_NOFILE, &lim);
    *why = "they need " + std::to_string(needed) + " open files, but the limit is " +
           std::to_string(static_cast<unsigned long long>(lim.rlim_cur)) +
           " (ulimit -n) and cannot be raised further";
    return false;
}

ready_set::~ready_set()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool ready_set::add(int fd, size_t key, std::string* why)
{
#ifdef __linux__
    if (fd_ < 0 && (fd_ = epoll_create1(EPOLL_CLOEXEC)) < 0) {
        *why = std::string("epoll_create1: ") + std::strerror(errno);
        return false;
    }
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.u64 = key;
    if (epoll_ctl(fd_, EPOLL_CTL_ADD, fd, &ev) != 0) {
        *why = std::string("epoll_ctl: ") + std::strerror(errno);
        return false;
    }
#else
    (void)why;
    fds_.push_back(fd);
    keys_.push_back(key);
#endif
    ++count_;
    return true;
}

bool ready_set::wait(int timeout_ms, std::vector<size_t>* ready)
{
    ready->clear();
#ifdef __linux__
    /* Room for every socket, so one wait sees all that is ready, as
     * poll() would: the round orders them all by arrival. */
    static std::vector<epoll_event> events;
    events.resize(count_);
    int n = epoll_wait(fd_, events.data(), static_cast<int>(count_), timeout_ms);
    for (int i = 0; i < n; ++i)
        ready->push_back(static_cast<size_t>(events[i].data.u64));
#else
    std::vector<pollfd> fds;
    for (int fd : fds_)
        fds.push_back({fd, POLLIN, 0});
    int n = poll(fds.data(), fds.size(), timeout_ms);
    for (size_t i = 0; n > 0 && i < fds.size(); ++i)
        if (fds[i].revents != 0)
            ready->push_back(keys_[i]);
#endif
    return n >= 0 || errno == EINTR;
}

signal_pipe::~signal_pipe()
{
    for (int& fd : wake_fds) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

bool signal_pipe::open(std::string* why)
{
    if (pipe(wake_fds) != 0 || !set_nonblocking(wake_fds[0]) || !set_nonblocking(wake_fds[1])) {
        *why = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    struct sigaction sa{};
    sa.sa_handler = on_signal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    return true;
}

int signal_pipe::fd() const { return wake_fds[0]; }

udp_socket::~udp_socket() { close(); }

udp_socket::udp_socket(udp_socket&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }

udp_socket& udp_socket::operator=(udp_socket&& other) noexcept
{
    if (this != &other) {
        close();
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

bool udp_socket::open(uint32_t addr, uint16_t port, bool broadcast, std::string* why)
{
    close();
    fd_ = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd_ < 0) {
        *why = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    int size = receive_buffer;
    setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    int on = 1;
    setsockopt(fd_, SOL_SOCKET, SO_TIMESTAMP, &on, sizeof on); // ordering only: best effort
    bool ok = set_flag(fd_, SO_REUSEADDR, why) && (!broadcast || set_flag(fd_, SO_BROADCAST, why));
    sockaddr_in sa = socket_address(addr, port);
    if (ok && bind(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
        *why = "bind " + ipv4_text(addr) + ":" + std::to_string(port) + ": " + std::strerror(errno);
        ok = false;
    }
    if (ok && !set_nonblocking(fd_)) {
        *why = std::string("fcntl: ") + std::strerror(errno);
        ok = false;
    }
    if (!ok)
        close();
    return ok;
}

void udp_socket::close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

bool udp_socket::receive(std::string* data, peer* from, int64_t* stamp_us)
{
    data->resize(max_datagram);
    sockaddr_in sa{};
    iovec iov{&(*data)[0], data->size()};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(timeval))];
    msghdr msg{};
    msg.msg_name = &sa;
    msg.msg_namelen = sizeof sa;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    ssize_t n = recvmsg(fd_, &msg, 0);
    if (n < 0) {
        data->clear();
        return false;
    }
    data->resize(static_cast<size_t>(n));
    from->addr = ntohl(sa.sin_addr.s_addr);
    from->port = ntohs(sa.sin_port);
    *stamp_us = arrival_time(msg);
    return true;
}

bool udp_socket::send(const std::string& data, const peer& to)
{
    sockaddr_in sa = socket_address(to.addr, to.port);
    ssize_t n = sendto(fd_, data.data(), data.size(), 0, reinterpret_cast<const sockaddr*>(&sa),
                       sizeof sa);
    return n == static_cast<ssize_t>(data.size());
}

bool await_arrival_stamps(uint32_t addr, int limit_ms)
{
    udp_socket probe;
    std::string why;
    if (!probe.open(addr, 0, false, &why))
        return false;
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    if (getsockname(probe.fd(), reinterpret_cast<sockaddr*>(&sa), &len) != 0)
        return false;
    peer self{addr, ntohs(sa.sin_port)};
    for (int64_t end = now_us() + int64_t{limit_ms} * 1000; now_us() < end; usleep(10000))
        if (stamped_on_arrival(probe, self))
            return true;
    return false;
}

} // namespace kxsim
