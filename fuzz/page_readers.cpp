/*
 * page_readers.cpp - the four page readers on replies of any kind
 * (fuzz_net.h): every enumerated field ends inside its enumeration, every
 * text field terminated inside its size, and a module that falls silent
 * leaves the page's record exactly as it was.
 *
 * Input: a byte choosing the reader, bytes for the record's enumerated
 * fields before the read (each taken into its range: one reader keeps an
 * earlier value for a text it does not know), then the network's events.
 */
#include <cstring>

#include "discovery.h"
#include "fuzz_net.h"
#include "link.h"
#include "module.h"
#include "strutil.h"

namespace {

/* A query costs at most this many network operations that took no input
 * (fuzz_at_exchange checks the exchange itself). */
enum { FREE_CALLS = 64, CALLS_PER_BYTE = 4 };

bool in_range(char v, const enum_table& t) { return v >= 0 && v < t.count; }
bool in_range(char v, int count) { return v >= 0 && v < count; }
char pick(byte_cursor& in, const enum_table& t) { return static_cast<char>(in.byte() % t.count); }

/* Field by field, since padding is not part of a record. A copy to the
 * edited record (copy) moves the settings as text, not the page flags nor
 * pwd_defaultkey, and the host name only while no address is in force. */
#define SAME(f) (a.f == b.f)
#define SAME_TEXT(f) (copy ? std::strcmp(a.f, b.f) == 0 : std::memcmp(a.f, b.f, sizeof a.f) == 0)
#define SAME_BYTES(f) (std::memcmp(a.f, b.f, sizeof a.f) == 0)
#define SAME_FLAGS (copy || (SAME(inited) && SAME(dirty)))
bool same(const _MOD_MANA_STRUCT& a, const _MOD_MANA_STRUCT& b, bool copy = false)
{
    return SAME(wmode) && SAME(tmode) && SAME_TEXT(user) && SAME_TEXT(pswd) && SAME_TEXT(mid) &&
           SAME_TEXT(mver) && SAME_FLAGS;
}
bool same(const _MOD_COMM_STRUCT& a, const _MOD_COMM_STRUCT& b, bool copy = false)
{
    return SAME(baud) && SAME(data_bits) && SAME(parity) && SAME(stop_bits) && SAME(fc) && SAME(bAF) &&
           SAME(AFT) && SAME(AFL) && SAME(mode) && SAME(protocol) && SAME(port) && SAME_BYTES(ipadd) &&
           SAME(bip) && ((copy && a.bip != 0) || SAME_TEXT(hostname)) && SAME(maxsk) && SAME(TCPto) &&
           SAME_FLAGS;
}
template <typename KEYED>
bool same_key(const KEYED& a, const KEYED& b, bool copy)
{
    return SAME_TEXT(SSID) && SAME(enc_auth) && SAME(enc_encry) && (copy || SAME(pwd_defaultkey)) &&
           SAME_TEXT(password) && SAME(bDHCP) && SAME_BYTES(ipadd) && SAME_BYTES(ipmask) &&
           SAME_BYTES(dhcpgw) && SAME_FLAGS;
}
bool same(const _MOD_AP_STRUCT& a, const _MOD_AP_STRUCT& b, bool copy = false)
{
    return SAME(mode) && SAME(channel) && same_key(a, b, copy);
}
bool same(const _MOD_STA_STRUCT& a, const _MOD_STA_STRUCT& b, bool copy = false) { return same_key(a, b, copy); }
#undef SAME
#undef SAME_TEXT
#undef SAME_BYTES
#undef SAME_FLAGS

/* Text fields start full of text, so a read that writes no terminator
 * shows. */
template <size_t N>
void old_text(char (&f)[N])
{
    std::memset(f, 'o', N - 1);
    f[N - 1] = '\0';
}

void check(const _MOD_MANA_STRUCT& r)
{
    FUZZ_CHECK(in_range(r.wmode, wifimode_table) && in_range(r.tmode, workmode_table));
    FUZZ_CHECK(terminated(r.user) && terminated(r.pswd) && terminated(r.mid) && terminated(r.mver));
}
void check(const _MOD_COMM_STRUCT& r)
{
    FUZZ_CHECK(in_range(r.baud, baudrate_table) && in_range(r.data_bits, combits_table) &&
               in_range(r.parity, parity_table) && in_range(r.stop_bits, stopbits_table) &&
               in_range(r.fc, flowctrl_table) && in_range(r.bAF, autoframe_table) &&
               in_range(r.mode, netmode_table) && in_range(r.protocol, netprot_table) && in_range(r.bip, 2));
    FUZZ_CHECK(terminated(r.hostname));
}
template <typename KEYED>
void check_key(const KEYED& r)
{
    FUZZ_CHECK(in_range(r.enc_auth, auth_table) && in_range(r.enc_encry, encry_table) &&
               in_range(r.bDHCP, dhcp_table));
    FUZZ_CHECK(terminated(r.SSID) && terminated(r.password));
}
void check(const _MOD_AP_STRUCT& r)
{
    FUZZ_CHECK(in_range(r.mode, apstd_table) && in_range(r.channel, apch_table));
    check_key(r);
}
void check(const _MOD_STA_STRUCT& r) { check_key(r); }

void start(byte_cursor& in, _MOD_MANA_STRUCT& r)
{
    r = {};
    r.wmode = pick(in, wifimode_table);
    r.tmode = pick(in, workmode_table);
    old_text(r.user), old_text(r.pswd), old_text(r.mid), old_text(r.mver);
}
void start(byte_cursor& in, _MOD_COMM_STRUCT& r)
{
    r = {};
    r.baud = pick(in, baudrate_table);
    r.data_bits = pick(in, combits_table);
    r.parity = pick(in, parity_table);
    r.stop_bits = pick(in, stopbits_table);
    r.fc = pick(in, flowctrl_table);
    r.bAF = pick(in, autoframe_table);
    r.mode = pick(in, netmode_table);
    r.protocol = pick(in, netprot_table);
    r.bip = static_cast<char>(in.byte() % 2);
    r.AFT = 1, r.AFL = 2, r.maxsk = 3, r.TCPto = 4, r.port = 5;
    old_text(r.hostname);
}
template <typename KEYED>
void start_key(byte_cursor& in, KEYED& r)
{
    r.enc_auth = pick(in, auth_table);
    r.enc_encry = pick(in, encry_table);
    r.bDHCP = pick(in, dhcp_table);
    r.pwd_defaultkey = 1;
    old_text(r.SSID), old_text(r.password);
    r.ipadd[0] = r.ipmask[0] = r.dhcpgw[0] = 9;
}
void start(byte_cursor& in, _MOD_AP_STRUCT& r)
{
    r = {};
    r.mode = pick(in, apstd_table);
    r.channel = pick(in, apch_table);
    start_key(in, r);
}
void start(byte_cursor& in, _MOD_STA_STRUCT& r)
{
    r = {};
    start_key(in, r);
}

template <typename RECORD>
void read_page(byte_cursor& in, fuzz_net& fn, RECORD& record, const RECORD& edited, void (*reader)())
{
    start(in, record);
    const RECORD before = record;
    const size_t consumed = in.consumed();
    reader();
    FUZZ_CHECK(fn.calls <= FREE_CALLS + CALLS_PER_BYTE * static_cast<long>(in.consumed() - consumed));
    FUZZ_CHECK(module_silent == 0 || module_silent == 1);
    check(record);
    if (module_silent) {
        FUZZ_CHECK(same(record, before));
        return;
    }
    FUZZ_CHECK(record.inited == 1 && record.dirty == 0);
    FUZZ_CHECK(same(record, edited, true));
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
    fuzz_net fn(in);
    fuzz_link link(fn);
    switch (in.byte() % 4) {
    case 0:
        read_page(in, fn, strMODMana, strMODMana_up, init_module_mana_struct);
        break;
    case 1:
        read_page(in, fn, strMODComm, strMODComm_up, init_module_comm_struct);
        break;
    case 2:
        read_page(in, fn, strMODAP, strMODAP_up, init_module_ap_struct);
        break;
    default:
        read_page(in, fn, strMODSTA, strMODSTA_up, init_module_sta_struct);
        break;
    }
    return 0;
}
