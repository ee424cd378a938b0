/*
 * window_refresh.cpp - showing the edited records on the module pages.
 *
 * Each refresh sets every field of its page from the page's _up record,
 * shows the widgets the values call for, and last sets the page's guard
 * flag, so the "changed" signals of the first refresh reach no handler.
 */
#include "window_refresh.h"

#include <initializer_list>

#include "edit_rules.h"
#include "lang.h"
#include "module.h"
#include "set_combo_box.h"
#include "strutil.h"
#include "ui_util.h"
#include "window_pages.h"

int page_mana_shown = 0;
int page_comm_shown = 0;
int page_ap_shown = 0;
int page_sta_shown = 0;

namespace {

int refreshes_running = 0;

/* Marks a page refresh for the time it runs. The combo handlers that its
 * "changed" signals reach must not read the page's other widgets then:
 * those still show the values from before, and would overwrite the values
 * just read in the edited record. */
struct refresh_scope {
    refresh_scope() { ++refreshes_running; }
    ~refresh_scope() { --refreshes_running; }
};

/* A value without an item leaves the combo box with none active. */
void select_index(GtkWidget* combo, int index)
{
    int items = gtk_tree_model_iter_n_children(gtk_combo_box_get_model(GTK_COMBO_BOX(combo)), nullptr);
    gtk_combo_box_set_active(GTK_COMBO_BOX(combo), index >= 0 && index < items ? index : -1);
}

void set_decimal(GtkWidget* entry, int value)
{
    char text[16];
    format_text(text, sizeof text, "%d", value);
    gtk_entry_set_text(GTK_ENTRY(entry), text);
}

void set_address(GtkWidget* entry, const unsigned char* a)
{
    char text[16];
    format_text(text, sizeof text, "%d.%d.%d.%d", a[0], a[1], a[2], a[3]);
    gtk_entry_set_text(GTK_ENTRY(entry), text);
}

/* The list that the authentication offers, selected from the value; each
 * list's items start at its first encryption. */
void select_encryption(GtkWidget* const lists[3], int auth, int encry)
{
    static const int first[3] = {ENC_NONE, ENCRY_SHARED_FIRST, ENCRY_WPAPSK_FIRST};
    int list = encryption_list_of(auth);
    select_index(lists[list], encry - first[list]);
}

void show_key(GtkWidget* label, GtkWidget* entry, const char* password, int encry)
{
    set_visible({label, entry}, encry != ENC_NONE);
    set_entry_bytes(entry, password);
}

/* An empty stored key shows the default key; the record keeps "". */
void default_key_if_empty(GtkWidget* entry, const char* password)
{
    if (password[0] == '\0')
        gtk_entry_set_text(GTK_ENTRY(entry), default_key);
}

} // namespace

void update_mana_widgets()
{
    if (radio_wifimode_ap == nullptr)
        return;
    refresh_scope scope;
    const _MOD_MANA_STRUCT& r = strMODMana_up;
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(r.wmode == WIFIMODE_AP ? radio_wifimode_ap : radio_wifimode_sta), TRUE);
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(r.tmode == WORKMODE_TH ? radio_workmode_th : radio_workmode_ag), TRUE);
    gtk_label_set_text(GTK_LABEL(label_mod_ver), label_text(text_label_ver, r.mver).c_str());
    set_entry_bytes(entry_mod_usr, r.user);
    set_entry_bytes(entry_mod_pwd, r.pswd);
    set_entry_bytes(entry_mod_mid, r.mid);
    page_mana_shown = 1;
}

void update_comm_widgets()
{
    if (combo_modcom_baud == nullptr)
        return;
    refresh_scope scope;
    const _MOD_COMM_STRUCT& r = strMODComm_up;
    select_index(combo_modcom_baud, r.baud);
    select_index(combo_modcom_data, r.data_bits);
    select_index(combo_modcom_stop, r.stop_bits);
    select_index(combo_modcom_parity, r.parity);
    select_index(combo_modcom_af, r.bAF);
    set_decimal(entry_modcom_aft, r.AFT);
    set_decimal(entry_modcom_afl, r.AFL);
    set_sensitive({entry_modcom_aft, entry_modcom_afl, label_modcom_aft, label_modcom_afl}, r.bAF == COMAF_EN);
    select_index(combo_modnet_mode, r.mode);
    select_index(combo_modnet_prot, r.protocol);
    set_sensitive({combo_modnet_mode, entry_modnet_tcpto}, r.protocol != NETPROT_UDP);
    set_decimal(entry_modnet_port, r.port);
    bool tcp_server = r.mode == NETMODE_SERVER && r.protocol == NETPROT_TCP;
    set_sensitive({entry_modnet_ip}, !tcp_server);
    set_sensitive({entry_modnet_maxsk}, tcp_server);
    if (r.bip == 1)
        set_address(entry_modnet_ip, r.ipadd);
    else
        set_entry_bytes(entry_modnet_ip, r.hostname);
    set_decimal(entry_modnet_tcpto, r.TCPto);
    set_decimal(entry_modnet_maxsk, r.maxsk);
    page_comm_shown = 1;
}

void update_ap_widgets()
{
    if (combo_ap_wifimode == nullptr)
        return;
    refresh_scope scope;
    const _MOD_AP_STRUCT& r = strMODAP_up;
    GtkWidget* const enc[3] = {combo_ap_encry_open, combo_ap_encry_shared, combo_ap_encry_wpapsk};
    select_index(combo_ap_wifimode, r.mode);
    set_entry_bytes(entry_ap_ssid, r.SSID);
    select_index(combo_ap_channel, r.channel);
    select_index(combo_ap_auth, r.enc_auth);
    show_encryption_list(enc, r.enc_auth);
    select_encryption(enc, r.enc_auth, r.enc_encry);
    show_key(label_ap_key, entry_ap_key, r.password, r.enc_encry);
    set_address(entry_lan_ip, r.ipadd);
    set_address(entry_lan_mask, r.ipmask);
    set_address(entry_lan_gateway, r.dhcpgw);
    default_key_if_empty(entry_ap_key, r.password);
    page_ap_shown = 1;
}

void update_sta_widgets()
{
    if (entry_sta_ssid == nullptr)
        return;
    refresh_scope scope;
    const _MOD_STA_STRUCT& r = strMODSTA_up;
    GtkWidget* const enc[3] = {combo_sta_encry_open, combo_sta_encry_shared, combo_sta_encry_wpapsk};
    set_entry_bytes(entry_sta_ssid, r.SSID);
    select_index(combo_sta_auth, r.enc_auth);
    select_encryption(enc, r.enc_auth, r.enc_encry);
    show_encryption_list(enc, r.enc_auth);
    show_key(label_sta_key, entry_sta_key, r.password, r.enc_encry);
    set_address(entry_wan_ip, r.ipadd);
    set_address(entry_wan_mask, r.ipmask);
    set_address(entry_wan_gateway, r.dhcpgw);
    bool dhcp = r.bDHCP == DHCP_ENABLE;
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(dhcp ? radio_wan_dhcp : radio_wan_static), TRUE);
    set_sensitive({entry_wan_ip, entry_wan_mask, entry_wan_gateway}, !dhcp);
    default_key_if_empty(entry_sta_key, r.password);
    page_sta_shown = 1;
}

bool page_refreshing() { return refreshes_running > 0; }

void show_encryption_list(GtkWidget* const lists[3], int auth)
{
    int shown = encryption_list_of(auth);
    for (int i = 0; i < 3; ++i)
        set_visible({lists[i]}, i == shown);
}
