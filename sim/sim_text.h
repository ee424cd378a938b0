/*
 * sim_text.h - small text and address helpers for the module simulator.
 *
 * The simulated modules speak a comma-separated text protocol, so nearly
 * every rule in the simulator is built from these few pieces: splitting and
 * joining value lists, strict decimal and dotted-address parsing, and the hex
 * dump the traffic log uses.
 */
#ifndef KXSIM_TEXT_H
#define KXSIM_TEXT_H

#include <cstdint>
#include <string>
#include <vector>

namespace kxsim {

/* Splits at every separator; "a,,b" gives three items and "" gives one
 * empty item, so a count check sees exactly what was sent. */
std::vector<std::string> split(const std::string& text, char sep);

/* Splits at the first max_items-1 separators only; the last item keeps any
 * separators that follow. */
std::vector<std::string> split_head(const std::string& text, char sep, size_t max_items);

std::string join(const std::vector<std::string>& items, char sep);

/* Digits only (no sign, no spaces), value within [lo, hi]. */
bool parse_decimal(const std::string& text, long lo, long hi, long* value);

/* Four groups of 1-3 decimal digits, each at most 255, joined by '.',
 * nothing else. The result is in host byte order. */
bool parse_ipv4(const std::string& text, uint32_t* addr);
std::string ipv4_text(uint32_t addr);

/* Lower-case hex, two digits a byte, no separators. */
std::string hex_bytes(const std::string& data);

} // namespace kxsim

#endif
