/*
 * defaults_test.cpp - what kxd40ctl takes when the command line is silent:
 * keyword files and KXD40CTL_ variables. The simulator answers a keyword
 * that is not the default one, so a search finds it only when the file
 * meant to be read was read.
 */
#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <sys/stat.h>

#include "ctl_run.h"
#include "sim_runner.h"
#include "temp_dir.h"

namespace {

const char site_keyword[] = "SiteKeyword-7";
const std::vector<std::string> site_module = {"--broadcast", "127.255.255.255", "--keyword", site_keyword,
                                              "--module", "127.0.0.2"};
const std::string found = "127.0.0.2        ACCF23000002       KXD40-0002\n";

/* Each case in a directory of its own; data/ there holds a keyword that
 * answers nothing until a case removes it. */
struct CtlDefaults : InTempDir {
    void SetUp() override
    {
        InTempDir::SetUp();
        write("data/aswd.txt", "NotTheSiteKeyword");
    }
    /* The keyword file of a window installed under base (XDG_DATA_HOME). */
    void install_keyword(const std::string& base, const std::string& keyword)
    {
        std::string all = base + "/kxd40-tool/data";
        for (size_t slash = all.find('/', dir.size() + 1); slash != std::string::npos; slash = all.find('/', slash + 1))
            mkdir(all.substr(0, slash).c_str(), 0755);
        mkdir(all.c_str(), 0755);
        write((base + "/kxd40-tool/data/aswd.txt").c_str(), keyword);
    }
    void forget_own_keyword()
    {
        ASSERT_EQ(std::remove("data/aswd.txt"), 0);
        ASSERT_EQ(rmdir("data"), 0);
    }
    std::string path(const std::string& name) const { return dir + "/" + name; }
};

/* How many datagrams went to the module's own address. */
size_t sent_to_module(const sim_process& sim)
{
    std::vector<sim_datagram> log = sim.received();
    return std::count_if(log.begin(), log.end(), [](const sim_datagram& d) { return d.target == "127.0.0.2"; });
}

} // namespace

/* The keyword from --keyword-file, its variable, data/ here, then the
 * installed window's under XDG_DATA_HOME or HOME; an unreadable one stops. */
TEST_F(CtlDefaults, KeywordComesFromTheOptionItsVariableDataOrTheInstalledWindow)
{
    sim_process sim(site_module);
    ASSERT_TRUE(sim.ready());
    install_keyword(path("xdg"), site_keyword);
    install_keyword(path("home/.local/share"), site_keyword);
    write("site.txt", site_keyword);
    write("echoed.txt", std::string(site_keyword) + "\n");
    const std::string xdg = "XDG_DATA_HOME=" + path("xdg"), variable = "KXD40CTL_KEYWORD_FILE=site.txt";
    const std::vector<std::string> search = {"search", "--from", "127.0.0.1"};
    const std::string to = "; broadcast to 127.255.255.255 from 127.0.0.1)\n",
                      none = "kxd40ctl: no module answered (the keyword of data/aswd.txt" + to;
    const struct {
        std::vector<std::string> env, args;
        std::string expected; /* status, stdout, stderr */
    } with_data[] = {
        {{xdg}, {"search", "--from", "127.0.0.1", "--keyword-file", "site.txt"}, "0\n" + found + "\n"},
        {{xdg, variable}, search, "0\n" + found + "\n"},
        {{xdg}, {"read", "--keyword-file", "gone.txt", "127.0.0.2"},
         "2\n\nkxd40ctl: --keyword-file gone.txt: No such file or directory (try --help)\n"},
        {{"KXD40CTL_KEYWORD_FILE=data"}, {"read", "127.0.0.2"},
         "2\n\nkxd40ctl: KXD40CTL_KEYWORD_FILE=data: not a regular file (try --help)\n"},
        {{xdg}, search, "1\n\n" + none},
        {{xdg, variable}, {"search", "--from", "127.0.0.1", "--keyword-file", "data/aswd.txt"}, "1\n\n" + none},
        {{xdg}, {"search", "--from", "127.0.0.1", "--keyword-file", "echoed.txt"},
         "1\n\nkxd40ctl: no module answered (the keyword of echoed.txt, ending in a line break that is sent with it" +
             to},
    }, without_data[] = {
        {{xdg, "HOME=/nonexistent"}, search, "0\n" + found + "\n"},
        {{"HOME=" + path("home"), "XDG_DATA_HOME="}, search, "0\n" + found + "\n"},
        {{"HOME=" + path("home"), "XDG_DATA_HOME"}, search, "0\n" + found + "\n"},
        {{"HOME=/nonexistent"}, {"read", "--all", "--from", "127.0.0.1"},
         "1\n\nkxd40ctl: the search found no module (the default keyword, no keyword file" + to},
    };
    /* A search nobody answers waits out its passes: those runs go side by
     * side from the start, each in a network of its own (without data/
     * elsewhere), the others one by one here meanwhile. */
    mkdir(path("elsewhere").c_str(), 0755);
    std::vector<std::future<ctl_result>> alone;
    auto start = [&](const auto& table, const std::string& in) {
        for (const auto& c : table)
            if (c.expected[0] == '1')
                alone.push_back(std::async(std::launch::async, [&c, in] { return ctl_env(c.env, c.args, in); }));
    };
    start(with_data, dir);
    start(without_data, path("elsewhere"));
    auto next = alone.begin();
    auto run = [&](const auto& table) {
        for (const auto& c : table) {
            size_t before = sim.received().size();
            ctl_result r = c.expected[0] == '1' ? next++->get() : ctl_env(c.env, c.args);
            EXPECT_EQ(std::to_string(r.status) + "\n" + r.out + "\n" + r.err, c.expected) << c.args[0];
            if (r.status == 2) {
                EXPECT_EQ(sim.received().size(), before) << "nothing is sent after a usage error";
            }
        }
    };
    run(with_data);
    forget_own_keyword();
    run(without_data);
    EXPECT_EQ(ctl_env({xdg}, {"read", "--json", "127.0.0.2"}).status, 0);
}

