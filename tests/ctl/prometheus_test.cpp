/*
 * prometheus_test.cpp - kxd40ctl --prometheus: the metrics file of a read,
 * a diff and a search, byte for byte (times and durations normalised), run
 * after run on one file: a module gone silent reads 0 and keeps its
 * identity, one no longer named is gone, a search carries who stopped
 * answering for a day; a run that cannot have the port, or is stopped
 * before its modules answer, writes no module.
 */
#include <gtest/gtest.h>

#include <cerrno>
#include <ctime>
#include <map>
#include <regex>
#include <sys/stat.h>
#include <unistd.h>

#include "ctl_run.h"
#include "port_claim.h"
#include "sim_runner.h"
#include "netio.h"

namespace {

const std::map<std::string, std::string> help = {
    {"kxd40_up", "Whether the module answered in the last run (1) or not (0)."},
    {"kxd40_info", "The module's MAC, ID and firmware version (the version when the run read it)."},
    {"kxd40_probe_duration_seconds", "The module's own time in the last run."},
    {"kxd40_last_seen_timestamp_seconds", "When the module last answered, in seconds since the epoch."},
    {"kxd40_drifted", "Whether the module's settings differ from the desired ones."},
    {"kxd40_setting_drift", "A setting in which the module differs from the desired ones."},
    {"kxd40_run_success", "Whether the last run could do what it was asked."},
    {"kxd40_run_error", "Why the last run did nothing: reason, and the program's message."},
    {"kxd40_last_run_timestamp_seconds", "When the last run ended, in seconds since the epoch."},
};

/* A family as the file must hold it: help, type, then its samples. */
std::string family(const std::string& name, const std::string& samples)
{
    return "# HELP " + name + " " + help.at(name) + "\n# TYPE " + name + " gauge\n" + samples;
}

std::string run_lines(bool success, const std::string& error = "")
{
    return family("kxd40_run_success", std::string("kxd40_run_success ") + (success ? "1" : "0") + "\n") +
           (error.empty() ? "" : family("kxd40_run_error", "kxd40_run_error{" + error + "} 1\n")) +
           family("kxd40_last_run_timestamp_seconds", "kxd40_last_run_timestamp_seconds NOW\n");
}

/* The file with its times from this test on as NOW and durations as D. */
std::string normalised(const std::string& path, long long since)
{
    std::string text = file_text(path), out;
    std::regex line("^(\\S+(?:\\{.*\\})?) (\\S+)$");
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        std::string l = text.substr(start, end - start);
        std::smatch m;
        if (l[0] != '#' && std::regex_match(l, m, line)) {
            bool duration = l.compare(0, 28, "kxd40_probe_duration_seconds") == 0;
            bool now = m[1].str().find("_timestamp_seconds") != std::string::npos && std::stoll(m[2]) >= since;
            l = duration ? m[1].str() + " D" : now ? m[1].str() + " NOW" : l;
        }
        out += l + "\n";
    }
    return out + text.substr(start);
}

/* A step of a table on one file: the run, then the file it leaves. */
struct step {
    std::vector<std::string> args;
    int status;
    std::string file;
};

void expect_steps(const std::string& file, const std::vector<step>& steps, long long since)
{
    for (const step& s : steps) {
        struct stat before {};
        stat(file.c_str(), &before);
        std::vector<std::string> args = s.args;
        if (args[0] != "search")
            args.insert(args.end(), {"-q", "--tries", "1", "--timeout", "100"});
        args.insert(args.end(), {"--prometheus", file});
        ctl_result r = ctl(args);
        EXPECT_EQ(r.status, s.status) << args[0] << ": " << r.err;
        EXPECT_EQ(normalised(file, since), s.file) << args[0] << " " << args[1];
        struct stat st {};
        EXPECT_TRUE(stat(file.c_str(), &st) == 0 && (st.st_mode & 0777) == 0644) << "the exporter reads it";
        /* Written beside and renamed over: a scrape never reads half. */
        EXPECT_NE(st.st_ino, before.st_ino) << "the file was written in place";
    }
}

