/*
 * sim_runner.cpp - the simulator as a child process.
 */
#include "sim_runner.h"

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string unhex(const std::string& hex)
{
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

} // namespace

temp_file::temp_file()
{
    char name[] = "/tmp/kxd40-test-XXXXXX";
    int fd = mkstemp(name);
    if (fd >= 0)
        close(fd);
    path = name;
}

temp_file::~temp_file() { unlink(path.c_str()); }

temp_dir::temp_dir()
{
    char name[] = "/tmp/kxd40-test-XXXXXX";
    path = mkdtemp(name) != nullptr ? name : "";
}

temp_dir::~temp_dir()
{
    std::error_code ignored;
    if (!path.empty())
        std::filesystem::remove_all(path, ignored);
}

std::string temp_file::text() const
{
    std::ostringstream s;
    s << std::ifstream(path, std::ios::binary).rdbuf();
    return s.str();
}

sim_child::sim_child(std::vector<std::string> args)
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
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(fds[1]);
    out_ = fds[0];
}

sim_child::~sim_child()
{
    stop();
    if (out_ >= 0)
        close(out_);
}

bool sim_child::wait_for(const std::string& text)
{
    for (int i = 0; i < 100 && output_.find(text) == std::string::npos; ++i) {
        pollfd p{out_, POLLIN, 0};
        char buf[512];
        ssize_t n = poll(&p, 1, 50) > 0 ? read(out_, buf, sizeof buf) : -1;
        if (n == 0)
            return false;
        if (n > 0)
            output_.append(buf, static_cast<size_t>(n));
    }
    return output_.find(text) != std::string::npos;
}

int sim_child::stop()
{
    if (pid_ > 0)
        kill(pid_, SIGTERM);
    return reap();
}

int sim_child::reap()
{
    int status = 0;
    if (pid_ > 0 && waitpid(pid_, &status, 0) == pid_)
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    pid_ = -1;
    return status_;
}

void sim_child::pause() { kill(pid_, SIGSTOP); }
void sim_child::resume() { kill(pid_, SIGCONT); }

std::vector<std::string> sim_process::with_log(const std::string& path, std::vector<std::string> args)
{
    args.insert(args.begin(), {"--log", path});
    return args;
}

sim_process::sim_process(const std::vector<std::string>& args)
    : child_(with_log(log_.path, args)), ready_(child_.wait_for("kxd40-sim: ready\n"))
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
        std::string seq, target, from, hex, fate;
        long long t = 0;
        size_t len = 0;
        if (f >> seq >> t >> target >> from >> len >> hex >> fate)
            out.push_back({t, target, from, hex == "-" ? std::string() : unhex(hex), fate});
    }
    return out;
}
