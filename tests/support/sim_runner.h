/*
 * sim_runner.h - the simulator as a child process of a test (it inherits
 * the test's private network and is ended by its PID however the test
 * ends), what it received, and the temporary files tests give it.
 */
#ifndef KX_TESTS_SIM_RUNNER_H
#define KX_TESTS_SIM_RUNNER_H

#include <string>
#include <sys/types.h>
#include <vector>

/* A file, or an empty directory, removed with its contents when the test
 * ends; what a test holds alone, so not copied. */
struct temp_file {
    std::string path;
    explicit temp_file(bool directory = false);
    temp_file(const temp_file&) = delete;
    ~temp_file();
    std::string text() const;
};
struct temp_dir : temp_file {
    temp_dir() : temp_file(true) {}
};

/* kxd40-sim with the given arguments, in the test's network or the one
 * at network ("/proc/PID/ns/net"). */
class sim_child {
public:
    explicit sim_child(std::vector<std::string> args, const std::string& network = "");
    sim_child(const sim_child&) = delete;
    ~sim_child();

    /* Reads stdout until text shows up, stdout ends or 5 s pass. */
    bool wait_for(const std::string& text);
    /* SIGTERM, then the exit status (-1 if it did not exit normally). */
    int stop();
    /* A stopped child lets datagrams pile up in several sockets at once. */
    void pause();
    void resume();

private:
    pid_t pid_ = -1;
    int out_ = -1;
    int status_ = -1;
    std::string output_;
};

/* One datagram of the simulator's log. */
struct sim_datagram {
    long long t_ms;      /* since the simulator started */
    std::string target;  /* module address, or "bcast" */
    std::string from;    /* "a.b.c.d:port" */
    std::string bytes;
    std::string fate;    /* "ok", "dropped", "booting", ... */
};

/* The simulator with a log, started and ready (or not: see ready()). */
class sim_process {
public:
    explicit sim_process(std::vector<std::string> args, const std::string& network = "");
    bool ready() const { return ready_; }
    /* Everything the simulator received so far, in order. */
    std::vector<sim_datagram> received() const;
    sim_child& child() { return child_; }

private:
    temp_file log_;
    sim_child child_;
    bool ready_;
};

#endif
