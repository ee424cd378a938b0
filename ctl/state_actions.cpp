/*
 * state_actions.cpp - the subcommands that make modules match desired
 * settings: apply, diff, backup and restore.
 *
 * Each reads the module first and compares by value (desired.h), so a
 * module that already matches is sent no setting at all, and what is
 * reported as changed is exactly what the module took.
 */
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>

#include "actions.h"
#include "command_file.h"
#include "data_file.h"
#include "desired.h"
#include "fleet.h"
#include "prometheus.h"
#include "report.h"
#include "setting_values.h"
#include "strutil.h"
#include "target_list.h"

namespace kxctl {
namespace {

const char* line_result_text(int result)
{
    switch (result) {
    case LINE_ACCEPTED:
        return "ok";
    case LINE_REFUSED:
        return "refused";
    case LINE_SILENT:
        return "no answer";
    default:
        return "skipped";
    }
}

struct replay_log {
    module_task* t;
    const state_options* s;
    std::vector<std::string> sent; /* every line sent, in order */
    std::string text;              /* the results for stdout */
    bool refused = false;
    size_t accepted = 0; /* lines the module took */
};

std::string for_text(const std::string& line, const state_options& s)
{
    return s.show_secrets ? line : without_secrets(line);
}

void line_sending(const char* line, void* context)
{
    auto* log = static_cast<replay_log*>(context);
    log->sent.emplace_back(line);
    log->t->step("line " + std::to_string(log->sent.size()) + ": " + shown(for_text(line, *log->s)));
}

void line_done(const char* line, int result, void* context)
{
    auto* log = static_cast<replay_log*>(context);
    if (result == LINE_SILENT)
        return; /* told once the second handshake has had its chance */
    log->refused = log->refused || result != LINE_ACCEPTED;
    log->accepted += result == LINE_ACCEPTED ? 1 : 0;
    std::string shown_line = result == LINE_TOO_LONG || result == LINE_NOT_TEXT
                                 ? std::string(line, static_cast<size_t>(line_excerpt(line))) + "..."
                                 : std::string(line);
    log->text += log->t->m.ip + " " + line_result_text(result) + " " + for_text(shown_line, *log->s) + "\n";
    log->t->data["lines"].push_back({{"line", shown(shown_line)}, {"result", line_result_text(result)}});
}

/* The module's records, read whole; false (the task failed) when a query
 * got no positive reply, since nothing can be compared with a value the
 * module did not give. */
bool read_whole(module_task& t)
{
    std::string unanswered;
    if (!read_pages(t, &unanswered))
        return false;
    return unanswered.empty() || t.fail("no positive reply to " + unanswered);
}

/* Sends the plan's lines; a silent module ends the core's replay on the
 * line it missed, which goes again after a second handshake. */
bool send_plan(module_task& t, const module_plan& plan, replay_log& log)
{
    replay_hooks hooks{line_sending, line_done, &log};
    for (size_t i = 0; i < plan.lines.size(); ++i) {
        if (replay_one_line(t.link, plan.lines[i], plan.too_long[i], hooks) != LINE_SILENT)
            continue;
        int r = t.relink() ? setting(t, plan.lines[i]) : -1;
        if (r < 0) {
            t.print(log.text);
            return t.fail("no answer to " + for_text(plan.lines[i], *log.s));
        }
        line_done(plan.lines[i].c_str(), r == 1 ? LINE_ACCEPTED : LINE_REFUSED, &log);
    }
    return true;
}

std::string names_of(const std::vector<setting_difference>& d)
{
    std::string out;
    for (const setting_difference& x : d)
        out += (out.empty() ? "" : ", ") + x.name;
    return out;
}

std::string difference_text(const module_task& t, const setting_difference& x, const state_options& s)
{
    bool hide = secret_field(x.name) && !s.show_secrets;
    return t.m.ip + " " + x.name + ": module " + (hide ? "(hidden)" : shown(x.module)) + ", desired " +
           (hide ? "(hidden)" : shown(x.desired)) + "\n";
}

/* Reads the module again and compares it with what was wanted. */
bool verify_module(module_task& t, const desired_state& d, const state_options& s, std::string* text)
{
    t.step("verifying");
    if (!read_whole(t))
        return false;
    module_plan again = plan_module(t.link.pages, t.m.mac, d, s.excluded, false, s.show_secrets);
    t.data["differs"] = differences_json(again.differences);
    for (const setting_difference& x : again.differences)
        *text += difference_text(t, x, s);
    return again.differences.empty() ||
           t.fail("after the apply the module's settings still differ: " + names_of(again.differences));
}

/* Makes one module match d: the body of apply and restore. */
bool make_match(module_task& t, const desired_state& d, const state_options& s)
{
    bool as_today = s.force && !d.document;
    if (!as_today) {
        t.step("reading");
        if (!read_whole(t))
            return false;
    }
    module_plan plan = plan_module(t.link.pages, t.m.mac, d, s.excluded, s.force, s.show_secrets);
    if (!plan.error.empty())
        return t.fail(plan.error);
    t.data["check"] = s.check;
    t.data["changed"] = !plan.lines.empty();
    t.data["sent"] = ordered_json::array();
    for (const std::string& line : plan.lines)
        t.data["sent"].push_back(shown(line));
    t.data["differences"] = differences_json(plan.differences);
    t.data["lines"] = ordered_json::array();
    replay_log log{&t, &s, {}, "", false};
    if (s.check) {
        for (const std::string& line : plan.lines)
            log.text += t.m.ip + " would send " + for_text(line, s) + "\n";
    } else if (!send_plan(t, plan, log)) {
        return false;
    }
    /* What changed is what the module took, not what was sent. */
    size_t changed = s.check ? plan.lines.size() : log.accepted;
    t.data["changed"] = changed > 0;
    std::string what = plan.lines.empty() ? "unchanged"
                                          : std::string(s.check ? "would change: " : "changed: ") +
                                                std::to_string(changed) + " line(s)";
    t.note = what;
    log.text += t.m.ip + " " + what + "\n";
    bool same = s.check || !s.verify || verify_module(t, d, s, &log.text);
    t.print(log.text);
    if (log.refused)
        return t.fail("the module refused or was not sent a line");
    return same;
}

bool load_or_fail(module_task& t, const std::string& text, desired_state* d)
{
    std::string why;
    return load_desired(text, d, &why) || t.fail(why);
}

/* A MAC as a file name: its hex digits, upper case; "" when it has other
 * characters than hex digits and separators. */
std::string mac_file_name(const std::string& mac)
{
    std::string out;
    for (char c : mac) {
        if (std::isxdigit(static_cast<unsigned char>(c)))
            out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        else if (c != ':' && c != '-')
            return "";
    }
    return out.size() == 12 ? out + ".json" : "";
}

/* Writes a backup whole, readable by its owner alone since it holds the
 * keys; any failed write fails the module and leaves an older file. */
bool save_backup(module_task& t, const std::string& path, const std::string& text)
{
    whole_file f(path, 0600);
    if (!f)
        return t.fail("cannot write " + path + ": " + write_failure(errno));
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), f.get()) != text.size() || !f.commit())
        return t.fail("cannot write " + path + ": " + write_failure(errno));
    t.data["file"] = path;
    t.note = "saved " + path;
    t.print(t.m.ip + " saved " + path + "\n");
    return true;
}

} // namespace

