/*
 * aswd_file.cpp - the search keyword file of any bytes: the keyword is
 * never empty, fits its 100 bytes, and is the file's first line (its line
 * feed included, at most 99 bytes, up to a NUL) or the default.
 *
 * Input: the file; an empty input stands for a missing file.
 */
#include <cstring>
#include <string>

#include "discovery.h"
#include "fuzz_util.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    enter_temp_dir();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* path = "data/aswd.txt";
    if (size == 0)
        std::remove(path);
    else
        write_file(path, data, size);
    char buf[100 + 16];
    std::memset(buf, 'x', sizeof buf);

    get_aswd(buf);

    FUZZ_CHECK(terminated(buf, 100));
    for (size_t i = 100; i < sizeof buf; ++i)
        FUZZ_CHECK(buf[i] == 'x');
    size_t n = std::strlen(buf);
    FUZZ_CHECK(n >= 1 && n <= 99);

    std::string file(reinterpret_cast<const char*>(data), size);
    size_t nl = file.find('\n');
    std::string line = file.substr(0, nl == std::string::npos ? std::string::npos : nl + 1).substr(0, 99);
    line = line.c_str();
    FUZZ_CHECK(buf == (line.empty() ? std::string(default_keyword) : line));
    return 0;
}