/* A variable gives an option's default, the option given wins, and a
 * value the option would refuse is refused naming the variable. */
TEST_F(CtlDefaults, VariablesGiveDefaultsThatOptionsOverride)
{
    sim_process sim({"--silent", "--module", "127.0.0.2"});
    ASSERT_TRUE(sim.ready());
    auto sends = [&](const std::vector<std::string>& env, std::vector<std::string> extra) {
        size_t before = sent_to_module(sim);
        std::vector<std::string> args = {"send", "--timeout", "20", "127.0.0.2", "AT+VER"};
        args.insert(args.begin() + 1, extra.begin(), extra.end());
        EXPECT_EQ(ctl_env(env, args).status, 1) << "a silent module";
        return sent_to_module(sim) - before;
    };
    size_t one = sends({}, {"--tries", "1"}), three = sends({}, {"--tries", "3"});
    ASSERT_LT(one, three);
    EXPECT_EQ(sends({"KXD40CTL_TRIES=3"}, {}), three);
    EXPECT_EQ(sends({"KXD40CTL_TRIES=3"}, {"--tries", "1"}), one);
    EXPECT_EQ(sends({"KXD40CTL_TRIES="}, {"--tries", "1"}), one) << "empty is unset";

    /* The time-out's lower bound only: a busy machine can stretch it. */
    size_t before = sim.received().size();
    EXPECT_EQ(ctl_env({"KXD40CTL_TIMEOUT=300"}, {"send", "--tries", "2", "127.0.0.2", "AT+VER"}).status, 1);
    std::vector<sim_datagram> log = sim.received();
    ASSERT_GE(log.size(), before + 2);
    EXPECT_GE(log[before + 1].t_ms - log[before].t_ms, 290) << "the second keyword waited for the time-out";

    EXPECT_EQ(ctl_env({"KXD40CTL_FROM=192.0.2.1"}, {"send", "--from", "127.0.0.1", "--tries", "1", "127.0.0.2",
                                                    "AT+VER"}).status, 1)
        << "the option wins: the variable's address, not this machine's, is not even checked";

    before = sim.received().size();
    for (std::string bad : {"KXD40CTL_TRIES=0", "KXD40CTL_TIMEOUT=soon", "KXD40CTL_FROM=192.0.2.1"}) {
        ctl_result r = ctl_env({bad}, {"send", "127.0.0.2", "AT+VER"});
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_EQ(r.err.rfind("kxd40ctl: " + bad + ":", 0) == 0 || r.err.rfind("kxd40ctl: " + bad + " ", 0) == 0, true)
            << r.err;
    }
    EXPECT_EQ(sim.received().size(), before) << "nothing is sent after a usage error";
}

/* The search goes from the variable's address: a module beside each
 * broadcast address says which was searched. */
TEST_F(CtlDefaults, LocalAddressFromTheVariable)
{
    ASSERT_EQ(std::system("ip addr add 192.0.2.1/24 brd + dev lo"), 0);
    sim_process sim(site_module), other({"--broadcast", "192.0.2.255", "--keyword", site_keyword, "--module",
                                         "127.0.0.3"});
    ASSERT_TRUE(sim.ready() && other.ready());
    write("site.txt", site_keyword);
    const std::vector<std::string> search = {"search", "--keyword-file", "site.txt"};
    std::vector<std::string> given = search;
    given.insert(given.end(), {"--from", "192.0.2.1"});
    const std::string third = "127.0.0.3        ACCF23000003       KXD40-0003\n";
    EXPECT_EQ(ctl(search).out, third) << "the address a window offers first";
    EXPECT_EQ(ctl_env({"KXD40CTL_FROM=127.0.0.1"}, search).out, found);
    EXPECT_EQ(ctl_env({"KXD40CTL_FROM=127.0.0.1"}, given).out, third) << "the option wins";
    EXPECT_EQ(std::system("ip addr del 192.0.2.1/24 dev lo"), 0);
}
