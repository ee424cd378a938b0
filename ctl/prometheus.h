/*
 * prometheus.h - a run's results as a metrics file (--prometheus FILE), in
 * the text format a node exporter's textfile collector serves.
 *
 * The file is replaced whole at the end of the run (a new file beside it,
 * renamed over it, mode 0644), so a scrape sees the last run or the one
 * before, never half of one. Per module: kxd40_up, kxd40_info,
 * kxd40_probe_duration_seconds, kxd40_last_seen_timestamp_seconds, and for
 * a diff kxd40_drifted and kxd40_setting_drift; for the run:
 * kxd40_run_success, kxd40_run_error (why a run did nothing) and
 * kxd40_last_run_timestamp_seconds.
 *
 * A run whose modules came from a search cannot name the modules that no
 * longer answer: those of the previous file are carried with kxd40_up 0
 * and their identity until 24 hours after they last answered. A run that
 * could not search or reach any module (the port held, no socket) writes
 * the run's lines alone: what the previous file said would be stale values
 * shown as current. A module a stopped run had not heard yet is left out,
 * not reported down.
 */
#ifndef KXCTL_PROMETHEUS_H
#define KXCTL_PROMETHEUS_H

#include <string>
#include <vector>

#include "ctl.h"

namespace kxctl {

/* Seconds a module that stopped answering a search stays in the file. */
constexpr long long CARRIED_SECONDS = 24 * 3600;

/* Metrics go to path for this run of action ("search", "read", "diff");
 * the module results are taken as the report tells them. */
void metrics_to(const std::string& path, const std::string& action);
bool metrics_on();

/* Why the run did nothing (reason: a short word for alerts; message: what
 * stderr said). The first reason given is kept. */
void metrics_run_error(const std::string& reason, const std::string& message);

/* A search ran to its end: modules it did not hear may be carried. */
void metrics_searched();

/* A module's firmware version, for the actions whose data do not hold it. */
void metrics_version(const std::string& ip, const std::string& version);

/* A module a search heard, seconds after the search began. */
void metrics_heard(const module_ref& m, double seconds);

/* Writes the file for a run that ended with status; returns status, or
 * EXIT_FAILED (with a line on stderr) when the file could not be written.
 * Nothing when metrics_to was not called. */
int metrics_finish(int status);

} // namespace kxctl

#endif
