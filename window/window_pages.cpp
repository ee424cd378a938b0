/*
 * window_pages.cpp - the four module pages, each laid out from a table of
 * its widgets.
 */
#include "window_pages.h"

#include "lang.h"
#include "set_combo_box.h"
#include "window_build.h"

GtkWidget *radio_wifimode_ap, *radio_wifimode_sta, *radio_workmode_th, *radio_workmode_ag;
GtkWidget *entry_mod_usr, *entry_mod_pwd, *entry_mod_mid, *label_mod_ver, *button_mana_confirm;

GtkWidget *combo_modcom_baud, *combo_modcom_data, *combo_modcom_parity, *combo_modcom_stop;
GtkWidget *combo_modcom_af, *label_modcom_aft, *entry_modcom_aft, *label_modcom_afl;
GtkWidget *entry_modcom_afl, *combo_modnet_mode, *combo_modnet_prot, *entry_modnet_port;
GtkWidget *entry_modnet_ip, *entry_modnet_tcpto, *entry_modnet_maxsk, *button_comm_confirm;

GtkWidget *combo_ap_wifimode, *entry_ap_ssid, *combo_ap_channel, *combo_ap_auth;
GtkWidget *combo_ap_encry_open, *combo_ap_encry_shared, *combo_ap_encry_wpapsk;
GtkWidget *label_ap_key, *entry_ap_key, *combo_lan_dhcp, *entry_lan_ip, *entry_lan_mask;
GtkWidget *entry_lan_gateway, *button_ap_confirm;

GtkWidget *entry_sta_ssid, *entry_sta_mac, *combo_sta_auth, *combo_sta_encry_open;
GtkWidget *combo_sta_encry_shared, *combo_sta_encry_wpapsk, *label_sta_key, *entry_sta_key;
GtkWidget *radio_wan_dhcp, *radio_wan_static, *entry_wan_ip, *entry_wan_mask;
GtkWidget *entry_wan_gateway, *button_sta_confirm;

const char default_key[] = "31415926";

namespace {

/* Every page ends with its confirm and cancel buttons at the same place. */
widget_spec confirm_button(GtkWidget** g, const char* id, const char* name)
{
    return button_at(g, id, text_button_confirm, 300, 300, 100, 28, name).with(WF_INSENSITIVE);
}

widget_spec cancel_button(const char* name)
{
    return button_at(nullptr, nullptr, text_button_cancel, 430, 300, 100, 28, name);
}

void fill_frame(GtkWidget* frame, const widget_spec* specs, size_t n)
{
    place_widgets(add_fixed(frame), specs, n);
}

template <size_t N>
void fill_frame(GtkWidget* frame, const widget_spec (&specs)[N])
{
    fill_frame(frame, specs, N);
}

template <size_t S, size_t W>
void fill_page(GtkWidget* page, const subframe_spec (&frames)[S], const widget_spec (&widgets)[W])
{
    GtkWidget* fixed = add_fixed(page);
    place_subframes(fixed, frames);
    place_widgets(fixed, widgets);
}
} // namespace

void set_wifi_mod_frame(GtkWidget* frame)
{
    const widget_spec w[] = {
        radio_at(WG(radio_wifimode_ap), text_radio_apmode, 20, 20, "AP_Mode").with(WF_NEW_GROUP | WF_ACTIVE),
        radio_at(WG(radio_wifimode_sta), text_radio_stamode, 20, 50, "STA_Mode"),
    };
    fill_frame(frame, w);
}

void set_work_mod_frame(GtkWidget* frame)
{
    const widget_spec w[] = {
        radio_at(WG(radio_workmode_th), text_radio_thmode, 20, 20, "TH_Mode").with(WF_NEW_GROUP | WF_ACTIVE),
        radio_at(WG(radio_workmode_ag), text_radio_agmode, 20, 50, "AG_Mode"),
    };
    fill_frame(frame, w);
}

void set_usr_mod_frame(GtkWidget* frame)
{
    const widget_spec w[] = {
        label_at(text_user_name, 20, 21),
        entry_at(WG(entry_mod_usr), 80, 17, 160, 22, 15, "user"),
        label_at(text_password, 20, 51),
        entry_at(WG(entry_mod_pwd), 80, 47, 160, 22, 15, "pwd"),
    };
    fill_frame(frame, w);
}

void set_mod_mod_frame(GtkWidget* frame)
{
    const widget_spec w[] = {
        label_at(text_MID, 20, 21),
        entry_at(WG(entry_mod_mid), 80, 17, 160, 22, 15, nullptr).with(WF_NOT_EDITABLE),
        button_at(nullptr, nullptr, text_button_reboot, 30, 70, 100, 28, "restart_button"),
        button_at(nullptr, nullptr, text_button_reload, 150, 70, 100, 28, "reload_button"),
    };
    fill_frame(frame, w);
}

