/*
 * utf8_text.cpp - replacing ill-formed UTF-8 for display.
 *
 * The ranges of the second byte follow the table of well-formed UTF-8
 * sequences: they are what excludes overlong forms (C0, C1, E0 80-9F,
 * F0 80-8F), surrogates (ED A0-BF) and values past U+10FFFF (F4 90-BF,
 * F5-FF). A sequence that breaks off is replaced up to the byte that broke
 * it, and that byte is looked at afresh, as other decoders do.
 */
#include "utf8_text.h"

namespace {

const char replacement[] = "\xEF\xBF\xBD";

/* The length of the sequence that lead starts and the range its second
 * byte must lie in; 0 when lead cannot start one. */
int sequence_length(unsigned char lead, unsigned char* low, unsigned char* high)
{
    *low = 0x80;
    *high = 0xBF;
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF) {
        if (lead == 0xE0)
            *low = 0xA0;
        else if (lead == 0xED)
            *high = 0x9F;
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        if (lead == 0xF0)
            *low = 0x90;
        else if (lead == 0xF4)
            *high = 0x8F;
        return 4;
    }
    return 0;
}

} // namespace

std::string utf8_for_display(const char* bytes)
{
    std::string out;
    if (bytes == nullptr)
        return out;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes);
    while (*p != 0) {
        unsigned char low = 0, high = 0;
        int n = sequence_length(*p, &low, &high);
        if (n == 0) {
            out += replacement;
            ++p;
            continue;
        }
        int good = 1;
        while (good < n && p[good] >= low && p[good] <= high) {
            ++good;
            low = 0x80;
            high = 0xBF;
        }
        if (good == n)
            out.append(reinterpret_cast<const char*>(p), n);
        else
            out += replacement;
        p += good;
    }
    return out;
}
