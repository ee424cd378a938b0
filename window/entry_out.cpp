/*
 * entry_out.cpp - the entry handlers: a typed value checked, corrected,
 * compared with the module's and stored, when the focus leaves its entry.
 */
#include "entry_out.h"

#include <cstdio>
#include <cstring>
#include <gtk/gtk.h>

#include "command.h"
#include "edit_rules.h"
#include "enums.h"
#include "module.h"
#include "pages.h"
#include "strutil.h"
#include "window_pages.h"

namespace {

enum class entry_kind { number, port, text, address };

/* One entry: where its value comes from and goes, and its command. */
struct entry_rule {
    GtkWidget** entry;
    entry_kind kind;
    int page;              /* ENCMDTYPE */
    const void* current;   /* field of the current record */
    void* edited;          /* the same field of the edited record */
    size_t cap;            /* text fields: bytes of the field */
    int low, high;         /* numbers: the range */
    const char* cmd;
    const char* item;
};

const char* text_of(GtkWidget* entry) { return gtk_entry_get_text(GTK_ENTRY(entry)); }

void show_number(GtkWidget* entry, int value)
{
    char text[16];
    format_text(text, sizeof text, "%d", value);
    if (std::strcmp(text, text_of(entry)) != 0)
        gtk_entry_set_text(GTK_ENTRY(entry), text);
}

void rebuild(const entry_rule& r)
{
    generate_cmd(r.cmd, r.item);
    mark_page(r.page);
}

/* The typed number corrected into its range. The entry then shows the
 * number as it is sent: the bound, or "80" for " 80" or "80x". */
int corrected_number(const entry_rule& r)
{
    int value = decimal_like_atoi(text_of(*r.entry));
    correct_into_range(&value, r.low, r.high);
    show_number(*r.entry, value);
    return value;
}

void number_left(const entry_rule& r)
{
    int value = corrected_number(r);
    if (entry_unchanged(value == *static_cast<const int*>(r.current), r.cmd, r.page))
        return;
    *static_cast<int*>(r.edited) = value;
    rebuild(r);
}

void port_left(const entry_rule& r)
{
    auto port = static_cast<unsigned short>(corrected_number(r));
    if (entry_unchanged(port == *static_cast<const unsigned short*>(r.current), r.cmd, r.page))
        return;
    *static_cast<unsigned short*>(r.edited) = port;
    rebuild(r);
}

/* Stored whole or not at all: a text that does not fit its field or
 * holds a comma gives the entry the pending text back. */
void text_left(const entry_rule& r)
{
    const char* text = text_of(*r.entry);
    if (entry_unchanged(std::strcmp(text, static_cast<const char*>(r.current)) == 0, r.cmd, r.page))
        return;
    auto* edited = static_cast<char*>(r.edited);
    if (!text_value_acceptable(text, r.cap)) {
        gtk_entry_set_text(GTK_ENTRY(*r.entry), edited);
        return;
    }
    copy_text(edited, r.cap, text);
    rebuild(r);
}

/* A text that is no address gives the entry back the pending address. */
void address_left(const entry_rule& r)
{
    const char* text = text_of(*r.entry);
    char shown[16];
    dotted_text(static_cast<const unsigned char*>(r.current), shown);
    if (entry_unchanged(std::strcmp(text, shown) == 0, r.cmd, r.page))
        return;
    auto* edited = static_cast<unsigned char*>(r.edited);
    if (!string_to_ip(text, edited)) {
        dotted_text(edited, shown);
        gtk_entry_set_text(GTK_ENTRY(*r.entry), shown);
        return;
    }
    rebuild(r);
}

void left(const entry_rule& r)
{
    if (*r.entry == nullptr)
        return;
    switch (r.kind) {
    case entry_kind::number:
        number_left(r);
        break;
    case entry_kind::port:
        port_left(r);
        break;
    case entry_kind::text:
        text_left(r);
        break;
    case entry_kind::address:
        address_left(r);
        break;
    }
}

constexpr entry_rule text_rule(GtkWidget** e, int page, const char* cur, char* ed, size_t cap, const char* cmd,
                               const char* item)
{
    return {e, entry_kind::text, page, cur, ed, cap, 0, 0, cmd, item};
}

constexpr entry_rule number_rule(GtkWidget** e, const int* cur, int* ed, int low, int high, const char* cmd,
                                 const char* item)
{
    return {e, entry_kind::number, CMDTYPE_COMM, cur, ed, 0, low, high, cmd, item};
}

constexpr entry_rule address_rule(GtkWidget** e, int page, const unsigned char* cur, unsigned char* ed,
                                  const char* cmd, const char* item)
{
    return {e, entry_kind::address, page, cur, ed, 0, 0, 0, cmd, item};
}

const entry_rule user_rule = text_rule(&entry_mod_usr, CMDTYPE_MOD, strMODMana.user, strMODMana_up.user,
                                       sizeof strMODMana_up.user, "WEBU", "user");
const entry_rule pwd_rule = text_rule(&entry_mod_pwd, CMDTYPE_MOD, strMODMana.pswd, strMODMana_up.pswd,
                                      sizeof strMODMana_up.pswd, "WEBU", "pswd");
const entry_rule aft_rule = number_rule(&entry_modcom_aft, &strMODComm.AFT, &strMODComm_up.AFT, 100, 10000,
                                        "UARTFT", "aft");
const entry_rule afl_rule = number_rule(&entry_modcom_afl, &strMODComm.AFL, &strMODComm_up.AFL, 16, 4096,
                                        "UARTFL", "afl");
const entry_rule tcpto_rule = number_rule(&entry_modnet_tcpto, &strMODComm.TCPto, &strMODComm_up.TCPto, 0,
                                          600, "TCPTO", "tcpto");
const entry_rule maxsk_rule = number_rule(&entry_modnet_maxsk, &strMODComm.maxsk, &strMODComm_up.maxsk, 1, 32,
                                          "MAXSK", "maxsk");
const entry_rule port_rule = {&entry_modnet_port, entry_kind::port, CMDTYPE_COMM, &strMODComm.port,
                              &strMODComm_up.port, 0, 0, 65535, "NETP", "port"};
const entry_rule ap_ssid_rule = text_rule(&entry_ap_ssid, CMDTYPE_AP, strMODAP.SSID, strMODAP_up.SSID,
                                          sizeof strMODAP_up.SSID, "WAP", "ssid");
const entry_rule ap_key_rule = text_rule(&entry_ap_key, CMDTYPE_AP, strMODAP.password, strMODAP_up.password,
                                         sizeof strMODAP_up.password, "WAKEY", "key");
const entry_rule lan_ip_rule = address_rule(&entry_lan_ip, CMDTYPE_AP, strMODAP.ipadd, strMODAP_up.ipadd,
                                            "LANN", "ipadd");
const entry_rule lan_mask_rule = address_rule(&entry_lan_mask, CMDTYPE_AP, strMODAP.ipmask, strMODAP_up.ipmask,
                                              "LANN", "ipmask");
const entry_rule lan_gw_rule = address_rule(&entry_lan_gateway, CMDTYPE_AP, strMODAP.dhcpgw,
                                            strMODAP_up.dhcpgw, "DHCPGW", "dhcpgw");
const entry_rule sta_ssid_rule = text_rule(&entry_sta_ssid, CMDTYPE_STA, strMODSTA.SSID, strMODSTA_up.SSID,
                                           sizeof strMODSTA_up.SSID, "WSSSID", "ssid");
const entry_rule sta_key_rule = text_rule(&entry_sta_key, CMDTYPE_STA, strMODSTA.password,
                                          strMODSTA_up.password, sizeof strMODSTA_up.password, "WSKEY", "key");
const entry_rule wan_ip_rule = address_rule(&entry_wan_ip, CMDTYPE_STA, strMODSTA.ipadd, strMODSTA_up.ipadd,
                                            "WANN", "ipadd");
const entry_rule wan_mask_rule = address_rule(&entry_wan_mask, CMDTYPE_STA, strMODSTA.ipmask,
                                              strMODSTA_up.ipmask, "WANN", "ipmask");
const entry_rule wan_gw_rule = address_rule(&entry_wan_gateway, CMDTYPE_STA, strMODSTA.dhcpgw,
                                            strMODSTA_up.dhcpgw, "WANN", "gateway");

} // namespace

