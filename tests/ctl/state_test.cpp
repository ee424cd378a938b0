/*
 * state_test.cpp - desired settings, diff, apply, backup and restore
 * against simulated modules.
 */
#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

#include "ctl_run.h"
#include "sim_runner.h"

using nlohmann::json;

namespace {

const std::vector<std::string> three = {"--modules", "3", "--first", "127.0.0.2"};

} // namespace

/* Compared by value ("0300" is 300), texts as texts ("0123" is no "123"),
 * only what differs sent, once; files refused before anything is sent. */
TEST(State, DesiredSettingsAreComparedSentAndToldAsTheyAre)
{
    sim_process sim({"--broadcast", "127.255.255.255", "--modules", "3", "--first", "127.0.0.2", "--silent", "--module",
                     "127.0.0.5"});
    ASSERT_TRUE(sim.ready());
    const std::string two = "127.0.0.2", uart = "AT+UART=9600,8,1,None,NFC";
    const std::string recipe = "AT+TCPTO=0300\r\n" + uart + "\nE\n", neither = "2\n--\nkxd40ctl: FILE: line ";
    const std::string port = "127.0.0.2 AT+NETP=TCP,Server,1234,10.10.100.100\n";
    const std::string yes = " of more than one module needs --yes when there is no terminal to ask on (try --help)\n";
    auto json_line = [](const std::string& action, const std::string& data) {
        return R"({"schema":1,"ip":"127.0.0.2","mac":"ACCF23000002","id":"KXD40-0002","action":")" + action +
               R"(","result":"done","error":null,"data":{)" + data + "}}\n--\n";
    };
    std::vector<ctl_case> cases = {
        {{"diff", "FILE", two}, recipe, "1\n127.0.0.2 communication.baud: module 115200, desired 9600\n--\n", ""},
        {{"apply", "--check", "--json", "FILE", two}, recipe,
         "0\n" + json_line("apply", R"("check":true,"changed":true,"sent":[")" + uart + R"("],"differences":)"
                                     R"([{"name":"communication.baud","module":115200,"desired":9600}],"lines":[])"),
         ""},
        {{"apply", "FILE", two}, recipe, "0\n127.0.0.2 ok " + uart + "\n127.0.0.2 changed: 1 line(s)\n--\n",
         "127.0.0.2 " + uart + "\n"},
        {{"apply", "--json", "FILE", two}, recipe,
         "0\n" + json_line("apply", R"("check":false,"changed":false,"sent":[],"differences":[],"lines":[])"), ""},
        {{"-q", "diff", "FILE", two, "127.0.0.5", "--tries", "1", "--timeout", "100"}, recipe,
         "2\n127.0.0.2 same\n--\nkxd40ctl: 127.0.0.5: no answer to the keyword\n"
         "kxd40ctl: diff of 2 modules: 1 done, 0 failed, 1 not reached\n  not reached: 127.0.0.5\n", ""},
        {{"apply", "--force", "FILE", two}, recipe,
         "0\n127.0.0.2 ok AT+TCPTO=0300\n127.0.0.2 ok " + uart + "\n127.0.0.2 changed: 2 line(s)\n--\n",
         "127.0.0.2 AT+TCPTO=0300\n127.0.0.2 " + uart + "\n"},
        {{"apply", "FILE", two},
         R"({"settings": {"communication": {"port": 1234, "tcp_timeout": "0300"}, "management": {"mid": "ignored"}}})",
         "0\n127.0.0.2 ok AT+NETP=TCP,Server,1234,10.10.100.100\n127.0.0.2 changed: 1 line(s)\n--\n", port},
        {{"diff", "FILE", two}, R"({"communication": {"prot": "UDP"}})",
         "2\n--\nkxd40ctl: FILE: no such setting: communication.prot\n", ""},
        {{"apply", "FILE", two}, R"({"communication": {"baud": 9601}})",
         "1\n--\nkxd40ctl: 127.0.0.2: not a value the module takes: communication.baud = \"9601\"\n", ""},
        {{"apply", "--exclude", "sta", "FILE", two}, "at+wskey=WPA2PSK,AES,newkey99\nAT+WSSSID = plant\n",
         "0\n127.0.0.2 unchanged\n--\n", ""},
        {{"apply", "FILE", two}, "at+wskey=WPA2PSK,AES,newkey99\nAT+WSSSID = plant\n",
         "0\n127.0.0.2 ok AT+WSKEY=WPA2PSK,AES,********\n127.0.0.2 ok AT+WSSSID=plant\n"
         "127.0.0.2 changed: 2 line(s)\n--\n",
         "127.0.0.2 AT+WSKEY=WPA2PSK,AES,newkey99\n127.0.0.2 AT+WSSSID=plant\n"},
        {{"apply", "FILE", two}, R"({"sta": {"key": ")" + std::string(80, 'k') + R"("}})",
         "1\n--\nkxd40ctl: 127.0.0.2: not a value the module takes: sta.key = (hidden)\n", ""},
        {{"diff", "FILE", two}, "AT+WSKEY=WPA2PSK,AES,other123\n",
         "1\n127.0.0.2 sta.key: module (hidden), desired (hidden)\n--\n", ""},
        {{"reset", two, "127.0.0.3"}, "", "2\n--\nkxd40ctl: reset" + yes, ""},
        {{"restart", "--all", "--from", "127.0.0.1"}, "", "2\n--\nkxd40ctl: restart" + yes, ""},
        {{"restore", "FILE", two}, "AT+TCPTO=300\n",
         "2\n--\nkxd40ctl: FILE: a backup is a JSON settings document, not a command file\n", ""},
        {{"diff", "FILE.missing", two}, "",
         "2\n--\nkxd40ctl: cannot open FILE.missing: not a readable regular file\n", ""},
    };
    const std::string bad = " is neither an AT command nor the closing \"E\"\n";
    for (const char* text :
         {"198.51.100.10\n198.51.100.11\n", "AT+TCPTO=300\nhello world\nE\n", "[\"AT+TCPTO=300\"]\n"})
        for (const char* action : {"apply", "diff"})
            cases.push_back({{action, "FILE", two}, text, neither + (text[1] == 'T' ? "2" : "1") + bad, ""});
    for (const char* text : {"", "E\n"})
        cases.push_back({{"apply", "FILE", two}, text,
                         "2\n--\nkxd40ctl: FILE: no command to send (an empty file, or an empty or \"E\" first line)\n",
                         ""});
    /* Text fields: the module's value set first, then the desired one, told and sent. */
    const std::string texts[][4] = {
        {"AT+WSSSID=123", "AT+WSSSID=0123", "sta.ssid: module 123, desired 0123", "AT+WSSSID=0123"},
        {"AT+WSSSID=10.0.0.1", "AT+WSSSID=10.0.0.01", "sta.ssid: module 10.0.0.1, desired 10.0.0.01",
         "AT+WSSSID=10.0.0.01"},
        {"AT+WSKEY=WPA2PSK,AES,12345678", "AT+WSKEY=WPA2PSK,AES,012345678",
         "sta.key: module 12345678, desired 012345678", "AT+WSKEY=WPA2PSK,AES,********"},
        {"AT+WEBU=7,admin", "AT+WEBU=007,admin", "management.web_user: module 7, desired 007", "AT+WEBU=007,********"}};
    for (const auto& [module, desired, told, shown] : texts) {
        cases.push_back({{"send", two, module}, "", "0\n+ok\n--\n", "127.0.0.2 " + module + "\n"});
        cases.push_back({{"diff", "--show-secrets", "FILE", two}, desired + "\nAT+TCPTO=0300\n",
                         "1\n127.0.0.2 " + told + "\n--\n", ""});
        cases.push_back({{"apply", "--verify", "FILE", two}, desired + "\nAT+TCPTO=0300\n",
                         "0\n127.0.0.2 ok " + shown + "\n127.0.0.2 changed: 1 line(s)\n--\n",
                         "127.0.0.2 " + desired + "\n"});
    }
    /* In JSON too a text of digits stays a text. */
    cases.push_back({{"send", two, "AT+WSSSID=123"}, "", "0\n+ok\n--\n", "127.0.0.2 AT+WSSSID=123\n"});
    cases.push_back({{"apply", "--check", "--json", "FILE", two}, "AT+WSSSID=0123\n",
                     "0\n" + json_line("apply", R"("check":true,"changed":true,"sent":["AT+WSSSID=0123"],"differences":)"
                                                 R"([{"name":"sta.ssid","module":"123","desired":"0123"}],"lines":[])"),
                     ""});
    /* A byte-order mark is no part of the text. */
    cases.push_back({{"apply", "FILE", two}, "\xEF\xBB\xBF{\"communication\": {\"port\": 1235}}",
                     "0\n127.0.0.2 ok AT+NETP=TCP,Server,1235,10.10.100.100\n127.0.0.2 changed: 1 line(s)\n--\n",
                     "127.0.0.2 AT+NETP=TCP,Server,1235,10.10.100.100\n"});
    cases.push_back({{"apply", "FILE", two}, "\xEF\xBB\xBF" "AT+TCPTO=301\r\n",
                     "0\n127.0.0.2 ok AT+TCPTO=301\n127.0.0.2 changed: 1 line(s)\n--\n", "127.0.0.2 AT+TCPTO=301\n"});
    expect_cases(sim, cases);

    ctl_result text = ctl({"read", "127.0.0.3"});
    EXPECT_NE(text.out.find("    key: ********\n"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("    web_password: ********\n"), std::string::npos);
    EXPECT_EQ(text.out.find("12345678"), std::string::npos);
    EXPECT_NE(ctl({"read", "--show-secrets", "127.0.0.3"}).out.find("    key: 12345678\n"), std::string::npos);
}

