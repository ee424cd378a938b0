/*
 * upload.cpp - the firmware upload: handshake, "AT+FWUPDAT", the image.
 */
#include "upload.h"

#include <cstdio>
#include <string>

#include "discovery.h"
#include "link.h"
#include "module.h"
#include "strutil.h"

int down_firmware(const char* file)
{
    std::string path = std::string("data/") + file;
    stdio_file image(path.c_str(), "rb");
    if (!image) {
        std::puts("Can't open file");
        return UPLOAD_NO_FILE;
    }
    char chunk[UPLOAD_CHUNK];
    for (;;) {
        size_t n = std::fread(chunk, 1, sizeof chunk, image.get());
        udpsendn(chunk, static_cast<int>(n));
        /* The pause also follows the last datagram, so that the module has
         * had its time before anything else is sent to it. */
        if (!link_pause(UPLOAD_PACE_MS))
            return UPLOAD_STOPPED;
        if (n < sizeof chunk)
            return UPLOAD_SENT;
    }
}

int upload_firmware(const char* file)
{
    lent_link link;
    int handshake = keyword_handshake(module_aswd, UPLOAD_TRIES, handshake_hooks{});
    if (handshake < 0)
        return UPLOAD_STOPPED;
    if (handshake == 0) {
        std::puts("Upload: no answer from the module");
        return UPLOAD_NO_ANSWER;
    }
    static const char fwupdat[] = "AT+FWUPDAT\n";
    udpsendn(fwupdat, sizeof fwupdat - 1);
    char answer[ANSWER_MAX];
    int length = 0, stored = 0;
    switch (link_receive(answer, sizeof answer, FWUPDAT_ANSWER_MS, &length, &stored)) {
    case RECEIVED:
        return down_firmware(file);
    case RECEIVE_TIMED_OUT:
        std::puts("Upload: no answer to AT+FWUPDAT");
        return UPLOAD_NO_FWUPDAT;
    default:
        return UPLOAD_STOPPED;
    }
}
