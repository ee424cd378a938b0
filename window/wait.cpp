/*
 * wait.cpp - waiting for a datagram inside the GTK main loop.
 *
 * The actions run in their click handlers, as the program has always done;
 * instead of blocking in select they iterate the main loop here, which
 * keeps the windows drawn and lets a close abandon the wait at once.
 */
#include "wait.h"

#include <algorithm>
#include <vector>

#include "netio.h"

namespace {

int waits_running = 0;
bool closing = false;
unsigned abandon_generation = 0;

bool shown = false;
guint unbusy_idle = 0;
std::vector<GtkWidget*> guarded;

void on_guarded_destroy(GtkWidget* w, gpointer)
{
    guarded.erase(std::remove(guarded.begin(), guarded.end(), w), guarded.end());
}

/* The busy cursor on every window that is drawn, also on one built since
 * the busy state began. */
void show_busy_cursor(bool on)
{
    GdkCursor* watch = on ? gdk_cursor_new(GDK_WATCH) : nullptr;
    GList* all = gtk_window_list_toplevels();
    for (GList* l = all; l != nullptr; l = l->next) {
        GdkWindow* w = gtk_widget_get_window(GTK_WIDGET(l->data));
        if (w != nullptr)
            gdk_window_set_cursor(w, watch);
    }
    g_list_free(all);
    if (watch != nullptr)
        gdk_cursor_unref(watch);
}

void show_busy(bool on)
{
    shown = on;
    show_busy_cursor(on);
    for (GtkWidget* w : guarded)
        gtk_widget_set_sensitive(w, on ? FALSE : TRUE);
}

gboolean end_busy_when_idle(gpointer)
{
    unbusy_idle = 0;
    if (waits_running == 0)
        show_busy(false);
    return FALSE;
}

/* Counts a wait for the time it runs and keeps the busy state up. */
class wait_scope {
public:
    /* Every first wait shows the busy state whole, so that a window
     * built since the last one gets the cursor too. */
    wait_scope()
    {
        if (waits_running++ == 0)
            show_busy(true);
    }
    ~wait_scope()
    {
        if (--waits_running == 0 && unbusy_idle == 0)
            unbusy_idle = g_idle_add(end_busy_when_idle, nullptr);
    }
    wait_scope(const wait_scope&) = delete;
    wait_scope& operator=(const wait_scope&) = delete;
};

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
        {
            wait_scope scope;
            while (!st.ready && !st.timed_out && generation == abandon_generation && !closing)
                g_main_context_iteration(nullptr, TRUE);
        }
        if (!st.ready)
            g_source_remove(watch);
        if (timer != 0 && !st.timed_out)
            g_source_remove(timer);
        g_io_channel_unref(ch);
        if (st.ready)
            return WAIT_READY;
        return st.timed_out ? WAIT_TIMEOUT : WAIT_ABANDONED;
    }

    /* The pause goes through the main loop too, so the windows redraw and a
     * close ends it. */
    bool pause_ms(int ms) override
    {
        bool over = false;
        unsigned generation = abandon_generation;
        guint timer = g_timeout_add(ms, on_pause_over, &over);
        {
            wait_scope scope;
            while (!over && generation == abandon_generation && !closing)
                g_main_context_iteration(nullptr, TRUE);
        }
        if (!over)
            g_source_remove(timer);
        return over;
    }

    void interrupt() override
    {
        ++abandon_generation;
        g_main_context_wakeup(nullptr);
    }
};

window_net window_mediator;

} // namespace

void install_window_waits()
{
    /* A close belongs to the windows it closed: windows built afresh wait
     * again (the program builds them once; a test, once per case). */
    closing = false;
    set_net(&window_mediator);
}

bool action_blocked() { return waits_running > 0; }

bool busy_shown() { return shown; }

void insensitive_while_busy(GtkWidget* w)
{
    guarded.push_back(w);
    g_signal_connect(w, "destroy", G_CALLBACK(on_guarded_destroy), nullptr);
    gtk_widget_set_sensitive(w, shown ? FALSE : TRUE);
}

void abandon_all_waits()
{
    closing = true;
    g_main_context_wakeup(nullptr);
}
