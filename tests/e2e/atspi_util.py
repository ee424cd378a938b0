"""atspi_util.py - starting the tool under AT-SPI and finding its widgets
by the accessible ids the tool gives them."""
import os
import subprocess
import time

import pyatspi


def start_tool(tool, workdir):
    env = dict(os.environ, GTK_MODULES="gail:atk-bridge")
    env.pop("NO_AT_BRIDGE", None)
    log = open(os.path.join(workdir, "tool.out"), "w")
    proc = subprocess.Popen([tool], cwd=workdir, env=env, stdout=log, stderr=subprocess.STDOUT)
    return proc


def wait_for(check, seconds=10.0, step=0.05):
    end = time.time() + seconds
    while time.time() < end:
        value = check()
        if value:
            return value
        time.sleep(step)
    return None


def application(name="kxd40-tool"):
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        if app is not None and app.name == name:
            return app
    return None


def find_by_id(node, ident):
    if node is None:
        return None
    try:
        if node.accessibleId == ident:
            return node
    except Exception:
        pass
    for child in node:
        found = find_by_id(child, ident)
        if found is not None:
            return found
    return None


def click(acc):
    """A real pointer click in the middle of the widget."""
    ext = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    subprocess.run(["xdotool", "mousemove", str(ext.x + ext.width // 2),
                    str(ext.y + ext.height // 2), "click", "1"], check=True)


def text_of(acc):
    return acc.queryText().getText(0, -1)


def sensitive(acc):
    return acc.getState().contains(pyatspi.STATE_SENSITIVE)


def console(work):
    """What the tool has printed so far."""
    with open(os.path.join(work, "tool.out")) as out:
        return out.read()


def move_settings_aside():
    """Without a window manager both windows sit at 0,0; a person would
    drag the settings window off the search window."""
    found = subprocess.run(["xdotool", "search", "--name", "KX-D40设置工具"], capture_output=True, text=True)
    for wid in found.stdout.split():
        subprocess.run(["xdotool", "windowmove", wid, "300", "0"], check=False)
    time.sleep(0.3)


def open_module(app, row, work):
    """Select a row of the list and press "模块设置"; wait for the link."""
    move_settings_aside()
    links = console(work).count("Accept OK!")
    clist = find_by_id(app, "clist_main")
    click(clist.queryTable().getAccessibleAt(row, 1))
    click(find_by_id(app, "Setting"))
    assert wait_for(lambda: console(work).count("Accept OK!") == links + 1, 8), "no link"
    ip = table_rows(clist)[row][1]
    ident = wait_for(lambda: find_by_id(app, "label_net_conn"), 3)
    assert ident is not None and text_of(ident) == "模块已连接"
    return ip


def read_settings(app):
    click(wait_for(lambda: find_by_id(app, "button_setting_read")))
    frame = find_by_id(app, "frame_module")
    assert wait_for(lambda: sensitive(frame), 8), "the pages are usable after the read"


def search_three(app):
    """Press "搜索" and wait for the three simulated modules and the end of
    the search (a quiet second after the last answer)."""
    click(wait_for(lambda: find_by_id(app, "Search")))
    clist = find_by_id(app, "clist_main")
    assert wait_for(lambda: len(table_rows(clist)) == 3, 10), table_rows(clist)
    time.sleep(1.2)
    return clist


def table_rows(acc):
    table = acc.queryTable()
    return [[table.getAccessibleAt(r, c).name for c in range(table.nColumns)]
            for r in range(table.nRows)]


def screenshot(path):
    subprocess.run(["import", "-window", "root", path], check=False)


def run_scenario(scenario):
    """Runs scenario(tool, work, app) against a freshly started tool and
    records the outcome in WORK/result for lan.sh (0 passed, 1 failed)."""
    import sys
    tool, work = sys.argv[1], sys.argv[2]
    result = 1
    proc = start_tool(tool, work)
    try:
        app = wait_for(application, 30)
        assert app is not None, "the tool did not appear on the accessibility bus"
        scenario(tool, work, app)
        result = 0
    finally:
        proc.terminate()
        proc.wait()
        with open(os.path.join(work, "result"), "w") as f:
            f.write(str(result))
