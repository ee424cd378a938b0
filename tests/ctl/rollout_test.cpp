/*
 * rollout_test.cpp - kxd40ctl upload as a rollout over twenty simulated
 * modules: a plan that sends nothing that changes a module, modules
 * already on the new version skipped, canaries first, and a run that
 * starts no further module once too many failed; what the simulator
 * received shows that no image reached a module skipped or held back,
 * and that a plan sent nothing but the keyword and AT+VER.
 */
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "ctl_run.h"
#include "sim_runner.h"

namespace {

/* .2 .4 .6 .7 .9 already on V2; .5 comes back on its old version, .10
 * does not come back at all; the others take V2 after the image. */
const std::vector<std::string> fleet = {
    "--boot-ms", "100", "--current-version", "V2", "--module", "127.0.0.2", "--module", "127.0.0.4",
    "--module", "127.0.0.6", "--module", "127.0.0.7", "--module", "127.0.0.9", "--reset-behaviour",
    "--boot-ms", "100", "--module", "127.0.0.5", "--boot-ms", "600000", "--next-version", "V2",
    "--module", "127.0.0.10", "--boot-ms", "100", "--module", "127.0.0.3", "--module", "127.0.0.8",
    "--modules", "11", "--first", "127.0.0.11"};

/* The modules sent anything but the keyword and AT+VER (an image, say)
 * since the log's entry first, each once. */
std::string touched(const sim_process& sim, size_t first)
{
    std::vector<sim_datagram> log = sim.received();
    std::string to = " ";
    for (size_t i = first; i < log.size(); ++i) {
        const std::string& b = log[i].bytes;
        bool asks = b == "KX-D40LOCATORPING" || b == "+ok" || b == "AT+VER\n";
        if (!asks && to.find(" " + log[i].target + " ") == std::string::npos)
            to += log[i].target + " ";
    }
    return to.substr(1);
}

/* Lines in order, for stderr, where modules held back together are told
 * in whatever order their threads were woken. */
std::string sorted_lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    std::sort(lines.begin(), lines.end());
    std::string out;
    for (const std::string& line : lines)
        out += line + "\n";
    return out;
}

/* "kxd40ctl: IP: why" for .first to .last. */
std::string held(int first, int last, const std::string& why)
{
    std::string out;
    for (int n = first; n <= last; ++n)
        out += "kxd40ctl: 127.0.0." + std::to_string(n) + ": not started: " + why + "\n";
    return out;
}

std::string json_line(int n, const std::string& result, const std::string& error, const std::string& data,
                      const std::string& id = "")
{
    std::string ip = "127.0.0." + std::to_string(n);
    std::string mac = id.empty() ? "" : "ACCF230000" + std::string(n < 10 ? "0" : "") + std::to_string(n);
    return R"({"schema":1,"ip":")" + ip + R"(","mac":")" + mac + R"(","id":")" + id +
           R"(","action":"upload","result":")" + result + R"(","error":)" + error + R"(,"data":)" + data + "}\n";
}

const std::string old_version = "back on version V1.0.8, not V2\n";
const std::string too_many = "2 modules failed, more than --max-fail 1";

} // namespace

