/*
 * module_records.h - the records that mirror a module's settings, the
 * table of modules found by a search, and the copies between a page's
 * current and edited records.
 *
 * Each settings page has two records: the current one (as last read from
 * the module or last confirmed to it, with the page flags) and the edited
 * one, suffix _up, which the widgets show and the commands are built from.
 */
#ifndef KX_MODULE_RECORDS_H
#define KX_MODULE_RECORDS_H

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

extern STRMODULE strmodule[MODULE_TABLE_SIZE];
extern int strmodule_num;

/* The copies of any module's page type (ENCMDTYPE): the edits taken into
 * the current record (after a confirm), or dropped for it (after a read,
 * on cancel). */
void take_page_edits(module_pages& p, int type);
void drop_page_edits(module_pages& p, int type);

/* Every page counts as not read and unchanged. */
void clear_pages(module_pages& p);

/* Dotted IPv4 text to four bytes: 1, or 0 with add untouched. */
int string_to_ip(const char* t, unsigned char* add);

#endif
