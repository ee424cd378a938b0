/*
 * list_item.cpp - splitting a reply into its comma-separated items: the
 * item is terminated inside its buffer, is the text up to the next comma
 * (cut at a NUL or to fit), the position moves past it and its comma, and
 * nothing past the reply's length is ever read.
 *
 * Input: a byte for the buffer size, a byte for the starting position,
 * then the reply; exactly its bytes are on the heap, so ASan sees a read
 * past them.
 */
#include <cstring>
#include <vector>

#include "fuzz_util.h"
#include "module.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    byte_cursor in(data, size);
    size_t cap = 1 + in.byte() % 128;
    uint8_t first = in.byte();
    std::vector<char> reply(data + in.consumed(), data + size);
    const int len = static_cast<int>(reply.size());
    const char* cin = reply.empty() ? "" : reply.data();

    int p = len > 0 ? first % (len + 1) : 0;
    for (int items = 0; items <= len + 1 && p <= len; ++items) {
        char out[256];
        std::memset(out, 0x5a, sizeof out);
        const int start = p;
        get_list_item(cin, len, &p, out, cap);

        int end = start;
        while (end < len && reply[end] != ',')
            ++end;
        FUZZ_CHECK(p == end + 1);
        FUZZ_CHECK(terminated(out, cap));
        for (size_t i = cap; i < sizeof out; ++i)
            FUZZ_CHECK(out[i] == 0x5a);
        std::string item(cin + start, cin + end);
        item = item.substr(0, std::strlen(item.c_str())).substr(0, cap - 1);
        FUZZ_CHECK(item == out);
    }
    return 0;
}
