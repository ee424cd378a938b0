/*
 * utf8_text.h - bytes that came from the network, made fit to be shown.
 *
 * A module may send any bytes in its IDs and reply values. The records
 * keep them exactly as received; only the copy handed to a widget is made
 * valid UTF-8, so a display toolkit never sees a malformed string.
 */
#ifndef KX_UTF8_TEXT_H
#define KX_UTF8_TEXT_H

#include <string>

/* The NUL-terminated bytes as valid UTF-8: every well-formed sequence is
 * kept, and each maximal ill-formed part (a stray byte, a cut sequence, an
 * overlong form, a surrogate, a code point above U+10FFFF) becomes one
 * U+FFFD. nullptr gives "". */
std::string utf8_for_display(const char* bytes);

#endif