void set_MOD_MANA_frame(GtkWidget* page)
{
    const subframe_spec f[] = {
        {text_frame_wifimode, 5, 5, 260, 100, set_wifi_mod_frame},
        {text_frame_workmode, 5, 120, 260, 100, set_work_mod_frame},
        {text_frame_user, 280, 5, 280, 100, set_usr_mod_frame},
        {text_frame_management, 280, 120, 280, 130, set_mod_mod_frame},
    };
    const widget_spec w[] = {
        label_at(text_label_d40, 10, 230),
        label_at(WG(label_mod_ver), text_label_ver, 10, 250),
        label_at(text_label_company, 10, 290).in_font(font_kind::bold),
        label_at("", 10, 310),
        confirm_button(WG(button_mana_confirm), "mana_confirm_button"),
        cancel_button("mana_cancel_button"),
    };
    fill_page(page, f, w);
}

void set_com_para_frame(GtkWidget* frame)
{
    const widget_spec w[] = {
        label_at(text_serial_baud, 20, 21),
        combo_at(WG(combo_modcom_baud), 90, 17, set_com_baudrate, "modcom_baudrate"),
        label_at(text_serial_data, 20, 51),
        combo_at(WG(combo_modcom_data), 90, 47, set_com_data, "modcom_data"),
        label_at(text_serial_parity, 20, 81),
        combo_at(WG(combo_modcom_parity), 90, 77, set_com_parity, "modcom_parity"),
        label_at(text_serial_stop, 20, 111),
        combo_at(WG(combo_modcom_stop), 90, 107, set_com_stop, "modcom_stop"),
    };
    fill_frame(frame, w);
}

/* The framing entries stand at x 205 rather than 185: with the installed
 * fonts the framing labels are some 181 pixels wide and would run under an
 * entry at 185. */
void set_uart_frame_frame(GtkWidget* frame)
{
    const widget_spec w[] = {
        label_at(text_auto_frame, 20, 21),
        combo_at(WG(combo_modcom_af), 90, 17, set_uart_frame, "modcom_frame"),
        label_at(WG(label_modcom_aft), text_auto_frame_time, 20, 51),
        entry_at(WG(entry_modcom_aft), 205, 47, 50, 22, 5, "aft").with(WF_INSENSITIVE),
        label_at(WG(label_modcom_afl), text_auto_frame_length, 20, 81),
        entry_at(WG(entry_modcom_afl), 205, 77, 50, 22, 5, "afl").with(WF_INSENSITIVE),
    };
    fill_frame(frame, w);
}

void set_net_para_frame(GtkWidget* frame)
{
    const widget_spec w[] = {
        label_at(text_net_mode, 20, 21),
        combo_at(WG(combo_modnet_mode), 90, 17, set_net_mode, "modnet_mode"),
        label_at(text_net_protocol, 20, 51),
        combo_at(WG(combo_modnet_prot), 90, 47, set_net_prot, "modnet_prot"),
        label_at(text_net_port, 20, 81),
        entry_at(WG(entry_modnet_port), 90, 77, 100, 22, 5, "netp_port"),
        label_at(text_net_server_add, 20, 111),
        entry_at(WG(entry_modnet_ip), 90, 107, 180, 22, 100, "netp_ip").with(WF_INSENSITIVE),
        label_at(text_net_tcp_to, 20, 141),
        entry_at(WG(entry_modnet_tcpto), 180, 137, 60, 22, 5, "netp_tcpto"),
        label_at(text_net_maxsk, 20, 171),
        entry_at(WG(entry_modnet_maxsk), 180, 167, 60, 22, 5, "netp_maxsk"),
    };
    fill_frame(frame, w);
}

void set_MOD_COMM_frame(GtkWidget* page)
{
    const subframe_spec f[] = {
        {text_frame_modserial, 5, 15, 260, 160, set_com_para_frame},
        {text_frame_autofram, 5, 200, 260, 130, set_uart_frame_frame},
        {text_frame_network, 280, 15, 280, 220, set_net_para_frame},
    };
    const widget_spec w[] = {
        confirm_button(WG(button_comm_confirm), "comm_confirm_button"),
        cancel_button("comm_cancel_button"),
    };
    fill_page(page, f, w);
}

