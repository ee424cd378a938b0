/*
 * net_module.h - what a completed handshake sets going.
 */
#ifndef KX_NET_MODULE_H
#define KX_NET_MODULE_H

/* The link to the module is up: the records start afresh, and either the
 * reading and replay buttons become usable or, with the automatic replay
 * on, the command file goes to the module at once. */
void net_module_connected();

#endif
