/*
 * command_file.cpp - replaying a command file of any bytes to a module
 * that accepts everything: each line goes as one datagram of at most 399
 * characters and its line feed, no line break inside, and nothing after
 * an empty line or a line beginning "E". The lines sent are compared with
 * a reading of the file done here from that rule.
 *
 * Input: the file.
 */
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

/* The datagrams a replay of bytes sends. A line is given to the exchange
 * as C text, so a NUL ends what is sent of it. */
std::vector<std::string> expected_lines(const std::string& file)
{
    std::vector<std::string> out;
    size_t pos = 0;
    while (pos < file.size()) {
        size_t nl = file.find('\n', pos);
        std::string line = file.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
        pos = nl == std::string::npos ? file.size() : nl + 1;
        line = line.substr(0, LINE_MAX_CHARS);
        if (line.empty() || line[0] == 'E')
            break;
        out.push_back(std::string(line.c_str()) + "\n");
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
        FUZZ_CHECK(s == expected[i]);
        FUZZ_CHECK(sn.sent[i].to == "127.0.0.2:48899");
    }
    udpsocket = 0;
    return 0;
}
