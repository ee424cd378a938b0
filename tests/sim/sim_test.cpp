/*
 * sim_test.cpp - the simulator, for what the tool's tests take on trust.
 * One module driven datagram by datagram, each exchange a transcript of
 * exact datagrams: it answers only the exact keyword and only a linked
 * peer's exact command lines, its echo and duplicates really happen, a
 * restart does what a module's does (deaf while it boots), an image ends at
 * its short datagram and may bring a new version, and its losses follow the
 * seed. Then its settings, its command line, and the real program on
 * loopback sockets (the test main has moved into a private network, which
 * the simulator child inherits, so 127.0.0.255 stands in for a broadcast).
 */
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "sim_module.h"
#include "sim_options.h"
#include "sim_runner.h"
#include "sim_settings.h"
#include "sim_text.h"
#include "tool_socket.h"

using kxsim::at_status;
using kxsim::behaviour;
using kxsim::parse_result;
using kxsim::settings;
using kxsim::sim_config;
using kxsim::sim_module;

namespace {

const std::string chunk = std::string("\0\n", 2) + std::string(kxsim::firmware_chunk - 2, 'a');

sim_module make_module(const behaviour& how = {}, uint32_t seed = 1)
{
    return sim_module({0x7f000002, "ACCF23000002", "KXD40-0002", how}, kxsim::default_keyword, seed);
}

std::string replaced(std::string s, const std::string& from, const std::string& to)
{
    for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
        s.replace(at, from.size(), to);
    return s;
}

/* The bytes as a transcript writes them (\r \n \0 escaped, @chunk a full
 * firmware datagram) or, BACK, the bytes a transcript's text stands for. */
std::string written(std::string s, bool back = false)
{
    const std::string marks[][2] = {
        {chunk, "@chunk"}, {"\r", "\\r"}, {"\n", "\\n"}, {std::string(1, '\0'), "\\0"}};
    for (int i = 0; i < 4; ++i)
        s = back ? replaced(s, marks[3 - i][1], marks[3 - i][0]) : replaced(s, marks[i][0], marks[i][1]);
    return s;
}

/* Plays the datagrams of TRANSCRIPT, one a line: "[MS ]P> DATA" ("P>" an
 * empty one), P being t (the tool) or o (another program on the PC), DATA
 * written as above; "image?" asks for a whole image. Returns the same lines,
 * each followed by what came back as " < DATA". */
std::string play(const std::string& transcript, const behaviour& how = {})
{
    sim_module m = make_module(how);
    std::istringstream lines(transcript);
    std::string line, out;
    while (std::getline(lines, line)) {
        line = line.substr(0, line.find(" < "));
        out += line;
        std::vector<std::string> replies;
        std::string image;
        if (line == "image?" && m.take_firmware(&image))
            replies.push_back(image);
        size_t arrow = line.find('>');
        if (arrow != std::string::npos) {
            const kxsim::peer from{0x7f000001, uint16_t(line[arrow - 1] == 't' ? 48899 : 50000)};
            const std::string data = written(line.substr(std::min(arrow + 2, line.size())), true);
            replies = m.handle(data, from, arrow > 1 ? std::stol(line) : 0);
        }
        for (const std::string& r : replies)
            out += " < " + written(r);
        out += "\n";
    }
    return out;
}

settings unit_settings() { return settings({"127.0.0.2", "ACCF23001A2B", "KXD40-0002-LONG-NAME"}); }

std::string value_of(const settings& s, const std::string& name)
{
    std::string v;
    EXPECT_EQ(s.query(name, &v), at_status::ok) << name;
    return v;
}

parse_result parse(std::vector<std::string> args, sim_config* config, std::string* error)
{
    std::vector<const char*> argv = {"kxd40-sim"};
    for (const std::string& a : args)
        argv.push_back(a.c_str());
    return kxsim::parse_options(static_cast<int>(argv.size()), argv.data(), config, error);
}

sim_config parsed(std::vector<std::string> args)
{
    sim_config config;
    std::string error;
    EXPECT_EQ(parse(args, &config, &error), parse_result::run) << error;
    return config;
}

/* Each module as "ip,mac,id latency silent boot next-version lose keep". */
std::vector<std::string> described(const sim_config& c)
{
    std::vector<std::string> out;
    for (const kxsim::module_config& m : c.modules)
        out.push_back(kxsim::ipv4_text(m.addr) + "," + m.mac + "," + m.id + " " + std::to_string(m.how.latency_ms) +
                      " " + std::to_string(m.how.silent) + " " + std::to_string(m.how.boot_ms) + " " +
                      m.how.next_version + " " + m.how.lose + " " + std::to_string(m.how.keep_settings));
    return out;
}

} // namespace

