"""atspi_util.py - starting the tool under AT-SPI and finding its widgets
by the accessible ids the tool gives them.

Every wait polls for what a person would see, with bounds generous enough
for a machine busy with other builds (KX_E2E_PATIENCE scales them); a
passing run never waits longer than the tool takes."""
import os
import subprocess
import time

import pyatspi

PATIENCE = float(os.environ.get("KX_E2E_PATIENCE", "4"))


def wait_for_registry(seconds=60.0):
    """The accessibility registry, started on the session bus and answering.
    The tool's bridge registers with it once, at start-up: a tool started
    before the registry answers never shows up on the bus."""
    def answering():
        try:
            return pyatspi.Registry.getDesktop(0).childCount >= 0
        except Exception:
            return False
    return wait_for(answering, seconds)


def start_tool(tool, workdir):
    env = dict(os.environ, GTK_MODULES="gail:atk-bridge")
    env.pop("NO_AT_BRIDGE", None)
    with open(os.path.join(workdir, "tool.out"), "w") as log:
        return subprocess.Popen([tool], cwd=workdir, env=env, stdout=log, stderr=subprocess.STDOUT)


def wait_for(check, seconds=10.0, step=0.05):
    """check's first true value, or None once seconds (times PATIENCE) are
    over; an exception counts as "not yet"."""
    end = time.time() + seconds * PATIENCE
    while True:
        try:
            value = check()
        except Exception:
            value = None
        if value:
            return value
        if time.time() >= end:
            return None
        time.sleep(step)


def press_setting(app, work):
    """Press "模块设置" until the tool takes it. Right after a search the tool
    still waits out its quiet second and ignores the press (only the busy
    cursor says so); on a busy machine that second runs late."""
    setting = find_by_id(app, "Setting")
    started = console(work).count("net_udp_thread: 2")
    for _ in range(15):
        click(setting)
        if wait_for(lambda: console(work).count("net_udp_thread: 2") > started, 2):
            return
    raise AssertionError("the tool never took the press of 模块设置")


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


def open_module(app, row, work, connected="模块已连接"):
    """Select a row of the list and press "模块设置"; wait for the link and
    the lamp's text for it."""
    move_settings_aside()
    links = console(work).count("Accept OK!")
    clist = find_by_id(app, "clist_main")
    click(clist.queryTable().getAccessibleAt(row, 1))
    press_setting(app, work)
    assert wait_for(lambda: console(work).count("Accept OK!") == links + 1, 8), "no link"
    ip = table_rows(clist)[row][1]
    ident = wait_for(lambda: find_by_id(app, "label_net_conn"), 3)
    assert ident is not None and text_of(ident) == connected, text_of(ident)
    return ip


def read_settings(app):
    click(wait_for(lambda: find_by_id(app, "button_setting_read")))
    frame = find_by_id(app, "frame_module")
    assert wait_for(lambda: sensitive(frame), 8), "the pages are usable after the read"


def search_three(app):
    """Press "搜索" and wait for the three simulated modules. The search
    goes on for a quiet second after them: press_setting waits that out."""
    click(wait_for(lambda: find_by_id(app, "Search")))
    clist = find_by_id(app, "clist_main")
    assert wait_for(lambda: len(table_rows(clist)) == 3, 10), table_rows(clist)
    return clist


def table_rows(acc):
    table = acc.queryTable()
    return [[table.getAccessibleAt(r, c).name for c in range(table.nColumns)]
            for r in range(table.nRows)]


def screenshot(path):
    subprocess.run(["import", "-window", "root", path], check=False)


def window_shot(title, path):
    """A screenshot of one window, found by its title."""
    found = subprocess.run(["xdotool", "search", "--name", title], capture_output=True, text=True)
    assert found.stdout.split(), "no window titled %r" % title
    subprocess.run(["import", "-window", found.stdout.split()[0], path], check=True)


def run_scenario(scenario, start=True):
    """Runs scenario(tool, work, app) against a freshly started tool (or
    with app None, to start its own) and records the outcome in
    WORK/result for lan.sh (0 passed, 1 failed); a failure leaves the
    screen as it was in WORK/failure.png."""
    import sys
    tool, work = sys.argv[1], sys.argv[2]
    result = 1
    proc = None
    try:
        assert wait_for_registry(), "the accessibility registry did not start"
        app = None
        if start:
            proc = start_tool(tool, work)
            app = wait_for(application, 30)
            assert app is not None, "the tool did not appear on the accessibility bus"
        scenario(tool, work, app)
        result = 0
    except BaseException:
        screenshot(os.path.join(work, "failure.png"))
        raise
    finally:
        if proc is not None:
            proc.terminate()
            proc.wait()
        with open(os.path.join(work, "result"), "w") as f:
            f.write(str(result))