TEST(Rollout, SkipsWhatIsDoneAndStartsNothingOnceTooManyFailed)
{
    sim_process sim(fleet);
    ASSERT_TRUE(sim.ready());
    temp_file image, failed;
    write_file(image.path, std::string(5000, 'i'));
    const std::vector<std::string> upload = {"upload", image.path, "--version-after", "V2", "-q", "--failed-to",
                                             failed.path};
    const std::string plan_out = "127.0.0.2 already V2\n127.0.0.3 would be uploaded (version V1.0.8)\n"
                                 "127.0.0.4 already V2\n127.0.0.5 would be uploaded (version V1.0.8)\n"
                                 "127.0.0.6 already V2\n127.0.0.7 already V2\n";
    const struct {
        std::vector<std::string> args;
        std::string out, err, failed, touched;
    } runs[] = {
        {{"127.0.0.2-7", "--check", "--canary", "1", "--max-fail", "0"}, plan_out,
         "kxd40ctl: upload of 6 modules: 2 done, 0 failed, 0 not reached, 4 skipped\n", "", ""},
        {{"127.0.0.2-3", "--check", "--json", "--wait", "2"},
         json_line(2, "skipped", "null", R"({"version_before":"V2","plan":"skip"})", "KXD40-0002") +
             json_line(3, "done", "null", R"({"version_before":"V1.0.8","plan":"upload"})", "KXD40-0003"),
         "kxd40ctl: upload of 2 modules: 1 done, 0 failed, 0 not reached, 1 skipped\n", "", ""},
        {{"127.0.0.2-21", "--wait", "2", "--canary", "2", "--max-fail", "1", "--jobs", "1"},
         "127.0.0.2 already V2\n127.0.0.3 image sent, 5000 bytes; version V1.0.8 before, V2 after\n"
         "127.0.0.4 already V2\n127.0.0.6 already V2\n127.0.0.7 already V2\n"
         "127.0.0.8 image sent, 5000 bytes; version V1.0.8 before, V2 after\n127.0.0.9 already V2\n",
         "kxd40ctl: 127.0.0.5: " + old_version + "kxd40ctl: 127.0.0.10: the module did not come back within 2 s\n" +
             held(11, 21, too_many) +
             "kxd40ctl: upload of 20 modules: 2 done, 2 failed, 0 not reached, 5 skipped, 11 not started\n"
             "  failed: 127.0.0.5 127.0.0.10\n  not started: 127.0.0.11 127.0.0.12 127.0.0.13 127.0.0.14 "
             "127.0.0.15 127.0.0.16 127.0.0.17 127.0.0.18 127.0.0.19 127.0.0.20 127.0.0.21\n",
         "127.0.0.5\n127.0.0.10\n127.0.0.11\n127.0.0.12\n127.0.0.13\n127.0.0.14\n127.0.0.15\n127.0.0.16\n"
         "127.0.0.17\n127.0.0.18\n127.0.0.19\n127.0.0.20\n127.0.0.21\n",
         "127.0.0.3 127.0.0.5 127.0.0.8 127.0.0.10 "},
        /* All at once but for the canary, which fails: the others wait for it, then stay untouched. */
        {{"127.0.0.5", "127.0.0.11-13", "127.0.0.2", "--wait", "2", "--canary", "1", "--json"},
         json_line(5, "failed", "\"" + old_version.substr(0, old_version.size() - 1) + "\"",
                   R"({"version_before":"V1.0.8","bytes":5000,"acknowledged":false,"version_after":"V1.0.8"})",
                   "KXD40-0005") +
             json_line(11, "not started", R"("not started: the canary 127.0.0.5 failed")", "{}") +
             json_line(12, "not started", R"("not started: the canary 127.0.0.5 failed")", "{}") +
             json_line(13, "not started", R"("not started: the canary 127.0.0.5 failed")", "{}") +
             json_line(2, "not started", R"("not started: the canary 127.0.0.5 failed")", "{}"),
         "kxd40ctl: 127.0.0.5: " + old_version + held(11, 13, "the canary 127.0.0.5 failed") +
             held(2, 2, "the canary 127.0.0.5 failed") +
             "kxd40ctl: upload of 5 modules: 0 done, 1 failed, 0 not reached, 4 not started\n"
             "  failed: 127.0.0.5\n  not started: 127.0.0.11 127.0.0.12 127.0.0.13 127.0.0.2\n",
         "127.0.0.5\n127.0.0.11\n127.0.0.12\n127.0.0.13\n127.0.0.2\n", "127.0.0.5 "},
        /* 39% of 5 is one failure allowed: the silent .10 is the second. */
        {{"127.0.0.5", "127.0.0.10-13", "--wait", "2", "--max-fail", "39%", "--jobs", "1", "--tries", "2",
          "--timeout", "200"},
         "",
         "kxd40ctl: 127.0.0.5: " + old_version + "kxd40ctl: 127.0.0.10: no answer to the keyword\n" +
             held(11, 13, too_many) +
             "kxd40ctl: upload of 5 modules: 0 done, 1 failed, 1 not reached, 3 not started\n"
             "  failed: 127.0.0.5\n  not reached: 127.0.0.10\n"
             "  not started: 127.0.0.11 127.0.0.12 127.0.0.13\n",
         "127.0.0.5\n127.0.0.10\n127.0.0.11\n127.0.0.12\n127.0.0.13\n", "127.0.0.5 "},
        /* A canary held back by the first one's failure ends too: nobody waits for it. */
        {{"127.0.0.5", "127.0.0.2", "127.0.0.11", "--wait", "2", "--canary", "2", "--jobs", "1"}, "",
         "kxd40ctl: 127.0.0.5: " + old_version + held(2, 2, "the canary 127.0.0.5 failed") +
             held(11, 11, "the canary 127.0.0.5 failed") +
             "kxd40ctl: upload of 3 modules: 0 done, 1 failed, 0 not reached, 2 not started\n"
             "  failed: 127.0.0.5\n  not started: 127.0.0.2 127.0.0.11\n",
         "127.0.0.5\n127.0.0.2\n127.0.0.11\n", "127.0.0.5 "},
    };
    for (const auto& run : runs) {
        std::vector<std::string> args = upload;
        args.insert(args.end(), run.args.begin(), run.args.end());
        size_t first = sim.received().size();
        ctl_result r = ctl(args);
        std::string what = run.args[0] + " " + run.args[1] + " " + run.args[2];
        EXPECT_EQ(whole(r), std::to_string(run.failed.empty() ? 0 : 1) + "\n" + run.out + "--\n" + r.err) << what;
        EXPECT_EQ(sorted_lines(r.err), sorted_lines(run.err)) << what;
        EXPECT_EQ(file_text(failed.path), run.failed) << what;
        EXPECT_EQ(touched(sim, first), run.touched) << what;
    }
}
