/*
 * wait.cpp - waiting for a datagram inside the GTK main loop.
 *
 * The actions run in their click handlers, as the program has always done;
 * instead of blocking in select they iterate the main loop here, which
 * keeps the windows drawn and lets a close abandon the wait at once.
 */
#include "wait.h"

#include <gtk/gtk.h>

#include "netio.h"

namespace {

int waits_running = 0;
bool closing = false;
unsigned abandon_generation = 0;

struct wait_state {
    bool ready = false;
    bool timed_out = false;
};

gboolean on_readable(GIOChannel*, GIOCondition, gpointer data)
{
    static_cast<wait_state*>(data)->ready = true;
    return FALSE;
}

gboolean on_timeout(gpointer data)
{
    static_cast<wait_state*>(data)->timed_out = true;
    return FALSE;
}

gboolean on_pause_over(gpointer data)
{
    *static_cast<bool*>(data) = true;
    return FALSE;
}

GIOChannel* channel_for(int sock)
{
#ifdef _WIN32
    return g_io_channel_win32_new_socket(sock);
#else
    return g_io_channel_unix_new(sock);
#endif
}

class window_net : public system_net {
public:
    int wait_readable(int sock, int timeout_ms) override
    {
        if (closing)
            return WAIT_ABANDONED;
        wait_state st;
        unsigned generation = abandon_generation;
        GIOChannel* ch = channel_for(sock);
        guint watch = g_io_add_watch(ch, GIOCondition(G_IO_IN | G_IO_ERR | G_IO_HUP), on_readable, &st);
        guint timer = timeout_ms >= 0 ? g_timeout_add(timeout_ms, on_timeout, &st) : 0;
        ++waits_running;
        while (!st.ready && !st.timed_out && generation == abandon_generation && !closing)
            g_main_context_iteration(nullptr, TRUE);
        --waits_running;
        if (!st.ready)
            g_source_remove(watch);
        if (timer != 0 && !st.timed_out)
            g_source_remove(timer);
        g_io_channel_unref(ch);
        if (st.ready)
            return WAIT_READY;
        return st.timed_out ? WAIT_TIMEOUT : WAIT_ABANDONED;
    }

    /* The pause goes through the main loop too, so the windows redraw. */
    void pause_ms(int ms) override
    {
        bool over = false;
        guint timer = g_timeout_add(ms, on_pause_over, &over);
        ++waits_running;
        while (!over && !closing)
            g_main_context_iteration(nullptr, TRUE);
        --waits_running;
        if (!over)
            g_source_remove(timer);
    }
};

window_net window_mediator;

/* Wakes a blocked g_main_context_iteration so that it sees the flags. */
void wake_main_loop() { g_main_context_wakeup(nullptr); }

} // namespace

void install_window_waits() { set_net(&window_mediator); }

bool action_blocked() { return waits_running > 0; }

void abandon_current_wait()
{
    ++abandon_generation;
    wake_main_loop();
}

void abandon_all_waits()
{
    closing = true;
    wake_main_loop();
}
