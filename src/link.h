/*
 * link.h - the command link to the chosen module: its address and the two
 * primitives every datagram of the link goes through, without any window.
 *
 * Only the module answers for the module: a receive of the link takes the
 * datagrams whose source is addr_r and drops every other one (a late search
 * answer, another module, the PC's own broadcast) without restarting its
 * time-out. A link ends when its settings window closes or another module
 * is chosen; from then on nothing is sent and every wait ends at once,
 * until udp_add_r opens the link to the next module.
 */
#ifndef KX_LINK_H
#define KX_LINK_H

#include "netio.h"

/* The chosen module, port 48899. */
extern sockaddr_in addr_r;

/* addr_r from module_ip, and the link is open. A text that is no address
 * prints one line and leaves addr_r at 0.0.0.0, to which nothing is ever
 * sent. */
void udp_add_r();

/* n bytes as one datagram from udpsocket to addr_r: n, or -1 (also when
 * the link has ended or has no address). */
int udpsendn(const char* data, int n);

/* The next datagram from the module, waiting without limit: its length,
 * or -1 when it was longer than n (its first n bytes are in buf) or the
 * link ended. buf is not terminated. */
int udprecvn(char* buf, int n);

enum receive_end { RECEIVED = 0, RECEIVE_TIMED_OUT, RECEIVE_ABANDONED };

/* The next datagram from the module within timeout_ms (WAIT_FOREVER: no
 * limit). Returns a receive_end; on RECEIVED, *length is as udprecvn
 * returns it and *stored the bytes in buf. */
int link_receive(char* buf, int n, int timeout_ms, int* length, int* stored);

/* Lets ms milliseconds pass. Returns false when the link ended before or
 * during the pause: the caller sends nothing more. */
bool link_pause(int ms);

/* Drops the datagrams already waiting, so that a late answer to an earlier
 * command is never taken for the answer to the next one. */
void link_discard_pending();

/* Ends the link: the wait or pause it is in ends now, and nothing more is
 * sent or awaited until udp_add_r. */
void link_end();

/* True once link_end has run and no link was opened since. */
bool link_ended();

/* Changes whenever a link is opened or ended, and when a lent link is given
 * back: what an exchange remembers of one link's replies is worthless on
 * the next, so it starts afresh once this differs. */
unsigned link_serial();

/* For its lifetime, the link goes to module_ip for an upload, whatever
 * settings window is linked: link_end does not end it, and afterwards
 * addr_r and the link's state are as they were (ended, if the settings
 * window closed meanwhile). */
class lent_link {
public:
    lent_link();
    ~lent_link();
    lent_link(const lent_link&) = delete;
    lent_link& operator=(const lent_link&) = delete;

private:
    sockaddr_in saved_addr_;
    bool saved_ended_;
};

enum { HANDSHAKE_WAIT_MS = 1000 };

/* What the handshake tells its caller, each may be nullptr: after every
 * keyword sent, after every silent second, and the answer's text. */
struct handshake_hooks {
    void (*sent)();
    void (*silent)();
    void (*answered)(const char* text);
};

/* The keyword to addr_r, then a second's wait for the module, at most
 * tries times (0: without limit); on an answer "+ok" goes back and the
 * result is 1. 0 when the tries ran out, -1 when the link ended or the
 * program is closing. */
int keyword_handshake(const char* keyword, int tries, const handshake_hooks& hooks);

#endif
