/*
 * tool_socket.h - the tool's side of the network as a plain socket on
 * 127.0.0.1:48899 (sharing the port, allowed to broadcast), for the tests
 * and benchmarks that talk to the simulator without the tool's code in
 * between. Use it only inside a private network.
 */
#ifndef KX_TESTS_TOOL_SOCKET_H
#define KX_TESTS_TOOL_SOCKET_H

#include <arpa/inet.h>
#include <poll.h>
#include <string>
#include <unistd.h>

class tool_socket {
public:
    tool_socket()
    {
        int on = 1;
        setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
        sockaddr_in sa = address("127.0.0.1");
        bound_ = fd_ >= 0 && bind(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
    }
    ~tool_socket() { close(fd_); }
    tool_socket(const tool_socket&) = delete;
    tool_socket& operator=(const tool_socket&) = delete;
    bool bound() const { return bound_; }

    /* data as one datagram to ip:48899; false when it did not go whole. */
    bool send(const std::string& ip, const std::string& data)
    {
        sockaddr_in sa = address(ip);
        return sendto(fd_, data.data(), data.size(), 0, reinterpret_cast<sockaddr*>(&sa), sizeof sa) ==
               static_cast<ssize_t>(data.size());
    }
    /* One datagram, and the address it came from; empty after wait_ms. */
    std::string receive(std::string* from_ip = nullptr, int wait_ms = 5000)
    {
        pollfd p{fd_, POLLIN, 0};
        char buf[2048];
        sockaddr_in sa{};
        socklen_t len = sizeof sa;
        ssize_t n = poll(&p, 1, wait_ms) > 0 ? recvfrom(fd_, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&sa), &len) : -1;
        if (from_ip != nullptr)
            *from_ip = inet_ntoa(sa.sin_addr);
        return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
    }

private:
    static sockaddr_in address(const std::string& ip)
    {
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_port = htons(48899);
        inet_pton(AF_INET, ip.c_str(), &sa.sin_addr);
        return sa;
    }
    int fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    bool bound_ = false;
};

#endif
