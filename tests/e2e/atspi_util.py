"""atspi_util.py - starting the tool under AT-SPI, finding its widgets by
the accessible ids the tool gives them, and a person's clicks and typing.

Every wait polls for what a person would see, with bounds generous enough
for a machine busy with other builds (KX_E2E_PATIENCE scales them); a
passing run never waits longer than the tool takes."""
import os
import subprocess
import sys
import time

import pyatspi

PATIENCE = float(os.environ.get("KX_E2E_PATIENCE", "4"))


def wait_for(check, seconds=10.0, step=0.05):
    """check's first true value, or None once seconds (times PATIENCE) are
    over; an exception counts as "not yet"."""
    end = time.time() + seconds * PATIENCE
    while True:
        try:
            value = check()
        except Exception:
            value = None
        if value or time.time() >= end:
            return value or None
        time.sleep(step)


def start_tool(tool, workdir):
    """The console goes to WORKDIR/tool.out, read while the tool runs: each line must be there once written."""
    env = dict({k: v for k, v in os.environ.items() if k != "NO_AT_BRIDGE"}, GTK_MODULES="gail:atk-bridge")
    with open(os.path.join(workdir, "tool.out"), "w") as log:
        return subprocess.Popen([tool], cwd=workdir, env=env, stdout=log, stderr=subprocess.STDOUT)


def application(name="kxd40-tool"):
    return next((a for a in pyatspi.Registry.getDesktop(0) if a is not None and a.name == name), None)


def find_by_id(node, ident):
    if node is None:
        return None
    try:
        if node.accessibleId == ident:
            return node
    except Exception:
        pass
    return next((f for f in (find_by_id(c, ident) for c in node) if f is not None), None)


def xdotool(*args):
    subprocess.run(["xdotool"] + [str(a) for a in args], check=True)


def click(acc):
    ext = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    xdotool("mousemove", ext.x + ext.width // 2, ext.y + ext.height // 2, "click", 1)


def type_into(acc, text, leave=True):
    """Click into the entry, replace its text, leave it with Tab."""
    click(acc)
    xdotool("key", "ctrl+a", "BackSpace")
    xdotool("type", "--delay", 20, text)
    if leave:
        xdotool("key", "Tab")
        time.sleep(0.3)


def show_page(app, n):
    find_by_id(app, "notebook").querySelection().selectChild(n)
    time.sleep(0.3)


def text_of(acc):
    return acc.queryText().getText(0, -1)


def sensitive(acc):
    return acc.getState().contains(pyatspi.STATE_SENSITIVE)


def contents(path, mode="r"):
    """The file's contents, or None while there is no such file."""
    if not os.path.isfile(path):
        return None
    with open(path, mode) as f:
        return f.read()


def console(work):
    return contents(os.path.join(work, "tool.out"))


def sim_log(work):
    """The simulator's log: (module, bytes) of each datagram received."""
    lines = contents(os.path.join(work, "sim.log")).splitlines()
    return [(f[2], bytes.fromhex(f[5]) if f[5] != "-" else b"") for f in (l.split() for l in lines)]


def window_ids(title):
    return subprocess.run(["xdotool", "search", "--name", title], capture_output=True, text=True).stdout.split()


def move_settings_aside():
    """Without a window manager both windows sit at 0,0; a person would
    drag the settings window off the search window."""
    for wid in window_ids("KX-D40设置工具"):
        subprocess.run(["xdotool", "windowmove", wid, "300", "0"], check=False)
    time.sleep(0.3)


def open_module(app, row, work, connected="模块已连接"):
    """Select a row of the list and press "模块设置" (until the tool takes it:
    right after a search it waits out a quiet second, which on a busy
    machine runs late); wait for the link and the lamp's text for it."""
    move_settings_aside()
    links = console(work).count("Accept OK!")
    clist = find_by_id(app, "clist_main")
    click(clist.queryTable().getAccessibleAt(row, 1))
    tries = console(work).count("net_udp_thread: 2")
    for _ in range(15):
        click(find_by_id(app, "Setting"))
        if wait_for(lambda: console(work).count("net_udp_thread: 2") > tries, 2):
            break
    else:
        raise AssertionError("the tool never took the press of 模块设置")
    assert wait_for(lambda: console(work).count("Accept OK!") == links + 1, 8), "no link"
    assert wait_for(lambda: text_of(find_by_id(app, "label_net_conn")) == connected, 3), "no lamp text " + connected
    return table_rows(clist)[row][1]


def read_settings(app):
    click(wait_for(lambda: find_by_id(app, "button_setting_read")))
    assert wait_for(lambda: sensitive(find_by_id(app, "frame_module")), 8), "the pages are usable after the read"


def search_three(app):
    click(wait_for(lambda: find_by_id(app, "Search")))
    clist = find_by_id(app, "clist_main")
    assert wait_for(lambda: len(table_rows(clist)) == 3, 10), table_rows(clist)
    return clist


def table_rows(acc):
    table = acc.queryTable()
    return [[table.getAccessibleAt(r, c).name for c in range(table.nColumns)] for r in range(table.nRows)]


def window_shot(title, path):
    found = window_ids(title)
    assert found, "no window titled %r" % title
    subprocess.run(["import", "-window", found[0], path], check=True)


def run_scenario(scenario, start=True):
    """Runs scenario(tool, work, app) against a freshly started tool (or
    with app None, to start its own) and records the outcome in
    WORK/result for lan.sh (0 passed, 1 failed); a failure leaves the
    screen as it was in WORK/failure.png."""
    tool, work = sys.argv[1], sys.argv[2]
    result, proc = 1, None
    try:
        # The tool's bridge registers once, at start-up: a tool started
        # before the registry answers never shows up on the bus.
        assert wait_for(lambda: pyatspi.Registry.getDesktop(0).childCount >= 0, 60), "no accessibility registry"
        proc = start_tool(tool, work) if start else None
        app = wait_for(application, 30) if start else None
        assert app is not None or not start, "the tool did not appear on the accessibility bus"
        scenario(tool, work, app)
        result = 0
    except BaseException:
        subprocess.run(["import", "-window", "root", os.path.join(work, "failure.png")], check=False)
        raise
    finally:
        if proc is not None:
            proc.terminate()
            proc.wait()
        with open(os.path.join(work, "result"), "w") as f:
            f.write(str(result))
