/*
 * lang.h - the texts of the settings window, in GB18030, the conversion
 * that hands them to widgets in the user's language, and the three label
 * fonts.
 */
#ifndef KX_LANG_H
#define KX_LANG_H

#include <gtk/gtk.h>
#include <string>

extern char text_title[];
extern char text_net_conn1[];
extern char text_net_conn2[];
extern char text_net_conn3[];
extern char text_net_conn4[];
extern char text_net_conn5[];
extern char text_net_conn6[];
extern char text_frame_pcnet[];
extern char text_frame_config[];
extern char text_button_read[];
extern char text_button_save[];
extern char text_cmd_filename[];
extern char text_auto_config[];
extern char text_button_file_config[];
extern char text_notebook_management[];
extern char text_notebook_comm[];
extern char text_notebook_ap[];
extern char text_notebook_sta[];
extern char text_frame_wifimode[];
extern char text_radio_apmode[];
extern char text_radio_stamode[];
extern char text_frame_workmode[];
extern char text_radio_thmode[];
extern char text_radio_agmode[];
extern char text_frame_user[];
extern char text_user_name[];
extern char text_password[];
extern char text_frame_management[];
extern char text_MID[];
extern char text_button_reboot[];
extern char text_button_reload[];
extern char text_label_d40[];
extern char text_label_ver[];
extern char text_label_company[];
extern char text_button_confirm[];
extern char text_button_cancel[];
extern char text_frame_modserial[];
extern char text_serial_baud[];
extern char text_serial_data[];
extern char text_serial_parity[];
extern char text_serial_stop[];
extern char text_frame_autofram[];
extern char text_auto_frame[];
extern char text_auto_frame_time[];
extern char text_auto_frame_length[];
extern char text_frame_network[];
extern char text_net_mode[];
extern char text_net_protocol[];
extern char text_net_port[];
extern char text_net_server_add[];
extern char text_net_tcp_to[];
extern char text_net_maxsk[];
extern char text_frame_wifiap[];
extern char text_wifiap_mode[];
extern char text_wifiap_ssid[];
extern char text_wifiap_channel[];
extern char text_wifiap_auth[];
extern char text_wifiap_encry[];
extern char text_wifiap_key[];
extern char text_frame_lan[];
extern char text_wifiap_dhcp[];
extern char text_wifiap_ip[];
extern char text_wifiap_mask[];
extern char text_wifiap_gateway[];
extern char text_frame_wifista[];
extern char text_wifista_ssid[];
extern char text_wifista_mac[];
extern char text_wifista_auth[];
extern char text_wifista_encry[];
extern char text_wifista_key[];
extern char text_frame_wan[];
extern char text_wan_dhcp[];
extern char text_wan_static[];
extern char text_wan_ip[];
extern char text_wan_mask[];
extern char text_wan_gateway[];

/* GB18030 text to a new UTF-8 string (the caller g_frees it), or NULL
 * when the text is not valid GB18030. Where the catalogue of the user's
 * language (LANGUAGE, LC_ALL, LC_MESSAGES, LANG, as gettext reads them)
 * has the UTF-8 form as a msgid, its translation instead. Only texts for
 * widgets go through here: console lines are the program's interface to
 * scripts and stay the same in every language. */
char* _(const char* c);

/* GB18030 text to a new UTF-8 string as written, in no other language
 * (g_free it), or NULL. */
char* source_text(const char* c);

/* Where the catalogues are: locale/ beside the program in the build tree,
 * the installed locale directory reached from the program's own place
 * (so that an installed tree works wherever it was moved), else the one
 * the build was configured with. */
std::string catalogue_dir();

/* Binds the text domain "kxd40-tool" to dir, which holds
 * <lang>/LC_MESSAGES/kxd40-tool.mo; call it before the first text is
 * made. */
void use_catalogues(const std::string& dir);

/* A label's fixed GB18030 text in UTF-8 followed by a value received from
 * the network, made valid UTF-8 on its own: its bytes are never read as
 * GB18030. */
std::string label_text(const char* gb_fixed, const char* value);

/* "Sans, 10", "Sans, Bold 10" and "Sans, Bold 12" as the widget's font. */
void set_widget_font(GtkWidget* widget);
void set_widget_font_sb(GtkWidget* widget);
void set_widget_font_b(GtkWidget* widget);

#endif
