/*
 * lang_test.cpp - the settings window's texts and their conversion.
 */
#include <gtest/gtest.h>

#include <glib.h>

#include "lang.h"
#include "main.h"

namespace {

struct text_case {
    const char* name;
    const char* gb;
    const char* utf8;
};

/* The UTF-8 reading of every text, as the window must show it. */
const text_case texts[] = {
    {"text_title", text_title, "KX-D40设置工具 V2.2"},
    {"text_net_conn1", text_net_conn1, "正在等待连接."},
    {"text_net_conn2", text_net_conn2, "正在等待连接.."},
    {"text_net_conn3", text_net_conn3, "正在等待连接..."},
    {"text_net_conn4", text_net_conn4, "正在等待连接..."},
    {"text_net_conn5", text_net_conn5, "正在等待连接...."},
    {"text_net_conn6", text_net_conn6, "模块已连接"},
    {"text_frame_pcnet", text_frame_pcnet, "网络连接"},
    {"text_frame_config", text_frame_config, "模块设置管理"},
    {"text_button_read", text_button_read, "读取设置"},
    {"text_button_save", text_button_save, "保存命令"},
    {"text_cmd_filename", text_cmd_filename, "文件名:"},
    {"text_auto_config", text_auto_config, "连接时自动设置"},
    {"text_button_file_config", text_button_file_config, "使用命令文件设置"},
    {"text_notebook_management", text_notebook_management, "模块管理"},
    {"text_notebook_comm", text_notebook_comm, "通讯设置"},
    {"text_notebook_ap", text_notebook_ap, "AP模式设置"},
    {"text_notebook_sta", text_notebook_sta, "STA模式设置"},
    {"text_frame_wifimode", text_frame_wifimode, "WIFI模式选择"},
    {"text_radio_apmode", text_radio_apmode, "AP 模式"},
    {"text_radio_stamode", text_radio_stamode, "STA 模式"},
    {"text_frame_workmode", text_frame_workmode, "工作模式选择"},
    {"text_radio_thmode", text_radio_thmode, "透明传输模式"},
    {"text_radio_agmode", text_radio_agmode, "协议传输模式"},
    {"text_frame_user", text_frame_user, "用户管理"},
    {"text_user_name", text_user_name, "用户名"},
    {"text_password", text_password, "密码"},
    {"text_frame_management", text_frame_management, "模块管理"},
    {"text_MID", text_MID, "模块MID"},
    {"text_button_reboot", text_button_reboot, "重启模块"},
    {"text_button_reload", text_button_reload, "恢复出厂设置"},
    {"text_label_d40", text_label_d40, "KX-D40模块"},
    {"text_label_ver", text_label_ver, "软件版本: "},
    {"text_label_company", text_label_company, ""},
    {"text_button_confirm", text_button_confirm, "确认"},
    {"text_button_cancel", text_button_cancel, "取消"},
    {"text_frame_modserial", text_frame_modserial, "模块串口设置"},
    {"text_serial_baud", text_serial_baud, "波特率"},
    {"text_serial_data", text_serial_data, "字节数"},
    {"text_serial_parity", text_serial_parity, "检验位"},
    {"text_serial_stop", text_serial_stop, "停止位"},
    {"text_frame_autofram", text_frame_autofram, "串口自动成帧设置"},
    {"text_auto_frame", text_auto_frame, "自动成帧"},
    {"text_auto_frame_time", text_auto_frame_time, "成帧时间(100~10000)(ms)"},
    {"text_auto_frame_length", text_auto_frame_length, "成帧长度(16~4096)(Byte)"},
    {"text_frame_network", text_frame_network, "网络参数设置"},
    {"text_net_mode", text_net_mode, "网络模式"},
    {"text_net_protocol", text_net_protocol, "网络协议"},
    {"text_net_port", text_net_port, "协议端口"},
    {"text_net_server_add", text_net_server_add, "服务器地址"},
    {"text_net_tcp_to", text_net_tcp_to, "TCP连接超时(<600秒)"},
    {"text_net_maxsk", text_net_maxsk, "TCP最大连接数(1~32)"},
    {"text_frame_wifiap", text_frame_wifiap, "无线参数"},
    {"text_wifiap_mode", text_wifiap_mode, "无线网络模式"},
    {"text_wifiap_ssid", text_wifiap_ssid, "网络名称"},
    {"text_wifiap_channel", text_wifiap_channel, "无线信道"},
    {"text_wifiap_auth", text_wifiap_auth, "加密方式"},
    {"text_wifiap_encry", text_wifiap_encry, "加密算法"},
    {"text_wifiap_key", text_wifiap_key, "密码"},
    {"text_frame_lan", text_frame_lan, "LAN口参数设置"},
    {"text_wifiap_dhcp", text_wifiap_dhcp, "DHCP服务器"},
    {"text_wifiap_ip", text_wifiap_ip, "IP地址"},
    {"text_wifiap_mask", text_wifiap_mask, "子网掩码"},
    {"text_wifiap_gateway", text_wifiap_gateway, "网关IP"},
    {"text_frame_wifista", text_frame_wifista, "无线参数"},
    {"text_wifista_ssid", text_wifista_ssid, "网络名称"},
    {"text_wifista_mac", text_wifista_mac, "MAC地址"},
    {"text_wifista_auth", text_wifista_auth, "加密方式"},
    {"text_wifista_encry", text_wifista_encry, "加密算法"},
    {"text_wifista_key", text_wifista_key, "密码"},
    {"text_frame_wan", text_frame_wan, "WAN口参数设置"},
    {"text_wan_dhcp", text_wan_dhcp, "动态地址分配"},
    {"text_wan_static", text_wan_static, "静态地址分配"},
    {"text_wan_ip", text_wan_ip, "IP地址"},
    {"text_wan_mask", text_wan_mask, "子网掩码"},
    {"text_wan_gateway", text_wan_gateway, "网关IP"},
};

TEST(Lang, EveryTextConvertsToItsReading)
{
    for (const text_case& c : texts) {
        gchar* got = _(c.gb);
        ASSERT_NE(got, nullptr) << c.name;
        EXPECT_STREQ(got, c.utf8) << c.name;
        g_free(got);
    }
}

TEST(Lang, EmptyAsciiAndInvalidTexts)
{
    gchar* empty = _("");
    ASSERT_NE(empty, nullptr);
    EXPECT_STREQ(empty, "");
    g_free(empty);

    char version[32];
    g_snprintf(version, sizeof version, "%sV1.0", text_label_ver);
    gchar* v = _(version);
    EXPECT_STREQ(v, "软件版本: V1.0");
    g_free(v);

    gchar* ascii = _("Module IP: 192.168.1.7");
    EXPECT_STREQ(ascii, "Module IP: 192.168.1.7");
    g_free(ascii);

    EXPECT_EQ(_("\x81"), nullptr) << "a lead byte without its trail byte";
    EXPECT_EQ(_("\xff\xff"), nullptr);
    gchar* lang = _lang("\xcb\xd1\xcb\xf7");
    EXPECT_STREQ(lang, "搜索");
    g_free(lang);
}

} // namespace
