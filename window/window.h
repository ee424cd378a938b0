/*
 * window.h - the settings window: its frame, the left column with the
 * connection lamp, and the four module pages.
 *
 * Every widget that more than one function touches has a global here.
 * While no settings window exists they are all 0, and every user checks.
 */
#ifndef KX_WINDOW_H
#define KX_WINDOW_H

#include <gtk/gtk.h>

/* Frame and left column. */
extern GtkWidget* window;
extern GtkWidget* frame_module;
extern GtkWidget* draw_net_connect;
extern GtkWidget* label_net_conn;
extern GtkWidget* button_setting_read;
extern GtkWidget* button_setting_save;
extern GtkWidget* label_setting_file;
extern GtkWidget* entry_setting_file;
extern GtkWidget* check_setting_auto;
extern GtkWidget* button_setting_down;
extern int color;

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

/* Builds and shows the settings window for the chosen module. */
void init_window();

/* Stores cl as the lamp state and has the lamp redrawn. */
void set_lamp(int cl);

gboolean draw_logo_expose_event(GtkWidget* widget, GdkEventExpose* event, gpointer data);
gboolean draw_expose_event(GtkWidget* widget, GdkEventExpose* event, gpointer data);
void show_pictures(cairo_t* cr);
void show_pictures_draw(cairo_t* cr, int w, int h);

/* Module frame and page builders. */
void set_MOD_frame(GtkWidget* table);
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

/* Page refresh from the edited records, and the flags each sets at its
 * end; the pages' combo and radio handlers do nothing while theirs is 0. */
void update_mana_widgets();
void update_comm_widgets();
void update_ap_widgets();
void update_sta_widgets();
extern int page_mana_shown, page_comm_shown, page_ap_shown, page_sta_shown;

/* Shows the one of a page's three stacked encryption lists (open, shared,
 * WPA) that the authentication offers. */
void show_encryption_list(GtkWidget* const lists[3], int auth);

/* True while one of the refreshes above runs. */
bool page_refreshing();

/* Remembers a widget global so that it becomes 0 when the window goes. */
void register_window_global(GtkWidget** global);

#endif
