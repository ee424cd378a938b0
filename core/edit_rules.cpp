/*
 * edit_rules.cpp - numbers, ranges, item codes and dependent-widget rules
 * of the page edits.
 */
#include "edit_rules.h"

#include <climits>
#include <cstdio>
#include <cstring>

#include "command.h"
#include "enums.h"
#include "strutil.h"

int decimal_like_atoi(const char* text)
{
    const char* p = text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        ++p;
    bool negative = *p == '-';
    if (*p == '-' || *p == '+')
        ++p;
    long long v = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
        if (v <= INT_MAX)
            v = v * 10 + (*p - '0');
    if (negative)
        v = -v;
    return v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : static_cast<int>(v);
}

bool correct_into_range(int* value, int low, int high)
{
    if (*value < low) {
        *value = low;
        return true;
    }
    if (*value > high) {
        *value = high;
        return true;
    }
    return false;
}

namespace {

void convert(const enum_table& t, const char* text, char* ret, int other)
{
    *ret = static_cast<char>(enum_by_combo_text(t, text, other));
}

} // namespace

void struct_com_baud_set(const char* text, char* ret) { convert(baudrate_table, text, ret, BAUDRATE_57600); }
void struct_com_data_set(const char* text, char* ret) { convert(combits_table, text, ret, COMBITS_8); }
void struct_com_parity_set(const char* text, char* ret) { convert(parity_table, text, ret, COMPARITY_NONE); }
void struct_ap_channel_set(const char* text, char* ret) { convert(apch_table, text, ret, APCH_AUTO); }
void struct_ap_auth_set(const char* text, char* ret) { convert(auth_table, text, ret, WIFIAUTH_OPEN); }

int stop_bits_code(const char* text, int) { return enum_by_combo_text(stopbits_table, text, COMSTOPBITS_1); }
int auto_frame_code(const char* text, int) { return enum_by_combo_text(autoframe_table, text, COMAF_DIS); }
int net_mode_code(const char* text, int) { return enum_by_combo_text(netmode_table, text, NETMODE_SERVER); }
int net_prot_code(const char* text, int) { return enum_by_combo_text(netprot_table, text, NETPROT_TCP); }
int ap_standard_code(const char* text, int) { return enum_by_combo_text(apstd_table, text, APSTD_11BGN); }
int encryption_code(const char* text, int current) { return enum_by_combo_text(encry_table, text, current); }
int ap_dhcp_code(const char* text, int) { return enum_by_combo_text(dhcp_table, text, DHCP_DISABLE); }

bool server_address_wanted(int mode, int protocol)
{
    return !(mode == NETMODE_SERVER && protocol == NETPROT_TCP);
}

int encryption_list_of(int auth)
{
    return auth == WIFIAUTH_OPEN ? ENCLIST_OPEN : auth == WIFIAUTH_SHARED ? ENCLIST_SHARED : ENCLIST_WPAPSK;
}

void dotted_text(const unsigned char* ip, char* out)
{
    format_text(out, 16, "%d.%d.%d.%d", ip[0], ip[1], ip[2], ip[3]);
}

bool entry_unchanged(bool equals_current, const char* cmd, int type)
{
    return equals_current && find_cmd(cmd, type) < 0;
}

bool text_fits(const char* text, size_t cap)
{
    if (fits_field(text, cap))
        return true;
    std::printf("Too long for this setting: %s\n", text);
    return false;
}

bool text_value_acceptable(const char* text, size_t cap)
{
    if (std::strchr(text, ',') != nullptr) {
        std::printf("Comma not allowed in this setting: %s\n", text);
        return false;
    }
    return text_fits(text, cap);
}
