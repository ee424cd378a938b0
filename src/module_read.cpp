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

#include <string>

#include "link.h"
#include "module.h"
#include "netio.h"
#include "strutil.h"

namespace {

/* One page's read on one link: the queries not answered are named in
 * *unanswered; once an exchange found the module silent, the remaining
 * queries of the page are not sent. */
struct page_read {
    module_link& link;
    std::string* unanswered;
};

/* A query's value; a query without a positive reply reads as "". */
struct reply {
    char text[AT_REPLY_MAX];
    int len = 0;
    int pos = 0;
    bool ok = false;

    reply(page_read& r, const char* cmd)
    {
        text[0] = '\0';
        if (r.link.read_stopped)
            return;
        ok = at_query(r.link, cmd, text, sizeof text) == 1;
        r.link.read_stopped = r.link.module_silent != 0;
        len = static_cast<int>(std::strlen(text));
        if (!ok && r.unanswered != nullptr)
            *r.unanswered += (r.unanswered->empty() ? "" : " ") + std::string(cmd);
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

int decimal_query(page_read& r, const char* cmd)
{
    reply q(r, cmd);
    return decimal_value(q.text);
}

/* "AT+WAKEY" and "AT+WSKEY": authentication, encryption, key. */
template <typename RECORD>
void read_key(page_read& r, const char* cmd, RECORD& rec)
{
    char item[AT_REPLY_MAX];
    reply key(r, cmd);
    init_wifi_auth(key.item(item), &rec.enc_auth);
    init_wifi_encry(key.item(item), &rec.enc_encry);
    copy_chars(rec.password, key.item(item));
}

/* Ends a page's read: a silent module puts the record back as it was
 * (and leaves module_silent set for the caller), otherwise the page is read
 * and clean and its edited record starts equal to it. */
template <typename RECORD>
void finish(page_read& r, RECORD& record, const RECORD& before, int type)
{
    if (r.link.read_stopped) {
        record = before;
        r.link.module_silent = 1;
        return;
    }
    record.dirty = 0;
    record.inited = 1;
    drop_page_edits(r.link.pages, type);
}

void read_mana(page_read& r)
{
    _MOD_MANA_STRUCT& m = r.link.pages.mana;
    const _MOD_MANA_STRUCT before = m;
    char item[AT_REPLY_MAX];
    reply mid(r, "AT+MID");
    if (mid.ok)
        copy_chars(m.mid, mid.text);
    reply wmode(r, "AT+WMODE");
    m.wmode = std::strcmp(wmode.text, "STA") == 0 ? WIFIMODE_STA : WIFIMODE_AP;
    reply tmode(r, "AT+TMODE");
    m.tmode = std::strcmp(tmode.text, "Agreement") == 0 ? WORKMODE_AG : WORKMODE_TH;
    reply webu(r, "AT+WEBU");
    copy_chars(m.user, webu.item(item));
    copy_chars(m.pswd, webu.item(item));
    reply ver(r, "AT+VER");
    if (ver.ok)
        copy_chars(m.mver, ver.text);
    finish(r, m, before, CMDTYPE_MOD);
}

void read_comm(page_read& r)
{
    _MOD_COMM_STRUCT& c = r.link.pages.comm;
    const _MOD_COMM_STRUCT before = c;
    char item[AT_REPLY_MAX];
    reply uart(r, "AT+UART");
    set_from_text(c.baud, baudrate_table, uart.item(item), BAUDRATE_57600);
    set_from_text(c.data_bits, combits_table, uart.item(item), COMBITS_8);
    set_from_text(c.stop_bits, stopbits_table, uart.item(item), COMSTOPBITS_1);
    set_from_text(c.parity, parity_table, uart.item(item), COMPARITY_NONE);
    set_from_text(c.fc, flowctrl_table, uart.item(item), COMFC_DIS);
    reply uartf(r, "AT+UARTF");
    c.bAF = std::strcmp(uartf.text, "disable") == 0 ? COMAF_DIS : COMAF_EN;
    c.AFT = decimal_query(r, "AT+UARTFT");
    c.AFL = decimal_query(r, "AT+UARTFL");
    reply netp(r, "AT+NETP");
    c.protocol = std::strcmp(netp.item(item), "TCP") == 0 ? NETPROT_TCP : NETPROT_UDP;
    c.mode = std::strcmp(netp.item(item), "Server") == 0 ? NETMODE_SERVER : NETMODE_CLIENT;
    c.port = static_cast<unsigned short>(decimal_value(netp.item(item)));
    netp.item(item);
    if (string_to_ip(item, c.ipadd)) {
        c.bip = 1;
    } else {
        c.bip = 0;
        copy_chars(c.hostname, item);
    }
    c.maxsk = decimal_query(r, "AT+MAXSK");
    c.TCPto = decimal_query(r, "AT+TCPTO");
    finish(r, c, before, CMDTYPE_COMM);
}

void read_ap(page_read& r)
{
    _MOD_AP_STRUCT& a = r.link.pages.ap;
    const _MOD_AP_STRUCT before = a;
    char item[AT_REPLY_MAX];
    reply wap(r, "AT+WAP");
    set_from_text(a.mode, apstd_table, wap.item(item), APSTD_11BGN);
    copy_chars(a.SSID, wap.item(item));
    set_from_text(a.channel, apch_table, wap.item(item), APCH_AUTO);
    read_key(r, "AT+WAKEY", a);
    reply lann(r, "AT+LANN");
    string_to_ip(lann.item(item), a.ipadd);
    string_to_ip(lann.item(item), a.ipmask);
    reply gw(r, "AT+DHCPGW");
    string_to_ip(gw.text, a.dhcpgw);
    /* The DHCP service setting is not queried. */
    a.bDHCP = DHCP_ENABLE;
    finish(r, a, before, CMDTYPE_AP);
}

void read_sta(page_read& r)
{
    _MOD_STA_STRUCT& st = r.link.pages.sta;
    const _MOD_STA_STRUCT before = st;
    char item[AT_REPLY_MAX];
    reply ssid(r, "AT+WSSSID");
    if (ssid.ok)
        copy_chars(st.SSID, ssid.text);
    read_key(r, "AT+WSKEY", st);
    reply wann(r, "AT+WANN");
    st.bDHCP = std::strcmp(wann.item(item), "DHCP") == 0 ? DHCP_ENABLE : DHCP_DISABLE;
    if (string_to_ip(wann.item(item), st.ipadd)) {
        string_to_ip(wann.item(item), st.ipmask);
        string_to_ip(wann.item(item), st.dhcpgw);
    } else {
        std::memset(st.ipadd, 0, 4);
        std::memset(st.ipmask, 0, 4);
        std::memset(st.dhcpgw, 0, 4);
    }
    finish(r, st, before, CMDTYPE_STA);
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

void read_page(module_link& l, int type, std::string* unanswered)
{
    static void (*const readers[])(page_read&) = {read_mana, read_comm, read_ap, read_sta};
    if (type < CMDTYPE_MOD || type > CMDTYPE_STA)
        return;
    l.read_stopped = false;
    page_read r{l, unanswered};
    readers[type](r);
}

void init_module_mana_struct() { read_page(window_link, CMDTYPE_MOD); }
void init_module_comm_struct() { read_page(window_link, CMDTYPE_COMM); }
void init_module_ap_struct() { read_page(window_link, CMDTYPE_AP); }
void init_module_sta_struct() { read_page(window_link, CMDTYPE_STA); }
