/*
 * fleet_test.cpp - kxd40ctl on many simulated modules at once: every
 * module's result its own and truthful, the failures named, a stop on
 * Ctrl-C or a closed pipe, output that cannot be written, results in the
 * modules' order, and JSON Lines from every subcommand.
 */
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

#include "ctl_run.h"
#include "sim_runner.h"

using nlohmann::json;

namespace {

std::vector<std::string> fleet(int n, std::vector<std::string> more = {})
{
    std::vector<std::string> args = {"--broadcast", "127.255.255.255", "--modules", std::to_string(n), "--first",
                                     "127.0.0.2"};
    args.insert(args.begin(), more.begin(), more.end());
    return args;
}

} // namespace

/* Thirty slow modules answering twice: each found, and each read its own
 * records, also when late replies meet the next query. */
TEST(Fleet, ThirtyModulesAreFoundAndReadEachWithItsOwnRecords)
{
    sim_process sim(fleet(30, {"--latency", "20", "--answer-twice"}));
    ASSERT_TRUE(sim.ready());
    auto own_parts_removed = [](json settings) {
        settings["management"].erase("mid");
        settings["ap"].erase("ssid");
        return settings;
    };
    ctl_result one = ctl({"read", "127.0.0.2", "--json"});
    ASSERT_EQ(one.status, 0) << one.err;
    json factory = own_parts_removed(json::parse(one.out)["data"]["settings"]);

    /* At 15 ms every exchange goes again before its reply can come; the
     * tries give a slow machine the time a module needs all the same. */
    ctl_result r = ctl({"read", "--all", "--json", "--from", "127.0.0.1", "--timeout", "15", "--tries", "100"});
    EXPECT_EQ(r.status, 0) << r.err;
    std::map<std::string, json> read = by_address(r.out);
    ASSERT_EQ(read.size(), 30u) << r.err;
    for (auto& [ip, j] : read) {
        EXPECT_EQ(j["result"], "done") << ip;
        std::string mac = j["mac"];
        const json& s = j["data"]["settings"];
        EXPECT_EQ(s["management"]["mid"], j["id"]) << ip;
        EXPECT_EQ(s["ap"]["ssid"], "KXD40_" + mac.substr(mac.size() - 4)) << ip;
        EXPECT_EQ(own_parts_removed(s), factory) << ip;
    }
    EXPECT_NE(r.err.find("read of 30 modules: 30 done, 0 failed, 0 not reached"), std::string::npos) << r.err;
}

/* Ctrl-C amid three uploads: each module's state told, down to its bytes. */
TEST(Fleet, CtrlCDuringAFleetUploadStopsEveryLinkAndTellsWhatWasSent)
{
    temp_file image;
    write_file(image.path, std::string(2 << 20, 'x'));
    sim_process sim(fleet(3));
    ASSERT_TRUE(sim.ready());
    ctl_result r = ctl({"upload", image.path, "127.0.0.2-4", "--json"}, "sent 25%");
    EXPECT_EQ(r.status, 130) << r.err;
    std::map<std::string, long long> received;
    for (const sim_datagram& d : sim.received())
        if (d.bytes.size() == 4096)
            received[d.target] += 4096;
    std::map<std::string, json> results = by_address(r.out);
    ASSERT_EQ(results.size(), 3u) << r.out;
    for (auto& [ip, j] : results) {
        EXPECT_EQ(j["result"], "stopped") << ip;
        long long bytes = j["data"]["bytes"];
        EXPECT_GT(bytes, 0) << ip;
        EXPECT_LT(bytes, 2 << 20) << ip;
        EXPECT_EQ(bytes, received[ip]) << "what the module got is what was said: " << ip;
        EXPECT_EQ(j["error"], "stopped after " + std::to_string(bytes) + " of 2097152 bytes; the module waits "
                              "for an image until it is restarted");
    }
    EXPECT_NE(r.err.find("0 done, 0 failed, 0 not reached, 3 stopped"), std::string::npos) << r.err;

    /* Stopped while the module was to switch to the image: nothing sent. */
    sim_process deaf({"--lose", "AT+FWUPDAT", "--module", "127.0.0.5", "--module", "127.0.0.6"});
    ASSERT_TRUE(deaf.ready());
    r = ctl({"upload", image.path, "127.0.0.5-6", "--jobs", "1"}, "127.0.0.5 sending the image\n");
    EXPECT_EQ(whole(r), "130\n--\n127.0.0.5 linking\n127.0.0.5 linked KXD40-0005\n127.0.0.5 sending the image\n"
                        "kxd40ctl: 127.0.0.5: upload stopped\n"
                        "kxd40ctl: upload of 2 modules: 0 done, 0 failed, 0 not reached, 2 stopped\n"
                        "  stopped: 127.0.0.5 127.0.0.6\n");
}

