/*
 * ctl_test.cpp - the real kxd40ctl against simulated modules, each case in
 * a private network of its own (the test main leaves the machine's).
 */
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <csignal>
#include <algorithm>
#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "ctl_run.h"
#include "netio.h"
#include "port_claim.h"
#include "sim_runner.h"

using nlohmann::json;

namespace {

const std::vector<std::string> three = {"--broadcast", "127.255.255.255", "--modules", "3", "--first", "127.0.0.2"};

} // namespace

TEST(Ctl, ReadCommandsOfOneModuleAppliedToAnotherClonesItsSettings)
{
    sim_process sim(three);
    ASSERT_TRUE(sim.ready());
    ctl_result changed = ctl({"send", "127.0.0.2", "AT+WMODE=STA", "AT+UART=9600,7,2,Even,FC",
                              "AT+NETP=UDP,Client,1234,example.org", "AT+WAKEY=WPA2PSK,TKIP,secret99",
                              "AT+WANN=Static,192.0.2.7,255.255.255.0,192.0.2.1"});
    ASSERT_EQ(changed.status, 0) << changed.out << changed.err;
    ctl_result backup = ctl({"read", "--commands", "127.0.0.2"});
    ASSERT_EQ(backup.status, 0) << backup.err;
    EXPECT_EQ(backup.out.find("AT+MID"), std::string::npos) << "the MID is the module's own";
    ASSERT_GE(backup.out.size(), 3u);
    EXPECT_EQ(backup.out.substr(backup.out.size() - 3), "\nE\n") << "a command file ends with E";
    temp_file file;
    write_file(file.path, backup.out);
    ctl_result applied = ctl({"apply", file.path, "127.0.0.3"});
    EXPECT_EQ(applied.status, 0) << applied.out << applied.err;

    json a = settings_of("127.0.0.2"), b = settings_of("127.0.0.3");
    EXPECT_EQ(a["communication"]["server"], "example.org");
    EXPECT_EQ(b["management"]["wifi_mode"], "STA") << "B differs from the factory settings now";
    /* B keeps what names it: its ID and its factory access point. */
    EXPECT_EQ(b["management"]["mid"], "KXD40-0003");
    EXPECT_EQ(b["ap"]["ssid"], "KXD40_0003");
    for (json* m : {&a, &b}) {
        (*m)["management"].erase("mid");
        (*m)["ap"].erase("ssid");
    }
    for (const char* page : {"management", "communication", "ap", "sta"})
        EXPECT_EQ(b[page], a[page]) << page;

    /* Back onto A, the recipe changes nothing: only queries reach it. */
    size_t before = sim.received().size();
    ctl_result back = ctl({"apply", file.path, "127.0.0.2"});
    EXPECT_EQ(back.status, 0) << back.err;
    EXPECT_EQ(back.out, "127.0.0.2 unchanged\n");
    std::vector<sim_datagram> log = sim.received();
    for (size_t i = before; i < log.size(); ++i)
        EXPECT_EQ(log[i].bytes.find('='), std::string::npos) << log[i].bytes;
}

/* --verify tells each line's fate; of a command set twice the second
 * counts, and 0007 is what a module holding 7 has. */
TEST(Ctl, ApplyVerifyReportsWhatWasRefused)
{
    sim_process sim({"--module", "127.0.0.2"});
    ASSERT_TRUE(sim.ready());
    const std::string twice = "AT+MAXSK=6\nAT+MAXSK=0007\nE\n";
    expect_cases(sim, {
        {{"apply", "--verify", "FILE", "127.0.0.2"}, "AT+MAXSK=5\nAT+FWUPDAT\r\nAT+UARTFT=50\nAT+WSSSID=Lab\nE\n",
         "1\n127.0.0.2 ok AT+MAXSK=5\n127.0.0.2 refused AT+FWUPDAT\n127.0.0.2 refused AT+UARTFT=50\n"
         "127.0.0.2 ok AT+WSSSID=Lab\n127.0.0.2 changed: 2 line(s)\n"
         "127.0.0.2 communication.auto_frame_time: module 100, desired 50\n--\n"
         "kxd40ctl: 127.0.0.2: the module refused or was not sent a line\n",
         "127.0.0.2 AT+MAXSK=5\n127.0.0.2 AT+UARTFT=50\n127.0.0.2 AT+WSSSID=Lab\n"},
        {{"apply", "--verify", "FILE", "127.0.0.2"}, twice,
         "0\n127.0.0.2 ok AT+MAXSK=7\n127.0.0.2 changed: 1 line(s)\n--\n",
         "127.0.0.2 AT+MAXSK=7\n"},
        {{"apply", "--verify", "FILE", "127.0.0.2"}, twice, "0\n127.0.0.2 unchanged\n--\n", ""},
    });
    for (const sim_datagram& d : sim.received())
        EXPECT_EQ(d.bytes.find("FWUPDAT"), std::string::npos) << "only an upload switches a module";
}

