"""road_lan.py - the whole road of a change, as a person takes it: search
from the preselected LAN address and find the three modules listed, open
the first, read it, edit one field on each page, confirm the communication
page (first while the module is silent, as during a read), see the module
take the new baud rate, save the commands, open the
second module, replay the command file into it and see it take the baud
rate too; cancel an edit and see nothing sent; switch the automatic replay
on and see the third module get the file right after its link; reset it to
its factory settings and restart it; upload a folder (refused before
anything is sent) and an image, compared byte for byte with what the
module stored."""
import os
import signal

from atspi_util import (click, console, contents, find_by_id, move_settings_aside, open_module, read_settings,
                        run_scenario, search_three, sensitive, show_page, sim_log, table_rows, text_of, type_into,
                        wait_for, window_shot)


def baud(app):
    show_page(app, 1)
    return find_by_id(app, "combo_modcom_baud").name


def click_while_silent(work, button):
    """A click with every module silent: the console says so within the exchange's bound."""
    before = console(work).count("No answer from the module")
    os.kill(int(os.environ["SIM_PID"]), signal.SIGSTOP)
    click(button)
    assert wait_for(lambda: console(work).count("No answer from the module") > before, 5), console(work)[-300:]
    os.kill(int(os.environ["SIM_PID"]), signal.SIGCONT)