int run_apply(const desired_state& d, const std::vector<module_ref>& modules, const common_options& o,
              const state_options& s)
{
    return run_fleet("apply", modules, o, [&](module_task& t) { return t.open() && make_match(t, d, s); });
}

int run_diff(const desired_state& d, const std::vector<module_ref>& modules, const common_options& o,
             const state_options& s)
{
    std::atomic<int> differing{0};
    int status = run_fleet("diff", modules, o, [&](module_task& t) {
        if (!t.open() || !read_whole(t))
            return false;
        if (metrics_on())
            metrics_version(t.m.ip, t.link.pages.mana.mver);
        module_plan plan = plan_module(t.link.pages, t.m.mac, d, s.excluded, false, s.show_secrets);
        if (!plan.error.empty())
            return t.fail(plan.error);
        t.data["differences"] = differences_json(plan.differences);
        t.data["uncompared"] = ordered_json::array();
        std::string out;
        for (const setting_difference& x : plan.differences)
            out += difference_text(t, x, s);
        for (const std::string& line : plan.uncompared) {
            out += t.m.ip + " not compared, always sent: " + shown(for_text(line, s)) + "\n";
            t.data["uncompared"].push_back(shown(line));
        }
        bool same = plan.differences.empty() && plan.uncompared.empty();
        t.note = same ? "same" : std::to_string(plan.differences.size() + plan.uncompared.size()) + " difference(s)";
        t.print(same ? t.m.ip + " same\n" : out);
        differing += same ? 0 : 1;
        return true;
    });
    if (status == EXIT_INTERRUPTED)
        return status;
    return status != EXIT_DONE ? EXIT_USAGE : differing > 0 ? EXIT_FAILED : EXIT_DONE;
}

