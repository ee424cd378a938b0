/*
 * sim_settings.cpp - the table of AT settings a simulated module knows.
 *
 * Each row says how a setting's value text is cut into values, which check
 * every value must pass, what must hold across the values, and the factory
 * value. Checks may rewrite a value to the form the module reports back
 * (decimal numbers lose leading zeros), so the stored text is always the
 * joined, checked values.
 */
#include "sim_settings.h"

#include <initializer_list>
#include <vector>

#include "sim_text.h"

namespace kxsim {
namespace {

using field_check = bool (*)(std::string& value);
using record_check = bool (*)(std::vector<std::string>& values, const std::string& previous);
using derived_text = std::string (*)(const identity& unit);

enum class layout {
    list,        // cut at every comma
    whole,       // one value, commas and all
    free_middle, // first and last item are values; everything between is one value
    free_tail,   // cut at the first max_values-1 commas; the last value keeps the rest
};

struct command_rule {
    const char* name;
    bool settable;
    layout shape;
    size_t min_values;
    size_t max_values;
    std::vector<field_check> checks; // one for each value position
    record_check record;             // rule across the values, or null
    const char* factory;
    derived_text derived_factory;    // used instead of factory when not null
};

bool one_of(const std::string& v, std::initializer_list<const char*> choices)
{
    for (const char* c : choices)
        if (v == c)
            return true;
    return false;
}

/* Control bytes never appear in a value the module stores; UTF-8 does. */
bool text_of_length(const std::string& v, size_t lo, size_t hi)
{
    if (v.size() < lo || v.size() > hi)
        return false;
    for (unsigned char c : v)
        if (c < 0x20 || c == 0x7f)
            return false;
    return true;
}

bool decimal_in(std::string& v, long lo, long hi)
{
    long n = 0;
    if (!parse_decimal(v, lo, hi, &n))
        return false;
    v = std::to_string(n);
    return true;
}

bool address(std::string& v)
{
    uint32_t a = 0;
    return parse_ipv4(v, &a);
}

/* Anything made only of digits and dots is meant as an address and must be
 * a valid one; otherwise it is a host name. */
bool address_or_host(std::string& v)
{
    bool numeric = !v.empty();
    for (char c : v) {
        bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!alnum && c != '-' && c != '.')
            return false;
        if (c != '.' && (c < '0' || c > '9'))
            numeric = false;
    }
    if (numeric)
        return address(v);
    return v.size() >= 1 && v.size() <= 99;
}

bool baud(std::string& v)
{
    static const long rates[] = {50,    75,    110,   134,   150,    200,    300,
                                 600,   1200,  1800,  2400,  4800,   9600,   19200,
                                 38400, 57600, 115200, 230400, 345600, 460800};
    long n = 0;
    if (!parse_decimal(v, 0, 460800, &n))
        return false;
    for (long r : rates) {
        if (r == n) {
            v = std::to_string(n);
            return true;
        }
    }
    return false;
}

bool data_bits(std::string& v) { return decimal_in(v, 5, 8); }
bool stop_bits(std::string& v) { return decimal_in(v, 1, 2); }
bool parity(std::string& v) { return one_of(v, {"None", "Odd", "Even", "Mark", "Space"}); }
bool flow(std::string& v) { return one_of(v, {"FC", "NFC"}); }
bool wifi_mode(std::string& v) { return one_of(v, {"AP", "STA"}); }
bool transfer_mode(std::string& v) { return one_of(v, {"Through", "Agreement"}); }
bool web_name(std::string& v) { return text_of_length(v, 1, 15); }
bool on_off(std::string& v) { return one_of(v, {"enable", "disable"}); }
bool frame_time(std::string& v) { return decimal_in(v, 100, 10000); }
bool frame_length(std::string& v) { return decimal_in(v, 16, 4096); }
bool protocol(std::string& v) { return one_of(v, {"TCP", "UDP"}); }
bool role(std::string& v) { return one_of(v, {"Server", "Client"}); }
bool port(std::string& v) { return decimal_in(v, 0, 65535); }
bool sockets(std::string& v) { return decimal_in(v, 1, 32); }
bool tcp_timeout(std::string& v) { return decimal_in(v, 0, 600); }
bool wifi_standard(std::string& v) { return one_of(v, {"11B", "11G", "11BG", "11N", "11BGN"}); }
bool ssid(std::string& v) { return text_of_length(v, 1, 32); }
bool key(std::string& v) { return text_of_length(v, 1, 64); }
bool wan_mode(std::string& v) { return one_of(v, {"DHCP", "Static"}); }

bool channel(std::string& v)
{
    if (v == "Auto")
        return true;
    long n = 0;
    return v.compare(0, 2, "CH") == 0 && v.size() > 2 && v[2] != '0' &&
           parse_decimal(v.substr(2), 1, 14, &n);
}

bool authentication(std::string& v)
{
    return one_of(v, {"OPEN", "SHARED", "WPAPSK", "WPA2PSK"});
}

bool encryption(std::string& v)
{
    return one_of(v, {"NONE", "WEP-H", "WEP-A", "TKIP", "AES", "TKIPAES"});
}

/* Only some pairs exist on the radio, and a key comes exactly with a cipher. */
bool key_record(std::vector<std::string>& v, const std::string&)
{
    const std::string& auth = v[0];
    const std::string& enc = v[1];
    bool pair = (auth == "OPEN" && one_of(enc, {"NONE", "WEP-H", "WEP-A"})) ||
                (auth == "SHARED" && one_of(enc, {"WEP-H", "WEP-A"})) ||
                ((auth == "WPAPSK" || auth == "WPA2PSK") && one_of(enc, {"TKIP", "AES", "TKIPAES"}));
    bool wants_key = enc != "NONE";
    return pair && (v.size() == 3) == wants_key;
}

/* Switching to DHCP keeps the static addresses the module last had, since
 * its query always reports all four items. */
bool wan_record(std::vector<std::string>& v, const std::string& previous)
{
    if (v[0] == "Static")
        return v.size() == 4;
    if (v.size() != 1)
        return false;
    std::vector<std::string> old = split(previous, ',');
    v = {"DHCP", old.at(1), old.at(2), old.at(3)};
    return true;
}

std::string module_id(const identity& unit) { return unit.id.substr(0, 15); }

std::string access_point(const identity& unit)
{
    size_t n = unit.mac.size();
    std::string tail = n > 4 ? unit.mac.substr(n - 4) : unit.mac;
    return "11BGN,KXD40_" + tail + ",CH1";
}

const std::vector<command_rule>& rules()
{
    static const std::vector<command_rule> table = {
        {"MID", false, layout::whole, 1, 1, {}, nullptr, "", module_id},
        {"VER", false, layout::whole, 1, 1, {}, nullptr, "V1.0.8", nullptr},
        {"WMODE", true, layout::list, 1, 1, {wifi_mode}, nullptr, "AP", nullptr},
        {"TMODE", true, layout::list, 1, 1, {transfer_mode}, nullptr, "Through", nullptr},
        {"WEBU", true, layout::list, 2, 2, {web_name, web_name}, nullptr, "admin,admin", nullptr},
        {"UART", true, layout::list, 5, 5, {baud, data_bits, stop_bits, parity, flow}, nullptr,
         "115200,8,1,None,NFC", nullptr},
        {"UARTF", true, layout::list, 1, 1, {on_off}, nullptr, "disable", nullptr},
        {"UARTFT", true, layout::list, 1, 1, {frame_time}, nullptr, "100", nullptr},
        {"UARTFL", true, layout::list, 1, 1, {frame_length}, nullptr, "1024", nullptr},
        {"NETP", true, layout::list, 4, 4, {protocol, role, port, address_or_host}, nullptr,
         "TCP,Server,8899,10.10.100.100", nullptr},
        {"MAXSK", true, layout::list, 1, 1, {sockets}, nullptr, "32", nullptr},
        {"TCPTO", true, layout::list, 1, 1, {tcp_timeout}, nullptr, "300", nullptr},
        {"WAP", true, layout::free_middle, 3, 3, {wifi_standard, ssid, channel}, nullptr, "",
         access_point},
        {"WAKEY", true, layout::free_tail, 2, 3, {authentication, encryption, key}, key_record,
         "OPEN,NONE", nullptr},
        {"WSKEY", true, layout::free_tail, 2, 3, {authentication, encryption, key}, key_record,
         "WPA2PSK,AES,12345678", nullptr},
        {"LANN", true, layout::list, 2, 2, {address, address}, nullptr,
         "10.10.100.254,255.255.255.0", nullptr},
        {"DHCPGW", true, layout::list, 1, 1, {address}, nullptr, "10.10.100.254", nullptr},
        {"WSSSID", true, layout::whole, 1, 1, {ssid}, nullptr, "KX-AP", nullptr},
        {"WANN", true, layout::list, 1, 4, {wan_mode, address, address, address}, wan_record,
         "DHCP,0.0.0.0,0.0.0.0,0.0.0.0", nullptr},
    };
    return table;
}

const command_rule* find_rule(const std::string& name)
{
    for (const command_rule& r : rules())
        if (name == r.name)
            return &r;
    return nullptr;
}

std::vector<std::string> cut_values(const command_rule& rule, const std::string& text)
{
    switch (rule.shape) {
    case layout::whole:
        return {text};
    case layout::free_tail:
        return split_head(text, ',', rule.max_values);
    case layout::free_middle: {
        std::vector<std::string> items = split(text, ',');
        if (items.size() <= 3)
            return items;
        std::vector<std::string> middle(items.begin() + 1, items.end() - 1);
        return {items.front(), join(middle, ','), items.back()};
    }
    case layout::list:
        break;
    }
    return split(text, ',');
}

} // namespace

settings::settings(const identity& unit)
{
    for (const command_rule& r : rules())
        factory_[r.name] = r.derived_factory != nullptr ? r.derived_factory(unit) : r.factory;
    current_ = factory_;
}

at_status settings::query(const std::string& name, std::string* value) const
{
    auto it = current_.find(name);
    if (it == current_.end())
        return at_status::refused;
    *value = it->second;
    return at_status::ok;
}

at_status settings::assign(const std::string& name, const std::string& value)
{
    const command_rule* rule = find_rule(name);
    if (rule == nullptr || !rule->settable)
        return at_status::refused;
    std::vector<std::string> values = cut_values(*rule, value);
    if (values.size() < rule->min_values || values.size() > rule->max_values)
        return at_status::bad_value;
    for (size_t i = 0; i < values.size(); ++i)
        if (!rule->checks[i](values[i]))
            return at_status::bad_value;
    std::string& stored = current_[name];
    if (rule->record != nullptr && !rule->record(values, stored))
        return at_status::bad_value;
    stored = join(values, ',');
    return at_status::ok;
}

void settings::restore_factory() { current_ = factory_; }

void settings::set_version(const std::string& version)
{
    factory_["VER"] = version;
    current_["VER"] = version;
}

} // namespace kxsim
