/*
 * set_combo_box.h - the item lists of the settings window's combo boxes.
 *
 * Item n of a list is the combo text of enumeration value first + n, so a
 * record value selects its item by index and an item's text maps back to
 * its value. Each function also selects its list's default item.
 */
#ifndef KX_SET_COMBO_BOX_H
#define KX_SET_COMBO_BOX_H

#include <gtk/gtk.h>

void set_com_baudrate(GtkWidget* combo);
void set_com_data(GtkWidget* combo);
void set_com_parity(GtkWidget* combo);
void set_com_stop(GtkWidget* combo);
void set_uart_frame(GtkWidget* combo);
void set_net_mode(GtkWidget* combo);
void set_net_prot(GtkWidget* combo);
void set_wifi_mode(GtkWidget* combo);
void set_wifi_channel(GtkWidget* combo);
void set_wifiap_auth(GtkWidget* combo);
void set_wifiap_encry_open(GtkWidget* combo);
void set_wifiap_encry_shared(GtkWidget* combo);
void set_wifiap_encry_wpapsk(GtkWidget* combo);
void set_wifiap_dhcp(GtkWidget* combo);

/* First encryption value of the shared-key and WPA lists: their index is
 * the value minus this. */
enum { ENCRY_SHARED_FIRST = 1, ENCRY_WPAPSK_FIRST = 3 };

#endif
