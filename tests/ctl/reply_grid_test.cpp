/*
 * reply_grid_test.cpp - every reply kxd40ctl acts on answers what it asked:
 * slow, doubled and lossy modules side by side, each result the truth or a
 * failure naming what was missed.
 */
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <regex>
#include <thread>

#include "ctl_run.h"
#include "sim_runner.h"

using nlohmann::json;

namespace {

const long timeout_ms = 30;
const char* const reference = "127.0.0.2";

struct grid_module {
    std::string ip;
    long latency_ms;
    bool twice, lossy;
    /* Nothing lost: every action on it is done. */
    bool must_be_done;
};

/* Latency 0.2, 1.0, 1.6 and 3 times the time-out; each with and without
 * a second copy of every reply; all of that again with 10 % loss. */
std::vector<grid_module> grid()
{
    std::vector<grid_module> out;
    int host = 10;
    for (bool lossy : {false, true})
        for (bool twice : {false, true})
            for (double times : {0.2, 1.0, 1.6, 3.0})
                out.push_back({"127.0.0." + std::to_string(host++), static_cast<long>(times * timeout_ms),
                    twice, lossy, !lossy});
    return out;
}

std::string grid_range() { return "127.0.0.10-" + std::to_string(9 + grid().size()); }

std::vector<std::string> sim_args()
{
    std::vector<std::string> args = {"--seed", "7", "--module", reference};
    for (const grid_module& m : grid()) {
        args.insert(args.end(), {"--reset-behaviour", "--latency", std::to_string(m.latency_ms)});
        if (m.twice)
            args.push_back("--answer-twice");
        if (m.lossy)
            args.insert(args.end(), {"--drop-rate", "0.1"});
        args.insert(args.end(), {"--module", m.ip});
    }
    return args;
}

std::string what(const grid_module& m)
{
    return m.ip + " (" + std::to_string(m.latency_ms) + " ms" + (m.twice ? ", twice" : "")
        + (m.lossy ? ", 10 % loss" : "") + ")";
}

/* The simulator names a module after its address when not told. */
std::string mac_of(const std::string& ip)
{
    char mac[16];
    std::snprintf(mac, sizeof mac, "ACCF230000%02X", std::stoi(ip.substr(ip.rfind('.') + 1)));
    return mac;
}

/* What a module of the grid holds: the factory settings a fault-free
 * module reports, with its own MID and access point name. */
json truth(json factory, const std::string& ip)
{
    char mid[16];
    std::snprintf(mid, sizeof mid, "KXD40-%04d", std::stoi(ip.substr(ip.rfind('.') + 1)));
    factory["management"]["mid"] = mid;
    factory["ap"]["ssid"] = "KXD40_" + mac_of(ip).substr(8);
    return factory;
}

/* Settings the module received since the log's entry from: line -> fates. */
std::map<std::string, std::vector<std::string>> settings_to(
    const sim_process& sim, const std::string& ip, size_t from)
{
    std::map<std::string, std::vector<std::string>> out;
    std::vector<sim_datagram> log = sim.received();
    for (size_t i = from; i < log.size(); ++i)
        if (log[i].target == ip && log[i].bytes.compare(0, 3, "AT+") == 0
            && log[i].bytes.find('=') != std::string::npos)
            out[log[i].bytes.substr(0, log[i].bytes.find_last_not_of("\r\n") + 1)].push_back(log[i].fate);
    return out;
}

bool reached(const std::map<std::string, std::vector<std::string>>& got, const std::string& line)
{
    auto it = got.find(line);
    return it != got.end() && std::find(it->second.begin(), it->second.end(), "ok") != it->second.end();
}

/* A failure says which query, setting or field it could not have. */
bool names_what_failed(const json& j)
{
    static const std::regex named(R"(no answer|AT\+[A-Z]+|\b(management|communication|ap|sta)\.[a-z_]+)");
    return j["error"].is_string() && std::regex_search(j["error"].get<std::string>(), named);
}

/* One kxd40ctl run over the grid: every module's object, by address. */
std::map<std::string, json> run_grid(std::vector<std::string> args)
{
    args.insert(args.end(), {"--json", "--timeout", std::to_string(timeout_ms), grid_range()});
    ctl_result r = ctl(args);
    std::map<std::string, json> all;
    for (const json& j : json_lines(r.out))
        all[j["ip"]] = j;
    EXPECT_EQ(all.size(), grid().size()) << r.err;
    bool every_done = all.size() == grid().size();
    for (auto& [ip, j] : all)
        every_done = every_done && j["result"] == "done";
    EXPECT_EQ(r.status == 0, every_done) << args[0] << ": exit " << r.status << "\n" << r.err;
    /* The slowest modules' second copies are still on their way: let them
     * land before the next run, which would take one for its keyword's answer. */
    std::this_thread::sleep_for(std::chrono::milliseconds(10 * timeout_ms));
    return all;
}

/* A read or backup is the truth, or a failure naming what it missed. */
void expect_true_or_named(
    const grid_module& m, const json& j, const json& settings, const json& want, const char* action)
{
    if (j["result"] == "done") {
        EXPECT_EQ(settings, want) << action << " of " << what(m);
        return;
    }
    EXPECT_FALSE(m.must_be_done) << action << " of " << what(m) << ": " << j;
    EXPECT_TRUE(names_what_failed(j)) << action << " of " << what(m) << ": " << j;
}

/* An apply sent the module only `line`; a run that says done had it
 * arrive, and says it sent that line alone. */
void expect_only(
    const sim_process& sim, size_t from, const grid_module& m, const json& j, const std::string& line)
{
    auto got = settings_to(sim, m.ip, from);
    for (auto& [sent, fates] : got)
        EXPECT_EQ(sent, line) << what(m) << " was sent what nobody asked for";
    if (j["result"] == "done") {
        EXPECT_TRUE(reached(got, line)) << what(m) << " done, yet " << line << " never arrived: " << j;
        EXPECT_EQ(j["data"]["sent"], json::array({line})) << what(m);
        EXPECT_EQ(j["data"]["lines"], json::array({{{"line", line}, {"result", "ok"}}})) << what(m);
    } else {
        EXPECT_FALSE(m.must_be_done) << what(m) << ": " << j;
        EXPECT_TRUE(names_what_failed(j)) << what(m) << ": " << j;
    }
}

} // namespace

