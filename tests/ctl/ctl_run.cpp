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
                const std::vector<std::string>& env_given = {})
{
    args.insert(args.begin(), KXD40CTL_PATH);
    std::vector<char*> argv = pointers(args);
    std::vector<std::string> env_texts = child_environment(env_given);
    std::vector<char*> envp = pointers(env_texts);
    pid_t pid = fork();
    if (pid == 0) {
        if (freopen(in.c_str(), "r", stdin) == nullptr || freopen(out.c_str(), "w", stdout) == nullptr ||
            freopen(err.c_str(), "w", stderr) == nullptr)
            _exit(127);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    return pid;
}

/* kxd40ctl to its end; see ctl() and ctl_env(). */
ctl_result run_ctl(std::vector<std::string> args, const std::string& stop_at, const std::string& input,
                   const std::vector<std::string>& env)
{
    temp_file in, out, err;
    write_file(in.path, input);
    pid_t pid = start_ctl(std::move(args), in.path, out.path, err.path, env);
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

ctl_running::ctl_running(std::vector<std::string> args)
{
    temp_file out, err;
    out_ = out.path + ".running";
    err_ = err.path + ".running";
    pid_ = start_ctl(std::move(args), "/dev/null", out_, err_);
}

ctl_running::~ctl_running()
{
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    std::remove(out_.c_str());
    std::remove(err_.c_str());
}

ctl_result ctl(std::vector<std::string> args, const std::string& stop_at, const std::string& input)
{
    return run_ctl(std::move(args), stop_at, input, {});
}

ctl_result ctl_out_to(std::vector<std::string> args, const std::string& out_path,
                      const std::function<void()>& meanwhile)
{
    temp_file in, err;
    write_file(in.path, "");
    pid_t pid = start_ctl(std::move(args), in.path, out_path, err.path);
    if (meanwhile)
        meanwhile();
    int status = 0;
    if (waitpid(pid, &status, 0) != pid)
        status = -1;
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, "", err.text()};
}

ctl_result ctl_env(const std::vector<std::string>& env, std::vector<std::string> args)
{
    return run_ctl(std::move(args), "", "", env);
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

std::vector<std::string> settings_since(const sim_process& sim, size_t from)
{
    std::vector<std::string> out;
    std::vector<sim_datagram> log = sim.received();
    for (size_t i = from; i < log.size(); ++i)
        if (log[i].bytes.compare(0, 3, "AT+") == 0 && log[i].bytes.find('=') != std::string::npos)
            out.push_back(log[i].target + " " + log[i].bytes.substr(0, log[i].bytes.find_last_not_of("\r\n") + 1));
    return out;
}
