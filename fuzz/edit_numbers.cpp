/*
 * edit_numbers.cpp - an entry's text read as a number and corrected into
 * its range: the number is what strtol reads, saturated to int, and the
 * correction ends inside the bounds, reports exactly when it changed the
 * value, and tests the lower bound first.
 *
 * Input: twelve bytes for a value and two bounds, then the text (up to
 * its first NUL).
 */
#include <climits>
#include <cstdlib>
#include <string>

#include "edit_rules.h"
#include "fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    byte_cursor in(data, size);
    int value = static_cast<int>(in.u32());
    int low = static_cast<int>(in.u32());
    int high = static_cast<int>(in.u32());
    std::string text(reinterpret_cast<const char*>(data) + in.consumed(), size - in.consumed());
    text = text.c_str();

    long ref = std::strtol(text.c_str(), nullptr, 10);
    ref = ref > INT_MAX ? INT_MAX : ref < INT_MIN ? INT_MIN : ref;
    FUZZ_CHECK(decimal_like_atoi(text.c_str()) == ref);

    for (int v : {value, static_cast<int>(ref)}) {
        int corrected = v;
        bool changed = correct_into_range(&corrected, low, high);
        FUZZ_CHECK(changed == (corrected != v));
        if (v < low)
            FUZZ_CHECK(corrected == low);
        else if (v > high)
            FUZZ_CHECK(corrected == high);
        else
            FUZZ_CHECK(corrected == v);
        if (low <= high)
            FUZZ_CHECK(corrected >= low && corrected <= high);
    }
    return 0;
}
