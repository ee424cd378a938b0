/*
 * uthread.cpp - the search behind "搜索" and the handshake behind
 * "模块设置", as the windows run them.
 *
 * The search passes live in discovery.cpp and the link primitives in
 * link.cpp; this file gives them the socket, the destination from the
 * address list, the list redraw and the connection texts and lamp.
 */
#include "uthread.h"

#include <cstdio>
#include <cstring>
#include <gtk/gtk.h>
#include <string>

#include "discovery.h"
#include "link.h"
#include "module.h"
#include "net_module.h"
#include "port_claim.h"
#include "search_list.h"
#include "ui_util.h"
#include "window_frame.h"

void put_in_list(const char* text, int length)
{
    if (add_module_answer(text, length))
        show_list_data(clist_main);
}

int init_addr_b(sockaddr_in* addr)
{
    if (combo_ip == nullptr)
        return 0;
    gchar_ptr local(gtk_combo_box_text_get_active_text(GTK_COMBO_BOX_TEXT(combo_ip)));
    return broadcast_address(local.get(), addr);
}

void u_thread()
{
    strmodule_num = 0;
    get_aswd(aswd);
    int keyword_len = static_cast<int>(std::strlen(aswd));
    if (u_socket != 0) {
        net().close_udp(u_socket);
        u_socket = udpsocket = 0;
    }
    /* Another of our programs on this machine would take the modules'
     * replies: nothing is sent while one holds the port. */
    std::string holder;
    if (!hold_program_port(&holder)) {
        std::printf("Port %d is %s\n", KX_PORT, held_by_text(holder).c_str());
        show_list_data(clist_main);
        return;
    }
    u_socket = udpsocket = init_udp_socket();
    if (u_socket == 0)
        std::puts("u_soket create failed");
    else if (!init_addr_b(&addr_b))
        std::puts("No local address to search from");
    else
        search_passes(u_socket, addr_b, aswd, keyword_len, put_in_list);
    show_list_data(clist_main);
}

namespace {

bool handshaking = false;

/* Marks the handshake for the time it runs, however it ends. */
struct handshake_scope {
    handshake_scope() { handshaking = true; }
    ~handshake_scope() { handshaking = false; }
};

} // namespace

bool link_handshaking() { return handshaking; }

namespace {

int waiting_text = 0;

void keyword_sent() { std::puts("net_udp_thread: 2"); }

/* The waiting texts cycle 0, 1, ... 5, 0 with each silent second. */
void second_without_answer()
{
    set_conn_text(waiting_text);
    waiting_text = waiting_text == 5 ? 0 : waiting_text + 1;
}

void module_answered(const char* text) { std::printf("net_udp_thread: recv= %s\n", text); }

} // namespace

void net_udp_thread()
{
    handshake_scope scope;
    udp_add_r();
    waiting_text = 0;
    std::puts("net_udp_thread: 1");
    const handshake_hooks hooks = {keyword_sent, second_without_answer, module_answered};
    if (keyword_handshake(module_aswd, 0, hooks) != 1)
        return;
    std::puts("Accept OK!");
    set_lamp(GREEN);
    set_conn_text(6);
    net_module_connected();
}
