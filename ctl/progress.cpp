/*
 * progress.cpp - the upload's progress on stderr: a bar, the bytes sent,
 * the share and the rate, redrawn in place. Only a terminal gets it; a
 * log or a pipe would only fill with carriage returns.
 */
#include <cstdio>
#include <unistd.h>

#include "ctl.h"
#include "netio.h"

namespace kxctl {

progress_bar::progress_bar(const std::string& label)
    : label_(label), tty_(isatty(STDERR_FILENO) == 1), started_ms_(monotonic_ms())
{
}

progress_bar::~progress_bar()
{
    if (drawn_)
        std::fputc('\n', stderr);
}

void progress_bar::hook(long long bytes, long long total, void* self)
{
    static_cast<progress_bar*>(self)->update(bytes, total);
}

void progress_bar::update(long long bytes, long long total)
{
    bytes_ = bytes;
    if (!tty_)
        return;
    const int width = 30;
    double share = total > 0 ? static_cast<double>(bytes) / static_cast<double>(total) : 0.0;
    int filled = static_cast<int>(share * width + 0.5);
    char bar[width + 1];
    for (int i = 0; i < width; ++i)
        bar[i] = i < filled ? '#' : '.';
    bar[width] = '\0';
    long long ms = monotonic_ms() - started_ms_;
    double kib_s = ms > 0 ? static_cast<double>(bytes) / 1024.0 * 1000.0 / static_cast<double>(ms) : 0.0;
    std::fprintf(stderr, "\r%s [%s] %lld/%lld bytes %3.0f%% %.1f KiB/s", label_.c_str(), bar, bytes,
                 total, share * 100.0, kib_s);
    std::fflush(stderr);
    drawn_ = true;
}

} // namespace kxctl
