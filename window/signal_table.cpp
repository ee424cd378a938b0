/*
 * signal_table.cpp - the name-to-handler tables of the settings window.
 *
 * The only file that knows both the name strings the widgets carry and
 * the handlers: it stands above the handlers and the dispatcher alike.
 */
#include "signal_table.h"

#include "button_clicked.h"
#include "callback.h"
#include "combo_selected.h"
#include "entry_out.h"
#include "radio_changed.h"

namespace {

const named_handler combo_handlers[] = {
    {"modcom_baudrate", combo_modcom_baud_selected, false},
    {"modcom_data", combo_modcom_data_selected, false},
    {"modcom_parity", combo_modcom_parity_selected, false},
    {"modcom_stop", combo_modcom_stop_selected, false},
    {"modcom_frame", combo_modcom_frame_selected, false},
    {"modnet_mode", combo_modnet_mode_selected, false},
    {"modnet_prot", combo_modnet_prot_selected, false},
    {"modap_wifimode", combo_modap_wifimode_selected, false},
    {"modap_wifichannel", combo_modap_wifich_selected, false},
    {"modap_wifiauth", combo_modap_wifiauth_selected, false},
    {"modap_wifiencry", combo_modap_wifiencry_selected, false},
    {"modap_dhcp", combo_modap_dhcp_selected, false},
    {"modsta_wifiauth", combo_modsta_wifiauth_selected, false},
    {"modsta_wifiencry", combo_modsta_wifiencry_selected, false},
};

const named_handler button_handlers[] = {
    {"restart_button", button_mod_restart_clicked, false},
    {"reload_button", button_mod_reload_clicked, false},
    {"mana_confirm_button", button_mana_confirm_clicked, false},
    {"mana_cancel_button", button_mana_cancel_clicked, false},
    {"comm_confirm_button", button_comm_confirm_clicked, false},
    {"comm_cancel_button", button_comm_cancel_clicked, false},
    {"ap_confirm_button", button_ap_confirm_clicked, false},
    {"ap_cancel_button", button_ap_cancel_clicked, false},
    {"sta_confirm_button", button_sta_confirm_clicked, false},
    {"sta_cancel_button", button_sta_cancel_clicked, false},
    {"setting_read_button", button_setting_read_clicked, false},
    {"setting_save_button", button_setting_save_clicked, false},
    {"auto_setting_button", button_setting_auto_clicked, true},
    {"setting_down_button", button_setting_down_clicked, false},
};

const named_handler radio_handlers[] = {
    {"AP_Mode", radio_ap_mode_changed, false},      {"STA_Mode", radio_sta_mode_changed, false},
    {"TH_Mode", radio_TH_mode_changed, false},      {"AG_Mode", radio_AG_mode_changed, false},
    {"modsta_dhcp", radio_sta_dhcp_changed, false}, {"modsta_static", radio_sta_static_changed, false},
};

/* "sta_mac" is not here: leaving the MAC entry does nothing. */
const named_handler entry_handlers[] = {
    {"user", entry_focus_out_user, false},
    {"pwd", entry_focus_out_pwd, false},
    {"aft", entry_focus_out_aft, false},
    {"afl", entry_focus_out_afl, false},
    {"netp_port", entry_focus_out_netp_port, false},
    {"netp_ip", entry_focus_out_netp_ip, false},
    {"netp_tcpto", entry_focus_out_netp_tcpto, false},
    {"netp_maxsk", entry_focus_out_netp_maxsk, false},
    {"ap_ssid", entry_focus_out_ap_ssid, false},
    {"ap_key", entry_focus_out_ap_key, false},
    {"lan_ip", entry_focus_out_lan_ip, false},
    {"lan_mask", entry_focus_out_lan_mask, false},
    {"lan_gw", entry_focus_out_lan_gw, false},
    {"wan_ip", entry_focus_out_wan_ip, false},
    {"wan_mask", entry_focus_out_wan_mask, false},
    {"wan_gw", entry_focus_out_wan_gw, false},
    {"sta_ssid", entry_focus_out_sta_ssid, false},
    {"sta_key", entry_focus_out_sta_key, false},
};

} // namespace

void install_signal_tables()
{
    set_dispatch_table("combo_selected", combo_handlers);
    set_dispatch_table("button_clicked", button_handlers);
    set_dispatch_table("radio_changed", radio_handlers);
    set_dispatch_table("entry_focus_out", entry_handlers);
}
