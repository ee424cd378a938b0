/*
 * radio_changed.cpp - the radio handlers: a pressed radio button writes
 * its value into the page's edited record, rebuilds the command and marks
 * the page, even when it was already the active one.
 */
#include "radio_changed.h"

#include <gtk/gtk.h>

#include "command.h"
#include "enums.h"
#include "module.h"
#include "pages.h"
#include "ui_util.h"
#include "window_pages.h"

namespace {

struct radio_rule {
    int page;
    char* field;
    int value;
    const char* cmd;
    const char* item;
    void (*after)();
};

/* Static WAN addresses are typed in; with DHCP the network gives them. */
void wan_entries_follow()
{
    set_sensitive({entry_wan_ip, entry_wan_mask, entry_wan_gateway}, strMODSTA_up.bDHCP != DHCP_ENABLE);
}

void pressed(const radio_rule& r)
{
    if (*settings_page_of(r.page)->shown == 0)
        return;
    *r.field = static_cast<char>(r.value);
    generate_cmd(r.cmd, r.item);
    mark_page(r.page);
    if (r.after != nullptr)
        r.after();
}

const radio_rule ap_mode = {CMDTYPE_MOD, &strMODMana_up.wmode, WIFIMODE_AP, "WMODE", "ap", nullptr};
const radio_rule sta_mode = {CMDTYPE_MOD, &strMODMana_up.wmode, WIFIMODE_STA, "WMODE", "sta", nullptr};
const radio_rule through = {CMDTYPE_MOD, &strMODMana_up.tmode, WORKMODE_TH, "TMODE", "th", nullptr};
const radio_rule agreement = {CMDTYPE_MOD, &strMODMana_up.tmode, WORKMODE_AG, "TMODE", "ag", nullptr};
const radio_rule wan_dhcp = {CMDTYPE_STA, &strMODSTA_up.bDHCP, DHCP_ENABLE, "WANN", "dhcp", wan_entries_follow};
const radio_rule wan_static = {CMDTYPE_STA, &strMODSTA_up.bDHCP, DHCP_DISABLE, "WANN", "dhcp", wan_entries_follow};

} // namespace

void radio_ap_mode_changed() { pressed(ap_mode); }
void radio_sta_mode_changed() { pressed(sta_mode); }
void radio_TH_mode_changed() { pressed(through); }
void radio_AG_mode_changed() { pressed(agreement); }
void radio_sta_dhcp_changed() { pressed(wan_dhcp); }
void radio_sta_static_changed() { pressed(wan_static); }
