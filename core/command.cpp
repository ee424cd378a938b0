/*
 * command.cpp - the command tables, the seventeen builders and the value
 * writers.
 *
 * Every builder follows one pattern, so each is a row of one table: its
 * page, the values it writes (each a field of the edited record and the
 * way to write it), which item names which value, and the two commands
 * whose value count follows the record. build() carries the pattern out.
 */
#include "command.h"

#include <cstddef>
#include <cstdio>
#include <cstring>

#include "enums.h"
#include "link.h"
#include "module.h"
#include "strutil.h"

command_tables window_tables;
STRCOMMAND (&strcommand_mod)[CMD_ROWS] = window_tables.rows[CMDTYPE_MOD];
STRCOMMAND (&strcommand_comm)[CMD_ROWS] = window_tables.rows[CMDTYPE_COMM];
STRCOMMAND (&strcommand_ap)[CMD_ROWS] = window_tables.rows[CMDTYPE_AP];
STRCOMMAND (&strcommand_sta)[CMD_ROWS] = window_tables.rows[CMDTYPE_STA];
int& cmd_num_mod = window_tables.count[CMDTYPE_MOD];
int& cmd_num_comm = window_tables.count[CMDTYPE_COMM];
int& cmd_num_ap = window_tables.count[CMDTYPE_AP];
int& cmd_num_sta = window_tables.count[CMDTYPE_STA];

namespace {

void write_enum(char* ret, const enum_table& t, int value, const char* other)
{
    copy_text(ret, CMD_VALUE_MAX, enum_module_text(t, value, other));
}

void write_decimal(char* ret, int value) { format_text(ret, CMD_VALUE_MAX, "%d", value); }

/* A text value up to its first line break: a command is one line, and a
 * line break from a module's reply must not become a second command in a
 * command file that is replayed into other modules. */
void write_text(char* ret, const char* text) { copy_text_n(ret, CMD_VALUE_MAX, text, std::strcspn(text, "\r\n")); }

} // namespace

void cmd_com_baud_set(char* ret, int value) { write_enum(ret, baudrate_table, value, "57600"); }
void cmd_com_data_set(char* ret, int value) { write_enum(ret, combits_table, value, "8"); }
void cmd_com_stop_set(char* ret, int value) { write_enum(ret, stopbits_table, value, "1"); }
void cmd_com_parity_set(char* ret, int value) { write_enum(ret, parity_table, value, "None"); }
void cmd_com_fc_set(char* ret, int value) { write_enum(ret, flowctrl_table, value, "NFC"); }
void cmd_com_uartf_set(char* ret, int value) { write_enum(ret, autoframe_table, value, "disable"); }
void cmd_net_mode_set(char* ret, int value) { write_enum(ret, netmode_table, value, "Server"); }
void cmd_net_prot_set(char* ret, int value) { write_enum(ret, netprot_table, value, "TCP"); }
void cmd_net_port_set(char* ret, unsigned short port) { write_decimal(ret, port); }
void cmd_net_ip_set(char* ret, const unsigned char* ip)
{
    format_text(ret, CMD_VALUE_MAX, "%d.%d.%d.%d", ip[0], ip[1], ip[2], ip[3]);
}
void cmd_ap_mode_set(char* ret, int value) { write_enum(ret, apstd_table, value, "11BGN"); }
void cmd_ap_ssid_set(char* ret, const char* ssid) { write_text(ret, ssid); }
void cmd_ap_ch_set(char* ret, int value) { write_enum(ret, apch_table, value, "Auto"); }
void cmd_auth_set(char* ret, int value) { write_enum(ret, auth_table, value, "OPEN"); }
/* The encryption always comes from a combo list, so never from outside. */
void cmd_encry_set(char* ret, int value) { write_enum(ret, encry_table, value, "NONE"); }
void cmd_key_set(char* ret, const char* key) { write_text(ret, key); }