int run_backup(const std::string& dir, const std::vector<module_ref>& modules, const common_options& o)
{
    /* Which module each file name went to in this run: two modules
     * answering with one MAC would otherwise write one file in turn. */
    std::mutex claims_lock;
    std::map<std::string, std::string> claimed;
    return run_fleet("backup", modules, o, [&](module_task& t) {
        if (!t.open())
            return false;
        std::string name = mac_file_name(t.m.mac);
        if (name.empty())
            return t.fail("the module's MAC \"" + shown(t.m.mac) + "\" cannot name a file");
        {
            std::lock_guard<std::mutex> hold(claims_lock);
            auto first = claimed.emplace(name, t.m.ip).first;
            if (first->second != t.m.ip)
                return t.fail("conflict: " + first->second + " answered with the same MAC " + shown(t.m.mac) +
                              "; " + dir + "/" + name + " is left to it");
        }
        if (!read_whole(t))
            return false;
        /* The file is what read --json prints for the module, so either
         * serves wherever a settings document is taken. */
        ordered_json doc{{"schema", JSON_SCHEMA}, {"ip", t.m.ip},     {"mac", shown(t.m.mac)},
                         {"id", shown(t.m.id)},   {"action", "read"}, {"result", "done"},
                         {"error", nullptr},      {"data", {{"settings", pages_json(t.link.pages)}}}};
        std::string path = dir + "/" + name;
        return save_backup(t, path, doc.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n");
    });
}

int run_restore(const std::string& dir, const desired_state& one, const std::vector<module_ref>& modules,
                const common_options& o, const state_options& s)
{
    return run_fleet("restore", modules, o, [&](module_task& t) {
        if (!t.open())
            return false;
        if (dir.empty())
            return make_match(t, one, s);
        std::string name = mac_file_name(t.m.mac);
        std::string file = dir + "/" + name, text;
        int r = name.empty() ? TEXT_NOT_OPENED : read_regular_text(file, &text);
        if (r == TEXT_NOT_OPENED)
            return t.fail("no backup of this module (MAC " + shown(t.m.mac) + ") in " + dir);
        if (r == TEXT_TOO_LARGE)
            return t.fail(file + " is larger than " + text_limit() + ": not read");
        if (r != TEXT_READ)
            return t.fail("cannot read " + file);
        t.data["file"] = file;
        desired_state d;
        if (!load_or_fail(t, text, &d) || !(d.document || t.fail("a backup is a JSON settings document")))
            return false;
        /* A file copied or renamed by hand may hold another module's
         * settings, and with them its identity. */
        if (mac_file_name(d.mac) != name)
            return t.fail(file + " is the backup of MAC " + (d.mac.empty() ? "(none)" : shown(d.mac)) +
                          ", not of this module (MAC " + shown(t.m.mac) + ")");
        return make_match(t, d, s);
    });
}

} // namespace kxctl
