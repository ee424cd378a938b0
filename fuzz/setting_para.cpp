/*
 * setting_para.cpp - the tool's settings file of any bytes: the flag is 0
 * or 1 and the command file's name is never empty and fits its field,
 * and both are what the file says by its rule (flag character, one
 * separator, then the name up to a NUL or a line end, cut at a character
 * boundary to fit) or the defaults.
 *
 * Input: the file; an empty input stands for a missing file.
 */
#include <cstring>
#include <string>

#include "fuzz_util.h"
#include "setting_file.h"
#include "strutil.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    enter_temp_dir();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        std::remove(setting_para_path);
    else
        write_file(setting_para_path, data, size);
    auto_setting = 7;
    std::memset(setting_file, 'x', sizeof setting_file);

    init_setting_para();

    FUZZ_CHECK(auto_setting == 0 || auto_setting == 1);
    FUZZ_CHECK(terminated(setting_file));
    size_t n = std::strlen(setting_file);
    FUZZ_CHECK(n >= 1 && n <= sizeof setting_file - 1);

    std::string file(reinterpret_cast<const char*>(data), size);
    FUZZ_CHECK(auto_setting == (size > 0 && data[0] == '1' ? 1 : 0));
    std::string name = size > 2 ? file.substr(2, 4 * sizeof setting_file - 1) : std::string();
    name = name.c_str();
    name = name.substr(0, name.find_first_of("\r\n"));
    name = name.substr(0, char_prefix(name.c_str(), sizeof setting_file - 1));
    FUZZ_CHECK(setting_file == (name.empty() ? std::string(default_setting_file) : name));
    return 0;
}