namespace {

/* Management texts: anything but 0 is the second one. */
void wifimode_text(char* ret, int value) { write_enum(ret, wifimode_table, value, "STA"); }
void workmode_text(char* ret, int value) { write_enum(ret, workmode_table, value, "Agreement"); }
void dhcp_text(char* ret, int value) { write_enum(ret, dhcp_table, value, "DHCP"); }

/* One value of a command: a field of the edited records (its place in
 * module_pages, so that one table serves every module's pages) and how to
 * write it. */
struct value_spec {
    enum kind_t { ENUM, INT, PORT, ADDRESS, TEXT, SERVER } kind;
    size_t field;
    void (*write_enum)(char* ret, int value);
};

#define FIELD(f) offsetof(module_pages, f)

constexpr value_spec enum_value(size_t field, void (*w)(char*, int)) { return {value_spec::ENUM, field, w}; }
constexpr value_spec int_value(size_t field) { return {value_spec::INT, field, nullptr}; }
constexpr value_spec address(size_t field) { return {value_spec::ADDRESS, field, nullptr}; }
constexpr value_spec text(size_t field) { return {value_spec::TEXT, field, nullptr}; }

template <typename T>
const T* field_of(const module_pages& p, size_t at)
{
    return reinterpret_cast<const T*>(reinterpret_cast<const char*>(&p) + at);
}

void write_value(const module_pages& p, const value_spec& v, char* out)
{
    switch (v.kind) {
    case value_spec::ENUM:
        v.write_enum(out, *field_of<char>(p, v.field));
        break;
    case value_spec::INT:
        write_decimal(out, *field_of<int>(p, v.field));
        break;
    case value_spec::PORT:
        cmd_net_port_set(out, *field_of<unsigned short>(p, v.field));
        break;
    case value_spec::ADDRESS:
        cmd_net_ip_set(out, field_of<unsigned char>(p, v.field));
        break;
    case value_spec::TEXT:
        write_text(out, field_of<char>(p, v.field));
        break;
    case value_spec::SERVER: {
        /* The server is a dotted address or a host name, as bip says. */
        const auto* r = field_of<_MOD_COMM_STRUCT>(p, v.field);
        if (r->bip == 1)
            cmd_net_ip_set(out, r->ipadd);
        else
            write_text(out, r->hostname);
        break;
    }
    }
}

int key_values_ap(const module_pages& p) { return p.ap_up.enc_encry == ENC_NONE ? 2 : 3; }
int key_values_sta(const module_pages& p) { return p.sta_up.enc_encry == ENC_NONE ? 2 : 3; }
int wann_values(const module_pages& p) { return p.sta_up.bDHCP == DHCP_DISABLE ? 4 : 1; }

/* One command: its page, its values and how an item maps onto them. */
struct command_spec {
    const char* name;
    int type;
    value_spec values[5];
    int value_num;              /* fixed count, unless counted */
    int (*counted)(const module_pages&); /* the count follows the record */
    const char* items[4];       /* items[i] rewrites value i; none: all */
    int other_item;             /* value any other item rewrites, or -1 */
    const char* rebuild_item;   /* this item rewrites the whole row */
};

const command_spec commands[] = {
    {"UART", CMDTYPE_COMM,
     {enum_value(FIELD(comm_up.baud), cmd_com_baud_set), enum_value(FIELD(comm_up.data_bits), cmd_com_data_set),
      enum_value(FIELD(comm_up.stop_bits), cmd_com_stop_set), enum_value(FIELD(comm_up.parity), cmd_com_parity_set),
      enum_value(FIELD(comm_up.fc), cmd_com_fc_set)},
     5, nullptr, {"baud", "data", "stop", "parity"}, -1, nullptr},
    {"UARTF", CMDTYPE_COMM, {enum_value(FIELD(comm_up.bAF), cmd_com_uartf_set)}, 1, nullptr, {}, -1, nullptr},
    {"UARTFT", CMDTYPE_COMM, {int_value(FIELD(comm_up.AFT))}, 1, nullptr, {}, -1, nullptr},
    {"UARTFL", CMDTYPE_COMM, {int_value(FIELD(comm_up.AFL))}, 1, nullptr, {}, -1, nullptr},
    {"NETP", CMDTYPE_COMM,
     {enum_value(FIELD(comm_up.protocol), cmd_net_prot_set), enum_value(FIELD(comm_up.mode), cmd_net_mode_set),
      {value_spec::PORT, FIELD(comm_up.port), nullptr}, {value_spec::SERVER, FIELD(comm_up), nullptr}},
     4, nullptr, {"prot", "mode", "port", "ipadd"}, -1, nullptr},
    {"TCPTO", CMDTYPE_COMM, {int_value(FIELD(comm_up.TCPto))}, 1, nullptr, {}, -1, nullptr},
    {"MAXSK", CMDTYPE_COMM, {int_value(FIELD(comm_up.maxsk))}, 1, nullptr, {}, -1, nullptr},
    {"WMODE", CMDTYPE_MOD, {enum_value(FIELD(mana_up.wmode), wifimode_text)}, 1, nullptr, {}, -1, nullptr},
    {"TMODE", CMDTYPE_MOD, {enum_value(FIELD(mana_up.tmode), workmode_text)}, 1, nullptr, {}, -1, nullptr},
    {"WEBU", CMDTYPE_MOD, {text(FIELD(mana_up.user)), text(FIELD(mana_up.pswd))}, 2, nullptr, {"user"}, 1, nullptr},
    {"WAP", CMDTYPE_AP,
     {enum_value(FIELD(ap_up.mode), cmd_ap_mode_set), text(FIELD(ap_up.SSID)), enum_value(FIELD(ap_up.channel), cmd_ap_ch_set)},
     3, nullptr, {"mode", "ssid", "channel"}, -1, nullptr},
    {"WAKEY", CMDTYPE_AP,
     {enum_value(FIELD(ap_up.enc_auth), cmd_auth_set), enum_value(FIELD(ap_up.enc_encry), cmd_encry_set), text(FIELD(ap_up.password))},
     0, key_values_ap, {"auth", "encry", "key"}, -1, nullptr},
    {"LANN", CMDTYPE_AP, {address(FIELD(ap_up.ipadd)), address(FIELD(ap_up.ipmask))}, 2, nullptr, {"ipadd"}, 1, nullptr},
    {"DHCPGW", CMDTYPE_AP, {address(FIELD(ap_up.dhcpgw))}, 1, nullptr, {}, -1, nullptr},
    {"WSKEY", CMDTYPE_STA,
     {enum_value(FIELD(sta_up.enc_auth), cmd_auth_set), enum_value(FIELD(sta_up.enc_encry), cmd_encry_set),
      text(FIELD(sta_up.password))},
     0, key_values_sta, {"auth", "encry", "key"}, -1, nullptr},
    {"WANN", CMDTYPE_STA,
     {enum_value(FIELD(sta_up.bDHCP), dhcp_text), address(FIELD(sta_up.ipadd)), address(FIELD(sta_up.ipmask)), address(FIELD(sta_up.dhcpgw))},
     0, wann_values, {nullptr, "ipadd", "ipmask", "gateway"}, -1, "dhcp"},
    {"WSSSID", CMDTYPE_STA, {text(FIELD(sta_up.SSID))}, 1, nullptr, {}, -1, nullptr},
};

const command_spec* spec_of(const char* name)
{
    for (const command_spec& c : commands)
        if (std::strcmp(c.name, name) == 0)
            return &c;
    return nullptr;
}

int value_count(const module_pages& p, const command_spec& c)
{
    return c.counted != nullptr ? c.counted(p) : c.value_num;
}

/* The value item names, or -1: every item rewrites the row. */
int item_index(const command_spec& c, const char* item)
{
    if (c.items[0] == nullptr && c.items[1] == nullptr)
        return -1;
    for (int i = 0; i < 4; ++i)
        if (c.items[i] != nullptr && item != nullptr && std::strcmp(c.items[i], item) == 0)
            return i;
    return c.other_item >= 0 ? c.other_item : CMD_VALUES;
}

void write_all(const module_pages& p, const command_spec& c, STRCOMMAND& row)
{
    row.value_num = value_count(p, c);
    for (int i = 0; i < row.value_num; ++i)
        write_value(p, c.values[i], row.value[i]);
}

/* The row of c, created at the end of its table if it is not there. */
STRCOMMAND& row_for(command_tables& t, const command_spec& c, bool* created)
{
    int* count = nullptr;
    STRCOMMAND* rows = command_rows(t, c.type, &count);
    int at = find_cmd(t, c.name, c.type);
    *created = at < 0;
    if (at < 0) {
        at = (*count)++;
        copy_text(rows[at].cmd, c.name);
    }
    return rows[at];
}

void build(const module_pages& p, command_tables& t, const command_spec& c, const char* item)
{
    bool created = false;
    STRCOMMAND& row = row_for(t, c, &created);
    int i = item_index(c, item);
    bool rebuild = c.rebuild_item != nullptr && item != nullptr && std::strcmp(item, c.rebuild_item) == 0;
    if (created || i < 0 || rebuild) {
        write_all(p, c, row);
        return;
    }
    if (i < CMD_VALUES)
        write_value(p, c.values[i], row.value[i]);
    /* The key commands carry the key only while there is encryption, and
     * then always the key as it now stands. */
    if (c.counted == key_values_ap || c.counted == key_values_sta) {
        row.value_num = value_count(p, c);
        if (row.value_num == 3)
            write_value(p, c.values[2], row.value[2]);
    }
}

void build_named(const char* name, const char* item) { build(window_link.pages, window_tables, *spec_of(name), item); }

} // namespace

