/*
 * sim_socket.h - the UDP socket of a simulated module.
 *
 * Every module binds its own address with SO_REUSEADDR, so it shares the
 * port with the tool's socket on 0.0.0.0 in the same network and the kernel
 * hands each module the datagrams sent to its address.
 *
 * All file-descriptor work of the simulator lives here and in the .cpp,
 * away from strutil.h, whose stdio_file clashes with the struct of that
 * name <fcntl.h> declares under _GNU_SOURCE.
 */
#ifndef KXSIM_SOCKET_H
#define KXSIM_SOCKET_H

#include <cstdint>
#include <string>
#include <vector>

#include "sim_module.h"

namespace kxsim {

class udp_socket {
public:
    udp_socket() = default;
    ~udp_socket();
    udp_socket(udp_socket&& other) noexcept;
    udp_socket& operator=(udp_socket&& other) noexcept;
    udp_socket(const udp_socket&) = delete;
    udp_socket& operator=(const udp_socket&) = delete;

    /* Non-blocking socket bound to addr:port; broadcast also lets it take
     * datagrams sent to a broadcast address. */
    bool open(uint32_t addr, uint16_t port, bool broadcast, std::string* why);
    void close();
    int fd() const { return fd_; }

    /* False once nothing more is waiting. stamp_us is when the kernel took
     * the datagram in, in microseconds of the system clock. */
    bool receive(std::string* data, peer* from, int64_t* stamp_us);
    bool send(const std::string& data, const peer& to);

private:
    int fd_ = -1;
};

/* The kernel turns arrival stamps on for the whole machine a moment after
 * the first socket asks for them (from a work queue, so later still on a
 * busy machine); until then it stamps a datagram when it is read, and a
 * batch read socket by socket would be served in that order instead of the
 * order sent. Waits, up to limit_ms, until a datagram sent to addr is
 * stamped on arrival; false if that never happened. */
bool await_arrival_stamps(uint32_t addr, int limit_ms);

/* Each module holds a socket, so a large run needs more open files than
 * the usual soft limit of 1024: raises the soft limit to what needed
 * takes (to the hard limit, or past it where the process may). False,
 * saying how many were needed and what the limit is, when it stays short. */
bool allow_descriptors(size_t needed, std::string* why);

/* The sockets a loop waits on, each known by its key. The kernel keeps
 * the list (epoll on Linux), so a wait costs what is ready, not what is
 * open: ten thousand quiet modules cost a busy one nothing. */
class ready_set {
public:
    ready_set() = default;
    ~ready_set();
    ready_set(const ready_set&) = delete;
    ready_set& operator=(const ready_set&) = delete;

    bool add(int fd, size_t key, std::string* why);
    /* Waits up to timeout_ms (-1: no end) and gives the keys of the
     * sockets with something to read; false on an error, true with none
     * ready when a signal broke the wait. */
    bool wait(int timeout_ms, std::vector<size_t>* ready);

private:
    int fd_ = -1;
    size_t count_ = 0;
    std::vector<int> fds_; // poll()'s, where the kernel keeps no list
    std::vector<size_t> keys_;
};

/* SIGTERM and SIGINT write to this pipe, so the poll() loop that watches
 * it wakes at once and ends; only one may be open. The signals stay caught
 * after close, so keep it open until the loop is done. */
class signal_pipe {
public:
    signal_pipe() = default;
    ~signal_pipe();
    signal_pipe(const signal_pipe&) = delete;
    signal_pipe& operator=(const signal_pipe&) = delete;

    bool open(std::string* why);
    int fd() const;
};

} // namespace kxsim

#endif
