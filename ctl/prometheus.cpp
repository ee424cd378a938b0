/*
 * prometheus.cpp - the metrics file: what the run learned of each module,
 * what the previous file remembers of those that did not answer, and the
 * run's own success, written whole.
 */
#include "prometheus.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <mutex>
#include <sys/stat.h>

#include "data_file.h"
#include "report.h"
#include "target_list.h"

namespace kxctl {
namespace {

/* One module's lines. */
struct module_lines {
    std::string ip, mac, id, version;
    bool up = false;
    bool probed = false; /* in this run: it has a duration */
    double seconds = 0;
    long long last_seen = 0; /* Unix time it last answered; 0: never */
    bool compared = false;   /* a diff compared it: drift lines */
    bool drifted = false;
    std::vector<std::string> drift;
};

struct run_state {
    std::string path, action;
    std::string reason, message;
    bool searched = false;
    std::map<std::string, std::string> versions;
    std::vector<module_lines> modules;
};

std::mutex lock;
run_state run;

std::string label_value(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c == '\n' ? std::string("\\n") : std::string(1, c);
    }
    return out;
}

/* The labels of a sample line ("name{a="x",b="y"} value"), unescaped,
 * and its value; false for a line that is no sample of name. */
bool parse_sample(const std::string& line, const std::string& name, std::map<std::string, std::string>* labels,
                  std::string* value)
{
    if (line.compare(0, name.size() + 1, name + "{") != 0)
        return false;
    size_t i = name.size() + 1;
    while (i < line.size() && line[i] != '}') {
        size_t eq = line.find("=\"", i);
        if (eq == std::string::npos)
            return false;
        std::string key = line.substr(i, eq - i), text;
        for (i = eq + 2; i < line.size() && line[i] != '"'; ++i) {
            if (line[i] == '\\' && i + 1 < line.size())
                text += line[++i] == 'n' ? '\n' : line[i];
            else
                text += line[i];
        }
        (*labels)[key] = text;
        if (++i < line.size() && line[i] == ',')
            ++i;
    }
    if (i + 2 > line.size())
        return false;
    *value = line.substr(i + 2);
    return true;
}

/* What the previous file said of each module: identity and last answer. */
std::map<std::string, module_lines> previous_file(const std::string& path)
{
    std::map<std::string, module_lines> known;
    std::string text;
    if (path == "-" || read_regular_text(path, &text) != TEXT_READ)
        return known;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? text.size() : end + 1;
        std::map<std::string, std::string> l;
        std::string value;
        if (parse_sample(line, "kxd40_info", &l, &value) && !l["ip"].empty()) {
            module_lines& m = known[l["ip"]];
            m.ip = l["ip"], m.mac = l["mac"], m.id = l["id"], m.version = l["version"];
        } else if (parse_sample(line, "kxd40_last_seen_timestamp_seconds", &l, &value) && !l["ip"].empty()) {
            known[l["ip"]].ip = l["ip"];
            known[l["ip"]].last_seen = std::strtoll(value.c_str(), nullptr, 10);
        }
    }
    return known;
}

/* A module's version as the read's data hold it, else as the action told. */
std::string version_of(const module_result& r)
{
    const ordered_json& d = r.data;
    if (d.contains("settings") && d["settings"].contains("management") &&
        d["settings"]["management"].contains("version"))
        return d["settings"]["management"]["version"].get<std::string>();
    auto told = run.versions.find(r.m.ip);
    return told != run.versions.end() ? told->second : "";
}

void take_result(const module_result& r, bool answered, double seconds)
{
    /* Stopped before it answered, the module may well be up: a run cut
     * short (its kxd40_run_error says so) does not report it down. */
    if (r.how == outcome::stopped && !answered)
        return;
    std::lock_guard<std::mutex> g(lock);
    module_lines m;
    m.ip = r.m.ip, m.mac = shown(r.m.mac), m.id = shown(r.m.id);
    m.up = answered;
    m.probed = true;
    m.seconds = seconds;
    m.version = shown(version_of(r));
    /* Drift is known of a module the diff compared whole. */
    const ordered_json& d = r.data;
    m.compared = run.action == "diff" && r.how == outcome::done && d.contains("differences");
    if (m.compared) {
        for (const auto& x : d["differences"])
            m.drift.push_back(x["name"].get<std::string>());
        m.drifted = !m.drift.empty() || (d.contains("uncompared") && !d["uncompared"].empty());
    }
    run.modules.push_back(m);
}

/* This run's modules, with what the previous file remembers of those that
 * did not answer, and those it carries. */
std::vector<module_lines> all_modules(long long now)
{
    std::map<std::string, module_lines> before = previous_file(run.path);
    std::vector<module_lines> out = run.modules;
    for (module_lines& m : out) {
        auto known = before.find(m.ip);
        if (m.up)
            m.last_seen = now;
        else if (known != before.end())
            m.last_seen = known->second.last_seen;
        /* Silent, it keeps the identity it had. */
        if (!m.up && known != before.end()) {
            const module_lines& k = known->second;
            m.mac = m.mac.empty() ? k.mac : m.mac;
            m.id = m.id.empty() ? k.id : m.id;
            m.version = m.version.empty() ? k.version : m.version;
        }
        if (known != before.end())
            before.erase(known);
    }
    /* A search names only who answers: who answered once stays, down,
     * for a while. */
    for (auto& k : before)
        if (run.searched && k.second.last_seen > 0 && now - k.second.last_seen < CARRIED_SECONDS)
            out.push_back(k.second);
    std::stable_sort(out.begin(), out.end(), [](const module_lines& a, const module_lines& b) {
        return address_number(a.ip) < address_number(b.ip);
    });
    return out;
}

