"""failures_lan.py - what a person sees when a module falls silent during
a read and during a confirm, and an upload compared byte for byte with
what the module stored."""
import os
import signal

from atspi_util import (click, console, contents, find_by_id, move_settings_aside, open_module, read_settings,
                        run_scenario, search_three, sensitive, show_page, sim_log, table_rows, text_of, type_into,
                        wait_for)


def click_while_silent(work, button):
    """A click with every module silent: the console says so within the exchange's bound."""
    before = console(work).count("No answer from the module")
    os.kill(int(os.environ["SIM_PID"]), signal.SIGSTOP)
    click(button)
    assert wait_for(lambda: console(work).count("No answer from the module") > before, 5), console(work)[-300:]
    os.kill(int(os.environ["SIM_PID"]), signal.SIGCONT)


def scenario(tool, work, app):
    clist = search_three(app)
    open_module(app, 0, work)
    read_settings(app)
    click_while_silent(work, find_by_id(app, "button_setting_read"))  # silent during a read

    # Silent during a confirm: the page stays pending, no file is written.
    show_page(app, 1)
    find_by_id(app, "combo_modcom_baud").querySelection().selectChild(13)  # 19200
    confirm = find_by_id(app, "button_comm_confirm")
    assert wait_for(lambda: sensitive(confirm), 3)
    click_while_silent(work, confirm)
    assert sensitive(confirm), "the user can confirm again"
    assert not os.path.exists(os.path.join(work, "cmd_comm_tmp.txt"))
    click(confirm)
    assert wait_for(lambda: not sensitive(confirm), 5), "confirmed once the module answers"
    assert contents(os.path.join(work, "cmd_comm_tmp.txt")) == "AT+UART=19200,8,1,None,NFC\nE"

    # A folder is no image: the upload fails before anything is sent.
    move_settings_aside()
    os.mkdir(os.path.join(work, "data", "images"))
    entry = find_by_id(app, "entry_file")
    type_into(entry, "images", leave=False)
    click(find_by_id(app, "Upload"))
    label = find_by_id(app, "label_up")
    assert wait_for(lambda: text_of(label) == "升级失败", 5), text_of(label)
    assert console(work).rstrip().endswith("Can't open file"), console(work)[-200:]
    assert not any(b"FWUPDAT" in b for _, b in sim_log(work)), "nothing switched the module"

    # An upload from the search window, compared with what the module stored.
    image = bytes((i * 31 + (i >> 9)) & 0xFF for i in range(10000))
    with open(os.path.join(work, "data", "fw.bin"), "wb") as f:
        f.write(image)
    type_into(entry, "fw.bin", leave=False)
    click(find_by_id(app, "Upload"))
    assert wait_for(lambda: text_of(label).startswith("升级中..."), 5), text_of(label)
    ip = table_rows(clist)[0][1]
    stored = os.path.join(work, "fw.stored." + ip)
    assert wait_for(lambda: contents(stored, "rb") == image, 5), "stored byte for byte"
    print("silent read and confirm reported; %d bytes uploaded to %s" % (len(image), ip))


run_scenario(scenario)
