"""failures_lan.py - what a person sees when a module falls silent during
a read and during a confirm, and an upload compared byte for byte with
what the module stored."""
import os
import signal
import subprocess
import time

from atspi_util import (click, console, find_by_id, move_settings_aside, open_module, read_settings, run_scenario,
                        search_three, sensitive, table_rows, text_of, wait_for)


def modules_silent(silent):
    """Stops or continues the simulator: its modules fall silent at once."""
    os.kill(int(os.environ["SIM_PID"]), signal.SIGSTOP if silent else signal.SIGCONT)


def scenario(tool, work, app):
    clist = search_three(app)
    open_module(app, 0, work)
    read_settings(app)
    read = find_by_id(app, "button_setting_read")

    # Silent during a read: the console says so within the exchange's bound.
    modules_silent(True)
    click(read)
    assert wait_for(lambda: "No answer from the module" in console(work), 5), console(work)[-300:]
    modules_silent(False)

    # Silent during a confirm: the page stays pending, no file is written.
    find_by_id(app, "notebook").querySelection().selectChild(1)
    time.sleep(0.3)
    find_by_id(app, "combo_modcom_baud").querySelection().selectChild(13)  # 19200
    confirm = find_by_id(app, "button_comm_confirm")
    assert wait_for(lambda: sensitive(confirm), 3)
    before = console(work).count("No answer from the module")
    modules_silent(True)
    click(confirm)
    assert wait_for(lambda: console(work).count("No answer from the module") > before, 5)
    modules_silent(False)
    assert sensitive(confirm), "the user can confirm again"
    assert not os.path.exists(os.path.join(work, "cmd_comm_tmp.txt"))
    click(confirm)
    assert wait_for(lambda: not sensitive(confirm), 5), "confirmed once the module answers"
    with open(os.path.join(work, "cmd_comm_tmp.txt")) as f:
        assert f.read() == "AT+UART=19200,8,1,None,NFC\nE"

    # A folder is no image: the upload fails before anything is sent.
    move_settings_aside()
    os.mkdir(os.path.join(work, "data", "images"))
    entry = find_by_id(app, "entry_file")
    click(entry)
    subprocess.run(["xdotool", "type", "--delay", "20", "images"], check=True)
    click(find_by_id(app, "Upload"))
    label = find_by_id(app, "label_up")
    assert wait_for(lambda: text_of(label) == "升级失败", 5), text_of(label)
    assert console(work).rstrip().endswith("Can't open file"), console(work)[-200:]
    with open(os.path.join(work, "sim.log")) as log:
        assert b"FWUPDAT".hex() not in log.read(), "nothing switched the module"

    # An upload from the search window, compared with what the module stored.
    image = bytes((i * 31 + (i >> 9)) & 0xFF for i in range(10000))
    with open(os.path.join(work, "data", "fw.bin"), "wb") as f:
        f.write(image)
    click(entry)
    subprocess.run(["xdotool", "key", "ctrl+a", "BackSpace"], check=True)
    subprocess.run(["xdotool", "type", "--delay", "20", "fw.bin"], check=True)
    click(find_by_id(app, "Upload"))
    assert wait_for(lambda: text_of(label).startswith("升级中..."), 5), text_of(label)
    ip = table_rows(clist)[0][1]
    stored = os.path.join(work, "fw.stored." + ip)
    assert wait_for(lambda: os.path.exists(stored) and os.path.getsize(stored) == len(image), 5)
    with open(stored, "rb") as f:
        assert f.read() == image, "stored byte for byte"
    print("silent read and confirm reported; %d bytes uploaded to %s" % (len(image), ip))


run_scenario(scenario)
