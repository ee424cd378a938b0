/*
 * uthread.h - the search as the search window runs it.
 */
#ifndef KX_UTHREAD_H
#define KX_UTHREAD_H

#include "netio.h"

/* One complete search: refills strmodule and the module list. */
void u_thread();

/* Takes one answer into the table and redraws the list if it was valid. */
void put_in_list(const char* text, int length);

/* The broadcast destination for the active local address. Returns 0 when
 * no local address is chosen. */
int init_addr_b(sockaddr_in* addr);

/* The handshake with the chosen module: the keyword once a second until
 * anything answers, then "+ok"; the lamp turns green and the pages become
 * readable. Returns when the link is up or the wait was abandoned. */
void net_udp_thread();

/* True while the handshake waits for the module. */
bool link_handshaking();

#endif
