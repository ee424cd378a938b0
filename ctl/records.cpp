/*
 * records.cpp - the four records of the module read last, as JSON with
 * named fields, as text, and as the setting commands that give another
 * module the same settings.
 *
 * Values are written with the module's own texts from the core's
 * enumeration tables, and the commands come from the core's builders, so
 * the output says exactly what the window would show and send.
 */
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "command.h"
#include "ctl.h"
#include "edit_rules.h"
#include "enums.h"
#include "module.h"

namespace kxctl {
namespace {

std::string text_of(const enum_table& t, int value) { return enum_module_text(t, value, "?"); }

/* A number the module writes as a decimal enumeration text (baud rate,
 * bits). */
ordered_json number_of(const enum_table& t, int value)
{
    const char* text = enum_module_text(t, value, nullptr);
    if (text == nullptr)
        return nullptr;
    return std::atoi(text);
}

std::string dotted(const unsigned char* a)
{
    char text[16];
    dotted_text(a, text);
    return text;
}

ordered_json management()
{
    const _MOD_MANA_STRUCT& r = strMODMana;
    return ordered_json{{"wifi_mode", text_of(wifimode_table, r.wmode)},
                        {"work_mode", text_of(workmode_table, r.tmode)},
                        {"web_user", r.user},
                        {"web_password", r.pswd},
                        {"mid", r.mid},
                        {"version", r.mver}};
}

ordered_json communication()
{
    const _MOD_COMM_STRUCT& r = strMODComm;
    return ordered_json{{"baud", number_of(baudrate_table, r.baud)},
                        {"data_bits", number_of(combits_table, r.data_bits)},
                        {"stop_bits", number_of(stopbits_table, r.stop_bits)},
                        {"parity", text_of(parity_table, r.parity)},
                        {"flow_control", text_of(flowctrl_table, r.fc)},
                        {"auto_frame", text_of(autoframe_table, r.bAF)},
                        {"auto_frame_time", r.AFT},
                        {"auto_frame_length", r.AFL},
                        {"protocol", text_of(netprot_table, r.protocol)},
                        {"role", text_of(netmode_table, r.mode)},
                        {"port", r.port},
                        {"server", r.bip == 1 ? dotted(r.ipadd) : std::string(r.hostname)},
                        {"max_sockets", r.maxsk},
                        {"tcp_timeout", r.TCPto}};
}

ordered_json access_point()
{
    const _MOD_AP_STRUCT& r = strMODAP;
    return ordered_json{{"standard", text_of(apstd_table, r.mode)},
                        {"ssid", r.SSID},
                        {"channel", text_of(apch_table, r.channel)},
                        {"auth", text_of(auth_table, r.enc_auth)},
                        {"encryption", text_of(encry_table, r.enc_encry)},
                        {"key", r.enc_encry == ENC_NONE ? "" : r.password},
                        {"ip", dotted(r.ipadd)},
                        {"mask", dotted(r.ipmask)},
                        {"dhcp_gateway", dotted(r.dhcpgw)}};
}

ordered_json station()
{
    const _MOD_STA_STRUCT& r = strMODSTA;
    return ordered_json{{"ssid", r.SSID},
                        {"auth", text_of(auth_table, r.enc_auth)},
                        {"encryption", text_of(encry_table, r.enc_encry)},
                        {"key", r.enc_encry == ENC_NONE ? "" : r.password},
                        {"address", text_of(dhcp_table, r.bDHCP)},
                        {"ip", dotted(r.ipadd)},
                        {"mask", dotted(r.ipmask)},
                        {"gateway", dotted(r.dhcpgw)}};
}

/* Every builder, in the order of the window's pages; MID and VER have
 * none, since they are the module's own. */
struct builder {
    const char* name;
    void (*build)(const char* item);
};
const builder builders[] = {
    {"WMODE", generate_cmd_wmode}, {"TMODE", generate_cmd_tmode},   {"WEBU", generate_cmd_webu},
    {"UART", generate_cmd_uart},   {"UARTF", generate_cmd_uartf},   {"UARTFT", generate_cmd_uartft},
    {"UARTFL", generate_cmd_uartfl}, {"NETP", generate_cmd_netp},   {"TCPTO", generate_cmd_tcpto},
    {"MAXSK", generate_cmd_maxsk}, {"WAP", generate_cmd_wap},       {"WAKEY", generate_cmd_wakey},
    {"LANN", generate_cmd_lann},   {"DHCPGW", generate_cmd_dhcpgw}, {"WSSSID", generate_cmd_wsssid},
    {"WSKEY", generate_cmd_wskey}, {"WANN", generate_cmd_wann},
};

std::vector<std::string> rendered_tables()
{
    std::vector<std::string> out;
    char line[CMD_TEXT_MAX];
    for (int type = CMDTYPE_MOD; type <= CMDTYPE_STA; ++type) {
        int* count = nullptr;
        STRCOMMAND* rows = command_rows(type, &count);
        for (int i = 0; i < *count; ++i) {
            render_command(rows[i], line, sizeof line);
            out.emplace_back(line);
        }
    }
    return out;
}

} // namespace

ordered_json records_json(const module_ref& m)
{
    ordered_json j{{"ip", m.ip}};
    if (!m.id.empty())
        j["id"] = m.id;
    j["management"] = management();
    j["communication"] = communication();
    j["ap"] = access_point();
    j["sta"] = station();
    return j;
}

std::string records_text(const ordered_json& j)
{
    std::ostringstream out;
    out << "module " << j.value("ip", "");
    if (j.contains("id"))
        out << " (" << j["id"].get<std::string>() << ")";
    out << "\n";
    for (const auto& section : j.items()) {
        if (!section.value().is_object())
            continue;
        out << "  " << section.key() << ":\n";
        for (const auto& field : section.value().items()) {
            const ordered_json& v = field.value();
            out << "    " << field.key() << ": " << (v.is_string() ? v.get<std::string>() : v.dump())
                << "\n";
        }
    }
    return out.str();
}

std::vector<std::string> clone_commands()
{
    drop_pending_commands();
    for (const builder& b : builders)
        b.build(nullptr);
    std::vector<std::string> out = rendered_tables();
    drop_pending_commands();
    return out;
}

std::string command_from_records(const std::string& name)
{
    for (const builder& b : builders) {
        if (name != b.name)
            continue;
        drop_pending_commands();
        b.build(nullptr);
        std::vector<std::string> out = rendered_tables();
        drop_pending_commands();
        return out.empty() ? std::string() : out.front();
    }
    return std::string();
}

} // namespace kxctl
