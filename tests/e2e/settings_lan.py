"""settings_lan.py - a person's way to a module's settings: search, pick
the first module in the list, press "模块设置", wait for "模块已连接", press
"读取设置" and find the module's values on the pages."""
import os

import pyatspi

from atspi_util import (click, find_by_id, press_setting, run_scenario, screenshot, sensitive, table_rows,
                        text_of, wait_for)






def scenario(tool, work, app):
    click(wait_for(lambda: find_by_id(app, "Search")))
    clist = find_by_id(app, "clist_main")
    assert wait_for(lambda: len(table_rows(clist)) == 3, 10), table_rows(clist)

    first_ip = clist.queryTable().getAccessibleAt(0, 1)
    click(first_ip)
    setting = find_by_id(app, "Setting")
    assert wait_for(lambda: sensitive(setting), 5), "selecting a row enables the operations"
    chosen = table_rows(clist)[0][1]
    press_setting(app, work)

    conn = wait_for(lambda: find_by_id(app, "label_net_conn"), 5)
    assert conn is not None, "the settings window opened"
    assert wait_for(lambda: text_of(conn) == "模块已连接", 5), text_of(conn)
    read = find_by_id(app, "button_setting_read")
    assert wait_for(lambda: sensitive(read), 5), "reading is enabled once connected"
    frame = find_by_id(app, "frame_module")
    assert not sensitive(frame)
    click(read)
    assert wait_for(lambda: sensitive(frame), 5), "the pages are usable after the read"

    user = find_by_id(app, "entry_mod_usr")
    mid = find_by_id(app, "entry_mod_mid")
    assert text_of(user) == "admin", text_of(user)
    assert text_of(mid).startswith("KXD40-"), text_of(mid)
    screenshot(os.path.join(work, "settings.png"))

    notebook = find_by_id(app, "notebook")
    notebook.querySelection().selectChild(1)
    port = find_by_id(app, "entry_modnet_port")
    baud = find_by_id(app, "combo_modcom_baud")
    assert text_of(port) == "8899", text_of(port)
    assert baud.name == "115200", baud.name
    assert wait_for(lambda: port.getState().contains(pyatspi.STATE_SHOWING), 5), "the page is in front"
    screenshot(os.path.join(work, "settings_comm.png"))

    with open(os.path.join(work, "tool.out")) as out:
        console = out.read()
    assert "Accept OK!" in console, console
    assert "Read the Module Setting............OK!" in console, console
    with open(os.path.join(work, "sim.log")) as log:
        to_chosen = [l.split()[5] for l in log if l.split()[2] == chosen]
    queries = [bytes.fromhex(h).decode() for h in to_chosen[2:]]
    assert len(queries) == 19 and all(q.startswith("AT+") and q.endswith("\n") for q in queries), queries
    print("read %d queries from %s" % (len(queries), chosen))


run_scenario(scenario)
