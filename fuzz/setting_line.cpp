/*
 * setting_line.cpp - a command file's setting line taken as values: a line
 * taken is one the records hold by value (every value the builders write
 * back is the same value as the line's, and writing it again takes it
 * unchanged), and a line refused leaves the records exactly as they were.
 *
 * Input: the line, its bytes cut at the first NUL as a C string would be.
 */
#include <string>
#include <vector>

#include "fuzz_util.h"
#include "setting_values.h"

namespace {

std::vector<std::vector<std::string>> every_value(const module_pages& p)
{
    std::vector<std::vector<std::string>> out;
    for (const std::string& name : setting_commands())
        out.push_back(setting_values(p, name, true));
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string line(reinterpret_cast<const char*>(data), size);
    line = line.c_str();
    std::string name;
    std::vector<std::string> items;
    if (!split_setting_line(line, &name, &items))
        return 0;
    module_pages p{};
    const auto before = every_value(p);
    if (!take_setting(p, name, items)) {
        FUZZ_CHECK(every_value(p) == before);
        return 0;
    }
    std::vector<std::string> sent = setting_values(p, name, false);
    FUZZ_CHECK(sent.size() <= items.size());
    for (size_t i = 0; i < sent.size(); ++i)
        FUZZ_CHECK(same_setting_value(name, i, sent[i], items[i]));
    module_pages again{};
    FUZZ_CHECK(take_setting(again, name, sent));
    FUZZ_CHECK(setting_values(again, name, false) == sent);
    return 0;
}
