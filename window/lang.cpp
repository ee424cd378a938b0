/*
 * lang.cpp - the settings window's texts and fonts, and the catalogues
 * that show the windows' texts in the user's language.
 *
 * The texts are kept as GB18030 bytes, the form in which they have always
 * been stored; each line carries its UTF-8 reading in a comment. They are
 * converted at the moment a widget takes them, never cached, and the
 * UTF-8 form is the msgid of po/<lang>.po.
 */
#include "lang.h"

#include <libintl.h>

#include "ui_util.h"
#include "utf8_text.h"

/* clang-format off */
char text_title[] = "KX-D40\xc9\xe8\xd6\xc3\xb9\xa4\xbe\xdf V2.2"; /* KX-D40设置工具 V2.2 */
char text_net_conn1[] = "\xd5\xfd\xd4\xda\xb5\xc8\xb4\xfd\xc1\xac\xbd\xd3."; /* 正在等待连接. */
char text_net_conn2[] = "\xd5\xfd\xd4\xda\xb5\xc8\xb4\xfd\xc1\xac\xbd\xd3.."; /* 正在等待连接.. */
char text_net_conn3[] = "\xd5\xfd\xd4\xda\xb5\xc8\xb4\xfd\xc1\xac\xbd\xd3..."; /* 正在等待连接... */
char text_net_conn4[] = "\xd5\xfd\xd4\xda\xb5\xc8\xb4\xfd\xc1\xac\xbd\xd3..."; /* 正在等待连接... */
char text_net_conn5[] = "\xd5\xfd\xd4\xda\xb5\xc8\xb4\xfd\xc1\xac\xbd\xd3...."; /* 正在等待连接.... */
char text_net_conn6[] = "\xc4\xa3\xbf\xe9\xd2\xd1\xc1\xac\xbd\xd3"; /* 模块已连接 */
char text_frame_pcnet[] = "\xcd\xf8\xc2\xe7\xc1\xac\xbd\xd3"; /* 网络连接 */
char text_frame_config[] = "\xc4\xa3\xbf\xe9\xc9\xe8\xd6\xc3\xb9\xdc\xc0\xed"; /* 模块设置管理 */
char text_button_read[] = "\xb6\xc1\xc8\xa1\xc9\xe8\xd6\xc3"; /* 读取设置 */
char text_button_save[] = "\xb1\xa3\xb4\xe6\xc3\xfc\xc1\xee"; /* 保存命令 */
char text_cmd_filename[] = "\xce\xc4\xbc\xfe\xc3\xfb:"; /* 文件名: */
char text_auto_config[] = "\xc1\xac\xbd\xd3\xca\xb1\xd7\xd4\xb6\xaf\xc9\xe8\xd6\xc3"; /* 连接时自动设置 */
char text_button_file_config[] = "\xca\xb9\xd3\xc3\xc3\xfc\xc1\xee\xce\xc4\xbc\xfe\xc9\xe8\xd6\xc3"; /* 使用命令文件设置 */
char text_notebook_management[] = "\xc4\xa3\xbf\xe9\xb9\xdc\xc0\xed"; /* 模块管理 */
char text_notebook_comm[] = "\xcd\xa8\xd1\xb6\xc9\xe8\xd6\xc3"; /* 通讯设置 */
char text_notebook_ap[] = "AP\xc4\xa3\xca\xbd\xc9\xe8\xd6\xc3"; /* AP模式设置 */
char text_notebook_sta[] = "STA\xc4\xa3\xca\xbd\xc9\xe8\xd6\xc3"; /* STA模式设置 */
char text_frame_wifimode[] = "WIFI\xc4\xa3\xca\xbd\xd1\xa1\xd4\xf1"; /* WIFI模式选择 */
char text_radio_apmode[] = "AP \xc4\xa3\xca\xbd"; /* AP 模式 */
char text_radio_stamode[] = "STA \xc4\xa3\xca\xbd"; /* STA 模式 */
char text_frame_workmode[] = "\xb9\xa4\xd7\xf7\xc4\xa3\xca\xbd\xd1\xa1\xd4\xf1"; /* 工作模式选择 */
char text_radio_thmode[] = "\xcd\xb8\xc3\xf7\xb4\xab\xca\xe4\xc4\xa3\xca\xbd"; /* 透明传输模式 */
char text_radio_agmode[] = "\xd0\xad\xd2\xe9\xb4\xab\xca\xe4\xc4\xa3\xca\xbd"; /* 协议传输模式 */
char text_frame_user[] = "\xd3\xc3\xbb\xa7\xb9\xdc\xc0\xed"; /* 用户管理 */
char text_user_name[] = "\xd3\xc3\xbb\xa7\xc3\xfb"; /* 用户名 */
char text_password[] = "\xc3\xdc\xc2\xeb"; /* 密码 */
char text_frame_management[] = "\xc4\xa3\xbf\xe9\xb9\xdc\xc0\xed"; /* 模块管理 */
char text_MID[] = "\xc4\xa3\xbf\xe9MID"; /* 模块MID */
char text_button_reboot[] = "\xd6\xd8\xc6\xf4\xc4\xa3\xbf\xe9"; /* 重启模块 */
char text_button_reload[] = "\xbb\xd6\xb8\xb4\xb3\xf6\xb3\xa7\xc9\xe8\xd6\xc3"; /* 恢复出厂设置 */
char text_label_d40[] = "KX-D40\xc4\xa3\xbf\xe9"; /* KX-D40模块 */
char text_label_ver[] = "\xc8\xed\xbc\xfe\xb0\xe6\xb1\xbe: "; /* 软件版本:  */
char text_label_company[] = ""; /*  */
char text_button_confirm[] = "\xc8\xb7\xc8\xcf"; /* 确认 */
char text_button_cancel[] = "\xc8\xa1\xcf\xfb"; /* 取消 */
char text_frame_modserial[] = "\xc4\xa3\xbf\xe9\xb4\xae\xbf\xda\xc9\xe8\xd6\xc3"; /* 模块串口设置 */
char text_serial_baud[] = "\xb2\xa8\xcc\xd8\xc2\xca"; /* 波特率 */
char text_serial_data[] = "\xd7\xd6\xbd\xda\xca\xfd"; /* 字节数 */
char text_serial_parity[] = "\xbc\xec\xd1\xe9\xce\xbb"; /* 检验位 */
char text_serial_stop[] = "\xcd\xa3\xd6\xb9\xce\xbb"; /* 停止位 */
char text_frame_autofram[] = "\xb4\xae\xbf\xda\xd7\xd4\xb6\xaf\xb3\xc9\xd6\xa1\xc9\xe8\xd6\xc3"; /* 串口自动成帧设置 */
char text_auto_frame[] = "\xd7\xd4\xb6\xaf\xb3\xc9\xd6\xa1"; /* 自动成帧 */
char text_auto_frame_time[] = "\xb3\xc9\xd6\xa1\xca\xb1\xbc\xe4(100~10000)(ms)"; /* 成帧时间(100~10000)(ms) */
char text_auto_frame_length[] = "\xb3\xc9\xd6\xa1\xb3\xa4\xb6\xc8(16~4096)(Byte)"; /* 成帧长度(16~4096)(Byte) */
char text_frame_network[] = "\xcd\xf8\xc2\xe7\xb2\xce\xca\xfd\xc9\xe8\xd6\xc3"; /* 网络参数设置 */
char text_net_mode[] = "\xcd\xf8\xc2\xe7\xc4\xa3\xca\xbd"; /* 网络模式 */
char text_net_protocol[] = "\xcd\xf8\xc2\xe7\xd0\xad\xd2\xe9"; /* 网络协议 */
char text_net_port[] = "\xd0\xad\xd2\xe9\xb6\xcb\xbf\xda"; /* 协议端口 */
char text_net_server_add[] = "\xb7\xfe\xce\xf1\xc6\xf7\xb5\xd8\xd6\xb7"; /* 服务器地址 */
char text_net_tcp_to[] = "TCP\xc1\xac\xbd\xd3\xb3\xac\xca\xb1(<600\xc3\xeb)"; /* TCP连接超时(<600秒) */
char text_net_maxsk[] = "TCP\xd7\xee\xb4\xf3\xc1\xac\xbd\xd3\xca\xfd(1~32)"; /* TCP最大连接数(1~32) */
char text_frame_wifiap[] = "\xce\xde\xcf\xdf\xb2\xce\xca\xfd"; /* 无线参数 */
char text_wifiap_mode[] = "\xce\xde\xcf\xdf\xcd\xf8\xc2\xe7\xc4\xa3\xca\xbd"; /* 无线网络模式 */
char text_wifiap_ssid[] = "\xcd\xf8\xc2\xe7\xc3\xfb\xb3\xc6"; /* 网络名称 */
char text_wifiap_channel[] = "\xce\xde\xcf\xdf\xd0\xc5\xb5\xc0"; /* 无线信道 */
char text_wifiap_auth[] = "\xbc\xd3\xc3\xdc\xb7\xbd\xca\xbd"; /* 加密方式 */
char text_wifiap_encry[] = "\xbc\xd3\xc3\xdc\xcb\xe3\xb7\xa8"; /* 加密算法 */
char text_wifiap_key[] = "\xc3\xdc\xc2\xeb"; /* 密码 */
char text_frame_lan[] = "LAN\xbf\xda\xb2\xce\xca\xfd\xc9\xe8\xd6\xc3"; /* LAN口参数设置 */
char text_wifiap_dhcp[] = "DHCP\xb7\xfe\xce\xf1\xc6\xf7"; /* DHCP服务器 */
char text_wifiap_ip[] = "IP\xb5\xd8\xd6\xb7"; /* IP地址 */
char text_wifiap_mask[] = "\xd7\xd3\xcd\xf8\xd1\xda\xc2\xeb"; /* 子网掩码 */
char text_wifiap_gateway[] = "\xcd\xf8\xb9\xd8IP"; /* 网关IP */
char text_frame_wifista[] = "\xce\xde\xcf\xdf\xb2\xce\xca\xfd"; /* 无线参数 */
char text_wifista_ssid[] = "\xcd\xf8\xc2\xe7\xc3\xfb\xb3\xc6"; /* 网络名称 */
char text_wifista_mac[] = "MAC\xb5\xd8\xd6\xb7"; /* MAC地址 */
char text_wifista_auth[] = "\xbc\xd3\xc3\xdc\xb7\xbd\xca\xbd"; /* 加密方式 */
char text_wifista_encry[] = "\xbc\xd3\xc3\xdc\xcb\xe3\xb7\xa8"; /* 加密算法 */
char text_wifista_key[] = "\xc3\xdc\xc2\xeb"; /* 密码 */
char text_frame_wan[] = "WAN\xbf\xda\xb2\xce\xca\xfd\xc9\xe8\xd6\xc3"; /* WAN口参数设置 */
char text_wan_dhcp[] = "\xb6\xaf\xcc\xac\xb5\xd8\xd6\xb7\xb7\xd6\xc5\xe4"; /* 动态地址分配 */
char text_wan_static[] = "\xbe\xb2\xcc\xac\xb5\xd8\xd6\xb7\xb7\xd6\xc5\xe4"; /* 静态地址分配 */
char text_wan_ip[] = "IP\xb5\xd8\xd6\xb7"; /* IP地址 */
char text_wan_mask[] = "\xd7\xd3\xcd\xf8\xd1\xda\xc2\xeb"; /* 子网掩码 */
char text_wan_gateway[] = "\xcd\xf8\xb9\xd8IP"; /* 网关IP */
/* clang-format on */

