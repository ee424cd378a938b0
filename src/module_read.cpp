/*
 * module_read.cpp - reading a page's settings from the module.
 *
 * Each reader asks its queries in order and parses the replies into the
 * page's current record. When the module falls silent part-way, the record
 * is put back as it was and the page stays unread; otherwise the page ends
 * read, clean, and copied to the edited record. A text longer than its
 * field is cut at a character boundary, so no page shows half of one.
 */
#include <climits>
#include <cstdlib>
#include <cstring>

#include "module.h"
#include "netio.h"
#include "strutil.h"

namespace {

/* Set when an exchange of the page being read found the module silent:
 * the remaining queries of the page are not sent. */
bool stopped = false;

/* A query's value; a query without a positive reply reads as "". */
struct reply {
    char text[AT_REPLY_MAX];
    int len = 0;
    int pos = 0;
    bool ok = false;

    explicit reply(const char* cmd)
    {
        text[0] = '\0';
        if (stopped)
            return;
        ok = module_send_cmd_get(cmd, text) == 1;
        stopped = module_silent != 0;
        len = static_cast<int>(std::strlen(text));
    }
    template <size_t N>
    const char* item(char (&out)[N])
    {
        get_list_item(text, len, &pos, out);
        return out;
    }
};

/* An enumerated field from the module's text, or fallback. */
void set_from_text(char& field, const enum_table& t, const char* text, int fallback)
{
    field = static_cast<char>(enum_by_module_text(t, text, fallback));
}

/* Like atoi, without its undefined overflow. */
int decimal_value(const char* t)
{
    long v = std::strtol(t, nullptr, 10);
    return v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : static_cast<int>(v);
}

int decimal_query(const char* cmd)
{
    reply r(cmd);
    return decimal_value(r.text);
}

/* Ends a page's read: a silent module puts the record back as it was
 * (and leaves module_silent set for the caller), otherwise the page is read
 * and clean and its edited record starts equal to it. */
/* "AT+WAKEY" and "AT+WSKEY": authentication, encryption, key. */
template <typename RECORD>
void read_key(const char* cmd, RECORD& r)
{
    char item[AT_REPLY_MAX];
    reply key(cmd);
    init_wifi_auth(key.item(item), &r.enc_auth);
    init_wifi_encry(key.item(item), &r.enc_encry);
    copy_chars(r.password, key.item(item));
}

template <typename RECORD>
void finish(RECORD& record, const RECORD& before, void (*copy_up)())
{
    if (stopped) {
        record = before;
        module_silent = 1;
        return;
    }
    record.dirty = 0;
    record.inited = 1;
    copy_up();
}

} // namespace

int string_to_ip(const char* t, unsigned char* add) { return parse_dotted_ipv4(t, add); }

void init_modcom_baud(const char* item) { set_from_text(strMODComm.baud, baudrate_table, item, BAUDRATE_57600); }
void init_modcom_data(const char* item) { set_from_text(strMODComm.data_bits, combits_table, item, COMBITS_8); }
void init_modcom_stop(const char* item) { set_from_text(strMODComm.stop_bits, stopbits_table, item, COMSTOPBITS_1); }
void init_modcom_parity(const char* item) { set_from_text(strMODComm.parity, parity_table, item, COMPARITY_NONE); }
void init_modcom_fc(const char* item) { set_from_text(strMODComm.fc, flowctrl_table, item, COMFC_DIS); }
void init_ap_channel(const char* item) { set_from_text(strMODAP.channel, apch_table, item, APCH_AUTO); }
void init_wifi_auth(const char* item, char* ret) { set_from_text(*ret, auth_table, item, WIFIAUTH_OPEN); }
/* An encryption text the module does not know leaves the value as it was. */
void init_wifi_encry(const char* item, char* ret) { set_from_text(*ret, encry_table, item, *ret); }