/* Read, backup, two documents, a refused line and a read again, each one
 * run over the whole grid. */
TEST(ReplyGrid, EveryResultIsTheModulesTruthOrAFailureThatSaysSo)
{
    sim_process sim(sim_args());
    ASSERT_TRUE(sim.ready());
    ctl_result ref = ctl({"read", "--json", reference});
    ASSERT_EQ(ref.status, 0) << ref.err;
    json factory = json::parse(ref.out)["data"]["settings"];
    ASSERT_EQ(factory["ap"]["channel"], "CH1");
    ASSERT_EQ(factory["sta"]["key"], "12345678");

    std::map<std::string, json> read = run_grid({"read"});
    temp_dir dir;
    std::map<std::string, json> backup = run_grid({"backup", dir.path});
    for (const grid_module& m : grid()) {
        expect_true_or_named(m, read[m.ip], read[m.ip]["data"]["settings"], truth(factory, m.ip), "read");
        std::string file = dir.path + "/" + mac_of(m.ip) + ".json";
        bool saved = std::filesystem::exists(file);
        EXPECT_EQ(saved, backup[m.ip]["result"] == "done") << what(m) << ": " << backup[m.ip];
        expect_true_or_named(m, backup[m.ip],
            saved ? json::parse(file_text(file))["data"]["settings"] : json(), truth(factory, m.ip),
            "backup");
    }

    /* One setting each; the command's other items go back as the module has them. */
    auto channel_line
        = [](const grid_module& m) { return "AT+WAP=11BGN,KXD40_" + mac_of(m.ip).substr(8) + ",CH6"; };
    auto key_line = [](const grid_module&) { return std::string("AT+WSKEY=WPA2PSK,AES,newkey123"); };
    temp_file doc;
    const std::pair<const char*, std::string (*)(const grid_module&)> changes[] = {
        {R"({"ap":{"channel":"CH6"}})", channel_line},
        {R"({"sta":{"key":"newkey123"}})", key_line},
    };
    for (const auto& [text, line] : changes) {
        write_file(doc.path, text);
        size_t from = sim.received().size();
        std::map<std::string, json> applied = run_grid({"apply", doc.path});
        for (const grid_module& m : grid())
            expect_only(sim, from, m, applied[m.ip], line(m));
    }

    /* A line the module refuses is never "ok", and never done. */
    temp_file bogus;
    write_file(bogus.path, "AT+BOGUS=1\nE\n");
    std::map<std::string, json> refused = run_grid({"apply", bogus.path});
    for (const grid_module& m : grid()) {
        const json& j = refused[m.ip];
        EXPECT_EQ(j["result"], "failed") << what(m) << ": " << j;
        EXPECT_TRUE(j["error"].is_string()) << j;
        for (const json& l : j["data"].value("lines", json::array()))
            EXPECT_EQ(l, json({{"line", "AT+BOGUS=1"}, {"result", "refused"}})) << what(m);
        if (m.must_be_done) {
            EXPECT_EQ(j["data"]["lines"].size(), 1u) << what(m) << ": " << j;
        }
    }

    /* The truth now: the factory's, with whichever change arrived. */
    std::map<std::string, json> again = run_grid({"read"});
    for (const grid_module& m : grid()) {
        json want = truth(factory, m.ip);
        auto got = settings_to(sim, m.ip, 0);
        if (reached(got, channel_line(m)))
            want["ap"]["channel"] = "CH6";
        if (reached(got, key_line(m)))
            want["sta"]["key"] = "newkey123";
        expect_true_or_named(m, again[m.ip], again[m.ip]["data"]["settings"], want, "read after the applies");
    }
}
