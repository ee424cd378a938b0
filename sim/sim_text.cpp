/*
 * sim_text.cpp - text and address helpers of the module simulator.
 */
#include "sim_text.h"

#include "strutil.h"

namespace kxsim {

std::vector<std::string> split(const std::string& text, char sep)
{
    return split_head(text, sep, static_cast<size_t>(-1));
}

std::vector<std::string> split_head(const std::string& text, char sep, size_t max_items)
{
    std::vector<std::string> items;
    size_t start = 0;
    while (items.size() + 1 < max_items) {
        size_t at = text.find(sep, start);
        if (at == std::string::npos)
            break;
        items.push_back(text.substr(start, at - start));
        start = at + 1;
    }
    items.push_back(text.substr(start));
    return items;
}

std::string join(const std::vector<std::string>& items, char sep)
{
    std::string out;
    for (size_t i = 0; i < items.size(); ++i) {
        if (i > 0)
            out += sep;
        out += items[i];
    }
    return out;
}

bool parse_decimal(const std::string& text, long lo, long hi, long* value)
{
    if (text.empty())
        return false;
    long v = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c - '0');
        // Stop before the value can overflow; anything this large is out of range anyway.
        if (v > hi)
            return false;
    }
    if (v < lo)
        return false;
    *value = v;
    return true;
}

bool parse_ipv4(const std::string& text, uint32_t* addr)
{
    std::vector<std::string> groups = split(text, '.');
    if (groups.size() != 4)
        return false;
    uint32_t a = 0;
    for (const std::string& g : groups) {
        long v = 0;
        if (g.size() > 3 || !parse_decimal(g, 0, 255, &v))
            return false;
        a = (a << 8) | static_cast<uint32_t>(v);
    }
    *addr = a;
    return true;
}

std::string ipv4_text(uint32_t addr)
{
    char buf[16];
    format_text(buf, sizeof buf, "%u.%u.%u.%u", (addr >> 24) & 0xffu, (addr >> 16) & 0xffu,
                (addr >> 8) & 0xffu, addr & 0xffu);
    return buf;
}

std::string hex_bytes(const std::string& data)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(data.size() * 2);
    for (unsigned char c : data) {
        out += digits[c >> 4];
        out += digits[c & 0x0f];
    }
    return out;
}

} // namespace kxsim
