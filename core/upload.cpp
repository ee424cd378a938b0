/*
 * upload.cpp - the firmware upload: handshake, "AT+FWUPDAT", the image.
 */
#include "upload.h"

#include <cstdio>

#include "data_file.h"
#include "discovery.h"
#include "link.h"
#include "module.h"
#include "strutil.h"

namespace {

long long size_of(FILE* f)
{
    if (std::fseek(f, 0, SEEK_END) != 0)
        return -1;
    long size = std::ftell(f);
    std::rewind(f);
    return size;
}

/* Whether an opened image may go: a module switched to reception takes
 * whatever comes first for its firmware, an empty datagram too. */
int image_check(FILE* image)
{
    if (image == nullptr)
        return UPLOAD_NO_FILE;
    return size_of(image) == 0 ? UPLOAD_EMPTY : UPLOAD_SENT;
}

/* The transfer of the open image, without a console line. */
int send_image(module_link& l, FILE* image, const upload_progress* progress)
{
    long long total = progress != nullptr ? size_of(image) : -1;
    long long done = 0;
    char chunk[UPLOAD_CHUNK];
    for (;;) {
        size_t n = std::fread(chunk, 1, sizeof chunk, image);
        link_send(l, chunk, static_cast<int>(n));
        done += static_cast<long long>(n);
        if (progress != nullptr && progress->sent != nullptr)
            progress->sent(done, total, progress->context);
        /* The pause also follows the last datagram, so that the module has
         * had its time before anything else is sent to it. */
        if (!link_pause(l, UPLOAD_PACE_MS))
            return UPLOAD_STOPPED;
        if (n < sizeof chunk)
            return UPLOAD_SENT;
    }
}

/* "AT+FWUPDAT" once (a module already receiving would store a second one
 * as its image), its answer, then the image. */
int switch_and_send(module_link& l, FILE* image, const upload_progress* progress)
{
    static const char fwupdat[] = "AT+FWUPDAT\n";
    link_discard_pending(l);
    link_send(l, fwupdat, sizeof fwupdat - 1);
    char answer[ANSWER_MAX];
    int length = 0, stored = 0;
    switch (link_receive(l, answer, sizeof answer, FWUPDAT_ANSWER_MS, &length, &stored)) {
    case RECEIVED:
        return send_image(l, image, progress);
    case RECEIVE_TIMED_OUT:
        return UPLOAD_NO_FWUPDAT;
    default:
        return UPLOAD_STOPPED;
    }
}

/* The whole upload of an image opened by the caller (nullptr when it
 * could not be), on the window's link lent to module_ip. The image is
 * opened before anything is sent: a module switched to reception stores
 * the next datagram, whatever it is. */
int upload_opened(FILE* opened, const upload_progress* progress)
{
    stdio_file image(opened);
    int check = image_check(image.get());
    if (check != UPLOAD_SENT)
        return check;
    lent_link link;
    int handshake = keyword_handshake(module_aswd, UPLOAD_TRIES, handshake_hooks{});
    if (handshake < 0)
        return UPLOAD_STOPPED;
    if (handshake == 0)
        return UPLOAD_NO_ANSWER;
    return switch_and_send(window_link, image.get(), progress);
}

} // namespace

int down_firmware(const char* file)
{
    stdio_file image(open_data_file(file));
    if (!image) {
        std::puts("Can't open file");
        return UPLOAD_NO_FILE;
    }
    return send_image(window_link, image.get(), nullptr);
}

int upload_image(const char* path, const upload_progress* progress)
{
    return upload_opened(open_regular(path), progress);
}

int upload_linked(module_link& l, const char* path, const upload_progress* progress)
{
    stdio_file image(open_regular(path));
    int check = image_check(image.get());
    if (check != UPLOAD_SENT)
        return check;
    return switch_and_send(l, image.get(), progress);
}

int upload_firmware(const char* file)
{
    int result = upload_opened(open_data_file(file), nullptr);
    if (result == UPLOAD_NO_ANSWER)
        std::puts("Upload: no answer from the module");
    else if (result == UPLOAD_NO_FWUPDAT)
        std::puts("Upload: no answer to AT+FWUPDAT");
    else if (result == UPLOAD_NO_FILE)
        std::puts("Can't open file");
    else if (result == UPLOAD_EMPTY)
        std::puts("Upload: the image is empty");
    return result;
}
