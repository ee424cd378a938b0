/*
 * fuzz_util.h - what every fuzz harness shares: a failed invariant that
 * libFuzzer reports as a crash, a cursor over the input, and a private
 * working directory for the readers of files.
 */
#ifndef KX_FUZZ_UTIL_H
#define KX_FUZZ_UTIL_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

/* abort() rather than an exception: libFuzzer then keeps the input as a
 * crash artifact and the message says which rule broke. */
#define FUZZ_CHECK(cond)                                                                   \
    do {                                                                                   \
        if (!(cond)) {                                                                     \
            std::fprintf(stderr, "invariant failed: %s (%s:%d)\n", #cond, __FILE__, __LINE__); \
            std::abort();                                                                  \
        }                                                                                  \
    } while (0)

/* The payload separator of the harnesses' input formats: rare in real
 * replies, and printf '\037' writes it in a seed. */
enum { FUZZ_SEP = 0x1f };

/* Reads the input front to back; past its end every byte reads as 0 and
 * every payload as empty, so harnesses need no length checks. */
class byte_cursor {
public:
    byte_cursor(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool more() const { return pos_ < size_; }
    size_t consumed() const { return pos_; }
    uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    /* The next byte without taking it; -1 at the end. */
    int peek() const { return pos_ < size_ ? data_[pos_] : -1; }
    uint32_t u32()
    {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v = v << 8 | byte();
        return v;
    }
    /* Bytes up to the next FUZZ_SEP (taken, not returned) or the end, at
     * most max of them kept. */
    std::string payload(size_t max = 4096)
    {
        std::string s;
        while (pos_ < size_ && data_[pos_] != FUZZ_SEP) {
            if (s.size() < max)
                s.push_back(static_cast<char>(data_[pos_]));
            ++pos_;
        }
        if (pos_ < size_)
            ++pos_;
        return s;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

/* True when a fixed-size text field ends inside itself. */
inline bool terminated(const char* field, size_t size) { return std::memchr(field, '\0', size) != nullptr; }
template <size_t N>
bool terminated(const char (&field)[N])
{
    return terminated(field, N);
}

/* The code under test prints its console lines; they would only slow the
 * fuzzer down. libFuzzer reports on stderr. */
inline void quiet_stdout()
{
    static char buffer[1 << 20];
    if (std::freopen("/dev/null", "w", stdout) == nullptr)
        std::abort();
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
}

/* Moves the process into a fresh empty directory (with data/ in it) for
 * the readers that take fixed file names; it is removed at exit. */
inline void enter_temp_dir()
{
    static std::string dir;
    char tmpl[] = "/tmp/kxd40-fuzz-XXXXXX";
    if (mkdtemp(tmpl) == nullptr || chdir(tmpl) != 0)
        std::abort();
    dir = tmpl;
    std::string data = dir + "/data";
    if (mkdir(data.c_str(), 0755) != 0)
        std::abort();
    std::atexit([] {
        std::string cmd = "rm -rf '" + dir + "'";
        if (std::system(cmd.c_str()) != 0)
            std::fprintf(stderr, "could not remove %s\n", dir.c_str());
    });
}

/* Writes bytes to path, replacing it. */
inline void write_file(const char* path, const uint8_t* data, size_t size)
{
    FILE* f = std::fopen(path, "wb");
    if (f == nullptr)
        std::abort();
    if (size > 0 && std::fwrite(data, 1, size, f) != size)
        std::abort();
    std::fclose(f);
}

#endif
