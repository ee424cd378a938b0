/*
 * udp_hub_threads_test.cpp - the hub's receiver thread on the system's
 * sockets, in the test process's private network: thirty links asking at
 * once from thirty threads, each taking its own module's replies alone,
 * and a stop from another thread that ends every wait.
 */
#include <gtest/gtest.h>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "discovery.h"
#include "link.h"
#include "module.h"
#include "strutil.h"
#include "udp_hub.h"

namespace {

enum {
    MODULES = 30,
    QUERIES = 3,
    SERVE_POLL_MS = 20, /* how often the modules look at their stop flag */
    HEARD_LIMIT_MS = 30000
};

using lines = std::vector<std::string>;

std::string module_address(int i) { return "127.0.0." + std::to_string(2 + i); }

/* Every third module answers twice, every fourth after up to 0.3 s. */
bool answers_twice(int i) { return i % 3 == 0; }
int answer_delay_ms(int i) { return i % 4 == 1 ? 10 * i : 0; }

class udp_fd {
public:
    explicit udp_fd(int fd) : fd_(fd) { }
    ~udp_fd()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    udp_fd(udp_fd&& o) noexcept : fd_(o.fd_) { o.fd_ = -1; }
    udp_fd(const udp_fd&) = delete;
    udp_fd& operator=(const udp_fd&) = delete;
    udp_fd& operator=(udp_fd&&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

/* The modules at module_address(0..MODULES-1), port 48899: each answers
 * "AT+MID\n" with its own address and says nothing to anything else. One
 * thread serves them all and keeps what each heard. */
class fake_modules {
public:
    fake_modules()
    {
        for (int i = 0; i < MODULES; ++i)
            if (!bind_module(i))
                return;
        heard_.resize(MODULES);
        thread_ = std::thread([this] { serve(); });
        ready_ = true;
    }
    ~fake_modules()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
    }
    fake_modules(const fake_modules&) = delete;
    fake_modules& operator=(const fake_modules&) = delete;

    bool ready() const { return ready_; }

    /* Waits until every module has heard cmd; false when one has not
     * within HEARD_LIMIT_MS (its link never sent it). */
    bool all_heard(const std::string& cmd)
    {
        std::unique_lock<std::mutex> g(lock_);
        return heard_changed_.wait_for(g, std::chrono::milliseconds(HEARD_LIMIT_MS), [&] {
            for (const lines& h : heard_)
                if (std::find(h.begin(), h.end(), cmd) == h.end())
                    return false;
            return true;
        });
    }

private:
    struct reply {
        long long due;
        int module;
        sockaddr_in to;
        std::string bytes;
    };

    bool bind_module(int i)
    {
        udp_fd s(socket(AF_INET, SOCK_DGRAM, 0));
        int on = 1;
        sockaddr_in at{};
        if (s.get() < 0 || setsockopt(s.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0
            || !make_address(module_address(i).c_str(), KX_PORT, &at)
            || bind(s.get(), reinterpret_cast<const sockaddr*>(&at), sizeof at) != 0)
            return false;
        socks_.push_back(std::move(s));
        return true;
    }

    void serve()
    {
        std::vector<pollfd> fds;
        for (const udp_fd& s : socks_)
            fds.push_back(pollfd{s.get(), POLLIN, 0});
        while (!stop_) {
            poll(fds.data(), fds.size(), SERVE_POLL_MS);
            for (size_t i = 0; i < fds.size(); ++i)
                if (fds[i].revents & POLLIN)
                    take(static_cast<int>(i));
            send_due();
        }
    }

    void take(int i)
    {
        char buf[512];
        sockaddr_in from{};
        socklen_t len = sizeof from;
        ssize_t n = recvfrom(
            socks_[i].get(), buf, sizeof buf, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &len);
        if (n < 0)
            return;
        std::string cmd(buf, static_cast<size_t>(n));
        {
            std::lock_guard<std::mutex> g(lock_);
            heard_[i].push_back(cmd);
        }
        heard_changed_.notify_all();
        if (cmd != "AT+MID\n")
            return;
        reply r{monotonic_ms() + answer_delay_ms(i), i, from, "+ok=" + module_address(i) + "\r\n\r\n"};
        due_.push_back(r);
        if (answers_twice(i)) {
            r.due += 30;
            due_.push_back(r);
        }
    }

    void send_due()
    {
        long long now = monotonic_ms();
        for (auto r = due_.begin(); r != due_.end();) {
            if (r->due > now) {
                ++r;
                continue;
            }
            sendto(socks_[r->module].get(), r->bytes.data(), r->bytes.size(), 0,
                reinterpret_cast<const sockaddr*>(&r->to), sizeof r->to);
            r = due_.erase(r);
        }
    }

    std::vector<udp_fd> socks_;
    std::vector<reply> due_; /* the serving thread's alone */
    std::mutex lock_;
    std::condition_variable heard_changed_;
    std::vector<lines> heard_;
    std::atomic<bool> stop_{false};
    bool ready_ = false;
    std::thread thread_;
};

/* One module's link and what its thread found. */
struct asker {
    module_link link;
    lines values;
    int stopped_result = -1;
    int stopped_silent = -1;
};

/* QUERIES times "AT+MID", with resends generous enough for a busy machine,
 * then a command the module never answers, awaited ten minutes: only the
 * stop ends that wait. */
void ask(asker& a, int i)
{
    copy_text(a.link.module_ip, module_address(i).c_str());
    link_open(a.link, true);
    a.link.query_resend = at_resend{10, 1000, 2000};
    for (int q = 0; q < QUERIES; ++q) {
        char value[32] = "";
        a.values.push_back(at_query(a.link, "AT+MID", value, sizeof value) ? value : "(no reply)");
    }
    a.link.query_resend = at_resend{1, 600000, 600000};
    char value[32] = "";
    a.stopped_result = at_query(a.link, "AT+VER", value, sizeof value);
    a.stopped_silent = a.link.module_silent;
}

/* The program's socket, as the program opens it, read by the receiver. */
struct HubThreads : testing::Test {
    void SetUp() override
    {
        /* The stop ends every attached link; the window's is not ours. */
        hub_detach(window_link);
        udp_open_error err = UDP_OPEN_OK;
        udpsocket = net().open_udp(KX_PORT, &err);
        ASSERT_NE(udpsocket, 0) << "error " << err;
        ASSERT_TRUE(hub_start_receiver());
    }
    void TearDown() override
    {
        hub_stop_receiver();
        net().close_udp(udpsocket);
        udpsocket = 0;
    }
};

TEST_F(HubThreads, ThirtyLinksTakeOnlyTheirOwnRepliesUntilAStopEndsEveryWait)
{
    fake_modules modules;
    ASSERT_TRUE(modules.ready());
    unsigned long unowned_before = hub_unowned();
    std::vector<std::unique_ptr<asker>> askers;
    std::vector<std::thread> threads;
    for (int i = 0; i < MODULES; ++i) {
        askers.push_back(std::make_unique<asker>());
        threads.emplace_back(ask, std::ref(*askers.back()), i);
    }
    bool all_waiting = modules.all_heard("AT+VER\n");
    hub_end_all();
    for (std::thread& t : threads)
        t.join();

    EXPECT_TRUE(all_waiting) << "every link was waiting on its silent module when the stop came";
    for (int i = 0; i < MODULES; ++i) {
        const asker& a = *askers[i];
        EXPECT_EQ(a.values, lines(QUERIES, module_address(i))) << "link " << i;
        EXPECT_EQ(a.stopped_result, 0) << "link " << i;
        EXPECT_EQ(a.stopped_silent, 1) << "link " << i;
        EXPECT_TRUE(a.link.ended) << "link " << i;
    }
    EXPECT_EQ(hub_unowned() - unowned_before, 0u) << "every reply had its link";
}

} // namespace
