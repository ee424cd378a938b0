/*
 * actions.cpp - the subcommands of kxd40ctl, each the action one module's
 * worker runs on its link; run_fleet runs them side by side.
 *
 * Every action is the window's own: the same handshake, readers,
 * exchange, replay and upload of the core. What this program adds is
 * resending over a lossy network (the link's resend), a second handshake
 * when a module went silent (it may have missed the "+ok" that opens its
 * link), and results that say only what the module did.
 */
#include "actions.h"

#include <cstdio>
#include <cstring>

#include "command_file.h"
#include "csv.h"
#include "data_file.h"
#include "discovery.h"
#include "fleet.h"
#include "module.h"
#include "report.h"
#include "strutil.h"
#include "upload.h"

namespace kxctl {
namespace {

const char* const page_names[] = {"management", "communication", "ap", "sta"};
const char* const restarting = " restarting (the module does not acknowledge AT+Z)\n";
const char* const restored = " factory settings restored\n";

} // namespace

bool read_pages(module_task& t, std::string* unanswered)
{
    clear_pages(t.link.pages);
    for (int type = CMDTYPE_MOD; type <= CMDTYPE_STA; ++type) {
        t.step(std::string("reading ") + page_names[type]);
        std::string missing;
        read_page(t.link, type, &missing);
        while (t.link.module_silent && t.relink()) {
            missing.clear();
            read_page(t.link, type, &missing);
        }
        if (t.link.module_silent)
            return t.fail("no answer from the module");
        *unanswered += (unanswered->empty() || missing.empty() ? "" : " ") + missing;
    }
    return true;
}

int setting(module_task& t, const std::string& line)
{
    if (at_setting(t.link, line.c_str()) == 1)
        return 1;
    while (t.link.module_silent && t.relink())
        if (at_setting(t.link, line.c_str()) == 1)
            return 1;
    return t.link.module_silent ? -1 : 0;
}

namespace {

const char* upload_failure(int result)
{
    switch (result) {
    case UPLOAD_NO_FWUPDAT:
        return "no answer to AT+FWUPDAT";
    case UPLOAD_NO_FILE:
        return "cannot open the image";
    case UPLOAD_EMPTY:
        return "the image is empty";
    default:
        return "upload stopped";
    }
}

struct upload_share {
    module_task* t;
    long long bytes = 0, total = -1;
};

void on_share(long long bytes, long long total, void* context)
{
    auto* s = static_cast<upload_share*>(context);
    s->bytes = bytes;
    s->total = total;
    s->t->share(bytes, total);
}

/* The module's version, or "" when it gives none. */
std::string version_of(module_task& t)
{
    char ver[AT_REPLY_MAX];
    int ok = at_query(t.link, "AT+VER", ver, sizeof ver);
    while (!ok && t.link.module_silent && t.relink())
        ok = at_query(t.link, "AT+VER", ver, sizeof ver);
    return ok == 1 ? std::string(ver) : std::string();
}

/* After an image the module restarts: the keyword goes to it again until
 * a module with its MAC answers, then its version is asked. */
bool wait_for_return(module_task& t, int wait_s)
{
    t.step("waiting for the restart");
    std::string mac = t.m.mac;
    link_open(t.link, true);
    long long deadline = monotonic_ms() + wait_s * 1000LL;
    while (monotonic_ms() < deadline && !fleet_stopping()) {
        std::string answer;
        int r = link_handshake(t.link, 1, HANDSHAKE_WAIT_MS, &answer);
        if (r < 0)
            break;
        size_t comma = answer.find(',');
        if (r == 1 && comma != std::string::npos && (mac.empty() || answer.compare(comma + 1, mac.size(), mac) == 0)) {
            std::string after = version_of(t);
            t.data["version_after"] = shown(after);
            return true;
        }
        /* Another module at its address: ask again a little later. */
        if (r == 1)
            link_pause(t.link, HANDSHAKE_WAIT_MS);
    }
    return t.fail("the module did not come back within " + std::to_string(wait_s) + " s");
}

/* Whether the module still answers a harmless query on its link, asked at
 * least PROBE_SENDS times while it says nothing: a module that took AT+Z
 * answers no command, restarting or back and unlinked, while one that
 * never got it does, through a lossy network too. */
bool answers_on_link(module_task& t)
{
    enum { PROBE_SENDS = 8 };
    for (int sends = 0; sends < PROBE_SENDS && !fleet_stopping(); sends += t.o.tries) {
        char value[AT_REPLY_MAX];
        if (at_query(t.link, "AT+VER", value, sizeof value) == 1)
            return true;
        if (!t.link.module_silent && std::strncmp(t.link.module_last_refusal, "+ERR", 4) == 0)
            return true;
    }
    return false;
}

/* AT+Z, and again while the module still answers on its link (the line was
 * lost on its way): false, failed, when it never stopped. */
bool restart_seen(module_task& t)
{
    for (int sent = 1; sent <= t.o.tries; ++sent) {
        if (link_send(t.link, "AT+Z\n", 5) < 0)
            return t.fail("AT+Z could not be sent");
        if (!answers_on_link(t))
            return !fleet_stopping() || t.fail("stopped while waiting for the restart");
    }
    return t.fail("the module still answers on its link after AT+Z sent " + std::to_string(t.o.tries) +
                  " time(s): it did not restart");
}

} // namespace

int run_read(const std::vector<module_ref>& modules, const common_options& o, read_format format,
             bool show_secrets)
{
    if (o.csv)
        on_csv_rows(read_csv_header, [show_secrets](const module_ref& m, const std::string& result,
                                                    const std::string& error, const ordered_json& data) {
            return read_csv_row(m, result, error, data, show_secrets);
        });
    return run_fleet("read", modules, o, [&](module_task& t) {
        std::string unanswered;
        if (!t.open() || !read_pages(t, &unanswered))
            return false;
        t.data["settings"] = pages_json(t.link.pages);
        if (format == read_format::commands) {
            std::string text;
            for (const std::string& line : clone_commands(t.link.pages, unanswered))
                text += line + "\n";
            t.print(text + "E\n");
        } else if (unanswered.empty()) {
            t.print(records_text(t.m, t.data["settings"], show_secrets));
        }
        if (unanswered.empty())
            return true;
        t.data["unanswered"] = unanswered;
        return t.fail("no positive reply to " + unanswered);
    });
}

namespace {

/* AT+Z and AT+RELD as restart and reset send them, however they were
 * spelled: a restart goes once (the module answers nothing, and a query's
 * resends would meet it restarting), a reset as a setting. The reply as
 * those report it, "" when the module fell silent. */
std::string send_drastic(module_task& t, const std::string& cmd, bool* ok)
{
    *ok = true;
    if (names_command(cmd, "AT+Z", false)) {
        t.data["acknowledged"] = false;
        return link_send(t.link, "AT+Z\n", 5) < 0 ? "" : t.m.ip + restarting;
    }
    int r = setting(t, "AT+RELD");
    *ok = r == 1;
    return r < 0 ? "" : t.m.ip + (r == 1 ? restored : " AT+RELD refused\n");
}

/* Any other command as a query: the module's reply, "" when it fell
 * silent. */
std::string send_query(module_task& t, const std::string& cmd, bool prefix, bool* ok)
{
    char value[AT_REPLY_MAX];
    int r = at_query(t.link, cmd.c_str(), value, sizeof value);
    while (!r && t.link.module_silent && t.relink())
        r = at_query(t.link, cmd.c_str(), value, sizeof value);
    *ok = r == 1;
    if (!r && t.link.module_silent)
        return "";
    std::string reply = r ? (value[0] != '\0' ? std::string("+ok=") + value : "+ok")
                          : t.link.module_last_refusal[0] != '\0' ? t.link.module_last_refusal : "refused";
    return (prefix ? t.m.ip + " " : "") + reply + "\n";
}

} // namespace

int run_send(const std::vector<std::string>& commands, const std::vector<module_ref>& modules,
             const common_options& o, bool prefix)
{
    return run_fleet("send", modules, o, [&](module_task& t) {
        if (!t.open())
            return false;
        bool all_ok = true;
        std::string text;
        t.data["replies"] = ordered_json::array();
        for (const std::string& cmd : commands) {
            t.step(shown(cmd));
            bool ok = false;
            bool drastic = names_command(cmd, "AT+Z", false) || names_command(cmd, "AT+RELD", false);
            std::string line = drastic ? send_drastic(t, cmd, &ok) : send_query(t, cmd, prefix, &ok);
            if (line.empty()) {
                t.print(text);
                return t.fail("no answer to " + cmd);
            }
            all_ok = all_ok && ok;
            text += line;
            std::string reply = line.substr(prefix || drastic ? t.m.ip.size() + 1 : 0);
            reply.pop_back();
            t.data["replies"].push_back({{"command", shown(cmd)}, {"reply", shown(reply)}, {"ok", ok}});
        }
        t.print(text);
        return all_ok || t.fail("a command was refused");
    });
}

int run_restart(const std::vector<module_ref>& modules, const common_options& o, int wait_s)
{
    return run_fleet("restart", modules, o, [&](module_task& t) {
        /* As the window: the line goes once and the module answers nothing. */
        if (!t.open())
            return false;
        t.data["acknowledged"] = false;
        if (wait_s > 0) {
            if (!restart_seen(t) || !wait_for_return(t, wait_s))
                return false;
            t.print(t.m.ip + " restarted\n");
            return true;
        }
        if (link_send(t.link, "AT+Z\n", 5) < 0)
            return t.fail("AT+Z could not be sent");
        t.print(t.m.ip + restarting);
        return true;
    });
}

int run_reset(const std::vector<module_ref>& modules, const common_options& o)
{
    return run_fleet("reset", modules, o, [&](module_task& t) {
        if (!t.open())
            return false;
        int r = setting(t, "AT+RELD");
        if (r != 1)
            return t.fail(r < 0 ? "no answer to AT+RELD" : "AT+RELD refused");
        t.print(t.m.ip + restored);
        return true;
    });
}

namespace {

/* The module's version before the image, when the upload needs it ("" and
 * the task failed when the module gives none): to skip a module already
 * on the new version, to tell a new version after --wait, or for the
 * plan. */
bool version_before(module_task& t, const upload_options& u, std::string* before)
{
    *before = version_of(t);
    t.data["version_before"] = shown(*before);
    if (!before->empty() || (u.wait_s == 0 && u.version_after.empty()))
        return true;
    return t.fail(u.wait_s > 0 ? "no answer to AT+VER, so the upload could not be told from none; nothing sent"
                               : "no answer to AT+VER, so whether it is on " + u.version_after +
                                     " could not be told; nothing sent");
}

/* After --wait: done only when back on another version, and on the one
 * the image brings when that was given. */
bool new_version_seen(module_task& t, const upload_options& u)
{
    std::string before = t.data["version_before"], after = t.data["version_after"];
    if (after.empty())
        return t.fail("no answer to AT+VER after the restart: the image may not have been taken");
    if (!u.version_after.empty() && after != u.version_after)
        return t.fail("back on version " + after + ", not " + u.version_after);
    if (after == before)
        return t.fail("back on version " + after + ", the one it had before: the image was not taken");
    t.note = "version " + before + " before, " + after + " after";
    return true;
}

} // namespace

int run_upload(const std::string& image, const std::vector<module_ref>& modules, const common_options& o,
               const upload_options& u)
{
    return run_fleet("upload", modules, o, [&](module_task& t) {
        if (!t.open())
            return false;
        std::string before;
        bool asks_version = u.check || u.wait_s > 0 || !u.version_after.empty();
        if (asks_version && !version_before(t, u, &before))
            return false;
        if (!u.version_after.empty() && before == u.version_after) {
            if (u.check)
                t.data["plan"] = "skip";
            t.print(t.m.ip + " already " + shown(before) + "\n");
            return t.skipped("already " + shown(before));
        }
        if (u.check) {
            t.data["plan"] = "upload";
            t.note = "would be uploaded";
            t.print(t.m.ip + " would be uploaded (version " + (before.empty() ? "unknown" : shown(before)) + ")\n");
            return true;
        }
        upload_share share{&t};
        upload_progress progress{on_share, &share};
        t.step("sending the image");
        int result = upload_linked(t.link, image.c_str(), &progress);
        t.data["bytes"] = share.bytes;
        t.data["acknowledged"] = false;
        if (result == UPLOAD_STOPPED && share.bytes > 0)
            return t.fail("stopped after " + std::to_string(share.bytes) + " of " + std::to_string(share.total) +
                          " bytes; the module waits for an image until it is restarted");
        if (result != UPLOAD_SENT)
            return t.fail(upload_failure(result));
        if (u.wait_s > 0) {
            if (!wait_for_return(t, u.wait_s) || !new_version_seen(t, u))
                return false;
            t.print(t.m.ip + " image sent, " + std::to_string(share.bytes) + " bytes; " + t.note + "\n");
            return true;
        }
        t.note = std::to_string(share.bytes) + " bytes sent (the module does not acknowledge them)";
        t.print(t.m.ip + " image sent, " + std::to_string(share.bytes) +
                " bytes (the module does not acknowledge it)\n");
        return true;
    });
}

} // namespace kxctl
