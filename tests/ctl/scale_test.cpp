/*
 * scale_test.cpp - kxd40ctl on more modules than it runs at once: the
 * threads of the process stay within the limit (the default one or
 * --jobs), counted from /proc while the run goes, and every module is
 * still read. A thread a module without that bound would be a thousand
 * threads more on a fleet of ten thousand.
 */
#include <gtest/gtest.h>

#include <algorithm>
#include <dirent.h>
#include <fstream>
#include <string>
#include <sys/types.h>
#include <unistd.h>

#include "ctl_run.h"
#include "sim_runner.h"

namespace {

/* Besides the workers: the main thread, the hub's receiver and the one
 * that takes the signals. */
const size_t other_threads = 3;

size_t threads_of(pid_t pid)
{
    size_t n = 0;
    DIR* d = opendir(("/proc/" + std::to_string(pid) + "/task").c_str());
    if (d == nullptr)
        return 0;
    while (dirent* e = readdir(d))
        n += e->d_name[0] != '.' ? 1 : 0;
    closedir(d);
    return n;
}

/* The state letter of /proc/PID/stat: 'Z' once the process has ended. */
char state_of(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    size_t paren = line.rfind(')');
    return paren != std::string::npos && paren + 2 < line.size() ? line[paren + 2] : 'Z';
}

} // namespace

TEST(Scale, ARunOverMoreModulesThanItsLimitKeepsThatManyWorkers)
{
    /* 127.1.0.0/22 holds 1022 modules: more than the default 1000. */
    sim_process sim({"--latency", "20", "--modules", "1022", "--first", "127.1.0.1"});
    ASSERT_TRUE(sim.ready());
    const struct {
        std::vector<std::string> args;
        size_t workers;
    } cases[] = {
        {{"127.1.0.0/22"}, 1000},
        {{"127.1.0.1-40", "--jobs", "7"}, 7},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"read", "-q"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        size_t most = 0;
        ctl_result r = ctl_out_to(args, "/dev/null", [&most](pid_t pid) {
            for (; state_of(pid) != 'Z'; usleep(1000))
                most = std::max(most, threads_of(pid));
        });
        EXPECT_EQ(r.status, 0) << c.args[0] << ": " << r.err;
        EXPECT_LE(most, c.workers + other_threads) << c.args[0];
        EXPECT_GT(most, other_threads) << c.args[0] << ": no worker was ever seen";
    }
}