/* A reset module gets its own backup back; another's backup leaves a
 * replacement its name, and --exclude leaves the station alone. */
TEST(State, BackupAndRestoreBringTheSettingsBack)
{
    sim_process sim(three);
    ASSERT_TRUE(sim.ready());
    ASSERT_EQ(ctl({"send", "127.0.0.3", "AT+UART=9600,7,2,Even,FC", "AT+WSSSID=plant",
                   "AT+WAP=11BG,Hall 3,CH11", "AT+WANN=Static,192.0.2.7,255.255.255.0,192.0.2.1"})
                  .status,
              0);
    json saved = settings_of("127.0.0.3");
    temp_dir dir;
    ctl_result backup = ctl({"backup", "--json", dir.path, "127.0.0.2", "127.0.0.3", "127.0.0.4"});
    ASSERT_EQ(backup.status, 0) << backup.err;
    EXPECT_EQ(json_lines(backup.out).size(), 3u);
    EXPECT_EQ(json::parse(file_text(dir.path + "/ACCF23000003.json"))["data"]["settings"], saved);

    ASSERT_EQ(ctl({"reset", "127.0.0.3"}).status, 0);
    EXPECT_EQ(ctl({"diff", dir.path + "/ACCF23000003.json", "127.0.0.3"}).status, 1);
    EXPECT_EQ(whole(ctl({"-q", "restore", dir.path, "127.0.0.3", "127.0.0.4"})),
              "0\n127.0.0.3 ok AT+UART=9600,7,2,Even,FC\n127.0.0.3 ok AT+WAP=11BG,Hall 3,CH11\n"
              "127.0.0.3 ok AT+WSSSID=plant\n127.0.0.3 ok AT+WANN=Static,192.0.2.7,255.255.255.0,192.0.2.1\n"
              "127.0.0.3 changed: 4 line(s)\n127.0.0.4 unchanged\n--\n"
              "kxd40ctl: restore of 2 modules: 2 done, 0 failed, 0 not reached\n");
    EXPECT_EQ(settings_of("127.0.0.3"), saved);

    /* 2's settings onto 3: 3 keeps its own SSID and, excluded, its station. */
    size_t before = sim.received().size();
    EXPECT_EQ(whole(ctl({"restore", "--exclude", "sta", dir.path + "/ACCF23000002.json", "127.0.0.3"})),
              "0\n127.0.0.3 ok AT+UART=115200,8,1,None,NFC\n127.0.0.3 ok AT+WAP=11BGN,Hall 3,CH1\n"
              "127.0.0.3 changed: 2 line(s)\n--\n");
    EXPECT_EQ(changes_since(sim, before), "127.0.0.3 AT+UART=115200,8,1,None,NFC\n127.0.0.3 AT+WAP=11BGN,Hall 3,CH1\n");

    /* A backup from standard input is read once, before the module. */
    ctl_result piped = ctl({"restore", "-", "127.0.0.4"}, "", file_text(dir.path + "/ACCF23000003.json"));
    EXPECT_EQ(piped.status, 0) << piped.err;
    EXPECT_EQ(settings_of("127.0.0.4")["communication"]["baud"], 9600);

    ctl_result missing = ctl({"restore", dir.path, "127.0.0.5", "--tries", "1", "--timeout", "100"});
    EXPECT_EQ(missing.status, 1);
}

