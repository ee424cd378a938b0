/*
 * udp_hub.h - the one socket shared by every link and the search.
 *
 * Modules answer to the PC's port 48899, so all links and the search take
 * their datagrams from the same socket. The hub is the one reader of it:
 * each datagram goes to the link of the module that sent it, and what no
 * link owns goes to the search in progress (or nowhere). Nothing else
 * reads the socket. The hub knows a link only by its part here (hub_slot),
 * so it stands below the links and the search that use it.
 *
 * Two ways of waiting share that rule. Without a receiver (the window, the
 * tests) a link that waits reads the socket itself through net() and hands
 * each datagram to its owner, so the window's main loop and a scripted
 * network keep their hold on time. With the receiver started (kxd40ctl),
 * one thread reads the socket and every link waits on its own inbox, so
 * a silent module delays no other.
 */
#ifndef KX_UDP_HUB_H
#define KX_UDP_HUB_H

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>

#include "netio.h"

/* The one socket of the program: opened by a search, used by the links
 * and the upload afterwards. 0 means none. udpsocket is the same socket. */
extern int u_socket;
extern int udpsocket;

/* A datagram as a link receives it: the bytes kept, and its true length
 * (-1 when it was longer than the hub keeps). */
struct link_datagram {
    std::string bytes;
    int length;
};

/* What the hub keeps of each owner of datagrams, a link (link.h) or the
 * search: the module's address, the inbox and the state the hand-over
 * looks at. The hub's lock guards addr_r and attached; the slot's own
 * guard its inbox, so that a thousand links waiting for their modules do
 * not queue for one lock. A slot leaves the hub when it is destroyed. */
struct hub_slot {
    sockaddr_in addr_r{};
    std::atomic<bool> ended{false};
    std::atomic<unsigned> serial{0};
    std::atomic<int> active{0};  /* waits and pauses in progress */
    bool attached = false;       /* the hub hands it its datagrams */
    std::atomic<int> held{0};    /* link_hold: the action has it, waiting or not */
    std::mutex guard;            /* the inbox's: taken after the hub's lock, never before it */
    std::deque<link_datagram> inbox;
    std::condition_variable arrived;

    hub_slot() = default;
    hub_slot(const hub_slot&) = delete;
    hub_slot& operator=(const hub_slot&) = delete;
    ~hub_slot();
};

enum receive_end { RECEIVED = 0, RECEIVE_TIMED_OUT, RECEIVE_ABANDONED };

/* The hub hands l its datagrams from now on, by address (which it sets,
 * under its lock, since the receiver reads it), or no more. */
void hub_attach(hub_slot& l, const sockaddr_in& address);
void hub_detach(hub_slot& l);

/* The search: while one runs, the datagrams no open link owns are its
 * own, as are those of a link that is neither held nor waiting. */
void hub_search_begin(hub_slot& search);
void hub_search_end();

/* The primitives of link.h: the next datagram of l (a receive_end), a
 * pause, the datagrams already there dropped, and the wake-up of a link
 * that has ended. */
int hub_receive(hub_slot& l, int timeout_ms, link_datagram* out);
bool hub_pause(hub_slot& l, int ms);
void hub_discard(hub_slot& l, std::deque<link_datagram>* dropped = nullptr);
void hub_wake(hub_slot& l);

/* The receiver thread on udpsocket; true once it runs. Stopping joins it. */
bool hub_start_receiver();
void hub_stop_receiver();
bool hub_receiver_running();

/* Ends every attached link and the search at once (a signal to stop):
 * each wait ends, nothing more is sent. */
void hub_end_all();

/* Datagrams the hub took and gave to nobody, since the start. */
unsigned long hub_unowned();

#endif