void entry_focus_out_user() { left(user_rule); }
void entry_focus_out_pwd() { left(pwd_rule); }
void entry_focus_out_aft() { left(aft_rule); }
void entry_focus_out_afl() { left(afl_rule); }
void entry_focus_out_netp_port() { left(port_rule); }
void entry_focus_out_netp_tcpto() { left(tcpto_rule); }
void entry_focus_out_netp_maxsk() { left(maxsk_rule); }
void entry_focus_out_ap_ssid() { left(ap_ssid_rule); }
void entry_focus_out_ap_key() { left(ap_key_rule); }
void entry_focus_out_lan_ip() { left(lan_ip_rule); }
void entry_focus_out_lan_mask() { left(lan_mask_rule); }
void entry_focus_out_lan_gw() { left(lan_gw_rule); }
void entry_focus_out_sta_ssid() { left(sta_ssid_rule); }
void entry_focus_out_sta_key() { left(sta_key_rule); }
void entry_focus_out_wan_ip() { left(wan_ip_rule); }
void entry_focus_out_wan_mask() { left(wan_mask_rule); }
void entry_focus_out_wan_gw() { left(wan_gw_rule); }
void entry_focus_out_sta_mac() {}

namespace {

/* The server as the entry showed it before the edit: the pending address
 * or host name. */
void show_pending_server()
{
    char shown[16];
    dotted_text(strMODComm_up.ipadd, shown);
    gtk_entry_set_text(GTK_ENTRY(entry_modnet_ip), strMODComm_up.bip == 1 ? shown : strMODComm_up.hostname);
}

} // namespace

/* The server may be a dotted address or a host name. */
void entry_focus_out_netp_ip()
{
    if (entry_modnet_ip == nullptr)
        return;
    const char* text = gtk_entry_get_text(GTK_ENTRY(entry_modnet_ip));
    char current[16];
    dotted_text(strMODComm.ipadd, current);
    const char* compared = strMODComm.bip == 1 ? current : strMODComm.hostname;
    if (entry_unchanged(std::strcmp(text, compared) == 0, "NETP", CMDTYPE_COMM))
        return;
    if (!text_value_acceptable(text, sizeof strMODComm_up.hostname)) {
        show_pending_server();
        return;
    }
    std::printf("entry_focus_out_netp_ip: c= %s\n", text);
    int ok = string_to_ip(text, strMODComm_up.ipadd);
    std::printf("entry_focus_out_netp_ip: ret= %d\n", ok);
    if (ok) {
        strMODComm_up.bip = 1;
        const unsigned char* a = strMODComm_up.ipadd;
        std::printf("test ipadd: %d.%d.%d.%d\n", a[0], a[1], a[2], a[3]);
    } else {
        copy_text(strMODComm_up.hostname, text);
        strMODComm_up.bip = 0;
    }
    generate_cmd("NETP", "ipadd");
    mark_page(CMDTYPE_COMM);
}
