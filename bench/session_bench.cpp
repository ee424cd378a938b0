/*
 * session_bench.cpp - a whole session in the real windows against three
 * simulated modules, in a private network of its own (run it under an X
 * server): search, link, read, confirm, replay and upload. It measures how
 * late the main loop gets while each kind of wait runs (a GLib timeout
 * every 5 ms notes its own delays), how soon the search ends after the
 * last answer, and the session's peak memory.
 */
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>

#include "button_clicked.h"
#include "discovery.h"
#include "main.h"
#include "module.h"
#include "setting_file.h"
#include "netns.h"
#include "sim_runner.h"
#include "strutil.h"
#include "wait.h"
#include "window.h"

namespace {

enum { TICK_MS = 5 };

long long last_tick = 0;
long long worst_late = 0;

gboolean tick(gpointer)
{
    long long now = monotonic_ms();
    worst_late = std::max(worst_late, now - last_tick - TICK_MS);
    last_tick = now;
    return TRUE;
}

void pump()
{
    while (gtk_events_pending())
        gtk_main_iteration();
}

/* The search window's socket traffic, passed on to the window's waits;
 * the moment of the last datagram a search took is noted. */
class noting_net : public net_mediator {
public:
    explicit noting_net(net_mediator& inner) : inner_(inner) {}
    long long last_datagram = 0;
    int open_udp(unsigned short port, udp_open_error* err) override { return inner_.open_udp(port, err); }
    void close_udp(int sock) override { inner_.close_udp(sock); }
    int send_to(int sock, const void* data, int n, const sockaddr_in& to) override
    {
        return inner_.send_to(sock, data, n, to);
    }
    int recv_from(int sock, char* buf, int n, int* stored, sockaddr_in* from) override
    {
        int r = inner_.recv_from(sock, buf, n, stored, from);
        if (r >= 0)
            last_datagram = monotonic_ms();
        return r;
    }
    int wait_readable(int sock, int timeout_ms) override
    {
        first_wait();
        return inner_.wait_readable(sock, timeout_ms);
    }
    bool has_datagram(int sock) override { return inner_.has_datagram(sock); }
    bool pause_ms(int ms) override
    {
        first_wait();
        return inner_.pause_ms(ms);
    }
    /* Delays count from an action's first wait on: building the settings
     * window before the handshake is no wait. */
    bool waited = false;
    void first_wait()
    {
        if (waited)
            return;
        waited = true;
        worst_late = 0;
        last_tick = monotonic_ms();
    }
    void interrupt() override { inner_.interrupt(); }
    long long clock_ms() override { return inner_.clock_ms(); }

private:
    net_mediator& inner_;
};

noting_net* noting_mediator = nullptr;

/* Runs one action and prints how late the main loop got meanwhile. */
template <typename ACTION>
bool measured(const char* wait, ACTION action)
{
    pump();
    noting_mediator->waited = false;
    worst_late = 0;
    last_tick = monotonic_ms();
    long long t0 = monotonic_ms();
    action();
    long long took = monotonic_ms() - t0;
    bool ok = worst_late <= 100;
    std::printf("summary: main-loop delay during %-9s %4lld ms  (target <= 100 ms, the wait took %lld ms) %s\n",
                wait, worst_late, took, ok ? "ok" : "FAIL");
    return ok;
}

GtkWidget* by_id(GtkWidget* w, const char* id)
{
    const char* own = atk_object_get_accessible_id(gtk_widget_get_accessible(w));
    if (own != nullptr && std::strcmp(own, id) == 0)
        return w;
    if (!GTK_IS_CONTAINER(w))
        return nullptr;
    GList* kids = gtk_container_get_children(GTK_CONTAINER(w));
    GtkWidget* found = nullptr;
    for (GList* l = kids; l != nullptr && found == nullptr; l = l->next)
        found = by_id(GTK_WIDGET(l->data), id);
    g_list_free(kids);
    return found;
}

void click(GtkWidget* root, const char* id) { gtk_button_clicked(GTK_BUTTON(by_id(root, id))); }

} // namespace

int main(int argc, char** argv)
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::string why;
    if (!enter_private_network(&why)) {
        std::fprintf(stderr, "session_bench: no private network: %s\n", why.c_str());
        return 2;
    }
    temp_file image_store;
    sim_process sim({"--broadcast", "127.0.0.255", "--firmware", image_store.path, "--modules", "3", "--first",
                     "127.0.0.2"});
    if (!gtk_init_check(&argc, &argv) || !sim.ready()) {
        std::fprintf(stderr, "session_bench: no display or no simulator\n");
        return 1;
    }
    mkdir("data", 0755);
    install_window_waits();
    noting_net noting(net());
    noting_mediator = &noting;
    set_net(&noting);
    init_setting_para();
    build_search_window();
    gtk_widget_show_all(search_window);
    GtkTreeModel* addresses = gtk_combo_box_get_model(GTK_COMBO_BOX(combo_ip));
    GtkTreeIter it;
    for (int i = 0; gtk_tree_model_iter_nth_child(addresses, &it, nullptr, i); ++i) {
        gchar* text = nullptr;
        gtk_tree_model_get(addresses, &it, 0, &text, -1);
        if (g_strcmp0(text, "127.0.0.1") == 0)
            gtk_combo_box_set_active(GTK_COMBO_BOX(combo_ip), i);
        g_free(text);
    }
    g_timeout_add(TICK_MS, tick, nullptr);

    bool ok = true;
    long long search_end = 0;
    ok &= measured("search", [&] {
        click(search_window, "Search");
        search_end = monotonic_ms();
    });
    long long after_last = search_end - noting.last_datagram;
    bool search_ok = strmodule_num == 3 && after_last <= 1050;
    std::printf("summary: search ends after the last answer %4lld ms  (target <= 1050 ms, %d modules) %s\n",
                after_last, strmodule_num, search_ok ? "ok" : "FAIL");
    ok &= search_ok;

    gtk_clist_select_row(GTK_CLIST(clist_main), 0, 0);
    ok &= measured("handshake", [] { click(search_window, "Setting"); });
    ok &= measured("read", [] { gtk_button_clicked(GTK_BUTTON(button_setting_read)); });
    gtk_combo_box_set_active(GTK_COMBO_BOX(combo_modcom_baud), BAUDRATE_9600);
    ok &= measured("confirm", [] { gtk_button_clicked(GTK_BUTTON(button_comm_confirm)); });
    gtk_button_clicked(GTK_BUTTON(button_setting_save));
    ok &= measured("replay", [] { gtk_button_clicked(GTK_BUTTON(button_setting_down)); });
    {
        stdio_file f("data/bench.bin", "wb");
        std::string image(256 * 1024, 'i');
        std::fwrite(image.data(), 1, image.size(), f.get());
    }
    gtk_entry_set_text(GTK_ENTRY(entry_file), "bench.bin");
    ok &= measured("upload", [] { click(search_window, "Upload"); });
    std::remove("data/bench.bin");

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    double peak_mb = usage.ru_maxrss / 1024.0;
    bool memory_ok = peak_mb <= 40.0;
    std::printf("summary: peak memory of the session %.1f MB RSS  (target <= 40 MB) %s\n", peak_mb,
                memory_ok ? "ok" : "FAIL");
    ok &= memory_ok;
    return ok ? 0 : 3;
}