/* --id reaches the matching modules alone, also beside --all; they go at
 * once, so in any order. */
TEST(Ctl, RestartByIdReachesExactlyTheMatchingModules)
{
    sim_process sim(three);
    ASSERT_TRUE(sim.ready());
    const std::string restarting = " restarting (the module does not acknowledge AT+Z)\n";
    ctl_result r = ctl({"-q", "restart", "--yes", "--from", "127.0.0.1", "--all", "--id", "KXD40-000[24]"});
    EXPECT_EQ(whole(r), "0\n127.0.0.2" + restarting + "127.0.0.4" + restarting +
                            "--\nkxd40ctl: restart of 2 modules: 2 done, 0 failed, 0 not reached\n");
    /* An answered command behind each restart: the simulator has logged it. */
    for (const char* ip : {"127.0.0.2", "127.0.0.4"})
        ASSERT_EQ(ctl({"send", ip, "AT+VER"}).out, "+ok=V1.0.8\n") << ip;
    std::string restarts = changes_since(sim, 0);
    EXPECT_TRUE(restarts == "127.0.0.2 AT+Z\n127.0.0.4 AT+Z\n" || restarts == "127.0.0.4 AT+Z\n127.0.0.2 AT+Z\n")
        << restarts;
    EXPECT_EQ(whole(ctl({"restart", "--yes", "--from", "127.0.0.1", "--id", "KXD40-01*"})),
              "1\n--\nkxd40ctl: no module found has an ID matching KXD40-01*\n");
}

/* Twenty modules losing a tenth of what they hear: a read of each ends
 * done, but for one at most. */
TEST(Ctl, ReadCompletesWithTenPercentLoss)
{
    sim_process sim({"--drop-rate", "0.1", "--seed", "1", "--modules", "20", "--first", "127.0.0.2"});
    ASSERT_TRUE(sim.ready());
    ctl_result r = ctl({"read", "--json", "127.0.0.2-21"});
    int done = 0;
    for (auto& [ip, j] : by_address(r.out))
        done += j["result"] == "done" && j["data"]["settings"]["management"]["mid"] == j["id"];
    EXPECT_GE(done, 19) << r.err;
}

