/*
 * setting_values.cpp - settings as values: the fields each command sets,
 * setting lines read with the reply readers, and values compared.
 */
#include "setting_values.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "command.h"
#include "netio.h"

namespace {

const std::vector<setting_field> fields = {
    {"management", "wifi_mode", "WMODE", 0, field_kind::text},
    {"management", "work_mode", "TMODE", 0, field_kind::text},
    {"management", "web_user", "WEBU", 0, field_kind::text},
    {"management", "web_password", "WEBU", 1, field_kind::text},
    {"communication", "baud", "UART", 0, field_kind::number},
    {"communication", "data_bits", "UART", 1, field_kind::number},
    {"communication", "stop_bits", "UART", 2, field_kind::number},
    {"communication", "parity", "UART", 3, field_kind::text},
    {"communication", "flow_control", "UART", 4, field_kind::text},
    {"communication", "auto_frame", "UARTF", 0, field_kind::text},
    {"communication", "auto_frame_time", "UARTFT", 0, field_kind::number},
    {"communication", "auto_frame_length", "UARTFL", 0, field_kind::number},
    {"communication", "protocol", "NETP", 0, field_kind::text},
    {"communication", "role", "NETP", 1, field_kind::text},
    {"communication", "port", "NETP", 2, field_kind::number},
    {"communication", "server", "NETP", 3, field_kind::host},
    {"communication", "max_sockets", "MAXSK", 0, field_kind::number},
    {"communication", "tcp_timeout", "TCPTO", 0, field_kind::number},
    {"ap", "standard", "WAP", 0, field_kind::text},
    {"ap", "ssid", "WAP", 1, field_kind::text},
    {"ap", "channel", "WAP", 2, field_kind::text},
    {"ap", "auth", "WAKEY", 0, field_kind::text},
    {"ap", "encryption", "WAKEY", 1, field_kind::text},
    {"ap", "key", "WAKEY", 2, field_kind::text},
    {"ap", "ip", "LANN", 0, field_kind::address},
    {"ap", "mask", "LANN", 1, field_kind::address},
    {"ap", "dhcp_gateway", "DHCPGW", 0, field_kind::address},
    {"sta", "ssid", "WSSSID", 0, field_kind::text},
    {"sta", "auth", "WSKEY", 0, field_kind::text},
    {"sta", "encryption", "WSKEY", 1, field_kind::text},
    {"sta", "key", "WSKEY", 2, field_kind::text},
    {"sta", "address", "WANN", 0, field_kind::text},
    {"sta", "ip", "WANN", 1, field_kind::address},
    {"sta", "mask", "WANN", 2, field_kind::address},
    {"sta", "gateway", "WANN", 3, field_kind::address},
};

std::vector<std::string> split_items(const std::string& value)
{
    std::vector<std::string> out;
    size_t start = 0;
    for (;;) {
        size_t comma = value.find(',', start);
        out.push_back(value.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos)
            return out;
        start = comma + 1;
    }
}

std::string joined(const std::vector<std::string>& items)
{
    std::string out;
    for (size_t i = 0; i < items.size(); ++i)
        out += (i > 0 ? "," : "") + items[i];
    return out;
}

std::string upper(std::string t)
{
    for (char& c : t)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return t;
}

bool decimal(const std::string& t, long long* v)
{
    if (t.empty() || t.size() > 18 || t.find_first_not_of("0123456789") != std::string::npos)
        return false;
    *v = std::strtoll(t.c_str(), nullptr, 10);
    return true;
}

} // namespace

const std::vector<setting_field>& setting_fields() { return fields; }

const setting_field* find_setting_field(const std::string& section, const std::string& name)
{
    for (const setting_field& f : fields)
        if (section == f.section && name == f.name)
            return &f;
    return nullptr;
}

const setting_field* field_of_item(const std::string& command, int item)
{
    for (const setting_field& f : fields)
        if (command == f.command && item == f.item)
            return &f;
    return nullptr;
}

