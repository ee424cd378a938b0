/*
 * strutil.h - bounded text helpers and small RAII holders shared by the
 * whole program.
 *
 * Every fixed-size text field of the records is written through copy_text
 * or format_text, so no input of any length can run past a field. The file
 * holder closes what it opened on every path out of a function.
 */
#ifndef KX_STRUTIL_H
#define KX_STRUTIL_H

#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstring>

/* Copies at most len bytes of src (stopping early at a NUL) into dst, which
 * holds cap bytes, and always terminates dst. Returns the bytes copied;
 * anything that does not fit is cut. */
inline size_t copy_text_n(char* dst, size_t cap, const char* src, size_t len)
{
    if (cap == 0)
        return 0;
    size_t n = 0;
    if (src != nullptr) {
        while (n < len && n + 1 < cap && src[n] != '\0')
            ++n;
        std::memmove(dst, src, n);
    }
    dst[n] = '\0';
    return n;
}

inline size_t copy_text(char* dst, size_t cap, const char* src)
{
    return copy_text_n(dst, cap, src, static_cast<size_t>(-1));
}

template <size_t N>
inline size_t copy_text(char (&dst)[N], const char* src)
{
    return copy_text(dst, N, src);
}

/* How many bytes of the NUL-terminated src, at most max, end on a
 * character boundary: a UTF-8 sequence that would be cut is left out
 * whole. Bytes that are no UTF-8 are counted one by one. */
inline size_t char_prefix(const char* src, size_t max)
{
    size_t n = 0;
    while (n < max && src[n] != '\0')
        ++n;
    if (src[n] == '\0')
        return n;
    /* src[n] is the first byte left out: a continuation byte there means
     * the cut fell inside a character whose lead byte is at most 3 back. */
    size_t lead = n;
    while (lead > 0 && n - lead < 3 && (static_cast<unsigned char>(src[lead]) & 0xC0) == 0x80)
        --lead;
    bool inside = lead < n && (static_cast<unsigned char>(src[lead]) & 0xC0) == 0xC0;
    return inside ? lead : n;
}

/* Copies src into dst (cap bytes), cut at a character boundary where it
 * does not fit, so a typed name never ends in half a character. */
inline size_t copy_chars(char* dst, size_t cap, const char* src)
{
    if (cap == 0)
        return 0;
    return copy_text_n(dst, cap, src, src != nullptr ? char_prefix(src, cap - 1) : 0);
}

template <size_t N>
inline size_t copy_chars(char (&dst)[N], const char* src)
{
    return copy_chars(dst, N, src);
}

/* Whether src fits whole, with its terminator, into a field of cap bytes. */
inline bool fits_field(const char* src, size_t cap) { return std::strlen(src) < cap; }

/* printf into a bounded buffer; the result is always terminated and cut
 * to fit. Returns the length stored. */
#if defined(__GNUC__)
__attribute__((format(printf, 3, 4)))
#endif
inline size_t format_text(char* dst, size_t cap, const char* fmt, ...)
{
    if (cap == 0)
        return 0;
    va_list ap;
    va_start(ap, fmt);
    int n = std::vsnprintf(dst, cap, fmt, ap);
    va_end(ap);
    if (n < 0) {
        dst[0] = '\0';
        return 0;
    }
    return static_cast<size_t>(n) < cap ? static_cast<size_t>(n) : cap - 1;
}

/* Owns a FILE* and closes it when it goes out of scope. */
class stdio_file {
public:
    stdio_file(const char* path, const char* mode) : f_(std::fopen(path, mode)) {}
    /* Takes over f, which may be nullptr. */
    explicit stdio_file(FILE* f) : f_(f) {}
    ~stdio_file() { close(); }
    stdio_file(const stdio_file&) = delete;
    stdio_file& operator=(const stdio_file&) = delete;

    explicit operator bool() const { return f_ != nullptr; }
    FILE* get() const { return f_; }
    /* Closes now; returns 0 on success like fclose. */
    int close()
    {
        int rc = 0;
        if (f_ != nullptr)
            rc = std::fclose(f_);
        f_ = nullptr;
        return rc;
    }

private:
    FILE* f_;
};

#endif
