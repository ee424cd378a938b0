/*
 * discovery_answer.cpp - search answers of any bytes into the table of
 * modules found: the table never overflows, every field stays terminated,
 * an accepted IP is an address, and a refused answer changes nothing but
 * the first free entry, which the parser uses as scratch.
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
        for (int i = 0; i < MODULE_TABLE_SIZE; ++i)
            if (i != before_num)
                FUZZ_CHECK(std::memcmp(&strmodule[i], &before[i], sizeof before[i]) == 0);
        if (before_num == MODULE_TABLE_SIZE)
            FUZZ_CHECK(r == 0 && std::memcmp(strmodule, before, sizeof before) == 0);
        FUZZ_CHECK(strmodule[before_num < MODULE_TABLE_SIZE ? before_num : 0].connected ==
                   before[before_num < MODULE_TABLE_SIZE ? before_num : 0].connected);
        if (strmodule_num > before_num) {
            const STRMODULE& m = strmodule[before_num];
            FUZZ_CHECK(check_ip(m.ip) == 1);
            FUZZ_CHECK(m.mac[0] != '\0');
            /* The IP is the answer's first field, as sent. */
            size_t ip_len = std::strlen(m.ip);
            FUZZ_CHECK(ip_len <= answer.size() && answer.compare(0, ip_len, m.ip) == 0);
            FUZZ_CHECK(ip_len == answer.size() || answer[ip_len] == ',' || answer[ip_len] == '\0');
        }
    }
    return 0;
}
