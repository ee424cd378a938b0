/*
 * enums.cpp - the texts of every enumerated module setting.
 */
#include "enums.h"

#include <cstring>

namespace {

const enum_item baudrate_items[] = {
    {"50", "50"}, {"75", "75"}, {"110", "110"}, {"134", "134"}, {"150", "150"},
    {"200", "200"}, {"300", "300"}, {"600", "600"}, {"1200", "1200"}, {"1800", "1800"},
    {"2400", "2400"}, {"4800", "4800"}, {"9600", "9600"}, {"19200", "19200"},
    {"38400", "38400"}, {"57600", "57600"}, {"115200", "115200"}, {"230400", "230400"},
    {"345600", "345600"}, {"460800", "460800"},
};
const enum_item combits_items[] = {{"5", "5"}, {"6", "6"}, {"7", "7"}, {"8", "8"}};
const enum_item stopbits_items[] = {{"1", "1"}, {"2", "2"}};
const enum_item parity_items[] = {
    {"None", "None"}, {"Odd", "Odd"}, {"Even", "Even"}, {"Mark", "Mark"}, {"Space", "Space"},
};
const enum_item flowctrl_items[] = {{"FC", nullptr}, {"NFC", nullptr}};
const enum_item autoframe_items[] = {{"disable", "Disable"}, {"enable", "Enable"}};
const enum_item wifimode_items[] = {{"AP", nullptr}, {"STA", nullptr}};
const enum_item workmode_items[] = {{"Through", nullptr}, {"Agreement", nullptr}};
const enum_item netmode_items[] = {{"Server", "Server"}, {"Client", "Client"}};
const enum_item netprot_items[] = {{"TCP", "TCP"}, {"UDP", "UDP"}};
const enum_item apstd_items[] = {
    {"11B", "802.11B Only"}, {"11G", "802.11G Only"}, {"11BG", "802.11BG"},
    {"11N", "802.11N Only"}, {"11BGN", "802.11BGN"},
};
const enum_item apch_items[] = {
    {"Auto", "Auto"}, {"CH1", "Channel 1"}, {"CH2", "Channel 2"}, {"CH3", "Channel 3"},
    {"CH4", "Channel 4"}, {"CH5", "Channel 5"}, {"CH6", "Channel 6"}, {"CH7", "Channel 7"},
    {"CH8", "Channel 8"}, {"CH9", "Channel 9"}, {"CH10", "Channel 10"},
    {"CH11", "Channel 11"}, {"CH12", "Channel 12"}, {"CH13", "Channel 13"},
    {"CH14", "Channel 14"},
};
const enum_item auth_items[] = {
    {"OPEN", "OPEN"}, {"SHARED", "SHARED"}, {"WPAPSK", "WPAPSK"}, {"WPA2PSK", "WPA2PSK"},
};
const enum_item encry_items[] = {
    {"NONE", "NONE"}, {"WEP-H", "WEP-HEX"}, {"WEP-A", "WEP-ASCII"},
    {"TKIP", "TKIP"}, {"AES", "AES"}, {"TKIPAES", "TKIPAES"},
};
const enum_item dhcp_items[] = {{"DHCP", "Enable"}, {"Static", "Disable"}};

template <int N>
constexpr enum_table table_of(const enum_item (&items)[N])
{
    return enum_table{items, N};
}

} // namespace

const enum_table baudrate_table = table_of(baudrate_items);
const enum_table combits_table = table_of(combits_items);
const enum_table stopbits_table = table_of(stopbits_items);
const enum_table parity_table = table_of(parity_items);
const enum_table flowctrl_table = table_of(flowctrl_items);
const enum_table autoframe_table = table_of(autoframe_items);
const enum_table wifimode_table = table_of(wifimode_items);
const enum_table workmode_table = table_of(workmode_items);
const enum_table netmode_table = table_of(netmode_items);
const enum_table netprot_table = table_of(netprot_items);
const enum_table apstd_table = table_of(apstd_items);
const enum_table apch_table = table_of(apch_items);
const enum_table auth_table = table_of(auth_items);
const enum_table encry_table = table_of(encry_items);
const enum_table dhcp_table = table_of(dhcp_items);

int enum_by_module_text(const enum_table& t, const char* text, int fallback)
{
    for (int i = 0; text != nullptr && i < t.count; ++i)
        if (std::strcmp(t.items[i].module_text, text) == 0)
            return i;
    return fallback;
}

int enum_by_combo_text(const enum_table& t, const char* text, int fallback)
{
    for (int i = 0; text != nullptr && i < t.count; ++i)
        if (t.items[i].combo_text != nullptr && std::strcmp(t.items[i].combo_text, text) == 0)
            return i;
    return fallback;
}

const char* enum_module_text(const enum_table& t, int value, const char* fallback)
{
    return value >= 0 && value < t.count ? t.items[value].module_text : fallback;
}

const char* enum_combo_text(const enum_table& t, int value)
{
    return value >= 0 && value < t.count ? t.items[value].combo_text : nullptr;
}