const std::string want_lab = "AT+WSSSID=Lab\n";

/* Module lines: up, info, duration, last seen. */
std::string modules(const std::vector<std::vector<std::string>>& rows)
{
    std::string up, info, time, seen;
    for (const auto& r : rows) { /* ip, up, mac, id, version, "carried" (no duration), last seen */
        up += "kxd40_up{ip=\"" + r[0] + "\"} " + r[1] + "\n";
        info += "kxd40_info{ip=\"" + r[0] + "\",mac=\"" + r[2] + "\",id=\"" + r[3] + "\",version=\"" + r[4] + "\"} 1\n";
        time += r[5] == "carried" ? "" : "kxd40_probe_duration_seconds{ip=\"" + r[0] + "\"} D\n";
        seen += r[6].empty() ? "" : "kxd40_last_seen_timestamp_seconds{ip=\"" + r[0] + "\"} " + r[6] + "\n";
    }
    return family("kxd40_up", up) + family("kxd40_info", info) +
           (time.empty() ? "" : family("kxd40_probe_duration_seconds", time)) +
           family("kxd40_last_seen_timestamp_seconds", seen);
}

} // namespace

/* A read, a diff and a search on one file; .3's ID holds a quote and a
 * backslash, .4 never answers; then .3 falls silent and is dropped. */
TEST(Prometheus, TheFileTellsTheFleetRunAfterRun)
{
    long long since = std::time(nullptr);
    temp_dir dir;
    std::string file = dir.path + "/kxd40.prom", want = dir.path + "/want.txt";
    write_file(want, want_lab);
    const std::string id3 = "KX\\\"3\\\\";  /* KX"3\ escaped */
    {
        sim_process sim({"--broadcast", "127.255.255.255", "--module", "127.0.0.2", "--module",
                         "127.0.0.3,ACCF23000003,KX\"3\\", "--silent", "--module", "127.0.0.4"});
        ASSERT_TRUE(sim.ready());
        ASSERT_EQ(ctl({"send", "-q", "127.0.0.2", "AT+WSSSID=Lab"}).status, 0);
        const std::vector<std::string> named = {"127.0.0.2", "127.0.0.3", "127.0.0.4"};
        std::vector<std::string> read = {"read"}, diff = {"diff", want};
        read.insert(read.end(), named.begin(), named.end());
        diff.insert(diff.end(), named.begin(), named.end());
        expect_steps(file, {
            {read, 1, modules({{"127.0.0.2", "1", "ACCF23000002", "KXD40-0002", "V1.0.8", "", "NOW"},
                               {"127.0.0.3", "1", "ACCF23000003", id3, "V1.0.8", "", "NOW"},
                               {"127.0.0.4", "0", "", "", "", "", ""}}) + run_lines(false)},
            {diff, 2, modules({{"127.0.0.2", "1", "ACCF23000002", "KXD40-0002", "V1.0.8", "", "NOW"},
                               {"127.0.0.3", "1", "ACCF23000003", id3, "V1.0.8", "", "NOW"},
                               {"127.0.0.4", "0", "", "", "", "", ""}}) +
                          family("kxd40_drifted", "kxd40_drifted{ip=\"127.0.0.2\"} 0\nkxd40_drifted{ip=\"127.0.0.3\"} 1\n") +
                          family("kxd40_setting_drift", "kxd40_setting_drift{ip=\"127.0.0.3\",field=\"sta.ssid\"} 1\n") +
                          run_lines(false)},
            {{"diff", want, "127.0.0.2"}, 0, modules({{"127.0.0.2", "1", "ACCF23000002", "KXD40-0002", "V1.0.8", "", "NOW"}}) +
                family("kxd40_drifted", "kxd40_drifted{ip=\"127.0.0.2\"} 0\n") + run_lines(true)},
            {{"search", "--broadcast", "127.255.255.255"}, 0,
             modules({{"127.0.0.2", "1", "ACCF23000002", "KXD40-0002", "", "", "NOW"},
                      {"127.0.0.3", "1", "ACCF23000003", id3, "", "", "NOW"}}) + run_lines(true)},
        }, since);
    }
    /* .3 falls silent: named, it reads 0 with what was known of it; left
     * out, it is gone. */
    sim_process sim({"--broadcast", "127.255.255.255", "--module", "127.0.0.2", "--silent", "--module",
                     "127.0.0.3,ACCF23000003,KX\"3\\"});
    ASSERT_TRUE(sim.ready());
    expect_steps(file, {
        {{"read", "127.0.0.2", "127.0.0.3"}, 1,
         modules({{"127.0.0.2", "1", "ACCF23000002", "KXD40-0002", "V1.0.8", "", "NOW"},
                  {"127.0.0.3", "0", "ACCF23000003", id3, "", "", "NOW"}}) + run_lines(false)},
        {{"read", "127.0.0.2"}, 0, modules({{"127.0.0.2", "1", "ACCF23000002", "KXD40-0002", "V1.0.8", "", "NOW"}}) +
                                       run_lines(true)},
    }, since);
}