def scenario(tool, work, app):
    assert find_by_id(app, "combo_ip").name == "198.51.100.1", "the PC's LAN address is preselected"
    clist = search_three(app)
    rows = sorted((r[0], r[1], r[2][:6]) for r in table_rows(clist))  # the IDs, never the MACs
    assert rows == [("", "198.51.100.%d" % a, "KXD40-") for a in (10, 11, 12)], rows
    click(clist.queryTable().getAccessibleAt(0, 1))
    assert wait_for(lambda: sensitive(find_by_id(app, "Setting")), 3), "selecting a row enables the operations"
    window_shot("KX-D40 搜索工具V1.0", os.path.join(work, "search_window.png"))
    first = open_module(app, 0, work)
    assert [m for m, _ in sim_log(work)].count("bcast") == 1, "one keyword broadcast found all three"
    assert not sensitive(find_by_id(app, "frame_module")), "the pages wait for a read"
    read_settings(app)
    window_shot("KX-D40设置工具", os.path.join(work, "settings_window.png"))
    assert "Read the Module Setting............OK!" in console(work)
    queries = [b for m, b in sim_log(work) if m == first][2:]
    assert len(queries) == 19 and all(q.startswith(b"AT+") and q.endswith(b"\n") for q in queries), queries
    # The read shows the module's values on all four pages: (page, widget, value or its start).
    for page, ident, value in [(0, "entry_mod_usr", "admin"), (0, "entry_mod_mid", "KXD40-"),
                               (1, "combo_modcom_baud", "115200"), (1, "entry_modnet_port", "8899"),
                               (2, "entry_ap_ssid", "KXD40_"), (3, "entry_sta_ssid", "KX-AP"),
                               (3, "entry_sta_key", "12345678")]:
        show_page(app, page)
        acc = find_by_id(app, ident)
        shown = acc.name if ident.startswith("combo") else text_of(acc)
        assert shown == value or (value.endswith(("-", "_")) and shown.startswith(value)), (ident, shown)
    click_while_silent(work, find_by_id(app, "button_setting_read"))
    show_page(app, 0)

    # One field on each page.
    type_into(find_by_id(app, "entry_mod_usr"), "engineer")
    show_page(app, 1)
    find_by_id(app, "combo_modcom_baud").querySelection().selectChild(12)  # 9600
    confirm = find_by_id(app, "button_comm_confirm")
    assert wait_for(lambda: sensitive(confirm), 3), "the change makes confirm usable"
    show_page(app, 2)
    type_into(find_by_id(app, "entry_ap_ssid"), "workshop")
    show_page(app, 3)
    click(find_by_id(app, "radio_wan_static"))
    assert wait_for(lambda: sensitive(find_by_id(app, "entry_wan_ip")), 3), "static addresses are typed in"
    listing = lambda: console(work).rsplit("------------Commands----------------\n", 1)[-1]  # noqa: E731
    for row in ("AT+WEBU=engineer,admin", "AT+UART=9600,8,1,None,NFC", "AT+WAP=11BGN,workshop,",
                "AT+WANN=Static,"):
        assert wait_for(lambda: row in listing(), 3), (row, listing())

    show_page(app, 1)
    click_while_silent(work, confirm)
    confirmed = os.path.join(work, "cmd_comm_tmp.txt")
    assert sensitive(confirm) and not os.path.exists(confirmed), "still pending, no file, after the silence"
    click(confirm)
    assert wait_for(lambda: not sensitive(confirm), 5), "confirm is done with"
    assert contents(confirmed) == "AT+UART=9600,8,1,None,NFC\nE", contents(confirmed)
    save = find_by_id(app, "button_setting_save")
    assert sensitive(save), "there is something to save"
    read_settings(app)
    assert baud(app) == "9600", "the module took the baud rate"
    # The read shows the module's values: the edits made before it are dropped.
    show_page(app, 2)
    assert text_of(find_by_id(app, "entry_ap_ssid")).startswith("KXD40_"), "the module's SSID again"
    assert not sensitive(find_by_id(app, "button_ap_confirm")), "nothing is pending after a read"

    click(save)
    saved = os.path.join(work, "data", "set_file.txt")
    assert wait_for(lambda: contents(saved) == "AT+UART=9600,8,1,None,NFC\nE\n", 3), contents(saved)

    before, sent_before = len(console(work)), len(sim_log(work))
    second = open_module(app, 1, work)
    assert second != first
    click(find_by_id(app, "button_setting_down"))
    assert wait_for(lambda: console(work).count("-----------------Finished-----------------") >= 2, 5)
    read_settings(app)
    assert baud(app) == "9600", "the second module took it too"
    out = console(work)[before:]
    assert "Command refused" not in out and "No answer" not in out, out
    assert "AT+WEBU=engineer" not in out, "module 1's pending edits stayed with its window"
    took = [m for m, b in sim_log(work)[sent_before:] if b.startswith(b"AT+UART=")]
    assert took == [second], took

    # An edit cancelled sends nothing and shows the module's value again.
    show_page(app, 2)
    ssid = find_by_id(app, "entry_ap_ssid")
    read_ssid = text_of(ssid)
    type_into(ssid, "never-sent")
    click(find_by_id(app, "ap_cancel_button"))
    assert wait_for(lambda: text_of(ssid) == read_ssid, 3), text_of(ssid)
    assert not sensitive(find_by_id(app, "button_ap_confirm"))
    assert not any(b.startswith(b"AT+WAP=") for _, b in sim_log(work)), "nothing was sent"

    # Automatic replay: the third module gets the file right after its link.
    click(find_by_id(app, "check_setting_auto"))
    assert wait_for(lambda: contents(os.path.join(work, "set_para.txt")) == "1 set_file.txt", 3)
    third = open_module(app, 2, work)
    after_link = [b for m, b in sim_log(work) if m == third][-2:]
    assert after_link == [b"+ok", b"AT+UART=9600,8,1,None,NFC\n"], after_link
    assert not sensitive(find_by_id(app, "button_setting_read")), "automatic replay keeps reading off"
    click(find_by_id(app, "check_setting_auto"))
    read_settings(app)

    # Factory reset, then restart: each ends the link.
    show_page(app, 0)
    click(find_by_id(app, "reload_button"))
    conn = find_by_id(app, "label_net_conn")
    assert wait_for(lambda: text_of(conn) == "正在等待连接.", 5), text_of(conn)
    assert not sensitive(find_by_id(app, "frame_module"))
    open_module(app, 2, work)
    read_settings(app)
    assert baud(app) == "115200", "factory settings again"
    show_page(app, 0)
    click(find_by_id(app, "restart_button"))
    assert wait_for(lambda: sim_log(work)[-1] == (third, b"AT+Z\n"), 3), sim_log(work)[-1]
    assert wait_for(lambda: text_of(find_by_id(app, "label_net_conn")) == "正在等待连接.", 3)

    # A folder is no image: the upload fails before anything is sent.
    open_module(app, 2, work)
    move_settings_aside()
    os.mkdir(os.path.join(work, "data", "images"))
    entry = find_by_id(app, "entry_file")
    type_into(entry, "images", leave=False)
    click(find_by_id(app, "Upload"))
    label = find_by_id(app, "label_up")
    assert wait_for(lambda: text_of(label) == "升级失败", 5), text_of(label)
    assert console(work).rstrip().endswith("Can't open file"), console(work)[-200:]
    assert not any(b"FWUPDAT" in b for _, b in sim_log(work)), "nothing switched the module"
    image = bytes((i * 31 + (i >> 9)) & 0xFF for i in range(10000))
    with open(os.path.join(work, "data", "fw.bin"), "wb") as f:
        f.write(image)
    type_into(entry, "fw.bin", leave=False)
    click(find_by_id(app, "Upload"))
    assert wait_for(lambda: text_of(label).startswith("升级中..."), 5), text_of(label)
    assert wait_for(lambda: contents(os.path.join(work, "fw.stored." + third), "rb") == image, 5), "stored whole"
    print("baud 9600 confirmed on %s, replayed into %s and, automatically, %s" % (first, second, third))


run_scenario(scenario)
