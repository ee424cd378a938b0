/*
 * uthread.cpp - the search behind the "搜索" button.
 *
 * The passes themselves live in discovery.cpp; this file gives them the
 * socket, the destination from the address list, and the list redraw.
 */
#include "uthread.h"

#include <cstdio>
#include <cstring>
#include <gtk/gtk.h>

#include "discovery.h"
#include "main.h"
#include "module.h"
#include "ui_util.h"

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
    u_socket = udpsocket = init_udp_socket();
    if (u_socket == 0)
        std::puts("u_soket create failed");
    else if (!init_addr_b(&addr_b))
        std::puts("No local address to search from");
    else
        search_passes(u_socket, addr_b, aswd, keyword_len, put_in_list);
    show_list_data(clist_main);
}
