/*
 * module.h - the records that mirror a module's settings, the table of
 * modules found by a search, and the chosen module.
 *
 * Each settings page has two records: the current one (as last read from
 * the module or last confirmed to it, with the page flags) and the edited
 * one, suffix _up, which the widgets show and the commands are built from.
 */
#ifndef KX_MODULE_H
#define KX_MODULE_H

#include <cstddef>

#include "enums.h"

struct _MOD_MANA_STRUCT {
    char wmode;      /* ENWIFIMODE */
    char tmode;      /* ENWORKMODE */
    char user[20];
    char pswd[20];
    char mid[16];
    char mver[10];
    int inited;
    int dirty;
};

struct _MOD_COMM_STRUCT {
    char baud;       /* ENBAUDRATE */
    char data_bits;  /* ENCOMBITS */
    char parity;     /* ENCOMPARITY */
    char stop_bits;  /* ENCOMSTOPBITS */
    char fc;         /* ENCOMFLOWCTRL */
    char bAF;        /* ENCOMAF */
    int AFT;
    int AFL;
    char mode;       /* ENNETMODE */
    char protocol;   /* ENNETPROT */
    unsigned short port;
    unsigned char ipadd[4];
    char bip;        /* 1: server given by ipadd, 0: by hostname */
    char hostname[100];
    int maxsk;
    int TCPto;
    int inited;
    int dirty;
};

struct _MOD_AP_STRUCT {
    char mode;       /* ENAPSTD */
    char SSID[35];
    char channel;    /* ENAPCH */
    char enc_auth;   /* ENENCAUTH */
    char enc_encry;  /* ENENCENC_WPAPSK */
    char pwd_defaultkey;
    char password[65];
    char bDHCP;      /* ENDHCP */
    unsigned char ipadd[4];
    unsigned char ipmask[4];
    unsigned char dhcpgw[4];
    int inited;
    int dirty;
};

struct _MOD_STA_STRUCT {
    char SSID[35];
    char enc_auth;   /* ENENCAUTH */
    char enc_encry;  /* ENENCENC_WPAPSK */
    char pwd_defaultkey;
    char password[65];
    char bDHCP;      /* ENDHCP */
    unsigned char ipadd[4];
    unsigned char ipmask[4];
    unsigned char dhcpgw[4];
    int inited;
    int dirty;
};

/* One module found by a search. */
struct STRMODULE {
    int connected;
    char ip[20];
    char mac[20];
    char id[30];
};

enum { MODULE_TABLE_SIZE = 10 };

/* The four pages of one module, each current and edited. */
struct module_pages {
    _MOD_MANA_STRUCT mana, mana_up;
    _MOD_COMM_STRUCT comm, comm_up;
    _MOD_AP_STRUCT ap, ap_up;
    _MOD_STA_STRUCT sta, sta_up;
};

/* The window's module: the pages of the window's link (link.h). */
extern _MOD_MANA_STRUCT &strMODMana, &strMODMana_up;
extern _MOD_COMM_STRUCT &strMODComm, &strMODComm_up;
extern _MOD_AP_STRUCT &strMODAP, &strMODAP_up;
extern _MOD_STA_STRUCT &strMODSTA, &strMODSTA_up;

extern STRMODULE strmodule[MODULE_TABLE_SIZE];
extern int strmodule_num;

/* The module chosen for Setting or Upload, copied at the click so that a
 * later search does not change them: the window's link's. */
extern char (&module_ip)[20];
extern char (&module_mac)[20];
extern char (&module_id)[30];
extern char (&module_aswd)[100];

/* _up record -> current record (after a confirm). */
void copy_module_mana_struct();
void copy_module_comm_struct();
void copy_module_ap_struct();
void copy_module_sta_struct();

/* current record -> _up record (after a read, on cancel). */
void copy_module_mana_struct_up();
void copy_module_comm_struct_up();
void copy_module_ap_struct_up();
void copy_module_sta_struct_up();

/* The same copies of any module's page type (ENCMDTYPE). */
void take_page_edits(module_pages& p, int type);
void drop_page_edits(module_pages& p, int type);