TEST(Ctl, UploadStoresTheImageByteForByte)
{
    temp_file stored, image;
    std::string bytes;
    for (int i = 0; i < 3 * 4096 + 123; ++i)
        bytes.push_back(static_cast<char>((i * 131 + i / 7) & 0xff));
    write_file(image.path, bytes);
    sim_process sim({"--firmware", stored.path, "--module", "127.0.0.2"});
    ASSERT_TRUE(sim.ready());
    ctl_result r = ctl({"upload", image.path, "127.0.0.2"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "127.0.0.2 image sent, 12411 bytes (the module does not acknowledge it)\n");
    EXPECT_EQ(r.err, "") << "no progress bar when stderr is no terminal";
    ASSERT_TRUE(sim.child().wait_for("firmware 12411 bytes"));
    EXPECT_EQ(file_text(stored.path), bytes);
}

namespace {

/* The simulator has logged a datagram to ip (bounded: a run that never
 * sends one fails the test, however slow the machine). */
bool sim_got_datagram_to(const sim_process& sim, const std::string& ip)
{
    for (int i = 0; i < 1000; ++i) {
        for (const sim_datagram& d : sim.received())
            if (d.target == ip)
                return true;
        usleep(20000);
    }
    return false;
}

std::string held_line(const std::string& name, pid_t pid)
{
    return "kxd40ctl: port 48899 is held by another program: " + name + " (pid " + std::to_string(pid) + ")\n";
}

} // namespace

/* A second program on the port names the holder and sends nothing. */
TEST(Ctl, ASecondProgramOnThePortNamesTheHolderAndSendsNothing)
{
    sim_process sim({"--broadcast", "127.255.255.255", "--silent", "--module", "127.0.0.2", "--module", "127.0.0.3"});
    ASSERT_TRUE(sim.ready());
    ctl_out_to({"read", "--tries", "100", "127.0.0.2"}, "/dev/null", [&](pid_t first) {
        EXPECT_TRUE(sim_got_datagram_to(sim, "127.0.0.2")) << "the first run holds the port once it sends";
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"read", "127.0.0.3"}, {"search", "--from", "127.0.0.1"}})
            EXPECT_EQ(whole(ctl(args)), "1\n--\n" + held_line("kxd40ctl", first)) << args[0];
        kill(first, SIGTERM);
    });
    for (const sim_datagram& d : sim.received())
        EXPECT_EQ(d.target, "127.0.0.2") << "sent by the second run: " << d.bytes;

    /* Any program of ours holds the port by its claim: here the test. */
    {
        port_claim held(KX_PORT);
        ASSERT_TRUE(held.taken());
        ctl_result r = ctl({"read", "127.0.0.3"});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, held_line(program_invocation_short_name, getpid()));
    }
    ctl_result freed = ctl({"read", "--tries", "1", "127.0.0.3"});
    EXPECT_EQ(freed.err, "kxd40ctl: 127.0.0.3: no answer to the keyword\n") << "the port is free again";
    EXPECT_TRUE(sim_got_datagram_to(sim, "127.0.0.3"));
}

/* A program bound to the port without address reuse is named. */
TEST(Ctl, AProgramInTheWayOfTheBindIsNamed)
{
    int s = socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_GE(s, 0);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = htons(KX_PORT);
    ASSERT_EQ(bind(s, reinterpret_cast<const sockaddr*>(&any), sizeof any), 0);
    ctl_result r = ctl({"read", "127.0.0.2"});
    close(s);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, held_line(program_invocation_short_name, getpid()));
    EXPECT_EQ(r.out, "");
}

/* AT+Z and AT+RELD, however spelled, go as restart and reset; AT+FWUPDAT
 * or a restart not last sends nothing. An AT+VER after each run logs it. */
TEST(Ctl, SendRestartsAndResetsAsTheirSubcommandsAndNeverSwitchesToFirmware)
{
    sim_process sim({"--module", "127.0.0.2"});
    ASSERT_TRUE(sim.ready());
    const std::string ip = "127.0.0.2 ", keyword = ip + "keyword\n", ver = ip + "AT+VER\n";
    const struct {
        std::vector<std::string> commands;
        int status;
        std::string out, sent;
    } cases[] = {
        {{"at+z \r\n"}, 0, ip + "restarting (the module does not acknowledge AT+Z)\n", keyword + ip + "AT+Z\n"},
        {{"AT+VER", " At+ReLd\n"}, 0, "+ok=V1.0.8\n" + ip + "factory settings restored\n",
         keyword + ver + ip + "AT+RELD\n"},
        {{"AT+VER", "at+fwupdat "}, 2, "", ""},
        {{"AT+VER", "\tAT+FWUPDAT=1"}, 2, "", ""},
        {{"AT+FWUPDAT\n"}, 2, "", ""},
        {{"AT+Z", "AT+VER"}, 2, "", ""},
        {{"AT+FWUPDAT"}, 2, "", ""},
    };
    for (const auto& c : cases) {
        size_t first = sim.received().size();
        std::vector<std::string> args = {"send", "127.0.0.2"};
        args.insert(args.end(), c.commands.begin(), c.commands.end());
        ctl_result r = ctl(args);
        EXPECT_EQ(r.status, c.status) << c.commands[0] << r.err;
        EXPECT_EQ(r.out, c.out) << c.commands[0];
        EXPECT_EQ(r.err.find("kxd40ctl: AT+"), c.status == 2 ? 0u : std::string::npos) << r.err;
        ASSERT_EQ(ctl({"send", "127.0.0.2", "AT+VER"}).out, "+ok=V1.0.8\n");
        EXPECT_EQ(sent_since(sim, first), c.sent + keyword + ver) << c.commands[0];
    }
}

