/*
 * set_combo_box.cpp - filling the combo boxes from the enumeration tables.
 */
#include "set_combo_box.h"

#include "enums.h"

namespace {

/* Appends the combo texts of values first .. first + count - 1 and selects
 * the item of value default_value. */
void fill(GtkWidget* combo, const enum_table& t, int first, int count, int default_value)
{
    for (int v = first; v < first + count; ++v)
        gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(combo), enum_combo_text(t, v));
    gtk_combo_box_set_active(GTK_COMBO_BOX(combo), default_value - first);
}

void fill_all(GtkWidget* combo, const enum_table& t, int default_value)
{
    fill(combo, t, 0, t.count, default_value);
}

} // namespace

void set_com_baudrate(GtkWidget* c) { fill_all(c, baudrate_table, BAUDRATE_57600); }
void set_com_data(GtkWidget* c) { fill_all(c, combits_table, COMBITS_8); }
void set_com_parity(GtkWidget* c) { fill_all(c, parity_table, COMPARITY_NONE); }
void set_com_stop(GtkWidget* c) { fill_all(c, stopbits_table, COMSTOPBITS_1); }
void set_uart_frame(GtkWidget* c) { fill_all(c, autoframe_table, COMAF_DIS); }
void set_net_mode(GtkWidget* c) { fill_all(c, netmode_table, NETMODE_SERVER); }
void set_net_prot(GtkWidget* c) { fill_all(c, netprot_table, NETPROT_TCP); }
void set_wifi_mode(GtkWidget* c) { fill_all(c, apstd_table, APSTD_11BGN); }
void set_wifi_channel(GtkWidget* c) { fill_all(c, apch_table, APCH_AUTO); }
void set_wifiap_auth(GtkWidget* c) { fill_all(c, auth_table, WIFIAUTH_OPEN); }
void set_wifiap_encry_open(GtkWidget* c) { fill(c, encry_table, ENC_NONE, 3, ENC_NONE); }
void set_wifiap_encry_shared(GtkWidget* c) { fill(c, encry_table, ENCRY_SHARED_FIRST, 2, ENC_WEPH); }
void set_wifiap_encry_wpapsk(GtkWidget* c) { fill(c, encry_table, ENCRY_WPAPSK_FIRST, 3, ENC_TKIP); }
void set_wifiap_dhcp(GtkWidget* c) { fill_all(c, dhcp_table, DHCP_ENABLE); }
