/*
 * fault_test.cpp - faulty modules and a faulty network, against the
 * simulator in the test's private network: each scenario ends within its
 * bound, says what the console should say, and leaves no record field with
 * a value that no reply gave it.
 */
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <cstring>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "command.h"
#include "command_file.h"
#include "discovery.h"
#include "link.h"
#include "module.h"
#include "sim_runner.h"
#include "strutil.h"
#include "temp_dir.h"

namespace {

struct Faults : InTempDir {
    void SetUp() override
    {
        InTempDir::SetUp();
        fresh_records();
        u_socket = udpsocket = init_udp_socket();
        ASSERT_NE(udpsocket, 0);
        copy_text(module_aswd, default_keyword);
    }
    void TearDown() override
    {
        net().close_udp(udpsocket);
        u_socket = udpsocket = 0;
        InTempDir::TearDown();
    }
    static void fresh_records()
    {
        strMODMana = strMODMana_up = {};
        strMODComm = strMODComm_up = {};
        strMODAP = strMODAP_up = {};
        strMODSTA = strMODSTA_up = {};
    }
    /* The link to ip, as "模块设置" opens it. */
    static bool link_to(const char* ip)
    {
        copy_text(module_ip, ip);
        udp_add_r();
        return keyword_handshake(module_aswd, 3, handshake_hooks{}) == 1;
    }
    /* The pages in order until one finds the module silent; how many were
     * read whole. */
    static int read_pages()
    {
        void (*readers[])() = {init_module_mana_struct, init_module_comm_struct, init_module_ap_struct,
                               init_module_sta_struct};
        int pages = 0;
        for (auto read : readers) {
            read();
            if (module_silent)
                break;
            ++pages;
        }
        return pages;
    }
    /* What the simulator's factory settings read as. */
    static void expect_factory_values()
    {
        EXPECT_STREQ(strMODMana.user, "admin");
        EXPECT_EQ(strMODComm.baud, BAUDRATE_115200);
        EXPECT_EQ(strMODComm.port, 8899);
        EXPECT_EQ(strMODComm.TCPto, 300);
        EXPECT_STREQ(strMODAP.SSID, "KXD40_0002");
        EXPECT_STREQ(strMODSTA.SSID, "KX-AP");
        EXPECT_STREQ(strMODSTA.password, "12345678");
    }
    static long long elapsed_since(long long t0) { return monotonic_ms() - t0; }
};

TEST_F(Faults, GarbageRepliesAreRefusalsWithinTheExchangeBound)
{
    sim_process sim({"--garbage", "--module", "127.0.0.2"});
    ASSERT_TRUE(sim.ready());
    ASSERT_TRUE(link_to("127.0.0.2"));
    char value[32] = "unchanged";
    long long t0 = monotonic_ms();
    EXPECT_EQ(module_send_cmd_get("AT+UART", value), 0);
    EXPECT_LE(elapsed_since(t0), AT_EXCHANGE_MS + 500);
    EXPECT_EQ(module_silent, 0) << "it answered, only not with a reply";
    EXPECT_STREQ(value, "unchanged");
}

TEST_F(Faults, EchoSwitchedOnMidSessionStillReadsRightAndSettingsTakeHold)
{
    sim_process sim({"--module", "127.0.0.2"});
    ASSERT_TRUE(sim.ready());
    ASSERT_TRUE(link_to("127.0.0.2"));
    ASSERT_EQ(module_send_cmd_set("AT+E"), 1);
    ASSERT_EQ(module_send_cmd_set("AT+TCPTO=120"), 1) << "the echo costs one try";
    EXPECT_EQ(read_pages(), 4);
    EXPECT_EQ(strMODComm.TCPto, 120);
    EXPECT_STREQ(strMODSTA.password, "12345678");
}

/* Datagrams duplicated or lost: the values read are the module's, or the
 * read stops and the page it stopped on is as before; nothing shifts into
 * another field. */
TEST_F(Faults, AFaultyNetworkNeverShiftsAValueIntoAnotherField)
{
    struct net_case {
        std::vector<std::string> args;
        bool completes;
    };
    const net_case cases[] = {
        {{"--answer-twice", "--module", "127.0.0.2"}, true},
        {{"--drop-rate", "0.3", "--seed", "4", "--module", "127.0.0.2"}, false},
        {{"--drop-rate", "0.3", "--seed", "9", "--module", "127.0.0.2"}, false},
    };
    for (const net_case& c : cases) {
        fresh_records();
        sim_process sim(c.args);
        ASSERT_TRUE(sim.ready());
        if (!link_to("127.0.0.2") && !link_to("127.0.0.2"))
            continue; /* lost handshakes: the window would keep trying */
        int pages = read_pages();
        if (c.completes) {
            EXPECT_EQ(pages, 4) << c.args[0];
        }
        if (pages == 4) {
            expect_factory_values();
        } else if (pages == 0) {
            EXPECT_STREQ(strMODMana.user, "") << "the page stopped on is as before";
        }
    }
}

TEST_F(Faults, OversizedRepliesCountAsNoneAndSettingsAreJudgedByTheirStart)
{
    sim_process sim({"--oversize", "--module", "127.0.0.2"});
    ASSERT_TRUE(sim.ready());
    ASSERT_TRUE(link_to("127.0.0.2"));
    char value[32] = "unchanged";
    long long t0 = monotonic_ms();
    EXPECT_EQ(module_send_cmd_get("AT+WEBU", value), 0);
    EXPECT_LE(elapsed_since(t0), AT_RECEIVE_MS + 500);
    EXPECT_STREQ(value, "unchanged") << "no padding shifted into a value";
    EXPECT_EQ(module_send_cmd_set("AT+TCPTO=120"), 1);
}

TEST_F(Faults, AFloodFromAnotherHostAndLateSearchAnswersDoNotAnswerForTheModule)
{
    sim_process sim({"--broadcast", "127.0.0.255", "--module", "127.0.0.2", "--latency", "150", "--modules", "2",
                     "--first", "127.0.0.3"});
    ASSERT_TRUE(sim.ready());
    ASSERT_TRUE(link_to("127.0.0.2"));
    std::atomic<bool> stop{false};
    std::thread flood([&] {
        int s = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in from{}, to{};
        make_address("127.0.0.9", 0, &from);
        make_address("127.0.0.1", KX_PORT, &to);
        bind(s, reinterpret_cast<sockaddr*>(&from), sizeof from);
        const char junk[] = "+ok=FLOOD,FLOOD,FLOOD\r\n\r\n";
        for (int i = 0; i < 20000 && !stop; ++i) {
            sendto(s, junk, sizeof junk - 1, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
            if (i % 50 == 0)
                usleep(1000);
        }
        close(s);
    });
    /* A search's keyword: the two latecomers answer during the read. */
    sockaddr_in bcast;
    make_address("127.0.0.255", KX_PORT, &bcast);
    net().send_to(udpsocket, default_keyword, static_cast<int>(std::strlen(default_keyword)), bcast);
    long long t0 = monotonic_ms();
    int pages = read_pages();
    stop = true;
    flood.join();
    EXPECT_EQ(pages, 4);
    EXPECT_LT(elapsed_since(t0), 5000);
    expect_factory_values();
}

TEST_F(Faults, ARestartInTheMiddleOfAReadStopsIt)
{
    sim_process sim({"--module", "127.0.0.2"});
    ASSERT_TRUE(sim.ready());
    ASSERT_TRUE(link_to("127.0.0.2"));
    init_module_mana_struct();
    ASSERT_EQ(strMODMana.inited, 1);
    udpsendn("AT+Z\n", 5);
    init_module_comm_struct();
    EXPECT_EQ(module_silent, 1) << "a restarted module takes no command until a new link";
    EXPECT_EQ(strMODComm.inited, 0);
    EXPECT_EQ(strMODComm.port, 0) << "the record is as before";
}

TEST_F(Faults, SilenceStopsAReadAConfirmAndAReplayAtThatCommand)
{
    sim_process sim({"--module", "127.0.0.2"});
    ASSERT_TRUE(sim.ready());
    ASSERT_TRUE(link_to("127.0.0.2"));
    cmd_num_comm = 0;
    strMODComm_up.TCPto = 120;
    testing::internal::CaptureStdout();
    generate_cmd("TCPTO", "tcpto");
    testing::internal::GetCapturedStdout();
    write("cmd_comm_tmp.txt", "AT+TCPTO=300\nE");
    write("data/set_file.txt", "AT+TCPTO=120\nAT+MAXSK=8\nE\n");
    sim.child().pause();
    long long t0 = monotonic_ms();
    EXPECT_EQ(read_pages(), 0);
    EXPECT_LT(elapsed_since(t0), 2500) << "one wait";
    EXPECT_STREQ(strMODMana.user, "") << "the record is as before";
    testing::internal::CaptureStdout();
    EXPECT_EQ(send_page_commands(CMDTYPE_COMM), CONFIRM_STOPPED);
    EXPECT_EQ(replay_command_file("set_file.txt"), 0);
    std::string out = testing::internal::GetCapturedStdout();
    sim.child().resume();
    EXPECT_EQ(read("cmd_comm_tmp.txt"), "AT+TCPTO=300\nE") << "the file is as before";
    EXPECT_NE(out.find("Send CMD: AT+TCPTO=120\nNo answer from the module\n"), std::string::npos) << out;
    EXPECT_NE(out.find("Send Command: AT+TCPTO=120\nNo answer from the module\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("AT+MAXSK"), std::string::npos) << "nothing after the silent command";
}

} // namespace
