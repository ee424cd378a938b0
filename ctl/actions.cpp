/*
 * actions.cpp - the subcommands of kxd40ctl, each run over its modules one
 * after another; a module that fails is reported and the next one still
 * gets its turn.
 *
 * Every action is the window's own: the same handshake, the same readers,
 * the same exchange, the same replay and upload of the core. What this
 * program adds is resending over a lossy network (through the exchange's
 * option) and a second handshake when a module went silent, since it may
 * have missed the "+ok" that opens its link.
 */
#include "actions.h"

#include <cstdio>
#include <map>

#include "command_file.h"
#include "data_file.h"
#include "discovery.h"
#include "link.h"
#include "module.h"
#include "strutil.h"
#include "upload.h"

namespace kxctl {
namespace {

using page_reader = void (*)();
const page_reader pages[] = {init_module_mana_struct, init_module_comm_struct, init_module_ap_struct,
                             init_module_sta_struct};
/* Second handshakes one module may need in one action. */
const int relinks_per_module = 2;

/* Runs act for every module chosen; the exit status of the lot. */
template <typename ACT>
int for_each_module(const target_choice& chosen, const common_options& o, ACT act)
{
    if (!open_socket())
        return EXIT_FAILED;
    set_at_resend(o.tries, o.timeout_ms);
    std::vector<module_ref> modules;
    if (!resolve_targets(chosen, o, &modules))
        return EXIT_FAILED;
    int failed = 0;
    for (module_ref& m : modules)
        if (!act(m))
            ++failed;
    if (failed > 0 && modules.size() > 1)
        std::fprintf(stderr, "kxd40ctl: %d of %zu modules failed\n", failed, modules.size());
    return failed == 0 ? EXIT_DONE : EXIT_FAILED;
}

struct replay_log {
    const module_ref* m;
    std::vector<std::string> lines; /* every line sent, in order */
    bool refused = false;
};

void line_sending(const char* line, void* context)
{
    static_cast<replay_log*>(context)->lines.emplace_back(line);
}

void line_done(const char* line, int result, void* context)
{
    auto* log = static_cast<replay_log*>(context);
    if (result == LINE_SILENT)
        return; /* told once the second handshake has had its chance */
    log->refused = log->refused || result != LINE_ACCEPTED;
    if (result == LINE_TOO_LONG || result == LINE_NOT_TEXT)
        std::printf("%s skipped %.*s...\n", log->m->ip.c_str(), line_excerpt(line), line);
    else
        std::printf("%s %s %s\n", log->m->ip.c_str(), result == LINE_ACCEPTED ? "ok" : "refused", line);
}

/* The settings the file's lines set that the module, read again, does not
 * have; the last line of a command counts. */
bool verify_module(module_ref& m, const std::vector<std::string>& lines, const common_options& o)
{
    std::map<std::string, std::string> wanted;
    std::vector<std::string> order;
    for (const std::string& line : lines) {
        size_t eq = line.find('=');
        if (line.compare(0, 3, "AT+") != 0 || eq == std::string::npos)
            continue;
        std::string name = line.substr(3, eq - 3);
        if (wanted.emplace(name, line).second)
            order.push_back(name);
        else
            wanted[name] = line;
    }
    if (!read_module(m, o))
        return false;
    bool same = true;
    for (const std::string& name : order) {
        std::string has = command_from_records(name);
        if (has.empty() || has == wanted[name])
            continue;
        std::printf("%s differs %s (module has %s)\n", m.ip.c_str(), wanted[name].c_str(), has.c_str());
        same = false;
    }
    return same;
}

const char* upload_failure(int result)
{
    switch (result) {
    case UPLOAD_NO_ANSWER:
        return "no answer to the keyword";
    case UPLOAD_NO_FWUPDAT:
        return "no answer to AT+FWUPDAT";
    case UPLOAD_NO_FILE:
        return "cannot open the image";
    default:
        return "upload stopped";
    }
}

} // namespace

bool read_module(module_ref& m, const common_options& o)
{
    clear_mod_structs();
    int relinks = 0;
    for (page_reader read : pages) {
        read();
        while (module_silent && relinks < relinks_per_module && relink(m, o)) {
            ++relinks;
            read();
        }
        if (module_silent) {
            complain(m, "no answer from the module");
            return false;
        }
    }
    return true;
}

int run_search(const common_options& o)
{
    if (!open_socket())
        return EXIT_FAILED;
    std::vector<module_ref> found;
    if (!search_modules(o.from.empty() ? default_local_address() : o.from, &found))
        return EXIT_FAILED;
    if (o.json) {
        ordered_json list = ordered_json::array();
        for (const module_ref& m : found)
            list.push_back({{"ip", m.ip}, {"mac", m.mac}, {"id", m.id}});
        std::printf("%s\n", list.dump(2).c_str());
    } else {
        for (const module_ref& m : found)
            std::printf("%-15s  %-17s  %s\n", m.ip.c_str(), m.mac.c_str(), m.id.c_str());
    }
    if (found.empty())
        std::fprintf(stderr, "kxd40ctl: no module answered\n");
    return found.empty() ? EXIT_FAILED : EXIT_DONE;
}

int run_read(const target_choice& t, const common_options& o, read_format format)
{
    return for_each_module(t, o, [&](module_ref& m) {
        if (!open_link(m, o) || !read_module(m, o))
            return false;
        if (format == read_format::commands) {
            for (const std::string& line : clone_commands())
                std::printf("%s\n", line.c_str());
            std::printf("E\n");
        } else if (format == read_format::json) {
            std::printf("%s\n", records_json(m).dump().c_str());
        } else {
            std::printf("%s", records_text(records_json(m)).c_str());
        }
        std::fflush(stdout);
        return true;
    });
}

int run_apply(const std::string& file, const target_choice& t, const common_options& o, bool verify)
{
    return for_each_module(t, o, [&](module_ref& m) {
        /* A FIFO would block the open and a device is no command file. */
        stdio_file in(open_regular(file.c_str()));
        if (!in) {
            complain(m, "cannot open " + file);
            return false;
        }
        if (!open_link(m, o))
            return false;
        replay_log log{&m, {}};
        replay_hooks hooks{line_sending, line_done, &log};
        int relinks = 0;
        /* A silent module ends the core's replay on the line it missed; that
         * line goes again after a second handshake and the replay goes on
         * from the next one. */
        while (!replay_command_lines(in.get(), hooks)) {
            if (relinks++ >= relinks_per_module || !relink(m, o)) {
                complain(m, "no answer to " + log.lines.back());
                return false;
            }
            int result = module_send_cmd_set(log.lines.back().c_str()) == 1 ? LINE_ACCEPTED
                         : module_silent                                  ? LINE_SILENT
                                                                          : LINE_REFUSED;
            line_done(log.lines.back().c_str(), result, &log);
            if (result == LINE_SILENT) {
                complain(m, "no answer to " + log.lines.back());
                return false;
            }
        }
        std::fflush(stdout);
        bool same = !verify || verify_module(m, log.lines, o);
        std::fflush(stdout);
        return !log.refused && same;
    });
}

int run_send(const std::string& address, const std::vector<std::string>& commands, const common_options& o)
{
    target_choice t;
    t.addresses.push_back(address);
    return for_each_module(t, o, [&](module_ref& m) {
        if (!open_link(m, o))
            return false;
        bool all_ok = true;
        int relinks = 0;
        for (const std::string& cmd : commands) {
            char value[AT_REPLY_MAX];
            int ok = module_send_cmd_get(cmd.c_str(), value);
            while (!ok && module_silent && relinks < relinks_per_module && relink(m, o)) {
                ++relinks;
                ok = module_send_cmd_get(cmd.c_str(), value);
            }
            if (ok) {
                std::printf(value[0] != '\0' ? "+ok=%s\n" : "+ok\n", value);
            } else if (module_silent) {
                complain(m, "no answer to " + cmd);
                return false;
            } else {
                std::printf("%s\n", module_last_refusal[0] != '\0' ? module_last_refusal : "refused");
                all_ok = false;
            }
            std::fflush(stdout);
        }
        return all_ok;
    });
}

int run_restart(const target_choice& t, const common_options& o)
{
    return for_each_module(t, o, [&](module_ref& m) {
        /* As the window: the line goes once and the module answers nothing. */
        if (!open_link(m, o) || udpsendn("AT+Z\n", 5) < 0)
            return false;
        std::printf("%s restarting\n", m.ip.c_str());
        return true;
    });
}

int run_reset(const target_choice& t, const common_options& o)
{
    return for_each_module(t, o, [&](module_ref& m) {
        if (!open_link(m, o))
            return false;
        int relinks = 0;
        int ok = module_send_cmd_set("AT+RELD");
        while (!ok && module_silent && relinks++ < relinks_per_module && relink(m, o))
            ok = module_send_cmd_set("AT+RELD");
        if (!ok) {
            complain(m, module_silent ? "no answer to AT+RELD" : "AT+RELD refused");
            return false;
        }
        std::printf("%s factory settings restored\n", m.ip.c_str());
        return true;
    });
}

int run_upload(const std::string& image, const target_choice& t, const common_options& o)
{
    return for_each_module(t, o, [&](module_ref& m) {
        copy_text(module_ip, m.ip.c_str());
        copy_text(module_aswd, aswd);
        long long sent = 0;
        int result;
        {
            progress_bar bar(m.ip);
            upload_progress progress{progress_bar::hook, &bar};
            result = upload_image(image.c_str(), &progress);
            sent = bar.bytes();
        }
        if (result != UPLOAD_SENT) {
            complain(m, upload_failure(result));
            return false;
        }
        std::printf("%s image sent, %lld bytes\n", m.ip.c_str(), sent);
        return true;
    });
}

} // namespace kxctl
