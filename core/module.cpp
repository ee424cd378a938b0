/*
 * module.cpp - the settings records, their copies and flags, and the
 * chosen module.
 */
#include "module.h"

#include <cstring>

#include "enums.h"
#include "link.h"
#include "strutil.h"

_MOD_MANA_STRUCT &strMODMana = window_link.pages.mana, &strMODMana_up = window_link.pages.mana_up;
_MOD_COMM_STRUCT &strMODComm = window_link.pages.comm, &strMODComm_up = window_link.pages.comm_up;
_MOD_AP_STRUCT &strMODAP = window_link.pages.ap, &strMODAP_up = window_link.pages.ap_up;
_MOD_STA_STRUCT &strMODSTA = window_link.pages.sta, &strMODSTA_up = window_link.pages.sta_up;

STRMODULE strmodule[MODULE_TABLE_SIZE];
int strmodule_num = 0;

char (&module_ip)[20] = window_link.module_ip;
char (&module_mac)[20] = window_link.module_mac;
char (&module_id)[30] = window_link.module_id;
char (&module_aswd)[100] = window_link.module_aswd;

namespace {

/* The copies move every setting but never the page flags nor the unused
 * pwd_defaultkey; both directions copy the same fields. */

void copy_mana(_MOD_MANA_STRUCT& to, const _MOD_MANA_STRUCT& from)
{
    copy_text(to.mid, from.mid);
    to.wmode = from.wmode;
    to.tmode = from.tmode;
    copy_text(to.user, from.user);
    copy_text(to.pswd, from.pswd);
    copy_text(to.mver, from.mver);
}

void copy_comm(_MOD_COMM_STRUCT& to, const _MOD_COMM_STRUCT& from)
{
    to.baud = from.baud;
    to.data_bits = from.data_bits;
    to.stop_bits = from.stop_bits;
    to.parity = from.parity;
    to.fc = from.fc;
    to.bAF = from.bAF;
    to.AFT = from.AFT;
    to.AFL = from.AFL;
    to.protocol = from.protocol;
    to.mode = from.mode;
    to.port = from.port;
    std::memcpy(to.ipadd, from.ipadd, sizeof to.ipadd);
    to.maxsk = from.maxsk;
    to.TCPto = from.TCPto;
    to.bip = from.bip;
    /* With an address in force the destination keeps the host name it had. */
    if (from.bip == 0)
        copy_text(to.hostname, from.hostname);
}

template <typename WIRELESS>
void copy_wireless(WIRELESS& to, const WIRELESS& from)
{
    copy_text(to.SSID, from.SSID);
    to.enc_auth = from.enc_auth;
    to.enc_encry = from.enc_encry;
    copy_text(to.password, from.password);
    to.bDHCP = from.bDHCP;
    std::memcpy(to.ipadd, from.ipadd, sizeof to.ipadd);
    std::memcpy(to.ipmask, from.ipmask, sizeof to.ipmask);
    std::memcpy(to.dhcpgw, from.dhcpgw, sizeof to.dhcpgw);
}

void copy_ap(_MOD_AP_STRUCT& to, const _MOD_AP_STRUCT& from)
{
    to.mode = from.mode;
    to.channel = from.channel;
    copy_wireless(to, from);
}

/* The edits taken into the current record (take), or dropped for it. */
template <typename RECORD>
void one_way(RECORD& current, RECORD& edited, bool take, void (*copy)(RECORD&, const RECORD&))
{
    if (take)
        copy(current, edited);
    else
        copy(edited, current);
}

void copy_page(module_pages& p, int type, bool take)
{
    switch (type) {
    case CMDTYPE_MOD:
        return one_way(p.mana, p.mana_up, take, copy_mana);
    case CMDTYPE_COMM:
        return one_way(p.comm, p.comm_up, take, copy_comm);
    case CMDTYPE_AP:
        return one_way(p.ap, p.ap_up, take, copy_ap);
    case CMDTYPE_STA:
        return one_way(p.sta, p.sta_up, take, copy_wireless<_MOD_STA_STRUCT>);
    }
}

} // namespace

void take_page_edits(module_pages& p, int type) { copy_page(p, type, true); }
void drop_page_edits(module_pages& p, int type) { copy_page(p, type, false); }

void copy_module_mana_struct() { take_page_edits(window_link.pages, CMDTYPE_MOD); }
void copy_module_comm_struct() { take_page_edits(window_link.pages, CMDTYPE_COMM); }
void copy_module_ap_struct() { take_page_edits(window_link.pages, CMDTYPE_AP); }
void copy_module_sta_struct() { take_page_edits(window_link.pages, CMDTYPE_STA); }

void copy_module_mana_struct_up() { drop_page_edits(window_link.pages, CMDTYPE_MOD); }
void copy_module_comm_struct_up() { drop_page_edits(window_link.pages, CMDTYPE_COMM); }
void copy_module_ap_struct_up() { drop_page_edits(window_link.pages, CMDTYPE_AP); }
void copy_module_sta_struct_up() { drop_page_edits(window_link.pages, CMDTYPE_STA); }

void clear_pages(module_pages& p)
{
    p.mana.inited = p.mana.dirty = 0;
    p.comm.inited = p.comm.dirty = 0;
    p.ap.inited = p.ap.dirty = 0;
    p.sta.inited = p.sta.dirty = 0;
}

void clear_mod_structs() { clear_pages(window_link.pages); }

int choose_module(int row, const char* keyword)
{
    if (row < 0 || row >= strmodule_num)
        return 0;
    copy_text(module_ip, strmodule[row].ip);
    copy_text(module_mac, strmodule[row].mac);
    copy_text(module_id, strmodule[row].id);
    copy_text(module_aswd, keyword);
    return 1;
}
