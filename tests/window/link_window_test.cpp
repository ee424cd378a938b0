/*
 * link_window_test.cpp - the handshake, the page refresh and the read
 * action in a real settings window under Xvfb; the datagrams go through
 * the scripted network or, in the private network, to the simulator.
 */
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "button_clicked.h"
#include "discovery.h"
#include "enums.h"
#include "gui_env.h"
#include "module.h"
#include "pages.h"
#include "scripted_net.h"
#include "sim_runner.h"
#include "strutil.h"
#include "uthread.h"
#include "wait.h"
#include "window.h"

namespace {

std::vector<std::string> label_history;

void on_label(GObject* label, GParamSpec*, gpointer) { label_history.push_back(gtk_label_get_text(GTK_LABEL(label))); }

/* A settings window for the module at 127.0.0.2, its lamp text recorded. */
struct LinkWindow : Gui {
    void SetUp() override
    {
        Gui::SetUp();
        init_window();
        pump_events();
        label_history.clear();
        g_signal_connect(label_net_conn, "notify::label", G_CALLBACK(on_label), nullptr);
    }
};

/* A scripted module that answers the keyword on the n-th time. */
struct ScriptedLink : LinkWindow {
    scripted_net sn;
    int answer_on = 1;
    std::map<std::string, std::string> values;
    std::set<std::string> silent;

