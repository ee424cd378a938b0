/*
 * sim_runner.cpp - the simulator as a child process.
 */
#include "sim_runner.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sched.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

temp_file::temp_file(bool directory)
{
    char name[] = "/tmp/kxd40-test-XXXXXX";
    int fd = directory ? (mkdtemp(name) != nullptr ? 0 : -2) : mkstemp(name);
    if (fd > 0)
        close(fd);
    path = fd != -2 ? name : "";
}

temp_file::~temp_file()
{
    std::error_code ignored;
    if (!path.empty())
        std::filesystem::remove_all(path, ignored);
}

std::string temp_file::text() const
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

sim_child::sim_child(std::vector<std::string> args, const std::string& network)
{
    args.insert(args.begin(), KXD40_SIM_PATH);
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(&a[0]);
    argv.push_back(nullptr);
    int fds[2];
    if (pipe(fds) != 0)
        return;
    pid_ = fork();
    if (pid_ == 0) {
        dup2(fds[1], 1);
        int ns = network.empty() ? -1 : open(network.c_str(), O_RDONLY | O_CLOEXEC);
        if (!network.empty() && (ns < 0 || setns(ns, CLONE_NEWNET) != 0))
            _exit(126);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(fds[1]);
    out_ = fds[0];
}

bool sim_child::wait_for(const std::string& text)
{
    for (int i = 0; i < 100 && output_.find(text) == std::string::npos; ++i) {
        pollfd p{out_, POLLIN, 0};
        char buf[512];
        ssize_t n = poll(&p, 1, 50) > 0 ? read(out_, buf, sizeof buf) : -1;
        if (n == 0)
            return false;
        output_.append(buf, n > 0 ? static_cast<size_t>(n) : 0);
    }
    return output_.find(text) != std::string::npos;
}

int sim_child::stop()
{
    int status = 0;
    if (pid_ > 0 && kill(pid_, SIGTERM) == 0 && waitpid(pid_, &status, 0) == pid_)
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    pid_ = -1;
    return status_;
}

sim_child::~sim_child()
{
    stop();
    close(out_);
}

void sim_child::pause() { kill(pid_, SIGSTOP); }
void sim_child::resume() { kill(pid_, SIGCONT); }

sim_process::sim_process(std::vector<std::string> args, const std::string& network)
    : child_((args.insert(args.begin(), {"--log", log_.path}), args), network), ready_(child_.wait_for("kxd40-sim: ready\n"))
{
}

std::vector<sim_datagram> sim_process::received() const
{
    /* <seq> <t_ms> <to> <from ip:port> <len> <hex or -> <fate> */
    std::vector<sim_datagram> out;
    std::istringstream in(log_.text());
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream f(line);
        std::string seq, target, from, hex, fate, bytes;
        long long t = 0;
        size_t len = 0;
        if (!(f >> seq >> t >> target >> from >> len >> hex >> fate))
            continue;
        for (size_t i = 0; hex != "-" && i + 1 < hex.size(); i += 2)
            bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
        out.push_back({t, target, from, bytes, fate});
    }
    return out;
}