/* Every page counts as not read and unchanged. */
void clear_mod_structs();
void clear_pages(module_pages& p);

/* Copies entry row of strmodule into the chosen-module globals together
 * with the keyword. Returns 0 when row is not a module of the table. */
int choose_module(int row, const char* keyword);

/* ---- The AT exchange ---- */

enum {
    AT_TRIES = 40,              /* answers that are not positive, at most */
    AT_PAUSE_MS = 200,          /* after each of them */
    AT_RECEIVE_MS = 2000,       /* longest wait for one datagram */
    AT_EXCHANGE_MS = 10000,     /* longest exchange, whatever arrives */
    AT_REPLY_MAX = 100,         /* longest reply taken whole */
    AT_SET_JUDGED = 10,         /* bytes a setting reply is judged by */
    AT_LINE_MAX = 512           /* longest command line sent */
};

/* How often an exchange sends its command while nothing answers, and how
 * long it waits for an answer after each send. A command is sent again
 * only while the module has said nothing at all, so a refusal is never
 * repeated; a reply that was lost rather than the command means the module
 * runs it twice. An exchange lasts at most the longer of AT_EXCHANGE_MS and
 * tries * wait_ms. Once the module has answered, its next datagram is
 * awaited heard_wait_ms.
 *
 * With min_wait_ms below max_wait_ms the link learns its module's time to
 * answer (link.h) and waits that long, within those bounds; wait_ms is the
 * first guess. Otherwise every wait is wait_ms, as the window's are. */
struct at_resend {
    int tries;
    int wait_ms;
    int heard_wait_ms;
    int min_wait_ms = 0;
    int max_wait_ms = 0;

    bool learns() const { return min_wait_ms < max_wait_ms; }
};

/* The bounds of a learned wait. The lower one decides what a lost
 * datagram costs on a module that answers in a few milliseconds: with it
 * and the back-off, a loss costs tens of milliseconds rather than a whole
 * first guess, so that a fleet read on a lossy network costs little more
 * than on a clean one. It binds only while the learned spread is near
 * zero; a network or a machine whose times vary has a wait of its round
 * trip and four spreads above it. 10 ms is several LAN round trips; an
 * answer that comes later than that after all only costs one more
 * datagram, whose reply the ledger drops. The upper one keeps a silent
 * module's back-off within the window's own receive limit. */
enum { AT_LEARNED_MIN_MS = 10, AT_LEARNED_MAX_MS = AT_RECEIVE_MS };

/* The resend of a program that learns its modules' times: tries sends,
 * timeout_ms the first guess. */
at_resend learning_resend(int tries, int timeout_ms);

/* The window's: a query goes up to four times, half a second apart, since
 * a lost datagram is no dead module and asking twice costs nothing; a
 * setting goes once (the module would run it twice). Either way a silent
 * module ends an exchange within AT_RECEIVE_MS. */
const at_resend window_query_resend = {4, AT_RECEIVE_MS / 4, AT_RECEIVE_MS};
const at_resend window_setting_resend = {1, AT_RECEIVE_MS, AT_RECEIVE_MS};

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

/* The exchanges of the window's link (link.h has them for any link). */

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

/* ---- Reading the pages ---- */

void init_module_mana_struct();
void init_module_comm_struct();
void init_module_ap_struct();
void init_module_sta_struct();

void init_modcom_baud(const char* item);
void init_modcom_data(const char* item);
void init_modcom_stop(const char* item);
void init_modcom_parity(const char* item);
void init_modcom_fc(const char* item);
void init_ap_channel(const char* item);
void init_wifi_auth(const char* item, char* ret);
void init_wifi_encry(const char* item, char* ret);

/* Reads value into p's current records as the reply to the query name
 * ("UART") would be read; false when a read asks no such query. A
 * setting command's value is read this way, since a module's reply to a
 * query has the layout of the setting of the same name. */
bool read_setting_value(module_pages& p, const char* name, const char* value);

/* Dotted IPv4 text to four bytes: 1, or 0 with add untouched. */
int string_to_ip(const char* t, unsigned char* add);

#endif
