/*
 * command_builders.cpp - the command builders on edited records of any
 * content (text fields cut anywhere, enumerated fields any char, out of
 * range too), driven with every command name and item, and every row
 * rendered: a table never holds more rows than its page has commands and
 * never one command twice, a row has 1 to 10 values, and its rendered
 * line is "AT+", the name, "=", the values joined by commas, whole within
 * CMD_TEXT_MAX - 1 characters.
 *
 * A value from an enumeration, a number or an address is never empty and
 * holds no comma, so the line ends in a comma only when the last value is
 * a free text (a key, an SSID, a host name) that ends in one itself: the
 * module gets such a text as typed.
 *
 * Input: the four edited records, then pairs of bytes choosing a command
 * and an item, or (first byte 0xf0 and above) a record filled anew.
 */
#include <cstring>
#include <set>
#include <string>

#include "command.h"
#include "fuzz_util.h"
#include "module.h"

namespace {

const char* const names[] = {"UART", "UARTF", "UARTFT", "UARTFL", "NETP",   "TCPTO",
                             "MAXSK", "WMODE", "TMODE", "WEBU",  "WAP",    "WAKEY",
                             "LANN", "DHCPGW", "WSKEY", "WANN",  "WSSSID", "NOSUCH"};
const int name_count = sizeof names / sizeof names[0];
const char* const items[] = {"baud", "data",   "stop",  "parity", "prot",    "mode", "port",
                             "ipadd", "user",  "pswd",  "ssid",   "channel", "auth", "encry",
                             "key",  "ipmask", "gateway", "dhcp", "fc",     "",     nullptr};
const int item_count = sizeof items / sizeof items[0];

/* Which values of a command are free text, by command name; the server
 * of NETP is one whenever it was built from a host name. */
bool free_text(const char* cmd, int value)
{
    if (std::strcmp(cmd, "WEBU") == 0 || std::strcmp(cmd, "WSSSID") == 0)
        return true;
    if (std::strcmp(cmd, "WAP") == 0)
        return value == 1;
    if (std::strcmp(cmd, "WAKEY") == 0 || std::strcmp(cmd, "WSKEY") == 0)
        return value == 2;
    if (std::strcmp(cmd, "NETP") == 0)
        return value == 3;
    return false;
}

/* Rows each page can have: one per command of the page. */
int page_commands(int type)
{
    static const int rows[] = {3, 7, 4, 3};
    return rows[type];
}

template <size_t N>
void fill_text(byte_cursor& in, char (&f)[N])
{
    for (size_t i = 0; i < N; ++i)
        f[i] = static_cast<char>(in.byte());
    f[in.byte() % N] = '\0';
}
char any(byte_cursor& in) { return static_cast<char>(in.byte()); }
template <size_t N>
void fill_bytes(byte_cursor& in, unsigned char (&f)[N])
{
    for (unsigned char& b : f)
        b = in.byte();
}

void fill(byte_cursor& in, int which)
{
    switch (which) {
    case 0: {
        _MOD_MANA_STRUCT& r = strMODMana_up;
        r.wmode = any(in), r.tmode = any(in);
        fill_text(in, r.user), fill_text(in, r.pswd), fill_text(in, r.mid), fill_text(in, r.mver);
        break;
    }
    case 1: {
        _MOD_COMM_STRUCT& r = strMODComm_up;
        r.baud = any(in), r.data_bits = any(in), r.parity = any(in), r.stop_bits = any(in);
        r.fc = any(in), r.bAF = any(in), r.mode = any(in), r.protocol = any(in), r.bip = any(in);
        r.AFT = static_cast<int>(in.u32()), r.AFL = static_cast<int>(in.u32());
        r.maxsk = static_cast<int>(in.u32()), r.TCPto = static_cast<int>(in.u32());
        r.port = static_cast<unsigned short>(in.u32());
        fill_bytes(in, r.ipadd);
        fill_text(in, r.hostname);
        break;
    }
    case 2: {
        _MOD_AP_STRUCT& r = strMODAP_up;
        r.mode = any(in), r.channel = any(in), r.enc_auth = any(in), r.enc_encry = any(in);
        r.pwd_defaultkey = any(in), r.bDHCP = any(in);
        fill_text(in, r.SSID), fill_text(in, r.password);
        fill_bytes(in, r.ipadd), fill_bytes(in, r.ipmask), fill_bytes(in, r.dhcpgw);
        break;
    }
    default: {
        _MOD_STA_STRUCT& r = strMODSTA_up;
        r.enc_auth = any(in), r.enc_encry = any(in), r.pwd_defaultkey = any(in), r.bDHCP = any(in);
        fill_text(in, r.SSID), fill_text(in, r.password);
        fill_bytes(in, r.ipadd), fill_bytes(in, r.ipmask), fill_bytes(in, r.dhcpgw);
        break;
    }
    }
}

void check_tables()
{
    for (int type = CMDTYPE_MOD; type <= CMDTYPE_STA; ++type) {
        int* count = nullptr;
        STRCOMMAND* rows = command_rows(type, &count);
        FUZZ_CHECK(rows != nullptr && *count >= 0 && *count <= page_commands(type));
        std::set<std::string> seen;
        for (int i = 0; i < *count; ++i) {
            const STRCOMMAND& row = rows[i];
            FUZZ_CHECK(terminated(row.cmd));
            FUZZ_CHECK(seen.insert(row.cmd).second);
            FUZZ_CHECK(row.value_num >= 1 && row.value_num <= CMD_VALUES);
            std::string expected = std::string("AT+") + row.cmd + "=";
            for (int v = 0; v < row.value_num; ++v) {
                FUZZ_CHECK(terminated(row.value[v]));
                if (!free_text(row.cmd, v))
                    FUZZ_CHECK(row.value[v][0] != '\0' && std::strchr(row.value[v], ',') == nullptr);
                expected += (v > 0 ? "," : "") + std::string(row.value[v]);
            }
            char big[4096];
            size_t n = render_command(row, big, sizeof big);
            FUZZ_CHECK(n == std::strlen(big) && big == expected);
            FUZZ_CHECK(n <= CMD_TEXT_MAX - 1);
            /* What the program renders into, cut or not, is the same. */
            char line[CMD_TEXT_MAX];
            render_command(row, line, sizeof line);
            FUZZ_CHECK(expected == line);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    quiet_stdout();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    byte_cursor in(data, size);
    drop_pending_commands();
    for (int which = 0; which < 4; ++which)
        fill(in, which);
    for (int n = 0; n < 32 && in.more(); ++n) {
        uint8_t op = in.byte();
        if (op >= 0xf0) {
            fill(in, op % 4);
            continue;
        }
        generate_cmd(names[op % name_count], items[in.byte() % item_count]);
        check_tables();
    }
    /* Every builder at least once, with the item the input leaves. */
    for (const char* name : names) {
        generate_cmd(name, items[in.byte() % item_count]);
        check_tables();
    }
    return 0;
}