/* One row per exchange: what it guards, the module's behaviour, the exchange as played. */
const struct {
    const char* guards;
    void (*how)(behaviour&);
    const char* transcript;
} exchanges[] = {
    {"a near keyword, +ok unasked, a line ended wrongly go unanswered; a linked module still answers a search; "
     "AT+E toggles an echo before the reply; a restart is not answered, ends link and echo, keeps settings; "
     "an image is taken verbatim up to its short datagram, even a keyword, others served meanwhile",
     nullptr, R"(
t> KX-D40LOCATORPING\n
t> KX-D40LOCATORPIN
t> kx-d40locatorping
t> AT+VER\n
t> +ok
t> AT+VER\n
t> KX-D40LOCATORPING < 127.0.0.2,ACCF23000002,KXD40-0002
t> +ok\r\n
t> +OK
t> ok
t> AT+VER\n
t> KX-D40LOCATORPING < 127.0.0.2,ACCF23000002,KXD40-0002
t> +ok
o> KX-D40LOCATORPING < 127.0.0.2,ACCF23000002,KXD40-0002
t> AT+VER\n < +ok=V1.0.8\r\n\r\n
t> AT+VER < +ERR=-1\r\n\r\n
t> AT+VER\r\n < +ERR=-1\r\n\r\n
t> at+VER\n < +ERR=-1\r\n\r\n
t> AT+FOO\n < +ERR=-1\r\n\r\n
t> AT+WMODE=XX\n < +ERR=-2\r\n\r\n
t> AT+WMODE=STA\n < +ok\r\n\r\n
t> AT+WMODE\n < +ok=STA\r\n\r\n
t> AT+E\n < +ok\r\n\r\n
t> AT+WMODE=STA\n < AT+WMODE=STA\n < +ok\r\n\r\n
t> AT+E\n < AT+E\n < +ok\r\n\r\n
t> AT+E\n < +ok\r\n\r\n
t> AT+Z\n
t> +ok
t> AT+WMODE\n
t> KX-D40LOCATORPING < 127.0.0.2,ACCF23000002,KXD40-0002
t> +ok
t> AT+WMODE\n < +ok=STA\r\n\r\n
t> AT+FWUPDAT\n < +ok\r\n\r\n
t> @chunk
image?
o> KX-D40LOCATORPING < 127.0.0.2,ACCF23000002,KXD40-0002
t> KX-D40LOCATORPING
image? < @chunkKX-D40LOCATORPING
t> AT+VER\n
t> KX-D40LOCATORPING < 127.0.0.2,ACCF23000002,KXD40-0002
t> +ok
t> AT+VER\n < +ok=V1.0.8\r\n\r\n
t> AT+FWUPDAT\n < +ok\r\n\r\n
t> @chunk
t>
image? < @chunk
)"},
    {"the fault tests mean something only if the faults happen: twice is twice",
     [](behaviour& b) { b.twice = b.echo = true; }, R"(
t> KX-D40LOCATORPING < 127.0.0.2,ACCF23000002,KXD40-0002 < 127.0.0.2,ACCF23000002,KXD40-0002
t> +ok
t> AT+TCPTO\n < AT+TCPTO\n < AT+TCPTO\n < +ok=300\r\n\r\n < +ok=300\r\n\r\n
)"},
    {"deaf, not merely mute, while booting after a restart or an image: even a keyword is forgotten",
     [](behaviour& b) { b.boot_ms = 3000; }, R"(
t> KX-D40LOCATORPING < 127.0.0.2,ACCF23000002,KXD40-0002
t> +ok
1000 t> AT+Z\n
3999 o> KX-D40LOCATORPING
3999 t> KX-D40LOCATORPING
4000 t> +ok
4000 t> AT+VER\n
4000 t> KX-D40LOCATORPING < 127.0.0.2,ACCF23000002,KXD40-0002
4000 t> +ok
4000 t> AT+VER\n < +ok=V1.0.8\r\n\r\n
5000 t> AT+FWUPDAT\n < +ok\r\n\r\n
6000 t> end
8999 o> KX-D40LOCATORPING
9000 o> KX-D40LOCATORPING < 127.0.0.2,ACCF23000002,KXD40-0002
9000 t> AT+VER\n
)"},
    {"a whole image brings the next version, which a factory reset keeps",
     [](behaviour& b) { b.next_version = "V2.0.1"; }, R"(
t> KX-D40LOCATORPING < 127.0.0.2,ACCF23000002,KXD40-0002
t> +ok
t> AT+VER\n < +ok=V1.0.8\r\n\r\n
t> AT+FWUPDAT\n < +ok\r\n\r\n
t> @chunk
o> KX-D40LOCATORPING < 127.0.0.2,ACCF23000002,KXD40-0002
o> +ok
o> AT+VER\n < +ok=V1.0.8\r\n\r\n
t> end
t> KX-D40LOCATORPING < 127.0.0.2,ACCF23000002,KXD40-0002
t> +ok
t> AT+VER\n < +ok=V2.0.1\r\n\r\n
t> AT+RELD\n < +ok\r\n\r\n
t> AT+VER\n < +ok=V2.0.1\r\n\r\n
)"},
};