/* A search carries who answered before, down, until a day after it last
 * answered; a run that cannot have the port, or is stopped, tells why and
 * no module. */
TEST(Prometheus, ASearchCarriesTheSilentForADayAndAHeldPortWritesNoModule)
{
    long long since = std::time(nullptr);
    temp_dir dir;
    std::string file = dir.path + "/kxd40.prom";
    std::string hour_ago = std::to_string(since - 3600), day_ago = std::to_string(since - 24 * 3600 - 60);
    write_file(file, "kxd40_info{ip=\"127.0.0.7\",mac=\"ACCF23000007\",id=\"Old\",version=\"V1.0.7\"} 1\n"
                     "kxd40_last_seen_timestamp_seconds{ip=\"127.0.0.7\"} " + hour_ago + "\n"
                     "kxd40_info{ip=\"127.0.0.8\",mac=\"ACCF23000008\",id=\"Gone\",version=\"\"} 1\n"
                     "kxd40_last_seen_timestamp_seconds{ip=\"127.0.0.8\"} " + day_ago + "\n");
    sim_process sim({"--broadcast", "127.255.255.255", "--module", "127.0.0.2"});
    ASSERT_TRUE(sim.ready());
    const std::vector<std::string> search = {"search", "--broadcast", "127.255.255.255"};
    const std::string carried = modules({{"127.0.0.2", "1", "ACCF23000002", "KXD40-0002", "", "", "NOW"},
                                         {"127.0.0.7", "0", "ACCF23000007", "Old", "V1.0.7", "carried", hour_ago}});
    expect_steps(file, {{search, 0, carried + run_lines(true)}, {search, 0, carried + run_lines(true)}}, since);
    {
        port_claim held(KX_PORT);
        ASSERT_TRUE(held.taken());
        const std::string why = "reason=\"port_held\",message=\"port 48899 is held by another program: " +
                                std::string(program_invocation_short_name) + " (pid " + std::to_string(getpid()) + ")\"";
        expect_steps(file, {{search, 1, run_lines(false, why)}, {{"read", "127.0.0.2"}, 1, run_lines(false, why)}},
                     since);
    }
    /* Stopped while its modules had not answered yet: nobody is down. */
    ctl_result stopped = ctl({"read", "--tries", "100", "127.0.0.8", "127.0.0.9", "--prometheus", file}, "linking");
    EXPECT_EQ(stopped.status, 130);
    EXPECT_EQ(normalised(file, since), run_lines(false, "reason=\"stopped\",message=\"stopped by a signal\""));
}
