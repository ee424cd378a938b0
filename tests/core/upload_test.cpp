/*
 * upload_test.cpp - the firmware upload through the scripted network and
 * its virtual clock: the datagrams in order, their pacing, the failures,
 * and the settings window's link left where it was.
 */
#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
#include <vector>

#include "scripted_link.h"
#include "temp_dir.h"
#include "upload.h"

namespace {

/* A module at 127.0.0.3 that answers the keyword and, unless deaf,
 * "AT+FWUPDAT". */
struct Upload : InTempDir {
    scripted_net sn;
    net_scope scope{&sn};
    bool silent = false, deaf = false;
    std::string console;

    void SetUp() override
    {
        InTempDir::SetUp();
        udpsocket = 7;
        copy_text(module_ip, "127.0.0.3");
        copy_text(module_aswd, "KX-D40LOCATORPING");
        sn.on_send = [this](const sent_datagram& d) {
            if (silent)
                return;
            if (d.bytes == module_aswd)
                sn.arrive_at(sn.now + 5, "127.0.0.3,ACCF23000003,KXD40-0003", "127.0.0.3");
            else if (d.bytes == "AT+FWUPDAT\n" && !deaf)
                sn.arrive_at(sn.now + 5, "+ok\r\n\r\n", "127.0.0.3");
        };
    }
    void TearDown() override
    {
        udpsocket = 0;
        InTempDir::TearDown();
    }
    int upload(const char* file)
    {
        int r = 0;
        console = printed([&] { r = upload_firmware(file); });
        return r;
    }
    /* The sizes of the datagrams after "AT+FWUPDAT\n". */
    std::vector<size_t> image_sizes()
    {
        std::vector<size_t> sizes;
        bool image = false;
        for (auto& d : sn.sent) {
            if (image)
                sizes.push_back(d.bytes.size());
            image = image || d.bytes == "AT+FWUPDAT\n";
        }
        return sizes;
    }
};

TEST_F(Upload, TheImageGoesInPacedChunksEndingShort)
{
    std::string image;
    for (int i = 0; i < 10000; ++i)
        image += static_cast<char>(i * 7);
    write("data/fw.bin", image);
    ASSERT_EQ(upload("fw.bin"), UPLOAD_SENT);
    ASSERT_GE(sn.sent.size(), 6u);
    EXPECT_EQ(sn.sent[0].bytes, "KX-D40LOCATORPING");
    EXPECT_EQ(sn.sent[1].bytes, "+ok");
    EXPECT_EQ(sn.sent[2].bytes, "AT+FWUPDAT\n");
    EXPECT_EQ(image_sizes(), (std::vector<size_t>{4096, 4096, 1808}));
    EXPECT_EQ(sn.sent[3].bytes + sn.sent[4].bytes + sn.sent[5].bytes, image);
    for (size_t i = 4; i < sn.sent.size(); ++i)
        EXPECT_GE(sn.sent[i].at_ms - sn.sent[i - 1].at_ms, 10) << "datagram " << i;
    long long last = sn.sent.back().at_ms;
    udp_add_r();
    udpsendn("AT+VER\n", 7);
    EXPECT_GE(sn.sent.back().at_ms - last, UPLOAD_PACE_MS) << "the module has its pause after the last datagram too";

    write("data/fw.bin", std::string(8192, 'f'));
    sn.sent.clear();
    ASSERT_EQ(upload("fw.bin"), UPLOAD_SENT);
    EXPECT_EQ(image_sizes(), (std::vector<size_t>{4096, 4096, 0})) << "the last datagram is always short";
}

/* Nothing goes, not even the keyword, for an image that is no regular
 * file in data/ or is empty (a module switched to reception would take
 * an empty datagram for its firmware); no image without the module's
 * answers. */
TEST_F(Upload, FailuresSendNoImageAndSayWhy)
{
    write("fw.bin", "outside data/");
    write("data/empty.bin", "");
    write("data/fw.bin", std::string(5000, 'f'));
    ASSERT_EQ(mkfifo("data/fifo", 0644), 0);
    const struct {
        const char* name;
        bool silent, deaf;
        int result;
        const char *said, *last_sent;
    } cases[] = {
        {"missing.bin", false, false, UPLOAD_NO_FILE, "Can't open file\n", ""},
        {"../fw.bin", false, false, UPLOAD_NO_FILE, "Can't open file\n", ""},
        {"fifo", false, false, UPLOAD_NO_FILE, "Can't open file\n", ""},
        {"empty.bin", false, false, UPLOAD_EMPTY, "Upload: the image is empty\n", ""},
        {"fw.bin", true, false, UPLOAD_NO_ANSWER, "Upload: no answer from the module\n", "KX-D40LOCATORPING"},
        {"fw.bin", false, true, UPLOAD_NO_FWUPDAT, "Upload: no answer to AT+FWUPDAT\n", "AT+FWUPDAT\n"},
    };
    for (const auto& c : cases) {
        silent = c.silent, deaf = c.deaf;
        sn.sent.clear();
        EXPECT_EQ(upload(c.name), c.result) << c.name;
        EXPECT_EQ(console, c.said) << c.name;
        EXPECT_EQ(sn.sent.empty() ? "" : sn.sent.back().bytes, c.last_sent)
            << c.name << ": no \"+ok\" without an answer, no image without AT+FWUPDAT";
    }
}

TEST_F(Upload, TheSettingsWindowsLinkStaysWithItsModule)
{
    copy_text(module_ip, "127.0.0.2");
    udp_add_r();  /* a settings window linked to 127.0.0.2 */
    copy_text(module_ip, "127.0.0.3");
    write("data/fw.bin", "tiny");
    auto answer = sn.on_send;
    sn.on_send = [&](const sent_datagram& d) {
        answer(d);
        if (d.bytes == "AT+FWUPDAT\n")
            link_end();  /* the settings window closes meanwhile */
    };
    ASSERT_EQ(upload("fw.bin"), UPLOAD_SENT) << "the upload is not the window's to end";
    EXPECT_EQ(image_sizes(), std::vector<size_t>{4});
    EXPECT_TRUE(link_ended()) << "the window's link ended with it";

    sn.on_send = answer;
    copy_text(module_ip, "127.0.0.2");
    udp_add_r();
    copy_text(module_ip, "127.0.0.3");
    upload("fw.bin");
    sn.sent.clear();
    udpsendn("AT+VER\n", 7);
    ASSERT_EQ(sn.sent.size(), 1u);
    EXPECT_EQ(sn.sent[0].to, "127.0.0.2:48899");
}

} // namespace
