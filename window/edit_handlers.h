/*
 * edit_handlers.h - what an edit on a module page does: the combo and
 * radio handlers and the entry handlers.
 *
 * Every handler follows one pattern: guard, read the widget, apply the
 * core's rule, write the page's edited record, rebuild the command, mark
 * the page, then set the widgets that depend on the choice. The patterns
 * are written once each, driven by tables; the named handlers are the
 * rows, reached through the dispatchers by their widgets' name strings.
 */
#ifndef KX_EDIT_HANDLERS_H
#define KX_EDIT_HANDLERS_H

/* Combo boxes. */
void combo_modcom_baud_selected();
void combo_modcom_data_selected();
void combo_modcom_parity_selected();
void combo_modcom_stop_selected();
void combo_modcom_frame_selected();
void combo_modnet_mode_selected();
void combo_modnet_prot_selected();
void combo_modap_wifimode_selected();
void combo_modap_wifich_selected();
void combo_modap_wifiauth_selected();
void combo_modap_wifiencry_selected();
void combo_modap_dhcp_selected();
void combo_modsta_wifiauth_selected();
void combo_modsta_wifiencry_selected();

/* Radio buttons ("pressed"). */
void radio_ap_mode_changed();
void radio_sta_mode_changed();
void radio_TH_mode_changed();
void radio_AG_mode_changed();
void radio_sta_dhcp_changed();
void radio_sta_static_changed();

/* Entries, when the focus leaves them. */
void entry_focus_out_user();
void entry_focus_out_pwd();
void entry_focus_out_aft();
void entry_focus_out_afl();
void entry_focus_out_netp_port();
void entry_focus_out_netp_ip();
void entry_focus_out_netp_tcpto();
void entry_focus_out_netp_maxsk();
void entry_focus_out_ap_ssid();
void entry_focus_out_ap_key();
void entry_focus_out_lan_ip();
void entry_focus_out_lan_mask();
void entry_focus_out_lan_gw();
void entry_focus_out_sta_ssid();
void entry_focus_out_sta_key();
void entry_focus_out_wan_ip();
void entry_focus_out_wan_mask();
void entry_focus_out_wan_gw();
void entry_focus_out_sta_mac();

#endif
