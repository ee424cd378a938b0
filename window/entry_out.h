/*
 * entry_out.h - the entry handlers of the module pages, reached through
 * entry_focus_out by the entry's name string.
 */
#ifndef KX_ENTRY_OUT_H
#define KX_ENTRY_OUT_H

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
