/*
 * tcpsock.cpp - socket-layer start-up and the system's UDP sockets.
 *
 * Kept portable: the Windows branches start Winsock and use its names; the
 * rest is plain BSD sockets.
 */
#include "netio.h"

#include <cerrno>
#include <cstdint>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>

#ifdef _WIN32
typedef int socklen_t;
#define close_socket closesocket
#else
#include <arpa/inet.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
#define close_socket ::close
#endif
#ifdef __linux__
#include <linux/sock_diag.h>
#endif

namespace {

system_net system_mediator;
net_mediator* current = &system_mediator;

enum {
    /* Asked for when nothing else was: a search answer takes one to two
     * KiB of a receive buffer as the kernel counts it, so thousands of
     * modules answering at once fit, where the usual default holds a
     * few hundred and the rest are lost. */
    RECEIVE_BUFFER_MOST = 8 << 20,
    /* Halving stops here: a system that grants less than this gives its
     * default, which is as good. */
    RECEIVE_BUFFER_LEAST = 64 << 10,
    /* Datagrams one receive call takes at most. */
    BATCH_MOST = 64
};

int wanted_receive_buffer = 0;

/* As large a receive buffer as the system grants, or the one asked for. */
void size_receive_buffer(int fd)
{
    int bytes = wanted_receive_buffer > 0 ? wanted_receive_buffer : RECEIVE_BUFFER_MOST;
#ifdef __linux__
    /* A privileged program is not held to the system's limit. */
    if (setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes) == 0)
        return;
#endif
    /* Linux cuts a request down to its limit; other systems refuse one
     * above it, so the request is halved until one is taken. */
    do {
        if (setsockopt(fd, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&bytes), sizeof bytes) == 0)
            return;
        bytes /= 2;
    } while (bytes >= RECEIVE_BUFFER_LEAST);
}

/* 0 means "no socket" throughout the program, so a socket that came out as
 * descriptor 0 (stdin was closed) is moved to another number. */
int never_zero(int fd)
{
#ifndef _WIN32
    if (fd == 0) {
        int moved = dup(fd);
        ::close(fd);
        return moved;
    }
#endif
    return fd;
}

} // namespace

net_mediator& net() { return *current; }

void set_receive_buffer(int bytes) { wanted_receive_buffer = bytes; }

void set_net(net_mediator* m) { current = m != nullptr ? m : &system_mediator; }

int init_net()
{
#ifdef _WIN32
    WSADATA data;
    return WSAStartup(MAKEWORD(1, 1), &data) == 0 ? 1 : 0;
#else
    return 1;
#endif
}

int system_net::open_udp(unsigned short port, udp_open_error* err)
{
    int fd = static_cast<int>(socket(AF_INET, SOCK_DGRAM, 0));
    if (fd < 0) {
        *err = UDP_OPEN_SOCKET_FAILED;
        return 0;
    }
    fd = never_zero(fd);
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on), sizeof on);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = htons(port);
    any.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&any), sizeof any) != 0) {
        close_socket(fd);
        *err = UDP_OPEN_BIND_FAILED;
        return 0;
    }
    setsockopt(fd, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof on);
    size_receive_buffer(fd);
    *err = UDP_OPEN_OK;
    return fd;
}

void system_net::close_udp(int sock)
{
    if (sock != 0)
        close_socket(sock);
}

int system_net::send_to(int sock, const void* data, int n, const sockaddr_in& to)
{
    if (address_unset(to))
        return -1;
    auto sent = sendto(sock, static_cast<const char*>(data), n, 0,
                       reinterpret_cast<const sockaddr*>(&to), sizeof to);
    return sent == n ? n : -1;
}

namespace {

/* One datagram without waiting: the readiness report that led here may be
 * stale, and the caller runs the window. RECV_NONE when nothing is there. */
long receive_now(int sock, char* buf, int cap, sockaddr_in* src)
{
    socklen_t len = sizeof *src;
#ifdef _WIN32
    u_long on = 1, off = 0;
    ioctlsocket(sock, FIONBIO, &on);
    int got = recvfrom(sock, buf, cap, 0, reinterpret_cast<sockaddr*>(src), &len);
    bool none = got < 0 && WSAGetLastError() == WSAEWOULDBLOCK;
    ioctlsocket(sock, FIONBIO, &off);
#else
    ssize_t got;
    do
        got = recvfrom(sock, buf, cap, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(src), &len);
    while (got < 0 && errno == EINTR);
    bool none = got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
#endif
    return none ? static_cast<long>(RECV_NONE) : static_cast<long>(got);
}

} // namespace

int system_net::recv_from(int sock, char* buf, int n, int* stored, sockaddr_in* from)
{
    /* A datagram is at most 64 KiB; reading it whole tells its true length
     * on every platform, so an oversized one is recognised. */
    enum { WHOLE = 65536 };
    /* On the heap, and only in threads that read: a thread's own
     * variables are cleared for every thread the program starts. */
    thread_local std::unique_ptr<char[]> room;
    if (!room)
        room.reset(new char[WHOLE]);
    char* whole = room.get();
    sockaddr_in src{};
    long got = receive_now(sock, whole, WHOLE, &src);
    *stored = 0;
    if (got == RECV_NONE)
        return RECV_NONE;
    if (got < 0)
        return -1;
    int keep = got < n ? static_cast<int>(got) : n;
    std::memcpy(buf, whole, keep);
    *stored = keep;
    if (from != nullptr)
        *from = src;
    return got > n ? -1 : static_cast<int>(got);
}