/* --wait: done only once the module is back on another version; the old
 * version or no return fails; an empty image sends nothing. */
TEST(Fleet, UploadWaitIsDoneOnlyOnANewVersion)
{
    sim_process sim({"--broadcast", "127.255.255.255", "--boot-ms", "300", "--module", "127.0.0.2", "--next-version",
                     "V2.0.0", "--module", "127.0.0.3", "--boot-ms", "600000", "--module", "127.0.0.4"});
    ASSERT_TRUE(sim.ready());
    temp_file image, failed;
    write_file(image.path, std::string(5000, 'i'));
    ctl_result r = ctl({"-q", "upload", image.path, "127.0.0.2-4", "--wait", "2", "--failed-to", failed.path});
    EXPECT_EQ(whole(r), "1\n127.0.0.3 image sent, 5000 bytes; version V1.0.8 before, V2.0.0 after\n--\n"
                        "kxd40ctl: 127.0.0.2: back on version V1.0.8, the one it had before: the image was not taken\n"
                        "kxd40ctl: 127.0.0.4: the module did not come back within 2 s\n"
                        "kxd40ctl: upload of 3 modules: 1 done, 2 failed, 0 not reached\n"
                        "  failed: 127.0.0.2 127.0.0.4\n");
    EXPECT_EQ(file_text(failed.path), "127.0.0.2\n127.0.0.4\n");

    size_t first = sim.received().size();
    write_file(image.path, "");
    EXPECT_EQ(whole(ctl({"upload", image.path, "127.0.0.3"})),
              "1\n--\nkxd40ctl: " + image.path + " is empty: no firmware image\n");
    EXPECT_EQ(sim.received().size(), first) << "not even the keyword";
}

/* Every --json line has the same fields; invalid UTF-8 is shown as the
 * window shows it. */
TEST(Fleet, EverySubcommandSpeaksJsonLinesEvenOfInvalidUtf8)
{
    sim_process sim({"--broadcast", "127.255.255.255", "--module", "127.0.0.2,ACCF23000002,KX\xff" "ID", "--garbage",
                     "--module", "127.0.0.3"});
    ASSERT_TRUE(sim.ready());
    temp_file commands, image;
    write_file(commands.path, "AT+WSSSID=Lab\nE\n");
    write_file(image.path, "image");
    const std::vector<std::vector<std::string>> runs = {
        {"search", "--from", "127.0.0.1"},       {"read", "127.0.0.2"},
        {"apply", commands.path, "127.0.0.2"},   {"send", "127.0.0.2-3", "AT+MID", "AT+VER"},
        {"reset", "127.0.0.2"},                  {"upload", image.path, "127.0.0.2"},
        {"restart", "127.0.0.2"},
    };
    const std::set<std::string> fields = {"schema", "ip", "mac", "id", "action", "result", "error", "data"};
    for (std::vector<std::string> args : runs) {
        args.push_back("--json");
        ctl_result r = ctl(args);
        std::vector<json> lines;
        ASSERT_NO_THROW(lines = json_lines(r.out)) << args[0] << ": " << r.out;
        ASSERT_FALSE(lines.empty()) << args[0] << r.err;
        for (const json& j : lines) {
            std::set<std::string> keys;
            for (auto& item : j.items())
                keys.insert(item.key());
            EXPECT_EQ(keys, fields) << args[0];
            EXPECT_EQ(j["schema"], 1);
            EXPECT_EQ(j["action"], args[0]);
            if (j["ip"] == "127.0.0.2") {
                EXPECT_EQ(j["id"], "KX\xef\xbf\xbd" "ID") << args[0];
            }
            if (args[0] == "search") {
                EXPECT_EQ(j, (json{{"schema", 1}, {"ip", "127.0.0.2"}, {"mac", "ACCF23000002"}, {"id", "KX\xef\xbf\xbd" "ID"},
                                   {"action", "search"}, {"result", "done"}, {"error", nullptr}, {"data", json::object()}}));
            }
        }
    }
    ctl_result sent = ctl({"send", "127.0.0.3", "AT+VER", "--json", "--timeout", "200"});
    json garbled = json::parse(sent.out);
    EXPECT_EQ(garbled["result"], "failed");
    EXPECT_EQ(garbled["data"]["replies"][0]["reply"], "\xef\xbf\xbd\xef\xbf\xbdgarbage");
}

