/*
 * edit_page.h - a settings window whose four pages show a module's
 * settings as a read leaves them, ready to be edited as a user edits.
 */
#ifndef KX_TESTS_EDIT_PAGE_H
#define KX_TESTS_EDIT_PAGE_H

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "command.h"
#include "rendered_rows.h"
#include "gui_env.h"
#include "module.h"
#include "pages.h"
#include "strutil.h"
#include "widget_input.h"
#include "window.h"

struct EditedPages : testing::Test {
    void SetUp() override
    {
        init_window();
        set_read_records();
        for (const settings_page& p : settings_pages) {
            p.revert();
            p.refresh();
            *p.dirty = 0;
        }
        cmd_num_mod = cmd_num_comm = cmd_num_ap = cmd_num_sta = 0;
        gtk_widget_set_sensitive(frame_module, TRUE);
        pump_events();
    }
    void TearDown() override
    {
        if (window != nullptr)
            gtk_widget_destroy(window);
        pump_events();
    }
    /* What a module's defaults read as. */
    static void set_read_records()
    {
        const unsigned char lan[4] = {10, 10, 100, 254}, mask[4] = {255, 255, 255, 0};
        strMODMana = {};
        copy_text(strMODMana.user, "admin");
        copy_text(strMODMana.pswd, "admin");
        strMODComm = {};
        strMODComm.baud = BAUDRATE_115200;
        strMODComm.data_bits = COMBITS_8;
        strMODComm.fc = COMFC_DIS;
        strMODComm.AFT = 200;
        strMODComm.AFL = 1024;
        strMODComm.port = 8899;
        strMODComm.bip = 1;
        const unsigned char server[4] = {10, 10, 100, 100};
        std::memcpy(strMODComm.ipadd, server, 4);
        strMODComm.maxsk = 32;
        strMODComm.TCPto = 300;
        strMODAP = {};
        strMODAP.mode = APSTD_11BGN;
        copy_text(strMODAP.SSID, "KXD40_0002");
        std::memcpy(strMODAP.ipadd, lan, 4);
        std::memcpy(strMODAP.ipmask, mask, 4);
        std::memcpy(strMODAP.dhcpgw, lan, 4);
        strMODSTA = {};
        copy_text(strMODSTA.SSID, "KX-AP");
        strMODSTA.enc_auth = WIFIAUTH_WPA2PSK;
        strMODSTA.enc_encry = ENC_AES;
        copy_text(strMODSTA.password, "12345678");
        for (const settings_page& p : settings_pages)
            *p.inited = 1;
    }
    static std::vector<std::string> rows(int type) { return rendered_rows(type); }
    /* Runs an edit; returns what it printed. */
    template <typename EDIT>
    static std::string console_of(EDIT edit)
    {
        testing::internal::CaptureStdout();
        edit();
        return testing::internal::GetCapturedStdout();
    }
    static std::string text(GtkWidget* entry) { return gtk_entry_get_text(GTK_ENTRY(entry)); }
    static bool sensitive(GtkWidget* w) { return gtk_widget_get_sensitive(w) != 0; }
    static bool visible(GtkWidget* w) { return gtk_widget_get_visible(w) != 0; }
};

#endif