void set_apwifi_para_frame(GtkWidget* frame)
{
    const widget_spec w[] = {
        label_at(text_wifiap_mode, 20, 21),
        combo_at(WG(combo_ap_wifimode), 120, 17, set_wifi_mode, "modap_wifimode"),
        label_at(text_wifiap_ssid, 20, 51),
        entry_at(WG(entry_ap_ssid), 90, 47, 150, 22, 32, "ap_ssid"),
        label_at(text_wifiap_channel, 20, 81),
        combo_at(WG(combo_ap_channel), 90, 77, set_wifi_channel, "modap_wifichannel"),
        label_at(text_wifiap_auth, 20, 141),
        combo_at(WG(combo_ap_auth), 90, 137, set_wifiap_auth, "modap_wifiauth"),
        label_at(text_wifiap_encry, 20, 171),
        combo_at(WG(combo_ap_encry_open), 90, 167, set_wifiap_encry_open, "modap_wifiencry"),
        combo_at(WG(combo_ap_encry_shared), 90, 167, set_wifiap_encry_shared, "modap_wifiencry"),
        combo_at(WG(combo_ap_encry_wpapsk), 90, 167, set_wifiap_encry_wpapsk, "modap_wifiencry"),
        label_at(WG(label_ap_key), text_wifiap_key, 20, 201),
        entry_at(WG(entry_ap_key), 60, 197, 180, 22, 65, "ap_key").starting_with(default_key),
    };
    fill_frame(frame, w);
}

void set_lan_para_frame(GtkWidget* frame)
{
    const widget_spec w[] = {
        label_at(text_wifiap_dhcp, 20, 31),
        combo_at(WG(combo_lan_dhcp), 110, 27, set_wifiap_dhcp, "modap_dhcp").with(WF_INSENSITIVE),
        label_at(text_wifiap_ip, 20, 101),
        entry_at(WG(entry_lan_ip), 80, 97, 180, 22, 20, "lan_ip"),
        label_at(text_wifiap_mask, 20, 131),
        entry_at(WG(entry_lan_mask), 80, 127, 180, 22, 20, "lan_mask"),
        label_at(text_wifiap_gateway, 20, 161),
        entry_at(WG(entry_lan_gateway), 80, 157, 180, 22, 20, "lan_gw"),
    };
    fill_frame(frame, w);
}

void set_MOD_AP_frame(GtkWidget* page)
{
    const subframe_spec f[] = {
        {text_frame_wifiap, 5, 15, 260, 310, set_apwifi_para_frame},
        {text_frame_lan, 280, 15, 280, 220, set_lan_para_frame},
    };
    const widget_spec w[] = {
        confirm_button(WG(button_ap_confirm), "ap_confirm_button"),
        cancel_button("ap_cancel_button"),
    };
    fill_page(page, f, w);
}

void set_stawifi_para_frame(GtkWidget* frame)
{
    const widget_spec w[] = {
        label_at(text_wifista_ssid, 20, 21),
        entry_at(WG(entry_sta_ssid), 90, 17, 150, 22, 32, "sta_ssid"),
        label_at(text_wifista_mac, 20, 51),
        entry_at(WG(entry_sta_mac), 90, 47, 150, 22, 32, "sta_mac").with(WF_INSENSITIVE),
        label_at(text_wifista_auth, 20, 101),
        combo_at(WG(combo_sta_auth), 90, 97, set_wifiap_auth, "modsta_wifiauth"),
        label_at(text_wifista_encry, 20, 131),
        combo_at(WG(combo_sta_encry_open), 90, 127, set_wifiap_encry_open, "modsta_wifiencry"),
        combo_at(WG(combo_sta_encry_shared), 90, 127, set_wifiap_encry_shared, "modsta_wifiencry"),
        combo_at(WG(combo_sta_encry_wpapsk), 90, 127, set_wifiap_encry_wpapsk, "modsta_wifiencry"),
        label_at(WG(label_sta_key), text_wifista_key, 20, 161),
        entry_at(WG(entry_sta_key), 60, 157, 180, 22, 65, "sta_key").starting_with(default_key),
    };
    fill_frame(frame, w);
}

void set_wan_para_frame(GtkWidget* frame)
{
    const widget_spec w[] = {
        radio_at(WG(radio_wan_dhcp), text_wan_dhcp, 50, 21, "modsta_dhcp").with(WF_NEW_GROUP | WF_ACTIVE),
        radio_at(WG(radio_wan_static), text_wan_static, 50, 51, "modsta_static"),
        label_at(text_wan_ip, 20, 101),
        entry_at(WG(entry_wan_ip), 80, 97, 180, 22, 20, "wan_ip"),
        label_at(text_wan_mask, 20, 131),
        entry_at(WG(entry_wan_mask), 80, 127, 180, 22, 20, "wan_mask"),
        label_at(text_wan_gateway, 20, 161),
        entry_at(WG(entry_wan_gateway), 80, 157, 180, 22, 20, "wan_gw"),
    };
    fill_frame(frame, w);
}

void set_MOD_STA_frame(GtkWidget* page)
{
    const subframe_spec f[] = {
        {text_frame_wifista, 5, 15, 260, 310, set_stawifi_para_frame},
        {text_frame_wan, 280, 15, 280, 220, set_wan_para_frame},
    };
    const widget_spec w[] = {
        confirm_button(WG(button_sta_confirm), "sta_confirm_button"),
        cancel_button("sta_cancel_button"),
    };
    fill_page(page, f, w);
}
