/*
 * discovery_answer.cpp - search answers of any bytes into the table of
 * modules found: the table never overflows, every field stays terminated,
 * an accepted IP is an address, a refused answer changes nothing, and an
 * accepted one changes one row only: the row of its address, or the first
 * free row; no address is listed twice.
 *
 * Input: one byte for the number of modules already found, then answers
 * separated by FUZZ_SEP.
 */
#include <cstring>
#include <vector>

#include "discovery.h"
#include "fuzz_util.h"
#include "module.h"
#include "strutil.h"

namespace {

void check_entries()
{
    for (const STRMODULE& m : strmodule) {
        FUZZ_CHECK(terminated(m.ip) && terminated(m.mac) && terminated(m.id));
        FUZZ_CHECK(std::strlen(m.ip) <= FIELD_MAX && std::strlen(m.mac) <= FIELD_MAX &&
                   std::strlen(m.id) <= FIELD_MAX);
    }
}

bool same_address(const char* a, const char* b)
{
    unsigned char x[4], y[4];
    return string_to_ip(a, x) && string_to_ip(b, y) && std::memcmp(x, y, 4) == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    byte_cursor in(data, size);
    /* Earlier entries hold text of their own, so a stray write shows. */
    for (int i = 0; i < MODULE_TABLE_SIZE; ++i) {
        strmodule[i] = {};
        strmodule[i].connected = i;
        format_text(strmodule[i].ip, sizeof strmodule[i].ip, "198.51.100.%d", 10 + i);
        copy_text(strmodule[i].mac, "ACCF2333640A");
        copy_text(strmodule[i].id, "KXD40-5610");
    }
    strmodule_num = in.byte() % (MODULE_TABLE_SIZE + 1);

    for (int n = 0; n < 32 && in.more(); ++n) {
        std::string answer = in.payload();
        /* Exactly the answer's bytes on the heap: a read past them is an
         * ASan report. */
        std::vector<char> bytes(answer.begin(), answer.end());
        const int before_num = strmodule_num;
        STRMODULE before[MODULE_TABLE_SIZE];
        std::memcpy(before, strmodule, sizeof before);

        int r = add_module_answer(bytes.data(), static_cast<int>(bytes.size()));

        FUZZ_CHECK(r == 0 || r == 1);
        FUZZ_CHECK(strmodule_num <= MODULE_TABLE_SIZE);
        FUZZ_CHECK(strmodule_num == before_num || (r == 1 && strmodule_num == before_num + 1));
        check_entries();
        int changed = -1;
        for (int i = 0; i < MODULE_TABLE_SIZE; ++i)
            if (std::memcmp(&strmodule[i], &before[i], sizeof before[i]) != 0) {
                FUZZ_CHECK(r == 1 && changed < 0);
                changed = i;
            }
        if (strmodule_num > before_num)
            FUZZ_CHECK(changed < 0 || changed == before_num);
        else if (changed >= 0)
            FUZZ_CHECK(changed < before_num);
        const int row = strmodule_num > before_num ? before_num : changed;
        if (row >= 0) {
            const STRMODULE& m = strmodule[row];
            FUZZ_CHECK(m.connected == before[row].connected);
            FUZZ_CHECK(check_ip(m.ip) == 1);
            FUZZ_CHECK(m.mac[0] != '\0');
            /* The IP is the answer's first field, as sent. */
            size_t ip_len = std::strlen(m.ip);
            FUZZ_CHECK(ip_len <= answer.size() && answer.compare(0, ip_len, m.ip) == 0);
            FUZZ_CHECK(ip_len == answer.size() || answer[ip_len] == ',' || answer[ip_len] == '\0');
        }
        if (strmodule_num > before_num)
            for (int i = 0; i < before_num; ++i)
                FUZZ_CHECK(!same_address(strmodule[i].ip, strmodule[before_num].ip));
    }
    return 0;
}
