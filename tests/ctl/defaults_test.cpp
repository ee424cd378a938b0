/*
 * defaults_test.cpp - where kxd40ctl takes what the command line leaves
 * out: the keyword file of the installed window, --keyword-file, and the
 * KXD40CTL_ variables; and what it says when no module answers.
 *
 * The simulator answers a keyword that is not the default one, so a
 * search finds it only when the file meant to be read was read.
 */
#include <gtest/gtest.h>

#include <algorithm>
#include <sys/stat.h>

#include "ctl_run.h"
#include "sim_runner.h"
#include "temp_dir.h"

namespace {

const char site_keyword[] = "SiteKeyword-7";
const std::vector<std::string> site_module = {"--broadcast", "127.0.0.255", "--keyword", site_keyword,
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

/* No data/ here: the installed window's keyword file is read, under
 * XDG_DATA_HOME or, with that unset or empty, under HOME as the launcher
 * has it; a data/ here comes first. */
TEST_F(CtlDefaults, KeywordOfTheInstalledWindowServesWhenThereIsNoDataDirectory)
{
    sim_process sim(site_module);
    ASSERT_TRUE(sim.ready());
    install_keyword(path("xdg"), site_keyword);
    install_keyword(path("home/.local/share"), site_keyword);
    const std::vector<std::string> search = {"search", "--from", "127.0.0.1"};

    ctl_result own = ctl_env({"XDG_DATA_HOME=" + path("xdg")}, search);
    EXPECT_EQ(own.status, 1) << "data/aswd.txt here comes first: " << own.out;

    forget_own_keyword();
    ctl_result xdg = ctl_env({"XDG_DATA_HOME=" + path("xdg"), "HOME=/nonexistent"}, search);
    EXPECT_EQ(xdg.status, 0) << xdg.err;
    EXPECT_EQ(xdg.out, found);
    for (const char* unset : {"XDG_DATA_HOME=", "XDG_DATA_HOME"}) {
        ctl_result home = ctl_env({"HOME=" + path("home"), unset}, search);
        EXPECT_EQ(home.out, found) << unset << ": " << home.err;
    }
    /* The keyword also opens each link: a read needs it too. */
    ctl_result read = ctl_env({"XDG_DATA_HOME=" + path("xdg")}, {"read", "--json", "127.0.0.2"});
    EXPECT_EQ(read.status, 0) << read.err;
}

/* --keyword-file (or its variable) wins over data/ and the installed
 * window's file; one that cannot be read stops everything. */
TEST_F(CtlDefaults, KeywordFileGivenWinsAndMustBeReadable)
{
    sim_process sim(site_module);
    ASSERT_TRUE(sim.ready());
    install_keyword(path("xdg"), "AlsoNotIt");
    write("site.txt", site_keyword);
    std::vector<std::string> xdg = {"XDG_DATA_HOME=" + path("xdg")};

    ctl_result given = ctl_env(xdg, {"search", "--from", "127.0.0.1", "--keyword-file", "site.txt"});
    EXPECT_EQ(given.status, 0) << given.err;
    EXPECT_EQ(given.out, found);
    std::vector<std::string> by_variable = {"XDG_DATA_HOME=" + path("xdg"), "KXD40CTL_KEYWORD_FILE=site.txt"};
    EXPECT_EQ(ctl_env(by_variable, {"search", "--from", "127.0.0.1"}).out, found);
    EXPECT_EQ(ctl_env(by_variable, {"search", "--from", "127.0.0.1", "--keyword-file", "data/aswd.txt"}).status, 1)
        << "the option wins over its variable";

    size_t before = sim.received().size();
    ctl_result missing = ctl_env(xdg, {"read", "--keyword-file", "gone.txt", "127.0.0.2"});
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.err, "kxd40ctl: --keyword-file gone.txt: No such file or directory (try --help)\n");
    ctl_result directory = ctl_env({"KXD40CTL_KEYWORD_FILE=data"}, {"read", "127.0.0.2"});
    EXPECT_EQ(directory.status, 2);
    EXPECT_EQ(directory.err, "kxd40ctl: KXD40CTL_KEYWORD_FILE=data: not a regular file (try --help)\n");
    EXPECT_EQ(sim.received().size(), before) << "nothing is sent after a usage error";
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

/* With a second address on this machine's (private) network, the search
 * goes from the variable's address, not from the default one. */
TEST_F(CtlDefaults, LocalAddressFromTheVariable)
{
    sim_process sim(site_module);
    ASSERT_TRUE(sim.ready());
    write("site.txt", site_keyword);
    ASSERT_EQ(std::system("ip addr add 192.0.2.1/24 dev lo"), 0);
    ctl_result by_default = ctl({"search", "--keyword-file", "site.txt"});
    ctl_result by_variable = ctl_env({"KXD40CTL_FROM=127.0.0.1"}, {"search", "--keyword-file", "site.txt"});
    ctl_result option_wins = ctl_env({"KXD40CTL_FROM=127.0.0.1"}, {"search", "--keyword-file", "site.txt", "--from",
                                                                     "192.0.2.1"});
    EXPECT_EQ(std::system("ip addr del 192.0.2.1/24 dev lo"), 0);
    EXPECT_NE(by_default.err.find("from 192.0.2.1)"), std::string::npos) << "the address a window offers first";
    EXPECT_EQ(by_variable.out, found) << by_variable.err;
    EXPECT_NE(option_wins.err.find("from 192.0.2.1)"), std::string::npos) << option_wins.err;
}

/* A search nobody answers says which keyword went where: the usual
 * reasons are a keyword or a network other than the modules'. A keyword
 * file written by echo ends in a line break, sent with the keyword as the
 * window sends it. */
TEST_F(CtlDefaults, NoAnswerNamesTheKeywordFileAndTheAddresses)
{
    sim_process sim(site_module);
    ASSERT_TRUE(sim.ready());
    write("site.txt", std::string(site_keyword) + "\n");
    const std::pair<std::string, std::string> searches[] = {
        {"", "data/aswd.txt"},
        {"site.txt", "site.txt, ending in a line break that is sent with it"},
    };
    for (const auto& [file, told] : searches) {
        std::vector<std::string> args = {"search", "--from", "127.0.0.1", "--keyword-file", file};
        ctl_result r = ctl(std::vector<std::string>(args.begin(), args.end() - (file.empty() ? 2 : 0)));
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "kxd40ctl: no module answered (the keyword of " + told +
                             "; broadcast to 127.0.0.255 from 127.0.0.1)\n");
    }
    forget_own_keyword();
    ctl_result none = ctl({"read", "--all", "--from", "127.0.0.1"});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.err, "kxd40ctl: the search found no module (the default keyword, no keyword file; broadcast "
                        "to 127.0.0.255 from 127.0.0.1)\n");
}
