/*
 * ctl_run.cpp - kxd40ctl as a child process of a test.
 */
#include "ctl_run.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "netns.h"
#include "sim_runner.h"

std::string file_text(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

void write_file(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

namespace {

/* The test's environment without what would change kxd40ctl's defaults,
 * then the given variables ("NAME=VALUE" sets, "NAME" unsets; a later one
 * wins). */
std::vector<std::string> child_environment(const std::vector<std::string>& given)
{
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e)
        if (std::strncmp(*e, "KXD40CTL_", 9) != 0 && std::strncmp(*e, "XDG_DATA_HOME=", 14) != 0)
            env.push_back(*e);
    env.push_back("XDG_DATA_HOME=/nonexistent/kxd40ctl-test");
    for (const std::string& g : given) {
        bool set = g.find('=') != std::string::npos;
        std::string name = set ? g.substr(0, g.find('=') + 1) : g + "=";
        env.erase(std::remove_if(env.begin(), env.end(), [&](const std::string& e) { return e.compare(0, name.size(), name) == 0; }),
                  env.end());
        if (set)
            env.push_back(g);
    }
    return env;
}

std::vector<char*> pointers(std::vector<std::string>& texts)
{
    std::vector<char*> all;
    for (std::string& t : texts)
        all.push_back(t.data());
    all.push_back(nullptr);
    return all;
}

/* Starts kxd40ctl reading in and writing the two files. */
pid_t start_ctl(std::vector<std::string> args, const std::string& in, const std::string& out, const std::string& err,
                const std::vector<std::string>& env_given = {}, const std::string& alone_in = "")
{
    args.insert(args.begin(), KXD40CTL_PATH);
    std::vector<char*> argv = pointers(args);
    std::vector<std::string> env_texts = child_environment(env_given);
    std::vector<char*> envp = pointers(env_texts);
    pid_t pid = fork();
    if (pid == 0) {
        std::string why;
        if ((!alone_in.empty() && (!enter_private_network(&why) || chdir(alone_in.c_str()) != 0)) ||
            freopen(in.c_str(), "r", stdin) == nullptr || freopen(out.c_str(), "w", stdout) == nullptr ||
            freopen(err.c_str(), "w", stderr) == nullptr)
            _exit(127);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    return pid;
}

/* kxd40ctl to its end; see ctl() and ctl_env(). */
ctl_result run_ctl(std::vector<std::string> args, const std::string& stop_at, const std::string& input,
                   const std::vector<std::string>& env, const std::string& alone_in = "")
{
    temp_file in, out, err;
    write_file(in.path, input);
    pid_t pid = start_ctl(std::move(args), in.path, out.path, err.path, env, alone_in);
    int status = 0;
    if (!stop_at.empty()) {
        /* Polls the child's stderr; a minute at most, however busy the machine. */
        for (int i = 0; i < 6000 && waitpid(pid, &status, WNOHANG) == 0; ++i) {
            if (err.text().find(stop_at) != std::string::npos) {
                kill(pid, SIGINT);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    if (waitpid(pid, &status, 0) != pid && !WIFEXITED(status))
        status = -1;
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out.text(), err.text()};
}

} // namespace

ctl_result ctl(std::vector<std::string> args, const std::string& stop_at, const std::string& input)
{
    return run_ctl(std::move(args), stop_at, input, {});
}

ctl_result ctl_out_to(std::vector<std::string> args, const std::string& out_path,
                      const std::function<void(pid_t)>& meanwhile)
{
    temp_file in, err;
    write_file(in.path, "");
    pid_t pid = start_ctl(std::move(args), in.path, out_path, err.path);
    meanwhile(pid);
    int status = 0;
    if (waitpid(pid, &status, 0) != pid)
        status = -1;
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, "", err.text()};
}

ctl_result ctl_env(const std::vector<std::string>& env, std::vector<std::string> args, const std::string& alone_in)
{
    return run_ctl(std::move(args), "", "", env, alone_in);
}

std::vector<nlohmann::json> json_lines(const std::string& out)
{
    std::vector<nlohmann::json> all;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line))
        all.push_back(nlohmann::json::parse(line));
    return all;
}

std::map<std::string, nlohmann::json> by_address(const std::string& out)
{
    std::map<std::string, nlohmann::json> all;
    for (const nlohmann::json& j : json_lines(out))
        EXPECT_TRUE(all.emplace(j.at("ip").get<std::string>(), j).second) << "one object per module: " << j;
    return all;
}

nlohmann::json settings_of(const std::string& ip)
{
    ctl_result r = ctl({"read", "--json", ip});
    EXPECT_EQ(r.status, 0) << r.err;
    return r.status == 0 ? nlohmann::json::parse(r.out)["data"]["settings"] : nlohmann::json();
}

std::string changes_since(const sim_process& sim, size_t from)
{
    std::vector<sim_datagram> log = sim.received();
    std::string changes;
    for (size_t i = from; i < log.size(); ++i) {
        const std::string& b = log[i].bytes;
        std::string line = b.substr(0, b.find_last_not_of("\r\n") + 1);
        if (b.compare(0, 3, "AT+") == 0 && (b.find('=') != std::string::npos || line == "AT+Z" || line == "AT+RELD"))
            changes += log[i].target + " " + line + "\n";
    }
    return changes;
}

std::string sent_since(const sim_process& sim, size_t first)
{
    std::vector<sim_datagram> log = sim.received();
    std::string sent;
    for (size_t i = first; i < log.size(); ++i)
        if (log[i].bytes != "+ok")
            sent += log[i].target + " " + (log[i].bytes == "KX-D40LOCATORPING" ? "keyword\n" : log[i].bytes);
    return sent;
}

std::string whole(const ctl_result& r) { return std::to_string(r.status) + "\n" + r.out + "--\n" + r.err; }

void expect_cases(const sim_process& sim, const std::vector<ctl_case>& cases)
{
    temp_file file;
    for (const ctl_case& c : cases) {
        write_file(file.path, c.text);
        std::vector<std::string> args = c.args;
        std::replace(args.begin(), args.end(), std::string("FILE"), file.path);
        std::replace(args.begin(), args.end(), std::string("@FILE"), "@" + file.path);
        size_t first = sim.received().size();
        ctl_result r = ctl(args, "", c.text);
        std::string what = c.args[0] + " " + c.text.substr(0, 60);
        size_t at;
        while ((at = r.err.find(file.path)) != std::string::npos)
            r.err.replace(at, file.path.size(), "FILE");
        EXPECT_EQ(whole(r), c.told) << what;
        EXPECT_EQ(changes_since(sim, first), c.changes) << what;
        if (r.status == 2 && r.out.empty() && std::count(r.err.begin(), r.err.end(), '\n') == 1) {
            EXPECT_EQ(sim.received().size(), first) << what << ": a usage error sends nothing";
        }
    }
}
