/*
 * radio_changed.h - the radio handlers of the module pages, reached through
 * radio_changed by the button's name string.
 */
#ifndef KX_RADIO_CHANGED_H
#define KX_RADIO_CHANGED_H

/* Radio buttons ("pressed"). */
void radio_ap_mode_changed();
void radio_sta_mode_changed();
void radio_TH_mode_changed();
void radio_AG_mode_changed();
void radio_sta_dhcp_changed();
void radio_sta_static_changed();

#endif
