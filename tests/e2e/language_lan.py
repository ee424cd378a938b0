"""language_lan.py - the tool in the user's language. The same steps as a
person takes them (search, open the module at .10, read its settings,
choose another baud rate) in the C locale and then in English: the console
says the same, line for line, in both, since scripts read it; the English
windows carry their English titles and lamp text. Each run keeps its
pictures of the two windows in WORK/<run>/ (script/screenshots takes the
English ones for the README)."""
import os
import shutil

from atspi_util import (application, click, console, find_by_id, open_module, read_settings, run_scenario, search_three,
                        sensitive, start_tool, table_rows, wait_for, window_shot)

RUNS = [
    ("c", {"LC_ALL": "C.UTF-8", "LANGUAGE": ""}, "KX-D40 搜索工具V1.0", "KX-D40设置工具 V2.2", "模块已连接"),
    ("en", {"LC_ALL": "", "LANG": "en_US.UTF-8", "LANGUAGE": ""}, "KX-D40 Search Tool V1.0",
     "KX-D40 Configuration Tool V2.2", "Connected"),
]


def scenario(tool, work, app):
    said = {}
    for name, env, search_title, settings_title, connected in RUNS:
        # Each run in a working directory of its own; one tool on the bus
        # at a time: the last run's must have left it.
        home = os.path.join(work, name)
        os.makedirs(os.path.join(home, "data"))
        shutil.copy(os.path.join(work, "pic"), home)
        os.environ.update(env)
        assert wait_for(lambda: application() is None, 10), "the last run's tool is still on the bus"
        proc = start_tool(tool, home)
        try:
            app = wait_for(application, 30)
            assert app is not None, "the tool did not appear on the accessibility bus"
            clist = search_three(app)
            row = [r[1] for r in table_rows(clist)].index("198.51.100.10")
            # The picture shows the row chosen, as a person sees it before
            # pressing "模块设置" (open_module chooses it again).
            click(clist.queryTable().getAccessibleAt(row, 1))
            assert wait_for(lambda: sensitive(find_by_id(app, "Setting")), 3)
            window_shot(search_title, os.path.join(home, "search_window.png"))
            open_module(app, row, home, connected)
            read_settings(app)
            window_shot(settings_title, os.path.join(home, "settings_window.png"))
            find_by_id(app, "combo_modcom_baud").querySelection().selectChild(12)  # 9600
            assert wait_for(lambda: "AT+UART=9600" in console(home), 3), console(home)
        finally:
            proc.terminate()
            proc.wait()
        said[name] = console(home)
    assert "Read the Module Setting............OK!" in said["c"], said["c"]
    assert said["en"] == said["c"], "the console differs in English:\n%s\n---- in C:\n%s" % (said["en"], said["c"])
    print("the same %d console lines in C and in English" % len(said["c"].splitlines()))


run_scenario(scenario, start=False)