/* The machine's own, network and broadcast addresses (127.0.0.1/8,
 * 198.51.100.1/24) are a usage error when named, skipped in a range or
 * a block. */
TEST(Ctl, TheMachinesOwnAddressesAreNoModules)
{
    sim_process sim({"--module", "127.0.0.2"});
    ASSERT_TRUE(sim.ready());
    ASSERT_EQ(std::system("ip addr add 198.51.100.1/24 dev lo"), 0);
    /* A /31 has no network or broadcast address: its other end, the
     * module 127.0.0.2, is reached. */
    ASSERT_EQ(std::system("ip addr add 127.0.0.3/31 dev lo"), 0);
    const std::string own = "this machine's own address, not a module";
    const std::string net8 = " address of this machine's 127.0.0.1/8, not a module";
    const std::string net24 = " address of this machine's 198.51.100.1/24, not a module";
    auto reset = [](std::vector<std::string> targets) {
        targets.insert(targets.begin(), {"reset", "--yes"});
        return targets;
    };
    expect_cases(sim, {
        {reset({"127.0.0.1"}), "", "2\n--\nkxd40ctl: 127.0.0.1 is " + own + " (try --help)\n", ""},
        {reset({"127.0.0.2", "127.255.255.255"}), "",
         "2\n--\nkxd40ctl: 127.255.255.255 is the broadcast" + net8 + " (try --help)\n", ""},
        {reset({"198.51.100.1"}), "", "2\n--\nkxd40ctl: 198.51.100.1 is " + own + " (try --help)\n", ""},
        {reset({"198.51.100.0"}), "", "2\n--\nkxd40ctl: 198.51.100.0 is the network" + net24 + " (try --help)\n", ""},
        {reset({"127.0.0.0-2"}), "",
         "0\n127.0.0.2 factory settings restored\n--\nkxd40ctl: 127.0.0.0 skipped: the network" + net8 +
             "\nkxd40ctl: 127.0.0.1 skipped: " + own + "\n",
         "127.0.0.2 AT+RELD\n"},
        /* A block leaves out its own network and broadcast addresses
         * silently, the machine's with a line. */
        {reset({"127.0.0.0/30"}), "",
         "0\n127.0.0.2 factory settings restored\n--\nkxd40ctl: 127.0.0.1 skipped: " + own + "\n",
         "127.0.0.2 AT+RELD\n"},
        {reset({"127.0.0.2/31"}), "",
         "0\n127.0.0.2 factory settings restored\n--\nkxd40ctl: 127.0.0.3 skipped: " + own + "\n",
         "127.0.0.2 AT+RELD\n"},
        {reset({"127.0.0.2/30"}), "",
         "2\n--\nkxd40ctl: 127.0.0.2/30 is no block: the /30 of 127.0.0.2 begins at 127.0.0.0 (try --help)\n", ""},
        {reset({"127.0.0.2/33"}), "", "2\n--\nkxd40ctl: not a module address or range: 127.0.0.2/33 (try --help)\n", ""},
        {reset({"198.51.100.255-255"}), "",
         "2\n--\nkxd40ctl: 198.51.100.255 skipped: the broadcast" + net24 +
             "\nkxd40ctl: no module named: give addresses, --all or --id PATTERN (try --help)\n",
         ""},
    });
    EXPECT_EQ(std::system("ip addr del 198.51.100.1/24 dev lo"), 0);
    EXPECT_EQ(std::system("ip addr del 127.0.0.3/31 dev lo"), 0);
}

/* An answer without a MAC is no module; one named and found is known by
 * its answer even when its link then fails. */
