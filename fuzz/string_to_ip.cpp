/*
 * string_to_ip.cpp - dotted IPv4 text against a reference parser written
 * here from the rule (four groups of 1 to 3 digits, each at most 255,
 * joined by '.', nothing else), and make_address on the same text: a
 * refused text leaves the bytes alone and gives an address that is never
 * a destination.
 *
 * Input: the text (up to its first NUL).
 */
#include <cstring>
#include <string>

#include "fuzz_util.h"
#include "module.h"
#include "netio.h"

namespace {

bool reference(const std::string& t, unsigned char out[4])
{
    unsigned char parts[4];
    size_t pos = 0;
    for (int group = 0; group < 4; ++group) {
        if (group > 0) {
            if (pos >= t.size() || t[pos] != '.')
                return false;
            ++pos;
        }
        size_t digits = 0;
        int value = 0;
        while (pos < t.size() && t[pos] >= '0' && t[pos] <= '9' && digits < 4) {
            value = value * 10 + (t[pos] - '0');
            ++pos;
            ++digits;
        }
        if (digits < 1 || digits > 3 || value > 255)
            return false;
        parts[group] = static_cast<unsigned char>(value);
    }
    if (pos != t.size())
        return false;
    std::memcpy(out, parts, 4);
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    text = text.c_str();

    unsigned char expected[4] = {0xa5, 0xa5, 0xa5, 0xa5};
    bool valid = reference(text, expected);

    unsigned char got[8];
    std::memset(got, 0xa5, sizeof got);
    int r = string_to_ip(text.c_str(), got);
    FUZZ_CHECK(r == (valid ? 1 : 0));
    FUZZ_CHECK(std::memcmp(got, expected, 4) == 0);
    for (int i = 4; i < 8; ++i)
        FUZZ_CHECK(got[i] == 0xa5);

    sockaddr_in a;
    std::memset(&a, 0x5a, sizeof a);
    int m = make_address(text.c_str(), 4242, &a);
    FUZZ_CHECK(m == r);
    FUZZ_CHECK(a.sin_family == AF_INET && ntohs(a.sin_port) == 4242);
    if (valid) {
        FUZZ_CHECK(std::memcmp(&a.sin_addr, expected, 4) == 0);
        char back[32];
        address_text(a, back, sizeof back);
        unsigned char again[4];
        FUZZ_CHECK(string_to_ip(back, again) == 1 && std::memcmp(again, expected, 4) == 0);
    } else {
        FUZZ_CHECK(address_unset(a));
    }
    return 0;
}