/* Ranges, address files and repeats name each module once; a usage error
 * says what is wrong and sends nothing. */
TEST(Fleet, TargetsAreExpandedOnceAndUsageErrorsSendNothing)
{
    sim_process sim(fleet(3));
    ASSERT_TRUE(sim.ready());
    temp_file list;
    write_file(list.path, "# the lab\n127.0.0.4\n\n127.0.0.2-3  # again\n");
    ctl_result r = ctl({"send", "127.0.0.3-4", "127.000.000.003", "@" + list.path, "AT+VER", "--json"});
    EXPECT_EQ(r.status, 0) << r.err;
    std::map<std::string, json> results = by_address(r.out);
    EXPECT_EQ(results.size(), 3u) << r.out;

    /* Standard input is read once and goes to every module. */
    r = ctl({"apply", "-", "127.0.0.2-4"}, "", "AT+WSSSID=Lab\nE\n");
    EXPECT_EQ(r.status, 0) << r.err;
    for (const char* ip : {"127.0.0.2", "127.0.0.3", "127.0.0.4"})
        EXPECT_NE(r.out.find(std::string(ip) + " ok AT+WSSSID=Lab\n"), std::string::npos) << r.out;

    const std::string usage = "2\n--\nkxd40ctl: ", help = " (try --help)\n", range = "not a module address or range: ";
    const std::string needs = usage + "send needs a target and a command, e.g. send 198.51.100.10 AT+VER" + help;
    expect_cases(sim, {
        {{"send", "AT+VER"}, "", needs, ""},
        {{"send", "127.0.0.2"}, "", needs, ""},
        {{"read", "127.0.0.9-3"}, "", usage + range + "127.0.0.9-3" + help, ""},
        {{"read", "127.0.0.300"}, "", usage + range + "127.0.0.300" + help, ""},
        {{"read", "@/nonexistent"}, "", usage + "cannot read the address file /nonexistent" + help, ""},
        {{"read", "--from", "10.9.9.9", "127.0.0.2"}, "",
         usage + "--from 10.9.9.9 is not an address of this machine (it has: 127.0.0.1)" + help, ""},
        {{"read", "--tries", "0", "127.0.0.2"}, "", usage + "--tries: Value 0 not in range 1 to 100" + help, ""},
        {{"read", "--json", "--commands", "127.0.0.2"}, "", usage + "--commands and --json exclude each other" + help,
         ""},
        {{"frobnicate"}, "", usage + "A subcommand is required" + help, ""},
    });
}