bool build_command(const module_pages& from, command_tables& to, const char* name, const char* item)
{
    const command_spec* c = name != nullptr ? spec_of(name) : nullptr;
    if (c == nullptr)
        return false;
    build(from, to, *c, item);
    return true;
}

std::vector<std::string> command_values(const module_pages& from, const char* name, bool full)
{
    std::vector<std::string> out;
    const command_spec* c = name != nullptr ? spec_of(name) : nullptr;
    if (c == nullptr)
        return out;
    const int declared = static_cast<int>(sizeof c->values / sizeof c->values[0]);
    int n = full && c->counted != nullptr ? declared : value_count(from, *c);
    char text[CMD_VALUE_MAX];
    /* A value left out of the table is an enumeration without a writer. */
    for (int i = 0; i < n && (c->values[i].kind != value_spec::ENUM || c->values[i].write_enum != nullptr); ++i) {
        write_value(from, c->values[i], text);
        out.emplace_back(text);
    }
    return out;
}

STRCOMMAND* command_rows(command_tables& t, int type, int** count)
{
    if (type < CMDTYPE_MOD || type > CMDTYPE_STA) {
        *count = nullptr;
        return nullptr;
    }
    *count = &t.count[type];
    return t.rows[type];
}

STRCOMMAND* command_rows(int type, int** count) { return command_rows(window_tables, type, count); }

