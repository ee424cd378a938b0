/*
 * command_file.cpp - replaying a command file of any bytes to a module
 * that accepts everything: a line ends at LF, a CR just before it (or
 * before the end) belongs to the line end; each line goes as one datagram
 * with its line feed, no line break inside, and nothing after an empty
 * line or a line beginning "E". A line of more than 399 characters, one
 * holding a NUL byte and one that would switch the module to firmware
 * reception are not sent. The lines sent are compared with a reading of
 * the file done here from those rules.
 *
 * Input: the file.
 */
#include <cctype>
#include <string>
#include <vector>

#include "command_file.h"
#include "discovery.h"
#include "fuzz_util.h"
#include "link.h"
#include "module.h"
#include "scripted_net.h"
#include "strutil.h"

namespace {

enum { LINE_MAX_CHARS = 399 };

/* "AT+FWUPDAT" in any case after blanks (a CR counts as one, as the module
 * reads it), then nothing, a value or blanks. */
bool firmware_switch(const std::string& line)
{
    size_t at = line.find_first_not_of(" \t\r");
    if (at == std::string::npos)
        return false;
    std::string word = line.substr(at, 10);
    for (char& c : word)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return word == "AT+FWUPDAT" &&
           (line.size() == at + 10 || std::string("=? \t\r").find(line[at + 10]) != std::string::npos);
}

/* The datagrams a replay of bytes sends. */
std::vector<std::string> expected_lines(const std::string& file)
{
    std::vector<std::string> out;
    size_t pos = 0;
    while (pos < file.size()) {
        size_t nl = file.find('\n', pos);
        std::string line = file.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
        pos = nl == std::string::npos ? file.size() : nl + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == 'E')
            break;
        if (line.size() <= LINE_MAX_CHARS && line.find('\0') == std::string::npos && !firmware_switch(line))
            out.push_back(line + "\n");
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    quiet_stdout();
    enter_temp_dir();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    write_file("data/replay.txt", data, size);
    scripted_net sn;
    net_scope scope(&sn);
    sn.on_send = [&sn](const sent_datagram&) { sn.arrive("+ok\r\n\r\n"); };
    udpsocket = 7;
    copy_text(module_ip, "127.0.0.2");
    udp_add_r();

    int r = replay_command_file("replay.txt");

    FUZZ_CHECK(r == 1);
    std::string file(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> expected = expected_lines(file);
    FUZZ_CHECK(sn.sent.size() == expected.size());
    bool after_end = false;
    for (size_t i = 0; i < sn.sent.size(); ++i) {
        const std::string& s = sn.sent[i].bytes;
        FUZZ_CHECK(!after_end);
        FUZZ_CHECK(s.size() >= 1 && s.size() <= LINE_MAX_CHARS + 1 && s.back() == '\n');
        FUZZ_CHECK(s.find('\n') == s.size() - 1);
        FUZZ_CHECK(s[0] != 'E');
        FUZZ_CHECK(s.find('\0') == std::string::npos);
        FUZZ_CHECK(!firmware_switch(s.substr(0, s.size() - 1)));
        FUZZ_CHECK(s == expected[i]);
        FUZZ_CHECK(sn.sent[i].to == "127.0.0.2:48899");
    }
    udpsocket = 0;
    return 0;
}