TEST(SimModule, ExchangesGoDatagramForDatagramAsTheirTranscriptsSay)
{
    for (const auto& e : exchanges) {
        behaviour how;
        if (e.how)
            e.how(how);
        EXPECT_EQ(play(e.transcript, how), e.transcript) << e.guards;
    }
}

TEST(SimModule, DropsFollowTheSeed)
{
    auto decisions = [](double rate, uint32_t seed) {
        behaviour lossy;
        lossy.drop_rate = rate;
        sim_module s = make_module(lossy, seed);
        std::vector<bool> d;
        for (int i = 0; i < 400; ++i)
            d.push_back(s.drop_next());
        return d;
    };
    EXPECT_EQ(decisions(0.3, 7), decisions(0.3, 7));
    EXPECT_NE(decisions(0.3, 7), decisions(0.3, 8));
    std::vector<bool> half = decisions(0.5, 3);
    long dropped = std::count(half.begin(), half.end(), true);
    EXPECT_GT(dropped, 120);
    EXPECT_LT(dropped, 280);
}

/* What the tool reads from the simulator it can write back, as to a module. */
TEST(SimSettings, EveryReportedValueCanBeSetAgainButTheReadOnlyOnes)
{
    settings s = unit_settings();
    for (const char* name : {"MID", "VER", "WMODE", "TMODE", "WEBU", "UART", "UARTF", "UARTFT", "UARTFL", "NETP",
                             "MAXSK", "TCPTO", "WAP", "WAKEY", "WSKEY", "LANN", "DHCPGW", "WSSSID", "WANN"}) {
        const std::string n = name, v = value_of(s, n);
        EXPECT_FALSE(v.empty()) << n;
        bool read_only = n == "MID" || n == "VER";
        /* DHCP takes no addresses: the ones reported are kept from before. */
        const std::string set = n == "WANN" ? v.substr(0, v.find(',')) : v;
        EXPECT_EQ(s.assign(n, set), read_only ? at_status::refused : at_status::ok) << n << "=" << set;
        EXPECT_EQ(value_of(s, n), v) << n;
    }
    EXPECT_EQ(value_of(s, "MID"), "KXD40-0002-LONG") << "the ID cut to 15 characters";
    std::string v = "untouched";
    EXPECT_EQ(s.query("wmode", &v), at_status::refused);
    EXPECT_EQ(v, "untouched");
}

