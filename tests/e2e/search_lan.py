"""search_lan.py - a person's search: the tool starts with the PC's LAN
address preselected, "搜索" is clicked with the pointer, and the list shows
the three simulated modules (an empty cell, the IP, the ID)."""
import os
import time

from atspi_util import click, find_by_id, run_scenario, screenshot, table_rows, wait_for


def scenario(tool, work, app):
    search = wait_for(lambda: find_by_id(app, "Search"))
    combo = find_by_id(app, "combo_ip")
    assert combo.name == "198.51.100.1", "preselected address: %r" % combo.name

    click(search)
    clist = find_by_id(app, "clist_main")
    rows = wait_for(lambda: len(table_rows(clist)) == 3 and table_rows(clist), 10)
    assert rows, "three modules listed: %r" % table_rows(clist)
    time.sleep(1.5)  # the search ends a quiet second after the last answer
    rows = table_rows(clist)
    assert len(rows) == 3, rows
    assert [r[0] for r in rows] == ["", "", ""], rows
    assert sorted(r[1] for r in rows) == ["198.51.100.10", "198.51.100.11", "198.51.100.12"], rows
    assert all(r[2].startswith("KXD40-") for r in rows), "the IDs, never the MACs: %r" % rows
    screenshot(os.path.join(work, "search.png"))
    with open(os.path.join(work, "sim.log")) as log:
        keywords = [l for l in log if l.split()[2] == "bcast"]
    assert len(keywords) == 1, "one keyword broadcast: %r" % keywords
    print("listed:", rows)


run_scenario(scenario)