/* One metric: its help, its type, its samples. */
struct family {
    const char* name;
    const char* help;
    std::string samples;
};

std::string sample(const char* name, const std::vector<std::pair<const char*, std::string>>& labels,
                   const std::string& value)
{
    std::string out = name;
    for (size_t i = 0; i < labels.size(); ++i)
        out += std::string(i == 0 ? "{" : ",") + labels[i].first + "=\"" + label_value(labels[i].second) + "\"";
    return out + (labels.empty() ? " " : "} ") + value + "\n";
}

std::string decimal(double v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", v);
    return text;
}

std::string file_text(bool success, long long now)
{
    std::vector<module_lines> modules = all_modules(now);
    family f[] = {
        {"kxd40_up", "Whether the module answered in the last run (1) or not (0).", ""},
        {"kxd40_info", "The module's MAC, ID and firmware version (the version when the run read it).", ""},
        {"kxd40_probe_duration_seconds", "The module's own time in the last run.", ""},
        {"kxd40_last_seen_timestamp_seconds", "When the module last answered, in seconds since the epoch.", ""},
        {"kxd40_drifted", "Whether the module's settings differ from the desired ones.", ""},
        {"kxd40_setting_drift", "A setting in which the module differs from the desired ones.", ""},
        {"kxd40_run_success", "Whether the last run could do what it was asked.", ""},
        {"kxd40_run_error", "Why the last run did nothing: reason, and the program's message.", ""},
        {"kxd40_last_run_timestamp_seconds", "When the last run ended, in seconds since the epoch.", ""},
    };
    for (const module_lines& m : modules) {
        f[0].samples += sample(f[0].name, {{"ip", m.ip}}, m.up ? "1" : "0");
        f[1].samples +=
            sample(f[1].name, {{"ip", m.ip}, {"mac", m.mac}, {"id", m.id}, {"version", m.version}}, "1");
        if (m.probed)
            f[2].samples += sample(f[2].name, {{"ip", m.ip}}, decimal(m.seconds));
        if (m.last_seen > 0)
            f[3].samples += sample(f[3].name, {{"ip", m.ip}}, std::to_string(m.last_seen));
        if (m.compared)
            f[4].samples += sample(f[4].name, {{"ip", m.ip}}, m.drifted ? "1" : "0");
        for (const std::string& field : m.drift)
            f[5].samples += sample(f[5].name, {{"ip", m.ip}, {"field", field}}, "1");
    }
    f[6].samples = sample(f[6].name, {}, success ? "1" : "0");
    if (!run.reason.empty())
        f[7].samples = sample(f[7].name, {{"reason", run.reason}, {"message", run.message}}, "1");
    f[8].samples = sample(f[8].name, {}, std::to_string(now));
    std::string out;
    for (const family& x : f)
        if (!x.samples.empty())
            out += std::string("# HELP ") + x.name + " " + x.help + "\n# TYPE " + x.name + " gauge\n" + x.samples;
    return out;
}

/* The reason of a run that failed without telling one. */
void reason_from_status(int status)
{
    if (status == EXIT_INTERRUPTED)
        metrics_run_error("stopped", "stopped by a signal");
    else if (status == EXIT_OUTPUT_CLOSED)
        metrics_run_error("output_closed", "standard output was closed");
    else if (run.modules.empty())
        metrics_run_error(status == EXIT_USAGE ? "usage" : "failed", "nothing was done: see the program's messages");
}

} // namespace

void metrics_to(const std::string& path, const std::string& action)
{
    run.path = path;
    run.action = action;
    on_module_end(take_result);
}

bool metrics_on() { return !run.path.empty(); }

void metrics_run_error(const std::string& reason, const std::string& message)
{
    std::lock_guard<std::mutex> g(lock);
    if (run.reason.empty())
        run.reason = reason, run.message = message;
}

void metrics_searched() { run.searched = true; }

void metrics_version(const std::string& ip, const std::string& version)
{
    std::lock_guard<std::mutex> g(lock);
    run.versions[ip] = version;
}

void metrics_heard(const module_ref& m, double seconds)
{
    module_lines l;
    l.ip = m.ip, l.mac = shown(m.mac), l.id = shown(m.id);
    l.up = l.probed = true;
    l.seconds = seconds;
    std::lock_guard<std::mutex> g(lock);
    run.modules.push_back(l);
}

int metrics_finish(int status)
{
    if (!metrics_on())
        return status;
    /* A diff's differences are its answer; its trouble is status 2. */
    bool success = status == EXIT_DONE || (run.action == "diff" && status == EXIT_FAILED);
    if (!success)
        reason_from_status(status);
    std::string text = file_text(success, static_cast<long long>(std::time(nullptr)));
    errno = 0;
    /* Read by the exporter, another user: 0644 whatever the umask (a
     * device written through keeps its own). */
    whole_file f(run.path, 0644);
    struct stat st {};
    bool written = f && fstat(fileno(f.get()), &st) == 0 && (!S_ISREG(st.st_mode) || fchmod(fileno(f.get()), 0644) == 0) &&
                   std::fwrite(text.data(), 1, text.size(), f.get()) == text.size() && f.commit();
    if (written)
        return status;
    std::fprintf(stderr, "kxd40ctl: cannot write %s: %s\n", run.path.c_str(), write_failure(errno).c_str());
    if (run.action == "diff")
        return EXIT_USAGE;
    return status == EXIT_DONE ? EXIT_FAILED : status;
}

} // namespace kxctl
