/*
 * link.h - the command link to the chosen module: its address and the two
 * primitives every datagram of the link goes through, without any window.
 */
#ifndef KX_LINK_H
#define KX_LINK_H

#include "netio.h"

/* The chosen module, port 48899. */
extern sockaddr_in addr_r;

/* addr_r from module_ip. */
void udp_add_r();

/* n bytes as one datagram from udpsocket to addr_r: n, or -1. */
int udpsendn(const char* data, int n);

/* The next datagram from anyone, waiting without limit: its length, or -1
 * when it was longer than n (its first n bytes are in buf), the receive
 * failed, or the wait was abandoned. buf is not terminated. */
int udprecvn(char* buf, int n);

enum receive_end { RECEIVED = 0, RECEIVE_TIMED_OUT, RECEIVE_ABANDONED };

/* The next datagram within timeout_ms (WAIT_FOREVER: no limit). Returns a
 * receive_end; on RECEIVED, *length is as udprecvn returns it and *stored
 * the bytes in buf. */
int link_receive(char* buf, int n, int timeout_ms, int* length, int* stored);

/* Drops the datagrams already waiting, so that a late answer to an earlier
 * command is never taken for the answer to the next one. */
void link_discard_pending();

/* True while a receive of the link waits: closing the settings window then
 * abandons it. */
bool link_waiting();

#endif
