/*
 * ctl_run.cpp - kxd40ctl as a child process of a test.
 */
#include "ctl_run.h"

#include <chrono>
#include <cstdio>
#include <csignal>
#include <fstream>
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

/* Starts kxd40ctl reading in and writing the two files. */
pid_t start_ctl(std::vector<std::string> args, const std::string& in, const std::string& out, const std::string& err)
{
    args.insert(args.begin(), KXD40CTL_PATH);
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        if (freopen(in.c_str(), "r", stdin) == nullptr || freopen(out.c_str(), "w", stdout) == nullptr ||
            freopen(err.c_str(), "w", stderr) == nullptr)
            _exit(127);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return pid;
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
    temp_file in, out, err;
    write_file(in.path, input);
    pid_t pid = start_ctl(std::move(args), in.path, out.path, err.path);
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

std::vector<nlohmann::json> json_lines(const std::string& out)
{
    std::vector<nlohmann::json> all;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line))
        all.push_back(nlohmann::json::parse(line));
    return all;
}