/* Output that cannot be written (results, help, --failed-to) fails the run. */
TEST(Fleet, OutputThatCannotBeWrittenFailsTheRun)
{
    sim_process sim(fleet(2));
    ASSERT_TRUE(sim.ready());
    const std::string full = "kxd40ctl: cannot write standard output: No space left on device\n";
    const std::vector<std::vector<std::string>> runs = {
        {"read", "--commands", "127.0.0.2"},
        {"read", "127.0.0.2-3", "--json"},
        {"search", "--from", "127.0.0.1"},
        {"--help"},
    };
    for (const std::vector<std::string>& args : runs) {
        ctl_result r = ctl_out_to(args, "/dev/full");
        EXPECT_EQ(r.status, 1) << args[0] << ": " << r.err;
        size_t at = r.err.find(full);
        EXPECT_NE(at, std::string::npos) << args[0] << ": " << r.err;
        EXPECT_EQ(r.err.find(full, at + 1), std::string::npos) << "told once: " << r.err;
    }
    ctl_result r = ctl({"read", "127.0.0.2", "127.0.0.4", "--tries", "1", "--timeout", "100", "--failed-to",
                        "/nonexistent/failed.txt"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("kxd40ctl: cannot write /nonexistent/failed.txt: No such file or directory\n"),
              std::string::npos)
        << r.err;
}

/* A pipe's reader gone after one line: the run ends as on Ctrl-C, with a
 * pipeline writer's exit status. */
TEST(Fleet, AClosedPipeStopsTheRunAsCtrlCDoes)
{
    sim_process first({"--module", "127.0.0.2"}), rest({"--modules", "4", "--first", "127.0.0.3"});
    ASSERT_TRUE(first.ready() && rest.ready());
    rest.child().pause();
    temp_file fifo, failed;
    unlink(fifo.path.c_str());
    ASSERT_EQ(mkfifo(fifo.path.c_str(), 0600), 0);
    std::string line;
    ctl_result r = ctl_out_to({"read", "127.0.0.2-6", "--json", "--jobs", "1", "--tries", "100", "--failed-to",
                               failed.path},
                              fifo.path, [&](pid_t) {
                                  FILE* reader = std::fopen(fifo.path.c_str(), "r");
                                  for (int c; reader != nullptr && (c = std::fgetc(reader)) != EOF && c != '\n';)
                                      line += static_cast<char>(c);
                                  if (reader != nullptr)
                                      std::fclose(reader);
                                  rest.child().resume();
                              });
    EXPECT_EQ(r.status, 141) << r.err;
    EXPECT_EQ(json::parse(line)["ip"], "127.0.0.2");
    EXPECT_NE(r.err.find("kxd40ctl: cannot write standard output: Broken pipe\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("kxd40ctl: read of 5 modules: 2 done, 0 failed, 0 not reached, 3 stopped\n"
                         "  stopped: 127.0.0.4 127.0.0.5 127.0.0.6\n"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(file_text(failed.path), "127.0.0.4\n127.0.0.5\n127.0.0.6\n");
    for (const sim_datagram& d : rest.received())
        EXPECT_EQ(d.target, "127.0.0.3") << "nothing is sent once the run stopped";
}

/* Results in the order named (a search's by address), options before the
 * subcommand too; -q leaves on stderr the failures and the summary. */
TEST(Fleet, ResultsComeInTheModulesOrderAndQuietTellsOnlyFailures)
{
    sim_process sim({"--broadcast", "127.255.255.255", "--latency", "150", "--module", "127.0.0.2", "--reset-behaviour",
                     "--module", "127.0.0.3", "--module", "127.0.0.4,ACCF23000004,KXD40-0002", "--silent", "--module",
                     "127.0.0.5"});
    ASSERT_TRUE(sim.ready());
    /* 4 has the ID of 2: a search keeps modules by address. */
    auto mids = [](const std::vector<int>& order) {
        std::string out;
        for (int i : order)
            out += "127.0.0." + std::to_string(i) + " +ok=KXD40-000" + std::to_string(i == 4 ? 2 : i) + "\n";
        return out;
    };
    const std::string all_done = "--\nkxd40ctl: send of 3 modules: 3 done, 0 failed, 0 not reached\n";
    EXPECT_EQ(whole(ctl({"-q", "send", "127.0.0.4", "127.0.0.2", "127.0.0.3", "AT+MID"})),
              "0\n" + mids({4, 2, 3}) + all_done);
    EXPECT_EQ(whole(ctl({"-q", "--all", "--from", "127.0.0.1", "send", "AT+MID"})), "0\n" + mids({2, 3, 4}) + all_done);
    EXPECT_EQ(ctl({"search", "--from", "127.0.0.1"}).out,
              "127.0.0.2        ACCF23000002       KXD40-0002\n127.0.0.3        ACCF23000003       KXD40-0003\n"
              "127.0.0.4        ACCF23000004       KXD40-0002\n") << "a search lists by address";
    EXPECT_EQ(whole(ctl({"-q", "send", "127.0.0.5", "127.0.0.3", "127.0.0.2", "AT+MID", "--tries", "1", "--timeout",
                         "1000"})),
              "1\n" + mids({3, 2}) + "--\nkxd40ctl: 127.0.0.5: no answer to the keyword\n"
              "kxd40ctl: send of 3 modules: 2 done, 0 failed, 1 not reached\n  not reached: 127.0.0.5\n");
}

namespace {

/* The most modules the simulator's log shows with a link open at once: a
 * module's link spans its first datagram to its last. */
size_t most_at_once(const sim_process& sim)
{
    std::vector<sim_datagram> log = sim.received();
    std::map<std::string, std::pair<size_t, size_t>> span;
    for (size_t i = 0; i < log.size(); ++i)
        span.emplace(log[i].target, std::make_pair(i, i)).first->second.second = i;
    size_t most = 0;
    for (size_t i = 0; i < log.size(); ++i)
        most = std::max<size_t>(most, std::count_if(span.begin(), span.end(), [i](const auto& s) {
                                    return s.second.first <= i && i <= s.second.second;
                                }));
    return most;
}

} // namespace

/* --jobs bounds the links open at once and the summary counts outcomes
 * apart; --stagger holds the rest back, so a Ctrl-C leaves them untouched. */
TEST(Fleet, JobsAndStaggerPaceTheRunAndAStopListsWhatWasLeft)
{
    sim_process sim({"--latency", "5", "--modules", "4", "--first", "127.0.0.2", "--garbage", "--module", "127.0.0.6",
                     "--silent", "--modules", "2", "--first", "127.0.0.7"});
    ASSERT_TRUE(sim.ready());
    temp_file failed;
    ctl_result r = ctl({"read", "127.0.0.2-8", "--commands", "--jobs", "2", "--tries", "1", "--timeout", "100",
                        "--failed-to", failed.path});
    EXPECT_EQ(r.status, 1);
    EXPECT_LE(most_at_once(sim), 2u) << "more links open at once than --jobs";
    int ends = 0;
    for (size_t at = 0; (at = r.out.find("\nE\n", at)) != std::string::npos; at += 2)
        ++ends;
    EXPECT_EQ(ends, 5) << "four clones, then 6's: " << r.out;
    EXPECT_EQ(r.out.substr(r.out.size() - 5), "\nE\nE\n") << "the clone of a module that answered nothing is empty";
    for (const char* told : {"kxd40ctl: 127.0.0.6: no positive reply to AT+MID AT+WMODE AT+TMODE",
                             "kxd40ctl: 127.0.0.8: no answer to the keyword\n",
                             "read of 7 modules: 4 done, 1 failed, 2 not reached\n  failed: 127.0.0.6\n"
                             "  not reached: 127.0.0.7 127.0.0.8\n"})
        EXPECT_NE(r.err.find(told), std::string::npos) << r.err;
    EXPECT_EQ(file_text(failed.path), "127.0.0.6\n127.0.0.7\n127.0.0.8\n");

    sim_process three({"--modules", "3", "--first", "127.0.0.12"});
    ASSERT_TRUE(three.ready());
    r = ctl({"read", "127.0.0.12-14", "--stagger", "600000", "--failed-to", failed.path}, "127.0.0.12 done\n");
    EXPECT_EQ(r.status, 130) << r.err;
    EXPECT_EQ(r.out.rfind("module 127.0.0.12 ", 0), 0u) << r.out;
    for (const sim_datagram& d : three.received())
        EXPECT_EQ(d.target, "127.0.0.12") << "started before its turn: " << d.bytes;
    EXPECT_NE(r.err.find("read of 3 modules: 1 done, 0 failed, 0 not reached, 2 stopped\n"
                         "  stopped: 127.0.0.13 127.0.0.14\n"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(file_text(failed.path), "127.0.0.13\n127.0.0.14\n");
}
