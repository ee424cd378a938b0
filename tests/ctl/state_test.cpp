/*
 * state_test.cpp - desired settings against simulated modules: diff and
 * apply compare by value and send only what differs, documents set only
 * their fields, backups come back after a factory reset and belong to
 * their own module, and a fleet is not reset or shown its secrets by a
 * slip.
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

/* "0300" is what a module holding 300 has; the real difference is named
 * with both values, sent once, and a second run finds nothing to do. */
TEST(State, ApplySendsOnlyWhatDiffersAndTwiceChangesNothing)
{
    sim_process sim({"--module", "127.0.0.2"});
    ASSERT_TRUE(sim.ready());
    temp_file file;
    write_file(file.path, "AT+TCPTO=0300\r\nAT+UART=9600,8,1,None,NFC\nE\n");

    ctl_result diff = ctl({"diff", file.path, "127.0.0.2"});
    EXPECT_EQ(diff.status, 1) << diff.err;
    EXPECT_EQ(diff.out, "127.0.0.2 communication.baud: module 115200, desired 9600\n");

    ctl_result check = ctl({"apply", "--check", "--json", file.path, "127.0.0.2"});
    EXPECT_EQ(check.status, 0) << check.err;
    json data = json::parse(check.out)["data"];
    EXPECT_EQ(data["changed"], true);
    EXPECT_EQ(data["sent"], json::array({"AT+UART=9600,8,1,None,NFC"}));
    EXPECT_EQ(data["differences"], json::parse(R"([{"name":"communication.baud","module":115200,"desired":9600}])"));
    EXPECT_EQ(settings_since(sim, 0), std::vector<std::string>{}) << "a check sends no setting";

    ctl_result first = ctl({"apply", file.path, "127.0.0.2"});
    EXPECT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(first.out, "127.0.0.2 ok AT+UART=9600,8,1,None,NFC\n127.0.0.2 changed: 1 line(s)\n");
    size_t before = sim.received().size();
    ctl_result second = ctl({"apply", "--json", file.path, "127.0.0.2"});
    EXPECT_EQ(second.status, 0) << second.err;
    EXPECT_EQ(json::parse(second.out)["data"]["changed"], false);
    EXPECT_EQ(settings_since(sim, before), std::vector<std::string>{}) << "only queries the second time";
    EXPECT_EQ(ctl({"diff", file.path, "127.0.0.2"}).status, 0);

    before = sim.received().size();
    EXPECT_EQ(ctl({"apply", "--force", file.path, "127.0.0.2"}).status, 0);
    EXPECT_EQ(settings_since(sim, before),
              (std::vector<std::string>{"127.0.0.2 AT+TCPTO=0300", "127.0.0.2 AT+UART=9600,8,1,None,NFC"}))
        << "--force sends every line as written";
}

/* A document sets the fields it names and leaves the rest of each command
 * as the module has it; a field no module has, or a value none takes, is
 * refused before anything is sent. */