TEST(SimSettings, TextsWithCommasAreTakenWholeAndRefusalsChangeNothing)
{
    settings s = unit_settings();
    for (auto& [name, value] : std::vector<std::pair<std::string, std::string>>{
             {"WAP", "11N,a,b,,c,Auto"},         // the SSID is everything between
             {"WAKEY", "WPAPSK,TKIPAES,a,b,,c"}, // the key is all after two commas
             {"WSSSID", "home,net,"}}) {
        EXPECT_EQ(s.assign(name, value), at_status::ok) << name << "=" << value;
        EXPECT_EQ(value_of(s, name), value);
    }
    const settings before = s;
    for (auto& [name, value] : std::vector<std::pair<std::string, std::string>>{
             {"UARTFT", "99"}, {"UART", "9600,8,1,None"}, {"NETP", "TCP,Server,1,bad_host"},
             {"WAP", "11G," + std::string(33, 's') + ",CH7"}, {"WAKEY", "WPA2PSK,AES,"},
             {"WANN", "DHCP,1.1.1.1,2.2.2.2,3.3.3.3"}}) {
        EXPECT_EQ(s.assign(name, value), at_status::bad_value) << name << "=" << value;
        EXPECT_EQ(value_of(s, name), value_of(before, name)) << name << "=" << value;
    }
}

TEST(SimOptions, NamesComeFromTheAddressAndBehaviourReachesOnlyTheModulesAfterIt)
{
    sim_config c = parsed({"--module", "198.51.100.20", "--latency", "250", "--module", "10.1.2.3,AABBCCDDEEFF",
                           "--silent", "--boot-ms=4000", "--next-version", "V2 beta", "--lose", "AT+Z",
                           "--keep-settings", "--module", "127.0.0.4", "--reset-behaviour", "--module", "127.0.0.5"});
    EXPECT_EQ(described(c), (std::vector<std::string>{"198.51.100.20,ACCF23336414,KXD40-5620 0 0 0   0",
                                                      "10.1.2.3,AABBCCDDEEFF,KXD40-0515 250 0 0   0",
                                                      "127.0.0.4,ACCF23000004,KXD40-0004 250 1 4000 V2 beta AT+Z 1",
                                                      "127.0.0.5,ACCF23000005,KXD40-0005 0 0 0   0"}));
    c = parsed({"--latency", "5", "--firmware", "/tmp/fw", "--modules", "2", "--first", "127.0.0.2"});
    EXPECT_EQ(c.modules[1].how.latency_ms, 5) << "the counted modules take the last behaviour";
    EXPECT_EQ(kxsim::firmware_file(c, "127.0.0.3"), "/tmp/fw.127.0.0.3");
    c = parsed({"--modules", "65536", "--first", "10.7.0.0"});
    ASSERT_EQ(c.modules.size(), 65536u) << "a whole /16";
    EXPECT_EQ(kxsim::ipv4_text(c.modules.back().addr), "10.7.255.255");
}

TEST(SimOptions, BadLinesAreRefusedWithAReason)
{
    const std::vector<std::vector<std::string>> bad = {
        {"--module", "127.0.0.256"}, {"--module", "127.0.0.2", "--module", "127.0.0.2"},
        {"--drop-rate", "1.5"},      {"--latency"},
        {"--bogus"},                 {"127.0.0.2"},
        {"--boot-ms", "-1"},         {"--next-version", "V2\r\n"},
        {"--lose", ""},
        {"--modules", "65537", "--first", "10.7.0.0"},
        {"--modules", "3", "--first", "10.7.0.1", "--module", "10.7.0.3"},
    };
    for (const auto& args : bad) {
        sim_config c;
        std::string error;
        EXPECT_EQ(parse(args, &c, &error), parse_result::fail) << args[0];
        EXPECT_FALSE(error.empty()) << args[0];
    }
}

