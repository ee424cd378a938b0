/*
 * combo_selected.h - the combo handlers of the module pages, one per combo box,
 * reached through combo_selected by the widget's name string.
 */
#ifndef KX_COMBO_SELECTED_H
#define KX_COMBO_SELECTED_H

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

#endif
