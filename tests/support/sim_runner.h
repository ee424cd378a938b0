/*
 * sim_runner.h - runs the module simulator as a child process for a test
 * and reads back what it received.
 *
 * The child inherits the test's private network. It is ended by its PID
 * however the test ends.
 */
#ifndef KX_TESTS_SIM_RUNNER_H
#define KX_TESTS_SIM_RUNNER_H

#include <string>
#include <sys/types.h>
#include <vector>

/* A file for the simulator to write, removed when the test ends. */
struct temp_file {
    std::string path;
    temp_file();
    ~temp_file();
    temp_file(const temp_file&) = delete;
    temp_file& operator=(const temp_file&) = delete;
    std::string text() const;
};

/* An empty directory for a test's files, removed with them when it ends. */
struct temp_dir {
    std::string path;
    temp_dir();
    ~temp_dir();
    temp_dir(const temp_dir&) = delete;
    temp_dir& operator=(const temp_dir&) = delete;
};

/* kxd40-sim with the given arguments. */
class sim_child {
public:
    explicit sim_child(std::vector<std::string> args);
    ~sim_child();
    sim_child(const sim_child&) = delete;
    sim_child& operator=(const sim_child&) = delete;

    /* Reads stdout until text shows up, stdout ends or 5 s pass. */
    bool wait_for(const std::string& text);
    /* SIGTERM, then the exit status (-1 if it did not exit normally). */
    int stop();
    int reap();
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
    explicit sim_process(const std::vector<std::string>& args);
    bool ready() const { return ready_; }
    /* Everything the simulator received so far, in order. */
    std::vector<sim_datagram> received() const;
    sim_child& child() { return child_; }

private:
    static std::vector<std::string> with_log(const std::string& path, std::vector<std::string> args);
    temp_file log_;
    sim_child child_;
    bool ready_;
};

#endif