std::string field_path(const setting_field& f) { return std::string(f.section) + "." + f.name; }

const std::vector<std::string>& setting_commands()
{
    static const std::vector<std::string> names = [] {
        std::vector<std::string> out;
        for (const setting_field& f : fields)
            if (out.empty() || out.back() != f.command)
                out.emplace_back(f.command);
        return out;
    }();
    return names;
}

std::string setting_line(const std::string& name, const std::vector<std::string>& items)
{
    return "AT+" + name + "=" + joined(items);
}

std::vector<std::string> setting_values(const module_pages& p, const std::string& name, bool full)
{
    /* The builders write from the edited records. */
    module_pages edited = p;
    for (int type = CMDTYPE_MOD; type <= CMDTYPE_STA; ++type)
        drop_page_edits(edited, type);
    return command_values(edited, name.c_str(), full);
}

bool split_setting_line(const std::string& line, std::string* name, std::vector<std::string>* items)
{
    size_t eq = line.find('=');
    if (line.size() < 3 || eq == std::string::npos || upper(line.substr(0, 3)) != "AT+")
        return false;
    size_t name_end = line.find_last_not_of(' ', eq - 1) + 1;
    *name = upper(line.substr(3, name_end > 3 ? name_end - 3 : 0));
    const std::vector<std::string>& known = setting_commands();
    if (std::find(known.begin(), known.end(), *name) == known.end())
        return false;
    /* Blanks after "=" belong to the value (an SSID may begin with one)
     * unless a blank stands before it too, as in "NAME = value". */
    size_t value_start = name_end < eq ? line.find_first_not_of(' ', eq + 1) : eq + 1;
    std::string value = value_start == std::string::npos ? "" : line.substr(value_start);
    module_pages any{};
    if (setting_values(any, *name, true).size() == 1)
        *items = {value};
    else
        *items = split_items(value);
    return true;
}

bool take_setting(module_pages& p, const std::string& name, const std::vector<std::string>& items)
{
    module_pages taken = p;
    if (!read_setting_value(taken, name.c_str(), joined(items).c_str()))
        return false;
    std::vector<std::string> full = setting_values(taken, name, true);
    std::vector<std::string> sent = setting_values(taken, name, false);
    if (items.size() > full.size() || items.size() < sent.size())
        return false;
    for (size_t i = 0; i < items.size(); ++i)
        if (!same_setting_value(name, i, items[i], full[i]))
            return false;
    p = taken;
    return true;
}

bool same_setting_value(const std::string& command, size_t item, const std::string& a, const std::string& b)
{
    if (a == b)
        return true;
    const setting_field* f = field_of_item(command, static_cast<int>(item));
    field_kind kind = f != nullptr ? f->kind : field_kind::text;
    long long x = 0, y = 0;
    if (kind == field_kind::number)
        return decimal(a, &x) && decimal(b, &y) && x == y;
    unsigned char ax[4], bx[4];
    if (kind == field_kind::address || kind == field_kind::host)
        return parse_dotted_ipv4(a.c_str(), ax) == 1 && parse_dotted_ipv4(b.c_str(), bx) == 1 &&
               std::memcmp(ax, bx, 4) == 0;
    return false;
}

bool names_another_module(const std::string& ssid, const std::string& own_mac)
{
    static const std::string prefix = "KXD40_";
    if (ssid.size() != prefix.size() + 4 || ssid.compare(0, prefix.size(), prefix) != 0)
        return false;
    for (size_t i = prefix.size(); i < ssid.size(); ++i)
        if (!std::isxdigit(static_cast<unsigned char>(ssid[i])))
            return false;
    size_t n = own_mac.size();
    std::string own_tail = n >= 4 ? own_mac.substr(n - 4) : own_mac;
    for (size_t i = 0; i < 4; ++i)
        if (i >= own_tail.size() || std::toupper(static_cast<unsigned char>(ssid[prefix.size() + i])) !=
                                        std::toupper(static_cast<unsigned char>(own_tail[i])))
            return true;
    return false;
}
