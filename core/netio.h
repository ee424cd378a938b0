/*
 * netio.h - the socket layer: start-up, addresses, and the one seam through
 * which every datagram of the program goes.
 *
 * All traffic (search, command link, AT exchange, firmware upload) is
 * datagrams on one UDP socket. The operations on it are the methods of a
 * net_mediator; the program runs on the system's sockets, the window
 * replaces only the way of waiting (so the windows keep redrawing), and
 * tests put in a scripted mediator to play replies, losses and time-outs.
 */
#ifndef KX_NETIO_H
#define KX_NETIO_H

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netinet/in.h>
#endif

enum { KX_PORT = 48899 };

/* What a wait for a datagram ends with. */
enum wait_result { WAIT_TIMEOUT = 0, WAIT_READY = 1, WAIT_ABANDONED = -1 };
/* recv_from's answer when nothing was waiting after all: a readiness
 * report can be stale (the kernel may drop a datagram with a bad checksum
 * after reporting it), and a receive must never block the window. */
enum { RECV_NONE = -2 };
/* A timeout that never runs out. */
enum { WAIT_FOREVER = -1 };

enum udp_open_error { UDP_OPEN_OK = 0, UDP_OPEN_SOCKET_FAILED, UDP_OPEN_BIND_FAILED };

/* One datagram of a batch: room for cap bytes in buf, then what recv_from
 * would have said of it (length, stored, from). */
struct datagram_slot {
    char* buf;
    int cap;
    int length;
    int stored;
    sockaddr_in from;
};

class net_mediator {
public:
    virtual ~net_mediator() = default;

    /* An IPv4 datagram socket with address reuse, bound to any local
     * address at port, with broadcast on. Returns it (never 0), or 0 with
     * *err telling which step failed. */
    virtual int open_udp(unsigned short port, udp_open_error* err) = 0;
    virtual void close_udp(int sock) = 0;

    /* One datagram of n bytes to to. Returns n, or -1 (also, without
     * sending, for the destination 0.0.0.0). */
    virtual int send_to(int sock, const void* data, int n, const sockaddr_in& to) = 0;

    /* Takes the next datagram without waiting; stores at most n bytes of
     * it in buf and their count in *stored. Returns the datagram's length,
     * -1 when it was longer than n or the receive failed (*stored tells
     * which bytes, if any, are in buf), or RECV_NONE when nothing was
     * there. from may be nullptr. */
    virtual int recv_from(int sock, char* buf, int n, int* stored, sockaddr_in* from) = 0;

    /* Takes up to count waiting datagrams without waiting, in the order
     * they came; returns how many (0: none was there). A burst of answers
     * must leave the receive buffer faster than it fills; this one takes
     * them one by one through recv_from, so a scripted network needs
     * nothing more, and the system's takes a batch in one call. */
    virtual int recv_batch(int sock, datagram_slot* slots, int count);

    /* Datagrams the system dropped on sock since it was opened because
     * its receive buffer was full; 0 where the system does not tell. */
    virtual unsigned long drops(int sock)
    {
        (void)sock;
        return 0;
    }

    /* Waits until a datagram is waiting on sock, at most timeout_ms
     * milliseconds (WAIT_FOREVER: no limit). Returns a wait_result. */
    virtual int wait_readable(int sock, int timeout_ms) = 0;

    /* True when a datagram is waiting on sock right now. */
    virtual bool has_datagram(int sock) = 0;

    /* Lets ms milliseconds pass (the pause between two AT tries, or two
     * image datagrams). False when the pause was cut short by interrupt()
     * or because the program is closing. */
    virtual bool pause_ms(int ms) = 0;

    /* Ends the wait or pause in progress, if any, at once: the wait
     * returns WAIT_ABANDONED. Used when what it waited for is no longer
     * wanted (the settings window closed). */
    virtual void interrupt() {}

    /* Milliseconds of the clock that waits and pauses run on. */
    virtual long long clock_ms();
};

/* The system's sockets, waiting with select. */
class system_net : public net_mediator {
public:
    int open_udp(unsigned short port, udp_open_error* err) override;
    void close_udp(int sock) override;
    int send_to(int sock, const void* data, int n, const sockaddr_in& to) override;
    int recv_from(int sock, char* buf, int n, int* stored, sockaddr_in* from) override;
    int recv_batch(int sock, datagram_slot* slots, int count) override;
    unsigned long drops(int sock) override;
    int wait_readable(int sock, int timeout_ms) override;
    bool has_datagram(int sock) override;
    bool pause_ms(int ms) override;
};

/* The mediator in force; the system's unless set_net replaced it. */
net_mediator& net();
/* nullptr restores the system's. The caller keeps ownership. */
void set_net(net_mediator* m);

/* The receive buffer, in bytes, that sockets opened from now on ask for;
 * 0 (the default) asks for as large a one as the system grants. */
void set_receive_buffer(int bytes);

/* Starts the socket layer (Winsock on Windows; nothing on POSIX).
 * Returns 1, or 0 when it cannot start. */
int init_net();

/* Four dot-separated groups of 1 to 3 decimal digits, each at most 255,
 * and nothing else; leading zeros count for nothing ("010" is 10), as the
 * modules write them. Fills bytes[4] and returns 1, or returns 0 and
 * leaves bytes alone. */
int parse_dotted_ipv4(const char* text, unsigned char* bytes);

/* Fills *out with the dotted IPv4 text (parse_dotted_ipv4's rules) and the
 * port. Returns 1, or 0 when the text is not an address. */
int make_address(const char* dotted, unsigned short port, sockaddr_in* out);

/* True for an address with the IPv4 address 0.0.0.0, which is never a
 * destination: a datagram to it would reach the PC itself. */
bool address_unset(const sockaddr_in& a);

/* True when both hold the same IPv4 address (ports aside). */
bool same_host(const sockaddr_in& a, const sockaddr_in& b);

/* Dotted text of an address (at least 16 bytes of room). */
void address_text(const sockaddr_in& a, char* out, int cap);

/* Milliseconds of a monotonic clock. */
long long monotonic_ms();
/* Sleeps ms milliseconds. */
void sleep_ms(int ms);

#endif
