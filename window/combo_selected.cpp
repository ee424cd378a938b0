/*
 * combo_selected.cpp - the combo handlers: a chosen item becomes a code in
 * the page's edited record, its command is rebuilt and the page marked,
 * and the widgets that depend on the choice follow it.
 */
#include "combo_selected.h"

#include <gtk/gtk.h>
#include <initializer_list>

#include "command.h"
#include "entry_out.h"
#include "edit_rules.h"
#include "enums.h"
#include "module.h"
#include "pages.h"
#include "ui_util.h"
#include "window_pages.h"
#include "window_refresh.h"

namespace {

/* One page's encryption: its three stacked lists, its key and handlers. */
struct encryption_widgets {
    GtkWidget** lists[3];   /* by encryption_list */
    GtkWidget** key_label;
    GtkWidget** key_entry;
    const char* auth_field; /* the edited record's enc_auth */
    void (*key_left)();
};

const encryption_widgets ap_encryption = {
    {&combo_ap_encry_open, &combo_ap_encry_shared, &combo_ap_encry_wpapsk},
    &label_ap_key, &entry_ap_key, &strMODAP_up.enc_auth, entry_focus_out_ap_key};
const encryption_widgets sta_encryption = {
    {&combo_sta_encry_open, &combo_sta_encry_shared, &combo_sta_encry_wpapsk},
    &label_sta_key, &entry_sta_key, &strMODSTA_up.enc_auth, entry_focus_out_sta_key};

/* The list the authentication offers is shown, the other two hidden. */
void show_list_for_auth(const encryption_widgets& e)
{
    GtkWidget* const lists[3] = {*e.lists[0], *e.lists[1], *e.lists[2]};
    show_encryption_list(lists, *e.auth_field);
}

/* With encryption the key is shown and taken at once; without, hidden and
 * the pending key is kept. A refresh sets the key entry itself. */
void key_rule(const encryption_widgets& e, int encryption)
{
    set_visible({*e.key_label, *e.key_entry}, encryption != ENC_NONE);
    if (encryption != ENC_NONE && !page_refreshing())
        e.key_left();
}

void framing_follows() { set_sensitive({label_modcom_aft, label_modcom_afl, entry_modcom_aft, entry_modcom_afl}, strMODComm_up.bAF == COMAF_EN); }

void server_rule()
{
    bool address = server_address_wanted(strMODComm_up.mode, strMODComm_up.protocol);
    set_sensitive({entry_modnet_ip}, address);
    set_sensitive({entry_modnet_maxsk}, !address);
}

void udp_has_no_role() { set_sensitive({combo_modnet_mode, entry_modnet_tcpto}, strMODComm_up.protocol != NETPROT_UDP); }
void ap_key_rule() { key_rule(ap_encryption, strMODAP_up.enc_encry); }
void sta_key_rule() { key_rule(sta_encryption, strMODSTA_up.enc_encry); }
/* A new authentication takes the encryption its list shows at once;
 * during a refresh that list is about to be set from the record. */
void ap_encryption_follows()
{
    show_list_for_auth(ap_encryption);
    if (!page_refreshing())
        combo_modap_wifiencry_selected();
}
void sta_encryption_follows()
{
    show_list_for_auth(sta_encryption);
    if (!page_refreshing())
        combo_modsta_wifiencry_selected();
}

GtkWidget* ap_encryption_list() { return *ap_encryption.lists[encryption_list_of(strMODAP_up.enc_auth)]; }
GtkWidget* sta_encryption_list() { return *sta_encryption.lists[encryption_list_of(strMODSTA_up.enc_auth)]; }

/* The converters of the core, as one shape. */
template <void (*CONVERT)(const char*, char*)>
int by_converter(const char* text, int)
{
    char code = 0;
    CONVERT(text, &code);
    return code;
}

/* One combo: the widget read, the field written, the command and the
 * widgets set before the command and after the page is marked. */
struct combo_rule {
    GtkWidget** combo;            /* nullptr: chosen by the record */
    GtkWidget* (*chosen)();
    int page;
    char* field;
    int (*convert)(const char* text, int current);
    const char* cmd;              /* nullptr: no command, no mark */
    const char* item;
    void (*before)();
    void (*after)();
};

void selected(const combo_rule& r)
{
    const settings_page* p = settings_page_of(r.page);
    if (*p->shown == 0)
        return;
    GtkWidget* combo = r.combo != nullptr ? *r.combo : r.chosen();
    if (combo == nullptr)
        return;
    gchar_ptr text(gtk_combo_box_text_get_active_text(GTK_COMBO_BOX_TEXT(combo)));
    if (text.get() == nullptr)
        return;
    *r.field = static_cast<char>(r.convert(text.get(), *r.field));
    if (r.before != nullptr)
        r.before();
    if (r.cmd != nullptr) {
        generate_cmd(r.cmd, r.item);
        mark_page(r.page);
    }
    if (r.after != nullptr)
        r.after();
}

_MOD_COMM_STRUCT& comm = strMODComm_up;
_MOD_AP_STRUCT& ap = strMODAP_up;
_MOD_STA_STRUCT& sta = strMODSTA_up;

const combo_rule baud = {&combo_modcom_baud, nullptr, CMDTYPE_COMM, &comm.baud,
                         by_converter<struct_com_baud_set>, "UART", "baud", nullptr, nullptr};
const combo_rule data = {&combo_modcom_data, nullptr, CMDTYPE_COMM, &comm.data_bits,
                         by_converter<struct_com_data_set>, "UART", "data", nullptr, nullptr};
const combo_rule parity = {&combo_modcom_parity, nullptr, CMDTYPE_COMM, &comm.parity,
                           by_converter<struct_com_parity_set>, "UART", "parity", nullptr, nullptr};
const combo_rule stop = {&combo_modcom_stop, nullptr, CMDTYPE_COMM, &comm.stop_bits, stop_bits_code,
                         "UART", "stop", nullptr, nullptr};
const combo_rule frame = {&combo_modcom_af, nullptr, CMDTYPE_COMM, &comm.bAF, auto_frame_code,
                          "UARTF", "", nullptr, framing_follows};
const combo_rule net_mode = {&combo_modnet_mode, nullptr, CMDTYPE_COMM, &comm.mode, net_mode_code,
                             "NETP", "mode", nullptr, server_rule};
const combo_rule net_prot = {&combo_modnet_prot, nullptr, CMDTYPE_COMM, &comm.protocol, net_prot_code,
                             "NETP", "prot", udp_has_no_role, server_rule};
const combo_rule ap_mode = {&combo_ap_wifimode, nullptr, CMDTYPE_AP, &ap.mode, ap_standard_code,
                            "WAP", "mode", nullptr, nullptr};
const combo_rule ap_channel = {&combo_ap_channel, nullptr, CMDTYPE_AP, &ap.channel,
                               by_converter<struct_ap_channel_set>, "WAP", "channel", nullptr, nullptr};
const combo_rule ap_auth = {&combo_ap_auth, nullptr, CMDTYPE_AP, &ap.enc_auth,
                            by_converter<struct_ap_auth_set>, "WAKEY", "auth", nullptr, ap_encryption_follows};
const combo_rule ap_encry = {nullptr, ap_encryption_list, CMDTYPE_AP, &ap.enc_encry, encryption_code,
                             "WAKEY", "encry", ap_key_rule, nullptr};
/* The AP's DHCP service is carried by no command: nothing to confirm. */
const combo_rule ap_dhcp = {&combo_lan_dhcp, nullptr, CMDTYPE_AP, &ap.bDHCP, ap_dhcp_code,
                            nullptr, nullptr, nullptr, nullptr};
const combo_rule sta_auth = {&combo_sta_auth, nullptr, CMDTYPE_STA, &sta.enc_auth,
                             by_converter<struct_ap_auth_set>, "WSKEY", "auth", nullptr, sta_encryption_follows};
const combo_rule sta_encry = {nullptr, sta_encryption_list, CMDTYPE_STA, &sta.enc_encry, encryption_code,
                              "WSKEY", "encry", sta_key_rule, nullptr};

} // namespace

void combo_modcom_baud_selected() { selected(baud); }
void combo_modcom_data_selected() { selected(data); }
void combo_modcom_parity_selected() { selected(parity); }
void combo_modcom_stop_selected() { selected(stop); }
void combo_modcom_frame_selected() { selected(frame); }
void combo_modnet_mode_selected() { selected(net_mode); }
void combo_modnet_prot_selected() { selected(net_prot); }
void combo_modap_wifimode_selected() { selected(ap_mode); }
void combo_modap_wifich_selected() { selected(ap_channel); }
void combo_modap_wifiauth_selected() { selected(ap_auth); }
void combo_modap_wifiencry_selected() { selected(ap_encry); }
void combo_modap_dhcp_selected() { selected(ap_dhcp); }
void combo_modsta_wifiauth_selected() { selected(sta_auth); }
void combo_modsta_wifiencry_selected() { selected(sta_encry); }