TEST(Ctl, ASearchKeepsOnlyWholeAnswersAndTellsWhatTheyGave)
{
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(KX_PORT);
    inet_pton(AF_INET, "127.255.255.255", &at.sin_addr);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
    std::atomic<bool> done{false};
    std::thread answering([&] {
        while (!done) {
            pollfd p{fd, POLLIN, 0};
            char buf[512];
            sockaddr_in from{};
            socklen_t len = sizeof from;
            if (poll(&p, 1, 50) <= 0 || recvfrom(fd, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len) <= 0)
                continue;
            for (const char* answer : {"127.0.0.9,,NO-MAC", "127.0.0.8,ACCF23000008,RAW-8"})
                sendto(fd, answer, std::strlen(answer), 0, reinterpret_cast<sockaddr*>(&from), len);
        }
    });
    ctl_result r = ctl({"read", "--json", "--all", "--from", "127.0.0.1", "--tries", "1", "--timeout", "100",
                        "127.0.0.8"});
    done = true;
    answering.join();
    close(fd);
    EXPECT_EQ(r.status, 1) << r.err;
    std::map<std::string, json> results = by_address(r.out);
    ASSERT_EQ(results.size(), 1u) << r.out;
    EXPECT_EQ(results["127.0.0.8"]["result"], "not reached") << r.out;
    EXPECT_EQ(results["127.0.0.8"]["mac"], "ACCF23000008");
    EXPECT_EQ(results["127.0.0.8"]["id"], "RAW-8");
}

/* restart --wait is done only when the module was seen to restart. */
TEST(Ctl, RestartWaitIsDoneOnlyWhenTheModuleRestarted)
{
    sim_process sim({"--boot-ms", "200", "--module", "127.0.0.2", "--lose", "AT+Z", "--module", "127.0.0.3"});
    ASSERT_TRUE(sim.ready());
    auto restart = [](const char* ip) {
        return std::vector<std::string>{"restart", "--wait", "5", "--tries", "2", "--timeout", "200", ip};
    };
    expect_cases(sim, {
        {restart("127.0.0.2"), "", "0\n127.0.0.2 restarted\n--\n", "127.0.0.2 AT+Z\n"},
        {restart("127.0.0.3"), "",
         "1\n--\nkxd40ctl: 127.0.0.3: the module still answers on its link after AT+Z sent 2 time(s): it did not "
         "restart\n",
         "127.0.0.3 AT+Z\n127.0.0.3 AT+Z\n"},
    });
}

/* Input is bounded as it is read, no regular file is not read, and an
 * address named again counts once. */
TEST(Ctl, InputIsReadUpToItsBound)
{
    sim_process sim({"--module", "127.0.0.2", "--module", "127.0.0.3"});
    ASSERT_TRUE(sim.ready());
    temp_file big, repeated, with_nul;
    write_file(big.path, std::string((4 << 20) + 1, '\n'));
    char dir[] = "/tmp/kxd40-test-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string backup = std::string(dir) + "/ACCF23000002.json";
    ASSERT_EQ(symlink(big.path.c_str(), backup.c_str()), 0);
    std::string ranges;
    for (int i = 0; i < 40000; ++i)
        ranges += "127.0.0.2-3\n";
    write_file(repeated.path, ranges);
    write_file(with_nul.path, std::string("127.0.0.2\n127.0.\0.3\n", 20));
    const std::string larger = " is larger than 4 MiB", not_regular = ": not a readable regular file\n";
    expect_cases(sim, {
        {{"apply", "-", "127.0.0.2"}, std::string(5 << 20, '\0'),
         "1\n--\nkxd40ctl: standard input" + larger + ": not read\n", ""},
        {{"read", "--json", "@" + big.path}, "",
         "2\n--\nkxd40ctl: the address file " + big.path + larger + " (try --help)\n", ""},
        {{"read", "--json", "@" + with_nul.path}, "",
         "2\n--\nkxd40ctl: line 2 of the address file " + with_nul.path + " holds a NUL byte (try --help)\n", ""},
        {{"apply", "/dev/zero", "127.0.0.2"}, "", "1\n--\nkxd40ctl: cannot open /dev/zero" + not_regular, ""},
        {{"upload", "/dev/null", "127.0.0.2"}, "", "1\n--\nkxd40ctl: cannot open /dev/null" + not_regular, ""},
        {{"restore", dir, "127.0.0.2"}, "", "1\n--\nkxd40ctl: 127.0.0.2: " + backup + larger + ": not read\n", ""},
    });
    EXPECT_EQ(sim.received().size(), 2u) << "the restore's link alone";
    ctl_result r = ctl({"read", "--json", "@" + repeated.path, "127.0.0.3"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(by_address(r.out).size(), 2u) << r.out;
    unlink(backup.c_str());
    rmdir(dir);
}