/* A twin MAC fails by name; a backup is its owner's alone (0600); restore
 * takes only a backup of the module's MAC, of a backup's size. */
TEST(State, ABackupIsItsOwnModulesAndNoOneElses)
{
    sim_process sim({"--module", "127.0.0.2,ACCF23000002", "--module", "127.0.0.3,ACCF23000002", "--module",
                     "127.0.0.4"});
    ASSERT_TRUE(sim.ready());
    ASSERT_EQ(ctl({"send", "127.0.0.3", "AT+WSSSID=three"}).status, 0);
    temp_dir dir;
    const std::string twin = dir.path + "/ACCF23000002.json", four = dir.path + "/ACCF23000004.json";
    write_file(four, "old\n");
    chmod(four.c_str(), 0644);
    mode_t mask = umask(022);
    ctl_result r = ctl({"backup", dir.path, "127.0.0.2", "127.0.0.3", "127.0.0.4"});
    umask(mask);
    EXPECT_EQ(r.status, 1);
    size_t at = r.out.find(" saved " + twin + "\n");
    ASSERT_NE(at, std::string::npos) << r.out;
    size_t start = r.out.rfind('\n', at) == std::string::npos ? 0 : r.out.rfind('\n', at) + 1;
    std::string saver = r.out.substr(start, at - start);
    std::string other = saver == "127.0.0.2" ? "127.0.0.3" : "127.0.0.2";
    EXPECT_EQ(r.out.find(other), std::string::npos) << r.out;
    EXPECT_NE(r.err.find(other + ": conflict: " + saver + " answered with the same MAC ACCF23000002"),
              std::string::npos)
        << r.err;
    json saved = json::parse(file_text(twin));
    EXPECT_EQ(saved["ip"], saver);
    EXPECT_EQ(saved["data"]["settings"], settings_of(saver));
    for (const std::string& file : {twin, four}) {
        struct stat st {};
        EXPECT_EQ(stat(file.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u) << file;
    }

    const std::string own = file_text(four), told = "1\n--\nkxd40ctl: 127.0.0.4: " + four;
    size_t before = sim.received().size();
    write_file(four, file_text(twin));
    EXPECT_EQ(whole(ctl({"restore", dir.path, "127.0.0.4"})),
              told + " is the backup of MAC ACCF23000002, not of this module (MAC ACCF23000004)\n");
    write_file(four, own + std::string(16 << 20, ' '));
    EXPECT_EQ(whole(ctl({"restore", dir.path, "127.0.0.4"})), told + " is larger than 4 MiB: not read\n");
    EXPECT_EQ(changes_since(sim, before), "");

    std::filesystem::remove(four);
    ASSERT_EQ(symlink("/dev/full", four.c_str()), 0);
    EXPECT_EQ(whole(ctl({"backup", dir.path, "127.0.0.4"})),
              "1\n--\nkxd40ctl: 127.0.0.4: cannot write " + four + ": No space left on device\n");
    EXPECT_TRUE(std::filesystem::is_symlink(four));
}

/* What apply and restore say is what happened: forced, kept despite an
 * ok, skipped, or a short line sent as written. */
TEST(State, ForcedVerifiedSkippedAndShortLinesAreToldAsTheyAre)
{
    sim_process sim({"--module", "127.0.0.2", "--keep-settings", "--module", "127.0.0.3"});
    ASSERT_TRUE(sim.ready());
    const std::string port = R"({"communication": {"port": 8899}})", two = "127.0.0.2";
    const std::string netp = "AT+NETP=TCP,Server,8899,10.10.100.100";
    const std::string refused = "kxd40ctl: 127.0.0.2: the module refused or was not sent a line\n";
    const std::string forced = "0\n127.0.0.2 ok " + netp + "\n127.0.0.2 changed: 1 line(s)\n--\n";
    expect_cases(sim, {
        {{"apply", "--force", "FILE", two}, port, forced, "127.0.0.2 " + netp + "\n"},
        {{"restore", "--force", "FILE", two}, R"({"mac": "ACCF23000002", "settings": )" + port + "}", forced,
         "127.0.0.2 " + netp + "\n"},
        {{"apply", "FILE", two}, R"({"result": "failed", "data": {"settings": {}}})",
         "2\n--\nkxd40ctl: FILE: the document holds the result of a read that was not done\n", ""},
        {{"apply", "--verify", "FILE", "127.0.0.3"}, R"({"communication": {"port": 1234}})",
         "1\n127.0.0.3 ok AT+NETP=TCP,Server,1234,10.10.100.100\n127.0.0.3 changed: 1 line(s)\n"
         "127.0.0.3 communication.port: module 8899, desired 1234\n--\n"
         "kxd40ctl: 127.0.0.3: after the apply the module's settings still differ: communication.port\n",
         "127.0.0.3 AT+NETP=TCP,Server,1234,10.10.100.100\n"},
        {{"apply", "FILE", two},
         "AT+TCPTO=301\nAT+WSSSID=" + std::string(400, 'x') + "\n" + std::string("AT+WSSSID=a\0b\n", 14),
         "1\n127.0.0.2 ok AT+TCPTO=301\n127.0.0.2 skipped AT+WSSSID=" + std::string(30, 'x') +
             "...\n127.0.0.2 skipped AT+WSSSID=a...\n127.0.0.2 changed: 1 line(s)\n--\n" + refused,
         "127.0.0.2 AT+TCPTO=301\n"},
        {{"diff", "FILE", two}, "AT+UART=9600\nAT\n",
         "1\n127.0.0.2 not compared, always sent: AT+UART=9600\n127.0.0.2 not compared, always sent: AT\n--\n", ""},
        {{"apply", "--check", "FILE", two}, "AT+UART=9600\n",
         "0\n127.0.0.2 would send AT+UART=9600\n127.0.0.2 would change: 1 line(s)\n--\n", ""},
        {{"apply", "FILE", two}, "AT+UART=9600\n",
         "1\n127.0.0.2 refused AT+UART=9600\n127.0.0.2 changed: 0 line(s)\n--\n" + refused, "127.0.0.2 AT+UART=9600\n"},
    });
}
