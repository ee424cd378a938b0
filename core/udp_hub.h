/*
 * udp_hub.h - the one socket shared by every link and the search.
 *
 * Modules answer to the PC's port 48899, so all links and the search take
 * their datagrams from the same socket. The hub is the one reader of it:
 * each datagram goes to the link of the module that sent it, and what no
 * link owns goes to the search in progress (or nowhere). Nothing else
 * reads the socket.
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

#include "link.h"

/* The hub hands l its datagrams from now on, by address (which it sets,
 * under its lock, since the receiver reads it), or no more. */
void hub_attach(module_link& l, const sockaddr_in& address);
void hub_detach(module_link& l);

/* The search: while one runs, the datagrams no open link owns are its
 * own, as are those of a link that is neither held nor waiting. */
void hub_search_begin(module_link& search);
void hub_search_end();

/* The primitives of link.h: the next datagram of l, a pause, the datagrams
 * already there dropped, and the wake-up of a link that has ended. */
int hub_receive(module_link& l, int timeout_ms, link_datagram* out);
bool hub_pause(module_link& l, int ms);
void hub_discard(module_link& l, std::deque<link_datagram>* dropped = nullptr);
void hub_wake(module_link& l);

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
