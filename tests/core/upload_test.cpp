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
 * "AT+FWUPDAT"; the window's link lies open to 127.0.0.2. */
struct Upload : OnScriptedNet<InTempDir> {
    bool silent = false, deaf = false;
    std::string console;

    void SetUp() override
    {
        OnScriptedNet::SetUp();
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
    int upload(const char* file)
    {
        int r = 0;
        console = printed([&] { r = upload_firmware(file); });
        return r;
    }
    /* "time: bytes" of each datagram sent since t0, an image's by its size,
     * then forgotten. */
    lines timeline(long long t0)
    {
        lines out;
        bool image = false;
        for (const sent_datagram& d : sn.sent) {
            std::string bytes = image ? std::to_string(d.bytes.size()) + " bytes" : d.bytes;
            out.push_back(std::to_string(d.at_ms - t0) + ": " + bytes.substr(0, bytes.find('\n')));
            image = image || d.bytes == "AT+FWUPDAT\n";
        }
        sn.sent.clear();
        return out;
    }
};

/* The image in datagrams of 4096 bytes, 10 ms apart, the last always
 * short; the module has its pause after the last datagram too. */
TEST_F(Upload, TheImageGoesInPacedChunksEndingShort)
{
    const std::pair<size_t, lines> cases[] = {
        {10000, {"0: KX-D40LOCATORPING", "5: +ok", "5: AT+FWUPDAT", "10: 4096 bytes", "20: 4096 bytes",
                 "30: 1808 bytes", "40: 7 bytes"}}, /* AT+VER, from the window */
        {8192, {"0: KX-D40LOCATORPING", "5: +ok", "5: AT+FWUPDAT", "10: 4096 bytes", "20: 4096 bytes",
                "30: 0 bytes", "40: 7 bytes"}},
    };
    for (const auto& c : cases) {
        std::string image;
        for (size_t i = 0; i < c.first; ++i)
            image += static_cast<char>(i * 7);
        write("data/fw.bin", image);
        long long t0 = sn.now;
        ASSERT_EQ(upload("fw.bin"), UPLOAD_SENT);
        EXPECT_EQ(sn.sent[3].bytes + sn.sent[4].bytes + sn.sent[5].bytes, image);
        udpsendn("AT+VER\n", 7);
        EXPECT_EQ(timeline(t0), c.second) << c.first;
    }
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
        silent = c.silent;
        deaf = c.deaf;
        sn.sent.clear();
        EXPECT_EQ(upload(c.name), c.result) << c.name;
        EXPECT_EQ(console, c.said) << c.name;
        EXPECT_EQ(sn.sent.empty() ? "" : sn.sent.back().bytes, c.last_sent)
            << c.name << ": no \"+ok\" without an answer, no image without AT+FWUPDAT";
    }
}

TEST_F(Upload, TheSettingsWindowsLinkStaysWithItsModule)
{
    write("data/fw.bin", "tiny");
    auto answer = sn.on_send;
    sn.on_send = [&](const sent_datagram& d) {
        answer(d);
        if (d.bytes == "AT+FWUPDAT\n")
            link_end();  /* the settings window closes meanwhile */
    };
    ASSERT_EQ(upload("fw.bin"), UPLOAD_SENT) << "the upload is not the window's to end";
    lines sent = timeline(0);
    EXPECT_EQ(sent.back().substr(sent.back().find(' ') + 1), "4 bytes");
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
