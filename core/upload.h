/*
 * upload.h - sending a firmware image to the chosen module over UDP,
 * without any window.
 *
 * The module is opened with the keyword handshake (three tries), switched
 * to reception with "AT+FWUPDAT\n", and sent the image in datagrams of
 * 4096 bytes, 10 ms apart; the first shorter (possibly empty) datagram
 * ends it. The module confirms nothing after that.
 */
#ifndef KX_UPLOAD_H
#define KX_UPLOAD_H

enum {
    UPLOAD_TRIES = 3,          /* keywords before giving up */
    UPLOAD_CHUNK = 4096,       /* bytes of one image datagram */
    UPLOAD_PACE_MS = 10,       /* after each image datagram */
    FWUPDAT_ANSWER_MS = 3000   /* longest wait for the answer to AT+FWUPDAT */
};

enum upload_result {
    UPLOAD_SENT,          /* the whole image went out */
    UPLOAD_NO_ANSWER,     /* the module answered no keyword */
    UPLOAD_NO_FWUPDAT,    /* nor "AT+FWUPDAT" */
    UPLOAD_NO_FILE,       /* the image could not be opened */
    UPLOAD_EMPTY,         /* the image is empty: the module would take nothing for its firmware */
    UPLOAD_STOPPED        /* the program is closing */
};

/* Told after each image datagram: the bytes sent so far and the image's
 * size (-1 when it cannot be told). */
struct upload_progress {
    void (*sent)(long long bytes, long long total, void* context);
    void* context;
};

/* The whole upload of data/<file> to module_ip with module_aswd, with its
 * console lines. Nothing is sent when file is no plain file name or
 * data/<file> no regular file (UPLOAD_NO_FILE), nor when it is empty
 * (UPLOAD_EMPTY, "Upload: the image is empty"). The settings window's
 * link is as it was afterwards. */
int upload_firmware(const char* file);

/* The same upload of the image at path (a regular file), saying nothing:
 * the result tells what happened. progress may be nullptr. */
int upload_image(const char* path, const upload_progress* progress);

/* On a link its caller has opened and shaken hands on: "AT+FWUPDAT", its
 * answer, then the image at path (a regular file, opened first, and not
 * empty). */
struct module_link;
int upload_linked(module_link& l, const char* path, const upload_progress* progress);

/* The transfer alone of data/<file>, to addr_r. Returns UPLOAD_SENT, UPLOAD_NO_FILE
 * ("Can't open file" on the console, nothing sent) or UPLOAD_STOPPED. */
int down_firmware(const char* file);

#endif
