/*
 * module_read.cpp - reading a page's settings from the module.
 *
 * Each reader asks its queries in order and parses the replies into the
 * page's current record. When the module falls silent part-way, the record
 * is put back as it was and the page stays unread; otherwise the page ends
 * read, clean, and copied to the edited record. A text longer than its
 * field is cut at a character boundary, so no page shows half of one.
 */
#include "module_read.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include <string>

#include "module_at.h"
#include "strutil.h"

namespace {

/* One page's read on one link: the queries not answered are named in
 * *unanswered; once an exchange found the module silent, the remaining
 * queries of the page are not sent. */
struct page_read {
    module_link& link;
    std::string* unanswered;
};

/* The items of a query's value, one after the other. */
struct items {
    const char* text;
    int len;
    int pos = 0;

    explicit items(const char* value) : text(value), len(static_cast<int>(std::strlen(value))) {}
    template <size_t N>
    const char* next(char (&out)[N])
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

/* "AT+WAKEY" and "AT+WSKEY": authentication, encryption, key. */
template <typename RECORD>
void read_key(RECORD& rec, const char* value)
{
    char item[AT_REPLY_MAX];
    items key(value);
    init_wifi_auth(key.next(item), &rec.enc_auth);
    init_wifi_encry(key.next(item), &rec.enc_encry);
    copy_chars(rec.password, key.next(item));
}

/* Each reader takes one query's value into the current records; ok tells
 * whether the reply was positive (the value is "" when it was not). A
 * setting line is read by the reader of its name, as the module's reply
 * to the query would be. */
using value_reader = void (*)(module_pages& p, const char* value, bool ok);

void read_mid(module_pages& p, const char* v, bool ok)
{
    if (ok)
        copy_chars(p.mana.mid, v);
}
void read_wmode(module_pages& p, const char* v, bool)
{
    p.mana.wmode = std::strcmp(v, "STA") == 0 ? WIFIMODE_STA : WIFIMODE_AP;
}
void read_tmode(module_pages& p, const char* v, bool)
{
    p.mana.tmode = std::strcmp(v, "Agreement") == 0 ? WORKMODE_AG : WORKMODE_TH;
}
void read_webu(module_pages& p, const char* v, bool)
{
    char item[AT_REPLY_MAX];
    items webu(v);
    copy_chars(p.mana.user, webu.next(item));
    copy_chars(p.mana.pswd, webu.next(item));
}
void read_ver(module_pages& p, const char* v, bool ok)
{
    if (ok)
        copy_chars(p.mana.mver, v);
}

void read_uart(module_pages& p, const char* v, bool)
{
    _MOD_COMM_STRUCT& c = p.comm;
    char item[AT_REPLY_MAX];
    items uart(v);
    set_from_text(c.baud, baudrate_table, uart.next(item), BAUDRATE_57600);
    set_from_text(c.data_bits, combits_table, uart.next(item), COMBITS_8);
    set_from_text(c.stop_bits, stopbits_table, uart.next(item), COMSTOPBITS_1);
    set_from_text(c.parity, parity_table, uart.next(item), COMPARITY_NONE);
    set_from_text(c.fc, flowctrl_table, uart.next(item), COMFC_DIS);
}
void read_uartf(module_pages& p, const char* v, bool)
{
    p.comm.bAF = std::strcmp(v, "disable") == 0 ? COMAF_DIS : COMAF_EN;
}
void read_uartft(module_pages& p, const char* v, bool) { p.comm.AFT = decimal_value(v); }
void read_uartfl(module_pages& p, const char* v, bool) { p.comm.AFL = decimal_value(v); }
void read_netp(module_pages& p, const char* v, bool)
{
    _MOD_COMM_STRUCT& c = p.comm;
    char item[AT_REPLY_MAX];
    items netp(v);
    c.protocol = std::strcmp(netp.next(item), "TCP") == 0 ? NETPROT_TCP : NETPROT_UDP;
    c.mode = std::strcmp(netp.next(item), "Server") == 0 ? NETMODE_SERVER : NETMODE_CLIENT;
    c.port = static_cast<unsigned short>(decimal_value(netp.next(item)));
    netp.next(item);
    if (string_to_ip(item, c.ipadd)) {
        c.bip = 1;
    } else {
        c.bip = 0;
        copy_chars(c.hostname, item);
    }
}
void read_maxsk(module_pages& p, const char* v, bool) { p.comm.maxsk = decimal_value(v); }
void read_tcpto(module_pages& p, const char* v, bool) { p.comm.TCPto = decimal_value(v); }

void read_wap(module_pages& p, const char* v, bool)
{
    _MOD_AP_STRUCT& a = p.ap;
    char item[AT_REPLY_MAX];
    items wap(v);
    set_from_text(a.mode, apstd_table, wap.next(item), APSTD_11BGN);
    copy_chars(a.SSID, wap.next(item));
    set_from_text(a.channel, apch_table, wap.next(item), APCH_AUTO);
}
void read_wakey(module_pages& p, const char* v, bool) { read_key(p.ap, v); }
void read_lann(module_pages& p, const char* v, bool)
{
    char item[AT_REPLY_MAX];
    items lann(v);
    string_to_ip(lann.next(item), p.ap.ipadd);
    string_to_ip(lann.next(item), p.ap.ipmask);
}
void read_dhcpgw(module_pages& p, const char* v, bool)
{
    string_to_ip(v, p.ap.dhcpgw);
    /* The DHCP service setting is not queried. */
    p.ap.bDHCP = DHCP_ENABLE;
}

void read_wsssid(module_pages& p, const char* v, bool ok)
{
    if (ok)
        copy_chars(p.sta.SSID, v);
}
void read_wskey(module_pages& p, const char* v, bool) { read_key(p.sta, v); }
void read_wann(module_pages& p, const char* v, bool)
{
    _MOD_STA_STRUCT& st = p.sta;
    char item[AT_REPLY_MAX];
    items wann(v);
    st.bDHCP = std::strcmp(wann.next(item), "DHCP") == 0 ? DHCP_ENABLE : DHCP_DISABLE;
    if (string_to_ip(wann.next(item), st.ipadd)) {
        string_to_ip(wann.next(item), st.ipmask);
        string_to_ip(wann.next(item), st.dhcpgw);
    } else {
        std::memset(st.ipadd, 0, 4);
        std::memset(st.ipmask, 0, 4);
        std::memset(st.dhcpgw, 0, 4);
    }
}

/* Every query of a read, page by page in the order they are asked, with
 * the shape of its reply. The shape tells one query's reply from
 * another's: the number of items, numbers, addresses and the items of the
 * tables where the reader maps one. Texts (an SSID, a name, a version, a
 * host) may hold anything, so where two queries' replies could look alike
 * the link's ledger of owed replies keeps them apart. */
struct query_reader {
    const char* name;
    int type;
    value_reader read;
    reply_shape shape;
};

const query_reader queries[] = {
    {"MID", CMDTYPE_MOD, read_mid, {"*", {}}},
    {"WMODE", CMDTYPE_MOD, read_wmode, {"e", {&wifimode_table}}},
    {"TMODE", CMDTYPE_MOD, read_tmode, {"e", {&workmode_table}}},
    {"WEBU", CMDTYPE_MOD, read_webu, {"tt", {}}},
    {"VER", CMDTYPE_MOD, read_ver, {"*", {}}},
    {"UART", CMDTYPE_COMM, read_uart,
     {"eeeee", {&baudrate_table, &combits_table, &stopbits_table, &parity_table, &flowctrl_table}}},
    {"UARTF", CMDTYPE_COMM, read_uartf, {"e", {&autoframe_table}}},
    {"UARTFT", CMDTYPE_COMM, read_uartft, {"n", {}}},
    {"UARTFL", CMDTYPE_COMM, read_uartfl, {"n", {}}},
    {"NETP", CMDTYPE_COMM, read_netp, {"eent", {&netprot_table, &netmode_table}}},
    {"MAXSK", CMDTYPE_COMM, read_maxsk, {"n", {}}},
    {"TCPTO", CMDTYPE_COMM, read_tcpto, {"n", {}}},
    {"WAP", CMDTYPE_AP, read_wap, {"e*e", {&apstd_table, &apch_table}}},
    {"WAKEY", CMDTYPE_AP, read_wakey, {"ee*", {&auth_table, &encry_table}}},
    {"LANN", CMDTYPE_AP, read_lann, {"aa", {}}},
    {"DHCPGW", CMDTYPE_AP, read_dhcpgw, {"a", {}}},
    {"WSSSID", CMDTYPE_STA, read_wsssid, {"*", {}}},
    {"WSKEY", CMDTYPE_STA, read_wskey, {"ee*", {&auth_table, &encry_table}}},
    {"WANN", CMDTYPE_STA, read_wann, {"e*", {&dhcp_table}}},
};

/* Asks one query and reads its reply; once an exchange found the module
 * silent, the remaining queries of the page are not sent. */
void ask(page_read& r, const query_reader& q)
{
    char text[AT_REPLY_MAX];
    text[0] = '\0';
    if (r.link.read_stopped)
        return;
    std::string cmd = std::string("AT+") + q.name;
    bool ok = at_query(r.link, cmd.c_str(), text, sizeof text, &q.shape) == 1;
    r.link.read_stopped = r.link.module_silent != 0;
    if (!ok && r.unanswered != nullptr)
        *r.unanswered += (r.unanswered->empty() ? "" : " ") + cmd;
    if (!r.link.read_stopped)
        q.read(r.link.pages, ok ? text : "", ok);
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

template <typename RECORD>
void read_page_of(page_read& r, RECORD& record, int type)
{
    const RECORD before = record;
    for (const query_reader& q : queries)
        if (q.type == type)
            ask(r, q);
    finish(r, record, before, type);
}

} // namespace

namespace {

/* The window's pages, which the readers of one item fill. */
_MOD_COMM_STRUCT& window_comm() { return window_link.pages.comm; }
_MOD_AP_STRUCT& window_ap() { return window_link.pages.ap; }

} // namespace

void init_modcom_baud(const char* item) { set_from_text(window_comm().baud, baudrate_table, item, BAUDRATE_57600); }
void init_modcom_data(const char* item) { set_from_text(window_comm().data_bits, combits_table, item, COMBITS_8); }
void init_modcom_stop(const char* item) { set_from_text(window_comm().stop_bits, stopbits_table, item, COMSTOPBITS_1); }
void init_modcom_parity(const char* item) { set_from_text(window_comm().parity, parity_table, item, COMPARITY_NONE); }
void init_modcom_fc(const char* item) { set_from_text(window_comm().fc, flowctrl_table, item, COMFC_DIS); }
void init_ap_channel(const char* item) { set_from_text(window_ap().channel, apch_table, item, APCH_AUTO); }
void init_wifi_auth(const char* item, char* ret) { set_from_text(*ret, auth_table, item, WIFIAUTH_OPEN); }
/* An encryption text the module does not know leaves the value as it was. */
void init_wifi_encry(const char* item, char* ret) { set_from_text(*ret, encry_table, item, *ret); }

void read_page(module_link& l, int type, std::string* unanswered)
{
    l.read_stopped = false;
    page_read r{l, unanswered};
    module_pages& p = l.pages;
    switch (type) {
    case CMDTYPE_MOD:
        return read_page_of(r, p.mana, type);
    case CMDTYPE_COMM:
        return read_page_of(r, p.comm, type);
    case CMDTYPE_AP:
        return read_page_of(r, p.ap, type);
    case CMDTYPE_STA:
        return read_page_of(r, p.sta, type);
    default:
        return;
    }
}

bool read_setting_value(module_pages& p, const char* name, const char* value)
{
    for (const query_reader& q : queries)
        if (std::strcmp(q.name, name) == 0) {
            q.read(p, value, true);
            return true;
        }
    return false;
}

void init_module_mana_struct() { read_page(window_link, CMDTYPE_MOD); }
void init_module_comm_struct() { read_page(window_link, CMDTYPE_COMM); }
void init_module_ap_struct() { read_page(window_link, CMDTYPE_AP); }
void init_module_sta_struct() { read_page(window_link, CMDTYPE_STA); }
