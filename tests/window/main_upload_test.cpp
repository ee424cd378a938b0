/*
 * main_upload_test.cpp - "升级" in the search window against the
 * simulator in the test's private network: a file named with the entry's
 * fifteen characters is sent, the label counts (on a shortened clock), and
 * of two counts the last one started decides. The image stored byte for
 * byte and a failed upload's label are taken end to end
 * (tests/e2e/failures_lan.py).
 */
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "discovery.h"
#include "gui_env.h"
#include "main.h"
#include "module.h"
#include "sim_runner.h"
#include "strutil.h"
#include "temp_dir.h"
#include "wait.h"

namespace {

std::vector<std::string> label_texts;

void on_label(GObject* label, GParamSpec*, gpointer) { label_texts.push_back(gtk_label_get_text(GTK_LABEL(label))); }

struct UploadButton : InTempDir {
    void SetUp() override
    {
        InTempDir::SetUp();
        install_window_waits();
        build_search_window();
        gtk_widget_show_all(search_window);
        u_socket = udpsocket = init_udp_socket();
        ASSERT_NE(udpsocket, 0);
        get_aswd(aswd);
        strmodule_num = 1;
        copy_text(strmodule[0].ip, "127.0.0.2");
        copy_text(strmodule[0].mac, "ACCF23000002");
        show_list_data(clist_main);
        gtk_clist_select_row(GTK_CLIST(clist_main), 0, 0);
        label_texts.clear();
        g_signal_connect(label_up, "notify::label", G_CALLBACK(on_label), nullptr);
        upload_count_step_ms = 5;
    }
    void TearDown() override
    {
        if (search_window != nullptr)
            gtk_widget_destroy(search_window);
        net().close_udp(udpsocket);
        u_socket = udpsocket = 0;
        InTempDir::TearDown();
    }
    std::string upload(const char* file)
    {
        gtk_entry_set_text(GTK_ENTRY(entry_file), file);
        testing::internal::CaptureStdout();
        gtk_button_clicked(GTK_BUTTON(find_by_id(search_window, "Upload")));
        return testing::internal::GetCapturedStdout();
    }
    /* Waits for the count to end on the empty label. */
    void until_count_ends()
    {
        for (int i = 0; i < 100 && (label_texts.empty() || !label_texts.back().empty()); ++i)
            pump_for(20);
    }
};

TEST_F(UploadButton, TheImageIsSentAndTheLabelCounts)
{
    sim_process sim({"--module", "127.0.0.2"});
    ASSERT_TRUE(sim.ready());
    const char name[] = "固件映像文件版本一二三四五六七";  /* the entry's 15 characters, 45 bytes */
    write((std::string("data/") + name).c_str(), std::string(10000, 'i'));
    EXPECT_EQ(upload(name), "") << "no complaint";
    until_count_ends();
    ASSERT_EQ(label_texts.size(), 21u);
    for (int n = 0; n < 20; ++n)
        EXPECT_EQ(label_texts[n], "升级中... " + std::to_string(n));
    EXPECT_EQ(label_texts[20], "");
}

TEST_F(UploadButton, OfTwoCountsTheLastStartedDecides)
{
    sim_process sim({"--module", "127.0.0.2"});
    ASSERT_TRUE(sim.ready());
    write("data/fw.bin", "image");
    upload_count_step_ms = 300;
    upload("fw.bin");
    upload_count_step_ms = 5;
    upload("fw.bin");
    until_count_ends();
    ASSERT_FALSE(label_texts.empty());
    EXPECT_EQ(label_texts.back(), "");
    pump_for(1000);
    EXPECT_EQ(label_texts.back(), "") << "the first count no longer writes";
    EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(label_up)), "");
}

} // namespace