void drop_pending_commands(command_tables& t)
{
    for (int& n : t.count)
        n = 0;
}

void drop_pending_commands() { drop_pending_commands(window_tables); }

int find_cmd(command_tables& t, const char* cmd, int type)
{
    int* count = nullptr;
    STRCOMMAND* rows = command_rows(t, type, &count);
    for (int i = 0; rows != nullptr && cmd != nullptr && i < *count; ++i)
        if (std::strcmp(rows[i].cmd, cmd) == 0)
            return i;
    return -1;
}

int find_cmd(const char* cmd, int type) { return find_cmd(window_tables, cmd, type); }

size_t render_command(const STRCOMMAND& row, char* out, size_t cap)
{
    size_t n = format_text(out, cap, "AT+%s=", row.cmd);
    for (int i = 0; i < row.value_num && i < CMD_VALUES; ++i)
        n += format_text(out + n, cap - n, i == 0 ? "%s" : ",%s", row.value[i]);
    return n;
}

void printf_command(int type)
{
    int* count = nullptr;
    STRCOMMAND* rows = command_rows(type, &count);
    char line[CMD_TEXT_MAX];
    for (int i = 0; rows != nullptr && i < *count; ++i) {
        render_command(rows[i], line, sizeof line);
        std::printf("%s\n", line);
    }
}

void generate_cmd(const char* cmd, const char* item)
{
    if (cmd != nullptr && spec_of(cmd) != nullptr)
        build_named(cmd, item);
    std::puts("------------Commands----------------");
    for (int type = CMDTYPE_MOD; type <= CMDTYPE_STA; ++type)
        printf_command(type);
    std::puts("------------------------------------");
}

void generate_cmd_uart(const char* item) { build_named("UART", item); }
void generate_cmd_uartf(const char* item) { build_named("UARTF", item); }
void generate_cmd_uartft(const char* item) { build_named("UARTFT", item); }
void generate_cmd_uartfl(const char* item) { build_named("UARTFL", item); }
void generate_cmd_netp(const char* item) { build_named("NETP", item); }
void generate_cmd_tcpto(const char* item) { build_named("TCPTO", item); }
void generate_cmd_maxsk(const char* item) { build_named("MAXSK", item); }
void generate_cmd_wmode(const char* item) { build_named("WMODE", item); }
void generate_cmd_tmode(const char* item) { build_named("TMODE", item); }
void generate_cmd_webu(const char* item) { build_named("WEBU", item); }
void generate_cmd_wap(const char* item) { build_named("WAP", item); }
void generate_cmd_wakey(const char* item) { build_named("WAKEY", item); }
void generate_cmd_lann(const char* item) { build_named("LANN", item); }
void generate_cmd_dhcpgw(const char* item) { build_named("DHCPGW", item); }
void generate_cmd_wskey(const char* item) { build_named("WSKEY", item); }
void generate_cmd_wann(const char* item) { build_named("WANN", item); }
void generate_cmd_wsssid(const char* item) { build_named("WSSSID", item); }