void init_module_mana_struct()
{
    stopped = false;
    const _MOD_MANA_STRUCT before = strMODMana;
    char item[AT_REPLY_MAX];
    reply mid("AT+MID");
    if (mid.ok)
        copy_chars(strMODMana.mid, mid.text);
    reply wmode("AT+WMODE");
    strMODMana.wmode = std::strcmp(wmode.text, "STA") == 0 ? WIFIMODE_STA : WIFIMODE_AP;
    reply tmode("AT+TMODE");
    strMODMana.tmode = std::strcmp(tmode.text, "Agreement") == 0 ? WORKMODE_AG : WORKMODE_TH;
    reply webu("AT+WEBU");
    copy_chars(strMODMana.user, webu.item(item));
    copy_chars(strMODMana.pswd, webu.item(item));
    reply ver("AT+VER");
    if (ver.ok)
        copy_chars(strMODMana.mver, ver.text);
    finish(strMODMana, before, copy_module_mana_struct_up);
}

void init_module_comm_struct()
{
    stopped = false;
    const _MOD_COMM_STRUCT before = strMODComm;
    char item[AT_REPLY_MAX];
    reply uart("AT+UART");
    init_modcom_baud(uart.item(item));
    init_modcom_data(uart.item(item));
    init_modcom_stop(uart.item(item));
    init_modcom_parity(uart.item(item));
    init_modcom_fc(uart.item(item));
    reply uartf("AT+UARTF");
    strMODComm.bAF = std::strcmp(uartf.text, "disable") == 0 ? COMAF_DIS : COMAF_EN;
    strMODComm.AFT = decimal_query("AT+UARTFT");
    strMODComm.AFL = decimal_query("AT+UARTFL");
    reply netp("AT+NETP");
    strMODComm.protocol = std::strcmp(netp.item(item), "TCP") == 0 ? NETPROT_TCP : NETPROT_UDP;
    strMODComm.mode = std::strcmp(netp.item(item), "Server") == 0 ? NETMODE_SERVER : NETMODE_CLIENT;
    strMODComm.port = static_cast<unsigned short>(decimal_value(netp.item(item)));
    netp.item(item);
    if (string_to_ip(item, strMODComm.ipadd)) {
        strMODComm.bip = 1;
    } else {
        strMODComm.bip = 0;
        copy_chars(strMODComm.hostname, item);
    }
    strMODComm.maxsk = decimal_query("AT+MAXSK");
    strMODComm.TCPto = decimal_query("AT+TCPTO");
    finish(strMODComm, before, copy_module_comm_struct_up);
}

void init_module_ap_struct()
{
    stopped = false;
    const _MOD_AP_STRUCT before = strMODAP;
    char item[AT_REPLY_MAX];
    reply wap("AT+WAP");
    set_from_text(strMODAP.mode, apstd_table, wap.item(item), APSTD_11BGN);
    copy_chars(strMODAP.SSID, wap.item(item));
    init_ap_channel(wap.item(item));
    read_key("AT+WAKEY", strMODAP);
    reply lann("AT+LANN");
    string_to_ip(lann.item(item), strMODAP.ipadd);
    string_to_ip(lann.item(item), strMODAP.ipmask);
    reply gw("AT+DHCPGW");
    string_to_ip(gw.text, strMODAP.dhcpgw);
    /* The DHCP service setting is not queried. */
    strMODAP.bDHCP = DHCP_ENABLE;
    finish(strMODAP, before, copy_module_ap_struct_up);
}

void init_module_sta_struct()
{
    stopped = false;
    const _MOD_STA_STRUCT before = strMODSTA;
    char item[AT_REPLY_MAX];
    reply ssid("AT+WSSSID");
    if (ssid.ok)
        copy_chars(strMODSTA.SSID, ssid.text);
    read_key("AT+WSKEY", strMODSTA);
    reply wann("AT+WANN");
    strMODSTA.bDHCP = std::strcmp(wann.item(item), "DHCP") == 0 ? DHCP_ENABLE : DHCP_DISABLE;
    if (string_to_ip(wann.item(item), strMODSTA.ipadd)) {
        string_to_ip(wann.item(item), strMODSTA.ipmask);
        string_to_ip(wann.item(item), strMODSTA.dhcpgw);
    } else {
        std::memset(strMODSTA.ipadd, 0, 4);
        std::memset(strMODSTA.ipmask, 0, 4);
        std::memset(strMODSTA.dhcpgw, 0, 4);
    }
    finish(strMODSTA, before, copy_module_sta_struct_up);
}