TEST(State, ADocumentSetsOnlyItsFields)
{
    sim_process sim({"--module", "127.0.0.2"});
    ASSERT_TRUE(sim.ready());
    temp_file doc;
    write_file(doc.path, R"({"settings": {"communication": {"port": 1234, "tcp_timeout": "0300"},
                                          "management": {"mid": "ignored"}}})");
    ctl_result r = ctl({"apply", doc.path, "127.0.0.2"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(settings_since(sim, 0), std::vector<std::string>{"127.0.0.2 AT+NETP=TCP,Server,1234,10.10.100.100"});

    write_file(doc.path, R"({"communication": {"prot": "UDP"}})");
    r = ctl({"diff", doc.path, "127.0.0.2"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("no such setting: communication.prot"), std::string::npos) << r.err;

    write_file(doc.path, R"({"communication": {"baud": 9601}})");
    size_t before = sim.received().size();
    r = ctl({"apply", doc.path, "127.0.0.2"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("communication.baud = \"9601\""), std::string::npos) << r.err;
    EXPECT_EQ(settings_since(sim, before), std::vector<std::string>{});
}

/* Three modules saved; one changed and reset to its factory settings
 * gets every setting back from its own file, field by field; another's
 * file put onto a replacement leaves the replacement's name alone, and
 * --exclude leaves the station alone. */
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
    ctl_result restore = ctl({"restore", dir.path, "127.0.0.3", "127.0.0.4"});
    EXPECT_EQ(restore.status, 0) << restore.err;
    EXPECT_EQ(restore.out.find("127.0.0.4 changed"), std::string::npos) << "4 was as saved: " << restore.out;
    EXPECT_EQ(settings_of("127.0.0.3"), saved);

    ctl_result onto = ctl({"restore", "--exclude", "sta", dir.path + "/ACCF23000002.json", "127.0.0.3"});
    EXPECT_EQ(onto.status, 0) << onto.err;
    json now = settings_of("127.0.0.3");
    EXPECT_EQ(now["communication"]["baud"], 115200) << "2's settings are on 3 now";
    EXPECT_EQ(now["ap"]["ssid"], "Hall 3") << "the factory name of 2 is not given to 3";
    EXPECT_EQ(now["ap"]["channel"], "CH1");
    EXPECT_EQ(now["sta"], saved["sta"]) << "excluded";

    /* A backup from standard input is read once, before the module. */
    ctl_result piped = ctl({"restore", "-", "127.0.0.4"}, "", file_text(dir.path + "/ACCF23000003.json"));
    EXPECT_EQ(piped.status, 0) << piped.err;
    EXPECT_EQ(settings_of("127.0.0.4")["communication"]["baud"], 9600);

    ctl_result missing = ctl({"restore", dir.path, "127.0.0.5"});
    EXPECT_EQ(missing.status, 1);
}

/* More than one module is not reset or restarted without a yes, and text
 * output hides the station key and the web password unless asked. */
TEST(State, AFleetIsNotResetBySlipNorShownItsSecrets)
{
    std::vector<std::string> args = three;
    args.insert(args.begin(), {"--broadcast", "127.0.0.255"});
    sim_process sim(args);
    ASSERT_TRUE(sim.ready());
    for (std::vector<std::string> reset : {std::vector<std::string>{"reset", "127.0.0.2", "127.0.0.3"},
                                           {"restart", "--all", "--from", "127.0.0.1"}}) {
        ctl_result r = ctl(reset);
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find("--yes"), std::string::npos) << r.err;
    }
    EXPECT_EQ(sim.received().size(), 0u) << "not even a search";

    ctl_result text = ctl({"read", "127.0.0.2"});
    EXPECT_NE(text.out.find("    key: ********\n"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("    web_password: ********\n"), std::string::npos);
    EXPECT_EQ(text.out.find("12345678"), std::string::npos);
    EXPECT_NE(ctl({"read", "--show-secrets", "127.0.0.2"}).out.find("    key: 12345678\n"), std::string::npos);
    EXPECT_EQ(json::parse(ctl({"read", "--json", "127.0.0.2"}).out)["data"]["settings"]["sta"]["key"], "12345678");

    temp_file file;
    write_file(file.path, "AT+WSKEY=WPA2PSK,AES,other123\n");
    ctl_result diff = ctl({"diff", file.path, "127.0.0.2"});
    EXPECT_EQ(diff.out, "127.0.0.2 sta.key: module (hidden), desired (hidden)\n");
    ctl_result apply = ctl({"apply", file.path, "127.0.0.2"});
    EXPECT_EQ(apply.out, "127.0.0.2 ok AT+WSKEY=WPA2PSK,AES,********\n127.0.0.2 changed: 1 line(s)\n");
}

/* diff's exit status says which: 0 the same, 1 differences, 2 a module
 * that could not be read, which is named. */
TEST(State, DiffTellsAModuleThatCouldNotBeCompared)
{
    sim_process sim({"--module", "127.0.0.2", "--silent", "--module", "127.0.0.3"});
    ASSERT_TRUE(sim.ready());
    temp_file file;
    write_file(file.path, "AT+TCPTO=300\n");
    ctl_result r = ctl({"diff", "--tries", "2", "--timeout", "250", file.path, "127.0.0.2", "127.0.0.3"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "127.0.0.2 same\n");
    EXPECT_NE(r.err.find("127.0.0.3"), std::string::npos) << r.err;
    EXPECT_EQ(ctl({"diff", file.path + ".missing", "127.0.0.2"}).status, 2);
    /* One backup onto other modules is a document, checked before a link. */
    size_t before = sim.received().size();
    EXPECT_EQ(ctl({"restore", file.path, "127.0.0.2"}).status, 2);
    EXPECT_EQ(sim.received().size(), before);
}

/* An SSID or a key is a text: "0123" is no "123" there, nor "10.0.0.01"
 * "10.0.0.1", so diff names the difference and apply --verify sends it;
 * in a number field "0300" still is 300. */
TEST(State, TextValuesCompareAsText)
{
    sim_process sim({"--module", "127.0.0.2"});
    ASSERT_TRUE(sim.ready());
    const struct {
        const char *module, *desired, *difference, *sent;
    } cases[] = {
        {"AT+WSSSID=123", "AT+WSSSID=0123", "sta.ssid: module 123, desired 0123", "AT+WSSSID=0123"},
        {"AT+WSSSID=10.0.0.1", "AT+WSSSID=10.0.0.01", "sta.ssid: module 10.0.0.1, desired 10.0.0.01",
         "AT+WSSSID=10.0.0.01"},
        {"AT+WSKEY=WPA2PSK,AES,12345678", "AT+WSKEY=WPA2PSK,AES,012345678",
         "sta.key: module 12345678, desired 012345678", "AT+WSKEY=WPA2PSK,AES,012345678"},
        {"AT+WEBU=7,admin", "AT+WEBU=007,admin", "management.web_user: module 7, desired 007", "AT+WEBU=007,admin"},
    };
    temp_file file;
    for (const auto& c : cases) {
        ASSERT_EQ(ctl({"send", "127.0.0.2", c.module}).status, 0) << c.module;
        write_file(file.path, std::string(c.desired) + "\nAT+TCPTO=0300\n");
        ctl_result diff = ctl({"diff", "--show-secrets", file.path, "127.0.0.2"});
        EXPECT_EQ(diff.status, 1) << c.desired;
        EXPECT_EQ(diff.out, "127.0.0.2 " + std::string(c.difference) + "\n");
        size_t before = sim.received().size();
        ctl_result apply = ctl({"apply", "--verify", file.path, "127.0.0.2"});
        EXPECT_EQ(apply.status, 0) << apply.err;
        EXPECT_EQ(settings_since(sim, before), std::vector<std::string>{"127.0.0.2 " + std::string(c.sent)});
    }
}

/* Only AT commands up to the closing "E" make a desired file: a list of
 * addresses, prose, a JSON array or nothing at all is refused, naming the
 * file and the line, before anything is sent. A byte-order mark is no
 * part of the text. */
TEST(State, ADesiredFileHoldsCommandsOrADocumentAndNothingElse)
{
    sim_process sim({"--module", "127.0.0.2"});
    ASSERT_TRUE(sim.ready());
    temp_file file;
    const std::pair<const char*, const char*> bad[] = {
        {"198.51.100.10\n198.51.100.11\n", "line 1 is neither an AT command nor the closing \"E\""},
        {"AT+TCPTO=300\nhello world\nE\n", "line 2 is neither an AT command nor the closing \"E\""},
        {"[\"AT+TCPTO=300\"]\n", "line 1 is neither an AT command nor the closing \"E\""},
        {"", "no command to send"},
        {"E\n", "no command to send"},
    };
    for (const auto& [text, why] : bad) {
        write_file(file.path, text);
        for (const char* action : {"apply", "diff"}) {
            ctl_result r = ctl({action, file.path, "127.0.0.2"});
            EXPECT_EQ(r.status, 2) << action << " " << text;
            EXPECT_NE(r.err.find("kxd40ctl: " + file.path + ": " + why), std::string::npos) << r.err;
        }
    }
    EXPECT_EQ(sim.received().size(), 0u) << "not even a handshake";

    const std::pair<const char*, const char*> marked[] = {
        {"\xEF\xBB\xBF{\"communication\": {\"port\": 1234}}", "127.0.0.2 AT+NETP=TCP,Server,1234,10.10.100.100"},
        {"\xEF\xBB\xBF" "AT+TCPTO=301\r\n", "127.0.0.2 AT+TCPTO=301"},
    };
    for (const auto& [text, sent] : marked) {
        write_file(file.path, text);
        size_t before = sim.received().size();
        ctl_result r = ctl({"apply", file.path, "127.0.0.2"});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(settings_since(sim, before), std::vector<std::string>{sent});
    }
}

/* A setting line in another case or spacing is the same setting: hidden
 * in text, left alone by --exclude, sent in the builder's form; a value no
 * module takes is named without the key. */
TEST(State, ASettingLineIsKnownHoweverItIsSpelled)
{
    sim_process sim({"--module", "127.0.0.2"});
    ASSERT_TRUE(sim.ready());
    temp_file file;
    write_file(file.path, "at+wskey=WPA2PSK,AES,newkey99\nAT+WSSSID = plant\n");
    ctl_result excluded = ctl({"apply", "--exclude", "sta", file.path, "127.0.0.2"});
    EXPECT_EQ(excluded.status, 0) << excluded.err;
    EXPECT_EQ(excluded.out, "127.0.0.2 unchanged\n");
    EXPECT_EQ(settings_since(sim, 0), std::vector<std::string>{});

    ctl_result r = ctl({"apply", file.path, "127.0.0.2"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "127.0.0.2 ok AT+WSKEY=WPA2PSK,AES,********\n127.0.0.2 ok AT+WSSSID=plant\n"
                     "127.0.0.2 changed: 2 line(s)\n");
    EXPECT_EQ(settings_since(sim, 0),
              (std::vector<std::string>{"127.0.0.2 AT+WSKEY=WPA2PSK,AES,newkey99", "127.0.0.2 AT+WSSSID=plant"}));

    const std::string long_key(80, 'k');
    write_file(file.path, R"({"sta": {"key": ")" + long_key + R"("}})");
    r = ctl({"apply", file.path, "127.0.0.2"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("not a value the module takes: sta.key = (hidden)"), std::string::npos) << r.err;
    EXPECT_EQ((r.out + r.err).find(long_key), std::string::npos);
    EXPECT_EQ((r.out + r.err).find("newkey99"), std::string::npos);
}

/* A backup is its own module's: a second module with the same MAC fails
 * by name and overwrites nothing; a backup holds keys, so it is its
 * owner's alone, also over an older file; a write that fails fails the
 * module. restore takes a file only as large as a backup can be, and only
 * when the MAC inside it is the module's. */
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

    const std::string own = file_text(four);
    const std::pair<std::string, std::string> refused[] = {
        {file_text(twin), four + " is the backup of MAC ACCF23000002, not of this module (MAC ACCF23000004)"},
        {own + std::string(16 << 20, ' '), four + " is larger than 4 MiB: not read"},
    };
    size_t before = sim.received().size();
    for (const auto& [text, why] : refused) {
        write_file(four, text);
        r = ctl({"restore", dir.path, "127.0.0.4"});
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find(why), std::string::npos) << r.err;
    }
    EXPECT_EQ(settings_since(sim, before), std::vector<std::string>{});

    std::filesystem::remove(four);
    ASSERT_EQ(symlink("/dev/full", four.c_str()), 0);
    r = ctl({"backup", dir.path, "127.0.0.4"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot write " + four + ": No space left on device"), std::string::npos) << r.err;
    EXPECT_TRUE(std::filesystem::is_symlink(four));
}

/* What apply and restore say is what happened: --force sends a
 * document's settings the module already has; --verify fails on a module
 * that acknowledged a setting and kept its value; a line skipped as too
 * long or not text fails the run; a line without all of its command's
 * values is not compared and goes as written. */
TEST(State, ForcedVerifiedSkippedAndShortLinesAreToldAsTheyAre)
{
    sim_process sim({"--module", "127.0.0.2", "--keep-settings", "--module", "127.0.0.3"});
    ASSERT_TRUE(sim.ready());
    temp_file file;
    const std::string port = R"({"communication": {"port": 8899}})";
    const std::string forced = "127.0.0.2 ok AT+NETP=TCP,Server,8899,10.10.100.100\n127.0.0.2 changed: 1 line(s)\n";
    const struct {
        std::vector<std::string> args;
        std::string text;
        int status;
        std::string out, sent;
    } cases[] = {
        {{"apply", "--force"}, port, 0, forced, "127.0.0.2 AT+NETP=TCP,Server,8899,10.10.100.100"},
        {{"restore", "--force"}, R"({"mac": "ACCF23000002", "settings": )" + port + "}", 0, forced,
         "127.0.0.2 AT+NETP=TCP,Server,8899,10.10.100.100"},
        {{"apply"}, R"({"result": "failed", "data": {"settings": {}}})", 2, "", ""},
        {{"apply", "--verify", "127.0.0.3"}, R"({"communication": {"port": 1234}})", 1,
         "127.0.0.3 ok AT+NETP=TCP,Server,1234,10.10.100.100\n127.0.0.3 changed: 1 line(s)\n"
         "127.0.0.3 communication.port: module 8899, desired 1234\n",
         "127.0.0.3 AT+NETP=TCP,Server,1234,10.10.100.100"},
        {{"apply"}, "AT+TCPTO=301\nAT+WSSSID=" + std::string(400, 'x') + "\n" + std::string("AT+WSSSID=a\0b\n", 14), 1,
         "127.0.0.2 ok AT+TCPTO=301\n127.0.0.2 skipped AT+WSSSID=" + std::string(30, 'x') +
             "...\n127.0.0.2 skipped AT+WSSSID=a...\n127.0.0.2 changed: 1 line(s)\n",
         "127.0.0.2 AT+TCPTO=301"},
        {{"diff"}, "AT+UART=9600\nAT\n", 1,
         "127.0.0.2 not compared, always sent: AT+UART=9600\n127.0.0.2 not compared, always sent: AT\n", ""},
        {{"apply", "--check"}, "AT+UART=9600\n", 0,
         "127.0.0.2 would send AT+UART=9600\n127.0.0.2 would change: 1 line(s)\n", ""},
        {{"apply"}, "AT+UART=9600\n", 1, "127.0.0.2 refused AT+UART=9600\n127.0.0.2 changed: 0 line(s)\n",
         "127.0.0.2 AT+UART=9600"},
    };
    for (const auto& c : cases) {
        write_file(file.path, c.text);
        std::vector<std::string> args = c.args;
        args.insert(args.begin() + 1, file.path);
        if (args.back().rfind("127.", 0) != 0)
            args.push_back("127.0.0.2");
        size_t before = sim.received().size();
        ctl_result r = ctl(args);
        EXPECT_EQ(r.status, c.status) << c.args[0] << " " << c.text << r.err;
        EXPECT_EQ(r.out, c.out) << c.text;
        std::vector<std::string> sent = settings_since(sim, before);
        EXPECT_EQ(sent, c.sent.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.sent}) << c.text;
    }
}