namespace {

const char text_domain[] = "kxd40-tool";

} // namespace

char* source_text(const char* c) { return g_convert(c, -1, "UTF-8", "GB18030", nullptr, nullptr, nullptr); }

char* _(const char* c)
{
    gchar* utf8 = source_text(c);
    /* The empty msgid is the catalogue's header, never a text. */
    if (utf8 == nullptr || utf8[0] == '\0')
        return utf8;
    const char* shown = dgettext(text_domain, utf8);
    if (shown == utf8)
        return utf8;
    gchar* translated = g_strdup(shown);
    g_free(utf8);
    return translated;
}

std::string catalogue_dir()
{
    gchar_ptr program(g_file_read_link("/proc/self/exe", nullptr));
    if (program.get() != nullptr) {
        gchar_ptr here(g_path_get_dirname(program.get()));
        for (const char* relative : {"locale", KX_LOCALE_FROM_PROGRAM}) {
            gchar_ptr dir(g_build_filename(here.get(), relative, nullptr));
            if (g_file_test(dir.get(), G_FILE_TEST_IS_DIR))
                return dir.text();
        }
    }
    return KX_LOCALEDIR;
}

void use_catalogues(const std::string& dir)
{
    bindtextdomain(text_domain, dir.c_str());
    /* The msgids are UTF-8 and so are GTK's texts, whatever the locale's
     * own character set. */
    bind_textdomain_codeset(text_domain, "UTF-8");
    /* Not made the default domain (textdomain): GLib stops translating
     * GTK's own texts (an entry's menu) where the default domain has no
     * catalogue for the user's language, as ours has none for Chinese.
     * _() names its domain. */
}

std::string label_text(const char* gb_fixed, const char* value)
{
    gchar_ptr fixed(_(gb_fixed));
    return fixed.text() + utf8_for_display(value);
}

namespace {

void set_font(GtkWidget* widget, const char* font)
{
    PangoFontDescription* desc = pango_font_description_from_string(font);
    gtk_widget_modify_font(widget, desc);
    pango_font_description_free(desc);
}

} // namespace

void set_widget_font(GtkWidget* widget) { set_font(widget, "Sans, 10"); }
void set_widget_font_sb(GtkWidget* widget) { set_font(widget, "Sans, Bold 10"); }
void set_widget_font_b(GtkWidget* widget) { set_font(widget, "Sans, Bold 12"); }
