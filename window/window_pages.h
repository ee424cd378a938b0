/*
 * window_pages.h - the widgets of the four module pages and the builders
 * that lay the pages out.
 *
 * The page widgets' globals are 0 while no settings window exists.
 */
#ifndef KX_WINDOW_PAGES_H
#define KX_WINDOW_PAGES_H

#include <gtk/gtk.h>

/* Management page. */
extern GtkWidget *radio_wifimode_ap, *radio_wifimode_sta, *radio_workmode_th, *radio_workmode_ag;
extern GtkWidget *entry_mod_usr, *entry_mod_pwd, *entry_mod_mid, *label_mod_ver, *button_mana_confirm;

/* Communication page. */
extern GtkWidget *combo_modcom_baud, *combo_modcom_data, *combo_modcom_parity, *combo_modcom_stop;
extern GtkWidget *combo_modcom_af, *label_modcom_aft, *entry_modcom_aft, *label_modcom_afl;
extern GtkWidget *entry_modcom_afl, *combo_modnet_mode, *combo_modnet_prot, *entry_modnet_port;
extern GtkWidget *entry_modnet_ip, *entry_modnet_tcpto, *entry_modnet_maxsk, *button_comm_confirm;

/* AP page. */
extern GtkWidget *combo_ap_wifimode, *entry_ap_ssid, *combo_ap_channel, *combo_ap_auth;
extern GtkWidget *combo_ap_encry_open, *combo_ap_encry_shared, *combo_ap_encry_wpapsk;
extern GtkWidget *label_ap_key, *entry_ap_key, *combo_lan_dhcp, *entry_lan_ip, *entry_lan_mask;
extern GtkWidget *entry_lan_gateway, *button_ap_confirm;

/* STA page. */
extern GtkWidget *entry_sta_ssid, *entry_sta_mac, *combo_sta_auth, *combo_sta_encry_open;
extern GtkWidget *combo_sta_encry_shared, *combo_sta_encry_wpapsk, *label_sta_key, *entry_sta_key;
extern GtkWidget *radio_wan_dhcp, *radio_wan_static, *entry_wan_ip, *entry_wan_mask;
extern GtkWidget *entry_wan_gateway, *button_sta_confirm;

/* The key both key entries start with. */
extern const char default_key[];   /* "31415926" */

/* Page and sub-frame builders. */
void set_MOD_MANA_frame(GtkWidget* page);
void set_wifi_mod_frame(GtkWidget* frame);
void set_work_mod_frame(GtkWidget* frame);
void set_usr_mod_frame(GtkWidget* frame);
void set_mod_mod_frame(GtkWidget* frame);
void set_MOD_COMM_frame(GtkWidget* page);
void set_com_para_frame(GtkWidget* frame);
void set_uart_frame_frame(GtkWidget* frame);
void set_net_para_frame(GtkWidget* frame);
void set_MOD_AP_frame(GtkWidget* page);
void set_apwifi_para_frame(GtkWidget* frame);
void set_lan_para_frame(GtkWidget* frame);
void set_MOD_STA_frame(GtkWidget* page);
void set_stawifi_para_frame(GtkWidget* frame);
void set_wan_para_frame(GtkWidget* frame);

#endif
