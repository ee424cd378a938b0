/*
 * tool_socket.h - the tool's side of the network as a plain socket, for
 * the tests and benchmarks that talk to the simulator without the tool's
 * own code in between.
 */
#ifndef KX_TESTS_TOOL_SOCKET_H
#define KX_TESTS_TOOL_SOCKET_H

#include <string>

/* A UDP socket on 127.0.0.1:48899, as the tool binds its own (sharing the
 * port, allowed to broadcast). Use it only inside a private network. */
class tool_socket {
public:
    tool_socket();
    ~tool_socket();
    tool_socket(const tool_socket&) = delete;
    tool_socket& operator=(const tool_socket&) = delete;
    bool bound() const { return bound_; }

    /* data as one datagram to ip:48899; false when it did not go whole. */
    bool send(const std::string& ip, const std::string& data);

    /* One datagram, and the address it came from; empty after wait_ms. */
    std::string receive(std::string* from_ip = nullptr, int wait_ms = 5000);

private:
    int fd_;
    bool bound_ = false;
};

#endif
