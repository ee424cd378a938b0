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
#include "desired.h"
#include "edit_rules.h"
#include "enums.h"
#include "module.h"
#include "report.h"

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

ordered_json management(const _MOD_MANA_STRUCT& r)
{
    return ordered_json{{"wifi_mode", text_of(wifimode_table, r.wmode)},
                        {"work_mode", text_of(workmode_table, r.tmode)},
                        {"web_user", shown(r.user)},
                        {"web_password", shown(r.pswd)},
                        {"mid", shown(r.mid)},
                        {"version", shown(r.mver)}};
}

ordered_json communication(const _MOD_COMM_STRUCT& r)
{
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
                        {"server", r.bip == 1 ? dotted(r.ipadd) : shown(r.hostname)},
                        {"max_sockets", r.maxsk},
                        {"tcp_timeout", r.TCPto}};
}

ordered_json access_point(const _MOD_AP_STRUCT& r)
{
    return ordered_json{{"standard", text_of(apstd_table, r.mode)},
                        {"ssid", shown(r.SSID)},
                        {"channel", text_of(apch_table, r.channel)},
                        {"auth", text_of(auth_table, r.enc_auth)},
                        {"encryption", text_of(encry_table, r.enc_encry)},
                        {"key", r.enc_encry == ENC_NONE ? "" : shown(r.password)},
                        {"ip", dotted(r.ipadd)},
                        {"mask", dotted(r.ipmask)},
                        {"dhcp_gateway", dotted(r.dhcpgw)}};
}

ordered_json station(const _MOD_STA_STRUCT& r)
{
    return ordered_json{{"ssid", shown(r.SSID)},
                        {"auth", text_of(auth_table, r.enc_auth)},
                        {"encryption", text_of(encry_table, r.enc_encry)},
                        {"key", r.enc_encry == ENC_NONE ? "" : shown(r.password)},
                        {"address", text_of(dhcp_table, r.bDHCP)},
                        {"ip", dotted(r.ipadd)},
                        {"mask", dotted(r.ipmask)},
                        {"gateway", dotted(r.dhcpgw)}};
}

/* Every setting command, in the order of the window's pages; MID and VER
 * have none, since they are the module's own. Each is read back by the
 * query of the same name. */
const char* const settings[] = {"WMODE", "TMODE", "WEBU",  "UART",   "UARTF", "UARTFT",
                                "UARTFL", "NETP", "TCPTO", "MAXSK",  "WAP",   "WAKEY",
                                "LANN",  "DHCPGW", "WSSSID", "WSKEY", "WANN"};

bool answered(const std::string& name, const std::string& unanswered)
{
    std::string query = "AT+" + name;
    size_t at = 0;
    while ((at = unanswered.find(query, at)) != std::string::npos) {
        size_t end = at + query.size();
        bool whole = (at == 0 || unanswered[at - 1] == ' ') && (end == unanswered.size() || unanswered[end] == ' ');
        if (whole)
            return false;
        at = end;
    }
    return true;
}

std::string rendered(command_tables& t)
{
    char line[CMD_TEXT_MAX];
    for (int type = CMDTYPE_MOD; type <= CMDTYPE_STA; ++type) {
        int* count = nullptr;
        STRCOMMAND* rows = command_rows(t, type, &count);
        if (*count > 0) {
            render_command(rows[0], line, sizeof line);
            return line;
        }
    }
    return std::string();
}

} // namespace

ordered_json pages_json(const module_pages& p)
{
    return ordered_json{{"management", management(p.mana)},
                        {"communication", communication(p.comm)},
                        {"ap", access_point(p.ap)},
                        {"sta", station(p.sta)}};
}

std::string field_text(const std::string& page, const std::string& field, const ordered_json& v, bool show_secrets)
{
    std::string text = v.is_string() ? v.get<std::string>() : v.dump();
    if (!show_secrets && !text.empty() && secret_field(page + "." + field))
        text = "********";
    return text;
}

std::string records_text(const module_ref& m, const ordered_json& pages, bool show_secrets)
{
    std::ostringstream out;
    out << "module " << m.ip;
    if (!m.id.empty())
        out << " (" << shown(m.id) << ")";
    out << "\n";
    for (const auto& section : pages.items()) {
        out << "  " << section.key() << ":\n";
        for (const auto& field : section.value().items()) {
            out << "    " << field.key() << ": "
                << field_text(section.key(), field.key(), field.value(), show_secrets) << "\n";
        }
    }
    return out.str();
}

std::vector<std::string> clone_commands(const module_pages& p, const std::string& unanswered)
{
    std::vector<std::string> out;
    for (const char* name : settings)
        if (answered(name, unanswered))
            out.push_back(command_from_pages(p, name));
    return out;
}

std::string command_from_pages(const module_pages& p, const std::string& name)
{
    command_tables t;
    if (!build_command(p, t, name.c_str(), nullptr))
        return std::string();
    return rendered(t);
}

} // namespace kxctl