int net_mediator::recv_batch(int sock, datagram_slot* slots, int count)
{
    /* One at a time, as every wait for a datagram took them before
     * batches: a scripted network sees the same calls as ever. */
    if (count < 1)
        return 0;
    slots[0].length = recv_from(sock, slots[0].buf, slots[0].cap, &slots[0].stored, &slots[0].from);
    return slots[0].length == RECV_NONE ? 0 : 1;
}

#ifdef __linux__

int system_net::recv_batch(int sock, datagram_slot* slots, int count)
{
    mmsghdr msgs[BATCH_MOST];
    iovec parts[BATCH_MOST];
    count = count < BATCH_MOST ? count : BATCH_MOST;
    for (int i = 0; i < count; ++i) {
        parts[i] = {slots[i].buf, static_cast<size_t>(slots[i].cap)};
        msgs[i] = {};
        msgs[i].msg_hdr.msg_name = &slots[i].from;
        msgs[i].msg_hdr.msg_namelen = sizeof slots[i].from;
        msgs[i].msg_hdr.msg_iov = &parts[i];
        msgs[i].msg_hdr.msg_iovlen = 1;
    }
    int got;
    do
        got = recvmmsg(sock, msgs, static_cast<unsigned>(count), MSG_DONTWAIT, nullptr);
    while (got < 0 && errno == EINTR);
    if (got < 0)
        return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : net_mediator::recv_batch(sock, slots, count);
    for (int i = 0; i < got; ++i) {
        int n = static_cast<int>(msgs[i].msg_len);
        slots[i].stored = n < slots[i].cap ? n : slots[i].cap;
        slots[i].length = (msgs[i].msg_hdr.msg_flags & MSG_TRUNC) != 0 ? -1 : n;
    }
    return got;
}

unsigned long system_net::drops(int sock)
{
    /* The kernel's count of what found the buffer full, read at any time;
     * older kernels without it report nothing. */
    uint32_t info[SK_MEMINFO_VARS] = {};
    socklen_t len = sizeof info;
    if (getsockopt(sock, SOL_SOCKET, SO_MEMINFO, info, &len) != 0 || len <= SK_MEMINFO_DROPS * sizeof info[0])
        return 0;
    return info[SK_MEMINFO_DROPS];
}

#else

int system_net::recv_batch(int sock, datagram_slot* slots, int count)
{
    return net_mediator::recv_batch(sock, slots, count);
}

unsigned long system_net::drops(int) { return 0; }

#endif

int system_net::wait_readable(int sock, int timeout_ms)
{
    long long deadline = timeout_ms >= 0 ? monotonic_ms() + timeout_ms : -1;
    for (;;) {
        fd_set set;
        FD_ZERO(&set);
        FD_SET(sock, &set);
        timeval tv{};
        timeval* limit = nullptr;
        if (deadline >= 0) {
            long long left = deadline - monotonic_ms();
            if (left < 0)
                left = 0;
            tv.tv_sec = static_cast<long>(left / 1000);
            tv.tv_usec = static_cast<long>((left % 1000) * 1000);
            limit = &tv;
        }
        int r = select(sock + 1, &set, nullptr, nullptr, limit);
        if (r > 0)
            return WAIT_READY;
        if (r == 0)
            return WAIT_TIMEOUT;
#ifndef _WIN32
        if (errno == EINTR)
            continue;
#endif
        /* A failed select would fail again at once: report the time-out so
         * that no caller spins on it. */
        return WAIT_TIMEOUT;
    }
}

bool system_net::has_datagram(int sock)
{
    fd_set set;
    FD_ZERO(&set);
    FD_SET(sock, &set);
    timeval none{};
    return select(sock + 1, &set, nullptr, nullptr, &none) > 0;
}

bool system_net::pause_ms(int ms)
{
    sleep_ms(ms);
    return true;
}

int parse_dotted_ipv4(const char* text, unsigned char* bytes)
{
    if (text == nullptr)
        return 0;
    unsigned char parts[4];
    const char* p = text;
    for (int i = 0; i < 4; ++i) {
        int value = 0, digits = 0;
        while (*p >= '0' && *p <= '9') {
            if (++digits > 3)
                return 0;
            value = value * 10 + (*p++ - '0');
        }
        if (digits == 0 || value > 255 || (i < 3 && *p++ != '.'))
            return 0;
        parts[i] = static_cast<unsigned char>(value);
    }
    if (*p != '\0')
        return 0;
    std::memcpy(bytes, parts, 4);
    return 1;
}

int make_address(const char* dotted, unsigned short port, sockaddr_in* out)
{
    std::memset(out, 0, sizeof *out);
    out->sin_family = AF_INET;
    out->sin_port = htons(port);
    unsigned char b[4];
    if (!parse_dotted_ipv4(dotted, b))
        return 0;
    std::memcpy(&out->sin_addr, b, 4);
    return 1;
}

bool address_unset(const sockaddr_in& a) { return a.sin_addr.s_addr == htonl(INADDR_ANY); }

bool same_host(const sockaddr_in& a, const sockaddr_in& b) { return a.sin_addr.s_addr == b.sin_addr.s_addr; }

void address_text(const sockaddr_in& a, char* out, int cap)
{
    if (inet_ntop(AF_INET, &a.sin_addr, out, cap) == nullptr && cap > 0)
        out[0] = '\0';
}

long long net_mediator::clock_ms() { return monotonic_ms(); }

long long monotonic_ms()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void sleep_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
