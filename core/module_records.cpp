/*
 * module_records.cpp - the search's table of modules, the copies between a
 * page's current and edited records, and the addresses in the records.
 */
#include "module_records.h"

#include <cstring>

#include "netio.h"
#include "strutil.h"

STRMODULE strmodule[MODULE_TABLE_SIZE];
int strmodule_num = 0;

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

void clear_pages(module_pages& p)
{
    p.mana.inited = p.mana.dirty = 0;
    p.comm.inited = p.comm.dirty = 0;
    p.ap.inited = p.ap.dirty = 0;
    p.sta.inited = p.sta.dirty = 0;
}

int string_to_ip(const char* t, unsigned char* add) { return parse_dotted_ipv4(t, add); }
