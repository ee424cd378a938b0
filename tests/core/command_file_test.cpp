/*
 * command_file_test.cpp - the pending commands an edit builds and their
 * listing, confirming a page's commands, the temporary and saved command
 * files, their replay and the settings file, through the scripted network
 * in an empty directory.
 */
#include <gtest/gtest.h>

#include <csignal>
#include <glob.h>
#include <set>
#include <string>
#include <sys/wait.h>
#include <vector>

#include "command.h"
#include "command_file.h"
#include "enums.h"
#include "rendered_rows.h"
#include "scripted_link.h"
#include "temp_dir.h"

namespace {

const std::string start = "\n------------Start to send Command------------\n",
                  finished = "-----------------Finished-----------------\n\n";

/* A module that accepts every command but those in refuse, and says
 * nothing to those in ignore. */
struct CommandFiles : OnScriptedNet<InTempDir> {
    std::set<std::string> refuse, ignore;

    void SetUp() override
    {
        OnScriptedNet::SetUp();
        cmd_num_mod = cmd_num_comm = cmd_num_ap = cmd_num_sta = 0;
        window_link.pages = {};
        sn.on_send = [this](const sent_datagram& d) {
            std::string line = d.bytes.substr(0, d.bytes.size() - 1);
            if (ignore.count(line) == 0)
                sn.arrive(refuse.count(line) ? "+ERR=-2" + crlf2 : "+ok" + crlf2);
        };
    }
    static void quietly(const char* cmd, const char* item)
    {
        printed([&] { generate_cmd(cmd, item); });
    }
    static int confirm(int type, std::string* console)
    {
        int r = 0;
        *console = printed([&] { r = send_page_commands(type); });
        return r;
    }
};

/* An edit changes only its item's value, in place; "UART" is not "UARTFT". */
TEST_F(CommandFiles, EditsUpdateTheirRowsInPlaceAndConfirmSendsThemInOrder)
{
    strMODComm_up.AFT = 250;
    quietly("UARTFT", "aft");
    strMODComm_up.fc = COMFC_EN;
    strMODComm_up.data_bits = COMBITS_8;
    strMODComm_up.baud = BAUDRATE_9600;
    quietly("UART", "baud");
    strMODComm_up.fc = COMFC_DIS; /* no item rewrites the flow control */
    strMODComm_up.baud = BAUDRATE_115200;
    quietly("UART", "baud");
    strMODComm_up.parity = COMPARITY_SPACE;
    strMODComm_up.data_bits = COMBITS_5; /* changed, but not named */
    quietly("UART", "parity");
    EXPECT_EQ(find_cmd("UART", 4), -1) << "no table beyond the four pages";
    std::string console;
    EXPECT_EQ(confirm(CMDTYPE_COMM, &console), CONFIRM_DONE);
    EXPECT_EQ(sent(), (lines{"AT+UARTFT=250\n", "AT+UART=115200,8,1,Space,FC\n"}));
    EXPECT_EQ(read("cmd_comm_tmp.txt"), "AT+UARTFT=250\nAT+UART=115200,8,1,Space,FC\nE");
    EXPECT_EQ(console, start + "Send CMD: AT+UARTFT=250\nSend CMD: AT+UART=115200,8,1,Space,FC\n" + finished);
    EXPECT_EQ(cmd_num_comm, 2) << "the table is the caller's to empty";

    cmd_num_comm = 0;
    EXPECT_EQ(confirm(CMDTYPE_COMM, &console), CONFIRM_DONE);
    EXPECT_EQ(read("cmd_comm_tmp.txt"), "E") << "an empty table";
}

/* The key goes only with encryption, and then as it now stands. */
TEST_F(CommandFiles, KeyRowsCarryTheKeyOnlyWithEncryption)
{
    const struct {
        char auth, encry;
        const char *key, *item, *row;
    } steps[] = {
        {WIFIAUTH_OPEN, ENC_NONE, "old-key", "encry", "AT+WAKEY=OPEN,NONE"},
        {WIFIAUTH_WPA2PSK, ENC_NONE, "old-key", "auth", "AT+WAKEY=WPA2PSK,NONE"},
        {WIFIAUTH_WPA2PSK, ENC_AES, "31415926", "encry", "AT+WAKEY=WPA2PSK,AES,31415926"},
        {WIFIAUTH_WPA2PSK, ENC_NONE, "31415926", "encry", "AT+WAKEY=WPA2PSK,NONE"},
    };
    for (const auto& s : steps) {
        strMODAP_up.enc_auth = s.auth;
        strMODAP_up.enc_encry = s.encry;
        copy_text(strMODAP_up.password, s.key);
        quietly("WAKEY", s.item);
        EXPECT_EQ(rendered_rows(CMDTYPE_AP), lines{s.row});
    }
}

/* Each edit prints the listing of every page; an unknown name changes
 * nothing; a text with a line break gives one command line. */
TEST_F(CommandFiles, ListingShowsEveryPageAndUnknownNamesChangeNothing)
{
    strMODMana_up.tmode = WORKMODE_AG;
    quietly("TMODE", "ag");
    copy_text(strMODComm_up.hostname, "host\r\nAT+Z");
    quietly("NETP", "ipadd");
    copy_text(strMODAP_up.SSID, "office");
    strMODAP_up.channel = APCH_CH11;
    quietly("WAP", "ssid");
    copy_text(strMODSTA_up.SSID, "lab\nAT+RELD");
    std::string out = printed([] {
        generate_cmd("WSSSID", "ssid");
        generate_cmd("NOPE", "");
    });
    const std::string listing = "------------Commands----------------\n"
                                "AT+TMODE=Agreement\nAT+NETP=TCP,Server,0,host\n"
                                "AT+WAP=11B,office,CH11\nAT+WSSSID=lab\n"
                                "------------------------------------\n";
    EXPECT_EQ(out, listing + listing);
}

TEST_F(CommandFiles, ARefusedOrUnansweredCommandLeavesTheFileAlone)
{
    write("cmd_ap_tmp.txt", "AT+WAP=11BGN,old,Auto\nE");
    copy_text(strMODAP_up.SSID, "new");
    strMODAP_up.channel = APCH_CH11;
    quietly("WAP", "ssid");
    strMODAP_up.enc_auth = WIFIAUTH_OPEN;
    strMODAP_up.enc_encry = ENC_NONE;
    quietly("WAKEY", "encry");
    refuse = {"AT+WAP=11B,new,CH11"};
    std::string console;
    EXPECT_EQ(confirm(CMDTYPE_AP, &console), CONFIRM_REFUSED);
    EXPECT_EQ(console, start + "Send CMD: AT+WAP=11B,new,CH11\nCommand refused: AT+WAP=11B,new,CH11\n"
                                "Send CMD: AT+WAKEY=OPEN,NONE\n" + finished);
    EXPECT_EQ(sent().size(), 2u) << "a refusal does not stop the rest";
    EXPECT_EQ(read("cmd_ap_tmp.txt"), "AT+WAP=11BGN,old,Auto\nE");

    refuse.clear();
    ignore = {"AT+WAP=11B,new,CH11"};
    EXPECT_EQ(confirm(CMDTYPE_AP, &console), CONFIRM_STOPPED);
    EXPECT_EQ(sent().size(), 1u) << "nothing after the silent command";
    EXPECT_EQ(console, start + "Send CMD: AT+WAP=11B,new,CH11\nNo answer from the module\n");
    EXPECT_EQ(read("cmd_ap_tmp.txt"), "AT+WAP=11BGN,old,Auto\nE");

    /* A replay stops at the silent command too. */
    write("data/set_file.txt", "AT+WAP=11B,new,CH11\nAT+MAXSK=8\nE\n");
    EXPECT_EQ(printed([] { EXPECT_EQ(replay_command_file("set_file.txt"), 0); }),
              start + "Send Command: AT+WAP=11B,new,CH11\nNo answer from the module\n");
    EXPECT_EQ(sent(), std::vector<std::string>{"AT+WAP=11B,new,CH11\n"});
}

TEST_F(CommandFiles, SaveJoinsThePageFilesInPageOrder)
{
    write("cmd_sta_tmp.txt", "AT+WSSSID=home\nE");
    write("cmd_mana_tmp.txt", "AT+WMODE=STA\nAT+WEBU=admin,pw\nE\nAT+STALE=1\n");
    ASSERT_EQ(rmdir("data"), 0);
    ASSERT_EQ(save_command_file("set_file.txt"), 1) << "data/ is made when missing";
    EXPECT_EQ(read("data/set_file.txt"), "AT+WMODE=STA\nAT+WEBU=admin,pw\nAT+WSSSID=home\nE\n");
}

TEST_F(CommandFiles, ANameThatIsNoPlainFileInDataIsNeitherSavedNorReplayed)
{
    write("set_para.txt", "0 set_file.txt");
    write("cmd_mana_tmp.txt", "AT+WMODE=STA\nE");
    ASSERT_EQ(mkdir("data/dir", 0755), 0);
    ASSERT_EQ(mkfifo("data/fifo", 0644), 0);
    ASSERT_EQ(symlink("/dev/null", "data/device"), 0);
    for (const char* name : {".", "..", "../set_para.txt", "dir/x.txt", "dir", "device", "fifo"}) {
        std::string said = printed([&] {
            EXPECT_EQ(save_command_file(name), 0) << name;
            EXPECT_EQ(replay_command_file(name), 0) << name;
        });
        EXPECT_EQ(said, "Can not open file: set_file.txt\nCan not open file: data/" + std::string(name) + "\n");
    }
    EXPECT_TRUE(sent().empty());
    EXPECT_EQ(read("set_para.txt"), "0 set_file.txt");
    EXPECT_EQ(read("data/dir/x.txt"), "<missing>");
    struct stat st {};
    EXPECT_TRUE(lstat("data/fifo", &st) == 0 && S_ISFIFO(st.st_mode));
    EXPECT_TRUE(lstat("data/device", &st) == 0 && S_ISLNK(st.st_mode));
}

/* Each line is sent or named on the console; CR LF is one line end, and
 * an empty line ends the file as "E" does. */
TEST_F(CommandFiles, ReplaySendsWholeLinesAndNamesThoseItMustNotSend)
{
    std::string wide;
    for (int i = 0; i < 200; ++i)
        wide += "网";
    const std::string longest = "AT+WSSSID=" + std::string(389, 's');
    write("data/set_file.txt", "AT+FWUPDAT\r\n"
                               "AT+WSSSID=x" + wide + "\n" +
                               std::string("AT+WMODE=STA\0AT+Z\n", 18) +
                               "at+fwupdat=1\n"
                               "AT+BOGUS=1\r\n" + longest + "\r\n"
                               "AT+TMODE=Through\r\n\r\nAT+WEBU=a,b\r\n");
    refuse = {"AT+BOGUS=1"};
    std::string console = printed([] { EXPECT_EQ(replay_command_file("set_file.txt"), 1); });
    EXPECT_EQ(sent(), (std::vector<std::string>{"AT+BOGUS=1\n", longest + "\n", "AT+TMODE=Through\n"}));
    EXPECT_EQ(console, start + "Command refused: AT+FWUPDAT\nLine too long, not sent: AT+WSSSID=x网网网网网网网网网...\n"
                                "Line holds a NUL byte, not sent: AT+WMODE=STA...\nCommand refused: at+fwupdat=1\n"
                                "Send Command: AT+BOGUS=1\nCommand refused: AT+BOGUS=1\nSend Command: " + longest +
                                "\nSend Command: AT+TMODE=Through\n" + finished);

    write("data/set_file.txt", "AT+WMODE=AP");
    printed([] { replay_command_file("set_file.txt"); });
    EXPECT_EQ(sent(), std::vector<std::string>{"AT+WMODE=AP\n"}) << "the last line needs no line end";
}

/* The new files of writers of data/set_file.txt. */
size_t leftovers()
{
    glob_t g{};
    size_t n = glob("data/set_file.txt.new*", 0, nullptr, &g) == 0 ? g.gl_pathc : 0;
    globfree(&g);
    return n;
}

TEST_F(CommandFiles, AWriterKilledHalfwayLeavesTheOldFileAndTheNextWriteClearsUp)
{
    write("data/set_file.txt", "AT+WMODE=AP\nE\n");
    for (int killed = 0; killed < 2; ++killed) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            whole_file f("data/set_file.txt");
            std::fputs("AT+WMODE=STA\nAT+WEB", f.get());
            std::fflush(f.get());
            raise(SIGKILL);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status));
    }
    EXPECT_EQ(read("data/set_file.txt"), "AT+WMODE=AP\nE\n");
    EXPECT_EQ(leftovers(), 2u) << "each writer had a name of its own";
    write("data/set_file.txt.new", "left by an earlier version");

    /* Two writers at once: the one still writing keeps its file while the
     * other one commits and clears up. */
    whole_file first("data/set_file.txt"), second("data/set_file.txt");
    std::fputs("first", first.get());
    std::fputs("second", second.get());
    ASSERT_TRUE(second.commit());
    EXPECT_EQ(leftovers(), 1u) << "only the live writer's file is left";
    ASSERT_TRUE(first.commit());
    EXPECT_EQ(read("data/set_file.txt"), "first");
    EXPECT_EQ(leftovers(), 0u);
    struct stat st {};
    ASSERT_EQ(stat("data/set_file.txt", &st), 0);
    mode_t mask = umask(022);
    umask(mask);
    EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask) << "made as any new file";
}

} // namespace
