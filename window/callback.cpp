/*
 * callback.cpp - signal dispatch by widget name.
 *
 * Each dispatcher looks the name up in its table and runs the handler of
 * the first exact match. The tables list every name the window gives out;
 * a name whose handler is not there does nothing.
 */
#include "callback.h"

#include <cstring>

#include "button_clicked.h"
#include "edit_handlers.h"
#include "module.h"
#include "pages.h"
#include "window.h"
#include "wait.h"

int started = 0;
int notebook_page_now = 0;
void (*dispatch_trace)(const char*, const char*) = nullptr;

namespace {

struct named_handler {
    const char* name;
    void (*run)();
    /* Sends nothing, so it runs even while a wait is in progress: the
     * widget changed on screen, and its handler must follow. */
    bool while_waiting = false;
};

const named_handler combo_handlers[] = {
    {"modcom_baudrate", combo_modcom_baud_selected},
    {"modcom_data", combo_modcom_data_selected},
    {"modcom_parity", combo_modcom_parity_selected},
    {"modcom_stop", combo_modcom_stop_selected},
    {"modcom_frame", combo_modcom_frame_selected},
    {"modnet_mode", combo_modnet_mode_selected},
    {"modnet_prot", combo_modnet_prot_selected},
    {"modap_wifimode", combo_modap_wifimode_selected},
    {"modap_wifichannel", combo_modap_wifich_selected},
    {"modap_wifiauth", combo_modap_wifiauth_selected},
    {"modap_wifiencry", combo_modap_wifiencry_selected},
    {"modap_dhcp", combo_modap_dhcp_selected},
    {"modsta_wifiauth", combo_modsta_wifiauth_selected},
    {"modsta_wifiencry", combo_modsta_wifiencry_selected},
};

const named_handler button_handlers[] = {
    {"restart_button", button_mod_restart_clicked},
    {"reload_button", button_mod_reload_clicked},
    {"mana_confirm_button", button_mana_confirm_clicked},
    {"mana_cancel_button", button_mana_cancel_clicked},
    {"comm_confirm_button", button_comm_confirm_clicked},
    {"comm_cancel_button", button_comm_cancel_clicked},
    {"ap_confirm_button", button_ap_confirm_clicked},
    {"ap_cancel_button", button_ap_cancel_clicked},
    {"sta_confirm_button", button_sta_confirm_clicked},
    {"sta_cancel_button", button_sta_cancel_clicked},
    {"setting_read_button", button_setting_read_clicked},
    {"setting_save_button", button_setting_save_clicked},
    {"auto_setting_button", button_setting_auto_clicked, true},
    {"setting_down_button", button_setting_down_clicked},
};

const named_handler radio_handlers[] = {
    {"AP_Mode", radio_ap_mode_changed},          {"STA_Mode", radio_sta_mode_changed},
    {"TH_Mode", radio_TH_mode_changed},          {"AG_Mode", radio_AG_mode_changed},
    {"modsta_dhcp", radio_sta_dhcp_changed},     {"modsta_static", radio_sta_static_changed},
};

/* "sta_mac" is not here: leaving the MAC entry does nothing. */
const named_handler entry_handlers[] = {
    {"user", entry_focus_out_user},
    {"pwd", entry_focus_out_pwd},
    {"aft", entry_focus_out_aft},
    {"afl", entry_focus_out_afl},
    {"netp_port", entry_focus_out_netp_port},
    {"netp_ip", entry_focus_out_netp_ip},
    {"netp_tcpto", entry_focus_out_netp_tcpto},
    {"netp_maxsk", entry_focus_out_netp_maxsk},
    {"ap_ssid", entry_focus_out_ap_ssid},
    {"ap_key", entry_focus_out_ap_key},
    {"lan_ip", entry_focus_out_lan_ip},
    {"lan_mask", entry_focus_out_lan_mask},
    {"lan_gw", entry_focus_out_lan_gw},
    {"wan_ip", entry_focus_out_wan_ip},
    {"wan_mask", entry_focus_out_wan_mask},
    {"wan_gw", entry_focus_out_wan_gw},
    {"sta_ssid", entry_focus_out_sta_ssid},
    {"sta_key", entry_focus_out_sta_key},
};

template <size_t N>
void dispatch(const char* dispatcher, const named_handler (&table)[N], gpointer data)
{
    const char* name = static_cast<const char*>(data);
    if (name == nullptr)
        return;
    if (dispatch_trace != nullptr)
        dispatch_trace(dispatcher, name);
    for (const named_handler& h : table) {
        if (std::strcmp(h.name, name) == 0) {
            /* While a datagram wait runs, no action that talks to the
             * module may start. */
            if (h.run != nullptr && (h.while_waiting || !action_blocked()))
                h.run();
            return;
        }
    }
}

template <size_t N>
int known_in(const named_handler (&table)[N], const char* name)
{
    for (const named_handler& h : table)
        if (std::strcmp(h.name, name) == 0 && h.run != nullptr)
            return 1;
    return 0;
}

} // namespace

int dispatch_name_known(const char* dispatcher, const char* name)
{
    if (std::strcmp(dispatcher, "combo_selected") == 0)
        return known_in(combo_handlers, name);
    if (std::strcmp(dispatcher, "button_clicked") == 0)
        return known_in(button_handlers, name);
    if (std::strcmp(dispatcher, "radio_changed") == 0)
        return known_in(radio_handlers, name);
    if (std::strcmp(dispatcher, "entry_focus_out") == 0)
        return known_in(entry_handlers, name);
    return 0;
}

void combo_selected(GtkWidget*, gpointer data) { dispatch("combo_selected", combo_handlers, data); }

void button_clicked(GtkWidget*, gpointer data) { dispatch("button_clicked", button_handlers, data); }

void radio_changed(GtkWidget*, gpointer data) { dispatch("radio_changed", radio_handlers, data); }

gboolean entry_focus_out(GtkWidget*, GdkEventFocus*, gpointer data)
{
    dispatch("entry_focus_out", entry_handlers, data);
    return FALSE;
}

void notebook_switch_page(GtkNotebook*, GtkNotebookPage*, gint page_num, gpointer)
{
    static const char* const page_names[] = {"0", "1", "2", "3"};
    if (dispatch_trace != nullptr)
        dispatch_trace("notebook_switch_page", page_num >= 0 && page_num < 4 ? page_names[page_num] : "?");
    if (started == 0)
        return;
    /* An unread page is read when it is first shown. */
    const settings_page* p = settings_page_of(page_num);
    if (p != nullptr && *p->inited != 1) {
        p->read();
        p->refresh();
    }
    notebook_page_now = page_num;
}
