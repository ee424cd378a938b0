/*
 * module_at.h - one AT command and its answer, on any link or on the
 * window's: the exchange, the shape a query's answer must have, and what
 * the last exchange of the window's link found.
 */
#ifndef KX_MODULE_AT_H
#define KX_MODULE_AT_H

#include <cstddef>

#include "enums.h"
#include "link.h"

enum {
    AT_TRIES = 40,              /* answers that are not positive, at most */
    AT_PAUSE_MS = 200,          /* after each of them */
    AT_EXCHANGE_MS = 10000,     /* longest exchange, whatever arrives */
    AT_SET_JUDGED = 10,         /* bytes a setting reply is judged by */
    AT_LINE_MAX = 512           /* longest command line sent */
};

/* Both resends of the window's link at once (a program on a lossy network
 * sends settings again too); tries below 1 or wait_ms below 1 restore the
 * window's. */
void set_at_resend(int tries, int wait_ms);

/* The last answer of the last query that was not positive ("+ERR=-2"),
 * without its line ends; empty when there was none. The window's link's. */
extern char (&module_last_refusal)[AT_REPLY_MAX + 1];

/* 1 when nothing that counts as an answer came for the last command before
 * its exchange ended, or the link ended under it: the module is silent
 * (or no longer wanted) and a read stops. The window's link's. */
extern int& module_silent;

/* What the reply to one query looks like, so that the reply to another
 * query is not taken for it. items has a letter an item: 'e' an item of
 * the next of tables, 'n' a decimal number, 'a' a dotted address, 't' any
 * text without a comma, '*' the rest, commas and all (in the middle at
 * least one item, at the end none or more). nullptr items: any reply. */
struct reply_shape {
    const char* items;
    const enum_table* tables[5];
};
bool reply_fits(const reply_shape& shape, const char* value);

/* One exchange on link l: the query cmd ("AT+WMODE"), whose positive
 * reply's value goes into ret (cap bytes, cut to fit) unless it does not
 * fit shape (when given: then it is no answer); or the setting cmd. 1 on
 * the answer, else 0 (ret unchanged). */
int at_query(module_link& l, const char* cmd, char* ret, size_t cap, const reply_shape* shape = nullptr);
int at_setting(module_link& l, const char* cmd);

/* The same on the window's link. */
/* Sends the query cmd ("AT+WMODE") and copies the value of the positive
 * reply into ret (cap bytes, cut to fit). 1 on a positive reply, else 0
 * with ret unchanged. */
int module_send_cmd_get(const char* cmd, char* ret, size_t cap);
template <size_t N>
int module_send_cmd_get(const char* cmd, char (&ret)[N])
{
    return module_send_cmd_get(cmd, ret, N);
}

/* Sends the setting cmd. 1 on a positive reply (or an "AT+E" echo). */
int module_send_cmd_set(const char* cmd);

/* Copies the next comma-separated item of cin[0..len) from *p into cout
 * (cap bytes, cut to fit) and moves *p past the item and its comma. */
void get_list_item(const char* cin, int len, int* p, char* cout, size_t cap);
template <size_t N>
void get_list_item(const char* cin, int len, int* p, char (&cout)[N])
{
    get_list_item(cin, len, p, cout, N);
}

#endif
