/*
 * discovery.h - finding modules: the keyword, the answers and the search
 * passes, without any window.
 *
 * The window half (the list, the search button) is in uthread.cpp and
 * main.cpp; it hands the passes a callback that redraws the list.
 */
#ifndef KX_DISCOVERY_H
#define KX_DISCOVERY_H

#include <vector>

#include "netio.h"
#include "udp_hub.h"

/* The keyword in force, read afresh by every search. */
extern char aswd[100];
/* Where the search sends the keyword. The socket it opens is the hub's
 * (udpsocket, udp_hub.h), which the links and the upload use afterwards. */
extern sockaddr_in addr_b;

enum {
    ANSWER_MAX = 100,   /* longest answer datagram taken */
    FIELD_MAX = 18,     /* longest field of an answer */
    SEARCH_PASSES = 5,
    SEARCH_PASSES_MOST = 10,   /* search_to_end's bound */
    SEARCH_QUIET_MS = 1000,
    SEARCH_PASS_MS = 3000   /* longest pass, whatever arrives */
};

extern const char default_keyword[];   /* "KX-D40LOCATORPING" */

/* Fills buf (100 bytes) with the first line of data/aswd.txt, its line
 * feed included, or the default keyword. */
void get_aswd(char* buf);

/* The keyword file's rule: its first line as read, line feed included,
 * replaces buf (100 bytes); an empty file leaves buf alone. False, with
 * errno set (0 for a file that is not a regular one), when path cannot be
 * read; buf is then untouched. */
bool read_keyword_file(const char* path, char* buf);

/* Takes the next comma-separated field of text[0..length) from *position
 * into dest (at least FIELD_MAX + 1 bytes). Returns 0, changing nothing,
 * when the field is longer than FIELD_MAX. */
int get_field(char* dest, const char* text, int length, int* position);

/* 1 when text is exactly four dot-separated groups of 1-3 digits <= 255. */
int check_ip(const char* text);

/* Parses one answer into strmodule: the row of a module already listed at
 * the same address, else the first free row. Returns 1 when the answer
 * passed the field rules (the list is to be redrawn; it lists a module
 * when IP and MAC are both present), 0 when it is ignored. */
int add_module_answer(const char* text, int length);

/* Opens the discovery socket, printing what failed. Returns it or 0. */
int init_udp_socket();

/* Broadcast destination for the local address text: its first three
 * groups and "255", port 48899. Returns 0 when there is no address. */
int broadcast_address(const char* local_ip, sockaddr_in* out);

/* Broadcast destination of the network that holds local_ip with the given
 * prefix length (its real netmask), port 48899. Returns 0 when local_ip is
 * no address or the network has no broadcast address (a /31 or /32). */
int network_broadcast(const char* local_ip, int prefix, sockaddr_in* out);

/* The search passes: up to five, while no module has been found (found()
 * says whether one was; nullptr: the window's list has one); each
 * sends the keyword and hands every answer of at most ANSWER_MAX bytes to
 * put_answer until the network has been quiet for a second, or for three
 * seconds at the most. Returns 1, or
 * 0 when a wait was abandoned (the program is closing). */
int search_passes(int sock, const sockaddr_in& dest, const char* keyword, int keyword_len,
                  void (*put_answer)(const char* text, int length), int (*found)() = nullptr);

/* Where kxd40ctl's search sends the keyword, and how fast. */
struct search_plan {
    std::vector<sockaddr_in> to; /* broadcast addresses, or every address a sweep asks */
    int per_second = 0;          /* keywords sent a second at most; 0: all at once */
    bool sweep = false;          /* unicast to each address: a module found asks for no further pass */
};

/* What search_to_end found out besides the answers. */
struct search_count {
    int passes = 0;
    unsigned long lost = 0;         /* answers the system dropped, the whole search */
    bool may_miss_modules = false;  /* its last pass lost answers too */
    unsigned long unsent = 0;       /* keywords the system would not send, the last pass */
    sockaddr_in first_unsent{};     /* where the first of them was to go */
};

/* kxd40ctl's search. Each pass sends the keyword to every destination of
 * the plan, at its pace, taking answers meanwhile, and then waits as a
 * pass of search_passes does. A broadcast search passes again while a pass
 * brings a module not yet listed (listed() counts them), and makes five
 * passes when nobody answers, as the window does; every search passes
 * again while answers are lost to a full receive buffer; SEARCH_PASSES_MOST
 * at most. Every module answers every pass, so a last pass that brought
 * nobody new and lost nothing leaves no module out. Returns 1, or 0 when
 * a wait was abandoned. */
int search_to_end(int sock, const search_plan& plan, const char* keyword, int keyword_len,
                  void (*put_answer)(const char* text, int length), int (*listed)(), search_count* out);

#endif
