/*
 * module.cpp - the settings records, their copies and flags, and the
 * chosen module.
 */
#include "module.h"

#include <cstring>

#include "strutil.h"

_MOD_MANA_STRUCT strMODMana, strMODMana_up;
_MOD_COMM_STRUCT strMODComm, strMODComm_up;
_MOD_AP_STRUCT strMODAP, strMODAP_up;
_MOD_STA_STRUCT strMODSTA, strMODSTA_up;

STRMODULE strmodule[MODULE_TABLE_SIZE];
int strmodule_num = 0;

char module_ip[20];
char module_mac[20];
char module_id[30];
char module_aswd[100];

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

} // namespace

void copy_module_mana_struct() { copy_mana(strMODMana, strMODMana_up); }
void copy_module_comm_struct() { copy_comm(strMODComm, strMODComm_up); }
void copy_module_ap_struct() { copy_ap(strMODAP, strMODAP_up); }
void copy_module_sta_struct() { copy_wireless(strMODSTA, strMODSTA_up); }

void copy_module_mana_struct_up() { copy_mana(strMODMana_up, strMODMana); }
void copy_module_comm_struct_up() { copy_comm(strMODComm_up, strMODComm); }
void copy_module_ap_struct_up() { copy_ap(strMODAP_up, strMODAP); }
void copy_module_sta_struct_up() { copy_wireless(strMODSTA_up, strMODSTA); }

void clear_mod_structs()
{
    strMODMana.inited = strMODMana.dirty = 0;
    strMODComm.inited = strMODComm.dirty = 0;
    strMODAP.inited = strMODAP.dirty = 0;
    strMODSTA.inited = strMODSTA.dirty = 0;
}

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
