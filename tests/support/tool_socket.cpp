/*
 * tool_socket.cpp - a plain UDP socket where the tool's would be.
 */
#include "tool_socket.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

sockaddr_in address(const std::string& ip)
{
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(48899);
    inet_pton(AF_INET, ip.c_str(), &sa.sin_addr);
    return sa;
}

} // namespace

tool_socket::tool_socket() : fd_(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0))
{
    int on = 1;
    setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    sockaddr_in sa = address("127.0.0.1");
    bound_ = fd_ >= 0 && bind(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
}

tool_socket::~tool_socket()
{
    if (fd_ >= 0)
        close(fd_);
}

bool tool_socket::send(const std::string& ip, const std::string& data)
{
    sockaddr_in sa = address(ip);
    return sendto(fd_, data.data(), data.size(), 0, reinterpret_cast<sockaddr*>(&sa), sizeof sa)
        == static_cast<ssize_t>(data.size());
}

std::string tool_socket::receive(std::string* from_ip, int wait_ms)
{
    pollfd p{fd_, POLLIN, 0};
    char buf[2048];
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    ssize_t n = poll(&p, 1, wait_ms) > 0
        ? recvfrom(fd_, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&sa), &len)
        : -1;
    if (from_ip != nullptr)
        *from_ip = inet_ntoa(sa.sin_addr);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}