TEST(SimProgram, ServesInSendingOrderAndSlowModulesHoldUpNoOne)
{
    tool_socket tool;
    ASSERT_TRUE(tool.bound());
    sim_child sim({"--broadcast", "127.0.0.255", "--module", "127.0.0.2", "--latency", "1500",
                   "--module", "127.0.0.3"});
    ASSERT_TRUE(sim.wait_for("kxd40-sim: ready\n"));
    // Three sockets hold one datagram each when the simulator wakes up; the
    // broadcast keyword must still come before the "+ok" sent after it.
    sim.pause();
    tool.send("127.0.0.255", "KX-D40LOCATORPING");
    tool.send("127.0.0.2", "+ok");
    tool.send("127.0.0.2", "AT+VER\n");
    sim.resume();
    std::string from;
    EXPECT_EQ(tool.receive(&from), "127.0.0.2,ACCF23000002,KXD40-0002");
    EXPECT_EQ(tool.receive(&from), "+ok=V1.0.8\r\n\r\n") << "the keyword came first";
    EXPECT_EQ(tool.receive(&from), "127.0.0.3,ACCF23000003,KXD40-0003");
    EXPECT_EQ(from, "127.0.0.3") << "the slow module answers last";
}

/* Each module holds a socket: ten thousand need more open files than the
 * usual soft limit of 1024, which the simulator raises to the hard limit
 * itself; the last module, its socket far past the 1024th descriptor,
 * answers like the first. A limit it cannot raise far enough is said,
 * with the count it needed, before any socket is bound. */
TEST(SimProgram, TenThousandModulesAnswerPastTheUsualLimitOnOpenFiles)
{
    tool_socket tool;
    ASSERT_TRUE(tool.bound());
    rlimit before{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &before), 0);
    if (before.rlim_max != RLIM_INFINITY && before.rlim_max < 10100)
        GTEST_SKIP() << "the hard limit on open files, " << before.rlim_max << ", holds no 10000 sockets";
    rlimit usual{1024, before.rlim_max};
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &usual), 0);
    sim_child sim({"--modules", "10000", "--first", "127.1.0.1"});
    setrlimit(RLIMIT_NOFILE, &before);
    ASSERT_TRUE(sim.wait_for("kxd40-sim: ready\n") || sim.wait_for("kxd40-sim: ready\n"));
    for (const char* ip : {"127.1.0.1", "127.1.3.255", "127.1.4.0", "127.1.39.16"}) {
        uint32_t addr = 0;
        ASSERT_TRUE(kxsim::parse_ipv4(ip, &addr));
        ASSERT_TRUE(tool.send(ip, "KX-D40LOCATORPING"));
        std::string from;
        EXPECT_EQ(tool.receive(&from), std::string(ip) + "," + kxsim::default_mac(addr) + "," +
                                           kxsim::default_id(addr));
        EXPECT_EQ(from, ip);
    }
    EXPECT_EQ(sim.stop(), 0);

    /* A hard limit too low for the modules, which an unprivileged process
     * cannot raise. */
    temp_file err;
    pid_t pid = fork();
    if (pid == 0) {
        rlimit low{64, 64};
        int fd = open(err.path.c_str(), O_WRONLY | O_TRUNC);
        if (setrlimit(RLIMIT_NOFILE, &low) != 0 || fd < 0 || dup2(fd, STDERR_FILENO) < 0)
            _exit(99);
        execl(KXD40_SIM_PATH, "kxd40-sim", "--modules", "100", "--first", "127.2.0.1", nullptr);
        _exit(98);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 1);
    EXPECT_EQ(err.text(), "kxd40-sim: 100 modules: they need 116 open files, but the limit is 64 (ulimit -n) "
                          "and cannot be raised further\n");
}