    void SetUp() override
    {
        LinkWindow::SetUp();
        set_net(&sn);
        udpsocket = 7;
        sn.on_send = [this](const sent_datagram& d) {
            if (d.bytes == module_aswd) {
                if (--answer_on == 0)
                    sn.arrive("127.0.0.2,ACCF23000002,KXD40-0002");
                return;
            }
            if (d.bytes.empty() || d.bytes.back() != '\n')
                return;
            std::string q = d.bytes.substr(0, d.bytes.size() - 1);
            if (silent.count(q))
                return;
            auto v = values.find(q);
            sn.arrive(v != values.end() ? "+ok=" + v->second + "\r\n\r\n" : "+ERR=-1\r\n\r\n");
        };
    }
    std::vector<std::string> sent()
    {
        std::vector<std::string> out;
        for (auto& d : sn.sent)
            out.push_back(d.bytes);
        return out;
    }
};

TEST_F(ScriptedLink, ModuleAnsweringAtOnceGetsOneKeywordAndOneOk)
{
    strMODComm.inited = 1;
    EXPECT_EQ(console_of(net_udp_thread),
              "net_udp_thread: 1\nnet_udp_thread: 2\n"
              "net_udp_thread: recv= 127.0.0.2,ACCF23000002,KXD40-0002\nAccept OK!\n");
    EXPECT_EQ(sent(), (std::vector<std::string>{"KX-D40LOCATORPING", "+ok"}));
    EXPECT_EQ(sn.sent[0].to, "127.0.0.2:48899");
    EXPECT_EQ(label_history, std::vector<std::string>{"模块已连接"}) << "no waiting text";
    EXPECT_EQ(color, GREEN);
    EXPECT_FALSE(sensitive(button_setting_save));
    EXPECT_EQ(strMODComm.inited, 0) << "every page counts as unread";
}

/* Silent seconds show the waiting texts in a cycle; a datagram that is
 * not the module's answer neither ends nor restarts them. */
TEST_F(ScriptedLink, OnlyTheModuleEndsTheSilentSeconds)
{
    sn.on_send = [this](const sent_datagram&) {
        if (sn.sent.size() == 1) {
            sn.arrive("", true);  /* e.g. a "port unreachable" report */
            sn.arrive_at(sn.now + 100, "127.0.0.3,ACCF23000003,LATE", "127.0.0.3");
        } else if (sn.sent.size() == 8) {
            sn.arrive("127.0.0.2,ACCF23000002,KXD40-0002");
        }
    };
    net_udp_thread();
    std::vector<std::string> keywords(8, "KX-D40LOCATORPING");
    keywords.push_back("+ok");
    EXPECT_EQ(sent(), keywords);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(sn.sent[i].at_ms, 1000 * i) << "a keyword a second";
    EXPECT_EQ(label_history, (std::vector<std::string>{"正在等待连接.", "正在等待连接.", "正在等待连接..",
                                                       "正在等待连接...", "正在等待连接...", "正在等待连接....",
                                                       "正在等待连接.", "模块已连接"}));
}

TEST_F(ScriptedLink, SilentModuleStopsTheRead)
{
    values = {{"AT+MID", "KXD40-0002"}, {"AT+WEBU", "admin,admin"}, {"AT+VER", "V1.0.8"},
              {"AT+UART", "9600,8,1,None,NFC"}, {"AT+UARTF", "enable"}};
    silent = {"AT+UARTFT"};
    strMODComm_up.baud = strMODComm.baud = BAUDRATE_300;
    net_udp_thread();
    EXPECT_EQ(console_of(button_setting_read_clicked), "Read the Module Setting......\nNo answer from the module\n");
    EXPECT_EQ(text(entry_mod_usr), "admin") << "the page read before is shown";
    EXPECT_EQ(strMODMana.inited, 1);
    EXPECT_EQ(strMODComm.inited, 0);
    EXPECT_EQ(strMODComm.baud, BAUDRATE_300) << "the page's record as before the read";
    EXPECT_EQ(strMODComm_up.baud, BAUDRATE_300);
    EXPECT_EQ(page_comm_shown, 0);
    EXPECT_FALSE(sensitive(frame_module));
    for (auto& d : sn.sent)
        EXPECT_NE(d.bytes, "AT+WAP\n") << "the pages after it are not read";
}

/* The real simulator, in the test's private network, with window waits. */
struct SimLink : LinkWindow {
    void SetUp() override
    {
        LinkWindow::SetUp();
        open_socket();
    }
    static long long close_window()
    {
        gtk_widget_destroy(window);
        return monotonic_ms();
    }
};

TEST_F(SimLink, ClosingTheWindowStopsTheKeywordWithinASecond)
{
    sim_process sim({"--silent", "--module", "127.0.0.2"});
    ASSERT_TRUE(sim.ready());
    long long closed = 0;
    after(2500, [&] { closed = close_window(); });
    net_udp_thread();
    ASSERT_NE(closed, 0);
    pump_for(1500);
    auto got = sim.received();
    EXPECT_EQ(got.size(), 3u) << "keywords at 0, 1 and 2 seconds, none after the close";
    for (auto& d : got)
        EXPECT_EQ(d.bytes, "KX-D40LOCATORPING");
}

TEST_F(SimLink, ClosingDuringThePauseBetweenTriesEndsTheRead)
{
    sim_process sim({"--garbage", "--module", "127.0.0.2"});
    ASSERT_TRUE(sim.ready());
    net_udp_thread();
    ASSERT_EQ(color, GREEN);
    long long closed = 0;
    /* The garbage answer to "AT+MID" comes at once; 100 ms later the read
     * is in its 200 ms pause before the next try. */
    after(100, [&] { closed = close_window(); });
    std::string out = click(button_setting_read);
    ASSERT_NE(closed, 0);
    EXPECT_EQ(out, "Read the Module Setting...\nStopped: the settings window was closed\n");
    pump_for(2500);
    std::vector<std::string> got;
    for (auto& d : sim.received())
        got.push_back(d.bytes);
    EXPECT_EQ(got, (std::vector<std::string>{"KX-D40LOCATORPING", "+ok", "AT+MID\n"})) << "nothing after the close";
}

/* The refresh alone, from records set by the test. */
using Refresh = LinkWindow;

TEST_F(Refresh, EveryComboShowsTheValueOfItsRecord)
{
    const struct {
        GtkWidget* combo;
        const enum_table& values;
        char* field;
        void (*refresh)();
    } combos[] = {
        {combo_modcom_baud, baudrate_table, &strMODComm_up.baud, update_comm_widgets},
        {combo_modcom_data, combits_table, &strMODComm_up.data_bits, update_comm_widgets},
        {combo_modcom_parity, parity_table, &strMODComm_up.parity, update_comm_widgets},
        {combo_modcom_stop, stopbits_table, &strMODComm_up.stop_bits, update_comm_widgets},
        {combo_modcom_af, autoframe_table, &strMODComm_up.bAF, update_comm_widgets},
        {combo_modnet_mode, netmode_table, &strMODComm_up.mode, update_comm_widgets},
        {combo_modnet_prot, netprot_table, &strMODComm_up.protocol, update_comm_widgets},
        {combo_ap_wifimode, apstd_table, &strMODAP_up.mode, update_ap_widgets},
        {combo_ap_channel, apch_table, &strMODAP_up.channel, update_ap_widgets},
        {combo_ap_auth, auth_table, &strMODAP_up.enc_auth, update_ap_widgets},
        {combo_sta_auth, auth_table, &strMODSTA_up.enc_auth, update_sta_widgets},
    };
    for (const auto& c : combos) {
        for (int v = 0; v < c.values.count; ++v) {
            *c.field = static_cast<char>(v);
            c.refresh();
            EXPECT_EQ(combo_active_text(c.combo), enum_combo_text(c.values, v)) << widget_id(c.combo);
        }
    }
    EXPECT_EQ(page_ap_shown, 1);
}

/* Framing, the network fields by role and protocol, the server as an
 * address or a name; the WAN entries by DHCP; an empty key shows the
 * default one and stays empty. */
TEST_F(Refresh, EntriesRadiosAndWhatIsEditable)
{
    strMODComm_up.AFT = 250;
    ASSERT_EQ(string_to_ip("192.168.1.7", strMODComm_up.ipadd), 1);
    copy_text(strMODComm_up.hostname, "server.lan");
    ASSERT_EQ(string_to_ip("192.168.1.50", strMODSTA_up.ipadd), 1);
    auto comm = [](int af, int bip, int mode, int protocol) {
        return [=] {
            strMODComm_up.bAF = static_cast<char>(af);
            strMODComm_up.bip = static_cast<char>(bip);
            strMODComm_up.mode = static_cast<char>(mode);
            strMODComm_up.protocol = static_cast<char>(protocol);
            update_comm_widgets();
        };
    };
    auto ap = [](const std::string& key) {
        return [=] {
            copy_text(strMODAP_up.password, key.c_str());
            update_ap_widgets();
        };
    };
    auto sta = [](int dhcp, const std::string& key) {
        return [=] {
            copy_text(strMODSTA_up.password, key.c_str());
            strMODSTA_up.bDHCP = static_cast<char>(dhcp);
            update_sta_widgets();
        };
    };
    strMODAP_up.enc_auth = strMODSTA_up.enc_auth = WIFIAUTH_WPA2PSK;
    strMODAP_up.enc_encry = strMODSTA_up.enc_encry = ENC_AES;
    for (const settings_page& p : settings_pages)
        p.refresh();
    run({
        {comm(COMAF_DIS, 1, NETMODE_SERVER, NETPROT_TCP), "modnet_ip=192.168.1.7(off)"},
        {comm(COMAF_EN, 0, NETMODE_CLIENT, NETPROT_TCP), "modcom_af=Enable label_modcom_aft= modcom_aft=250"
            " label_modcom_afl= modcom_afl=0 modnet_mode=Client modnet_ip=server.lan modnet_maxsk=0(off)"
            " comm_confirm= pending_1=AT+UARTF=enable|AT+NETP=TCP,Client,0,server.lan"},
        {comm(COMAF_EN, 0, NETMODE_SERVER, NETPROT_UDP), "modnet_mode=Server(off) modnet_prot=UDP"
            " modnet_tcpto=0(off) pending_1=AT+UARTF=enable|AT+NETP=UDP,Server,0,server.lan"},
        {comm(COMAF_EN, 1, NETMODE_CLIENT, NETPROT_UDP), "modnet_mode=Client(off) modnet_ip=192.168.1.7"
            " pending_1=AT+UARTF=enable|AT+NETP=UDP,Client,0,server.lan"},
        {[] {
             strMODMana_up.wmode = WIFIMODE_STA;
             strMODMana_up.tmode = WORKMODE_AG;
             update_mana_widgets();
         },
         "wifimode_ap= wifimode_sta=on workmode_th= workmode_ag=on"},
        {ap("typed"), "ap_key=typed"},
        {ap(""), "ap_key=31415926"},
        {sta(DHCP_DISABLE, std::string(64, 'k')), "sta_key=kkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkkk"
            " wan_dhcp= wan_static=on wan_ip=192.168.1.50 wan_mask=0.0.0.0 wan_gateway=0.0.0.0"},
        {sta(DHCP_ENABLE, ""), "sta_key=31415926 wan_dhcp=on wan_static= wan_ip=192.168.1.50(off)"
            " wan_mask=0.0.0.0(off) wan_gateway=0.0.0.0(off)"},
    });
    EXPECT_STREQ(strMODAP_up.password, "");
}

TEST_F(Refresh, WithoutAWindowNothingIsTouched)
{
    gtk_widget_destroy(window);
    pump_events();
    complaint_counter complaints;
    update_mana_widgets();
    update_comm_widgets();
    update_ap_widgets();
    update_sta_widgets();
    set_conn_text(6);
    set_lamp(RED);
    EXPECT_EQ(complaints.count, 0) << "a destroyed widget was used";
    EXPECT_EQ(page_mana_shown, 0) << "no refresh ran without its page";
}

} // namespace
