#!/usr/bin/python3
"""scrape_test.py - kxd40ctl's metrics file as Prometheus gets it.

In a private network of its own: the simulator, kxd40ctl diff
--prometheus writing the file where the Debian timer writes it (the
textfile collector's directory holds a link to it), the node exporter with
the textfile collector alone, and Prometheus scraping it every second.
Each file kxd40ctl writes passes promtool check metrics; the values show in
Prometheus's HTTP API: every module up with its identity, a changed setting
as drift, a module gone silent down after the next run.

usage: scrape_test.py KXD40CTL KXD40_SIM
Exit 0: all seen; 77: no prometheus here or no private network; else 1.
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
import urllib.parse
import urllib.request

BOUND_S = 30  # a generous bound on each poll; the polls end as soon as the values show


def skip(why):
    print("scrape_test: skipped:", why)
    sys.exit(77)


def into_private_network():
    """Re-runs this script inside a network namespace of its own."""
    if os.environ.get("KXD40_SCRAPE_NETNS") == "1":
        subprocess.run(["ip", "link", "set", "lo", "up"], check=True)
        return
    unshare = ["unshare", "-n"] if os.geteuid() == 0 else ["unshare", "-rn"]
    if subprocess.run(unshare + ["true"], stderr=subprocess.DEVNULL).returncode != 0:
        skip("no private network can be had")
    env = dict(os.environ, KXD40_SCRAPE_NETNS="1")
    sys.exit(subprocess.run(unshare + [sys.executable] + sys.argv, env=env).returncode)


class Scene:
    def __init__(self, ctl, sim, tmp):
        self.ctl, self.sim, self.tmp = ctl, sim, tmp
        self.children = []  # what this test started, ended by PID
        self.textfiles = os.path.join(tmp, "node-exporter")
        self.state = os.path.join(tmp, "state")
        self.metrics = os.path.join(self.state, "kxd40.prom")
        self.desired = os.path.join(tmp, "desired.txt")
        os.makedirs(self.textfiles)
        os.makedirs(self.state)
        os.symlink(self.metrics, os.path.join(self.textfiles, "kxd40.prom"))
        with open(self.desired, "w") as f:
            f.write("AT+WSSSID=Lab\n")

    def start(self, args, log):
        out = open(os.path.join(self.tmp, log), "w")
        p = subprocess.Popen(args, stdout=out, stderr=subprocess.STDOUT)
        self.children.append(p)
        return p

    def stop(self, p):
        p.terminate()
        p.wait(timeout=BOUND_S)
        self.children.remove(p)

    def servers(self):
        self.start(["prometheus-node-exporter", "--web.listen-address=127.0.0.1:9100",
                    "--collector.disable-defaults", "--collector.textfile",
                    "--collector.textfile.directory=" + self.textfiles], "exporter.log")
        config = os.path.join(self.tmp, "prometheus.yml")
        with open(config, "w") as f:
            f.write("global:\n  scrape_interval: 1s\n  evaluation_interval: 1s\n"
                    "scrape_configs:\n  - job_name: kxd40\n    static_configs:\n"
                    "      - targets: ['127.0.0.1:9100']\n")
        self.start(["prometheus", "--config.file=" + config,
                    "--storage.tsdb.path=" + os.path.join(self.tmp, "data"),
                    "--web.listen-address=127.0.0.1:9090"], "prometheus.log")

    def simulator(self, args):
        """The simulator, once it says its modules listen."""
        p = subprocess.Popen([self.sim, "--broadcast", "127.255.255.255"] + args, stdout=subprocess.PIPE, text=True)
        self.children.append(p)
        if p.stdout.readline() != "kxd40-sim: ready\n":
            raise AssertionError("the simulator did not start")
        return p

    def ctl_run(self, args):
        r = subprocess.run([self.ctl] + args, capture_output=True, text=True)
        return r.returncode

    def diff(self, targets):
        status = self.ctl_run(["diff", "-q", "--tries", "2", "--timeout", "200", "--prometheus", self.metrics,
                               self.desired] + targets)
        if status not in (0, 1, 2):
            raise AssertionError("kxd40ctl diff ended with %d" % status)
        check = subprocess.run(["promtool", "check", "metrics"], stdin=open(self.metrics), capture_output=True,
                               text=True)
        if check.returncode != 0:
            raise AssertionError("promtool check metrics: " + check.stdout + check.stderr)
        return status


def query(expr):
    """The instant vector of expr as {labels-without-job-and-instance: value}."""
    url = "http://127.0.0.1:9090/api/v1/query?" + urllib.parse.urlencode({"query": expr})
    with urllib.request.urlopen(url, timeout=5) as r:
        body = json.load(r)
    out = {}
    for s in body["data"]["result"]:
        labels = tuple(sorted((k, v) for k, v in s["metric"].items() if k not in ("__name__", "job", "instance")))
        out[labels] = s["value"][1]
    return out, body


def until(expr, want):
    """Polls expr until it is want; the last answer when the bound passes."""
    end = time.monotonic() + BOUND_S
    got, body = {}, None
    while time.monotonic() < end:
        try:
            got, body = query(expr)
        except OSError:
            got = {}
        if got == want:
            return got, body
        time.sleep(0.2)
    raise AssertionError("%s: want %s, got %s" % (expr, want, got))


def labels(**kv):
    return tuple(sorted(kv.items()))


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: scrape_test.py KXD40CTL KXD40_SIM")
    for tool in ("prometheus", "prometheus-node-exporter", "promtool"):
        if shutil.which(tool) is None:
            skip(tool + " is not installed (script/bootstrap installs it)")
    into_private_network()
    began = time.monotonic()
    tmp = tempfile.mkdtemp(prefix="kxd40-scrape-")
    scene = Scene(os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]), tmp)
    failed = False
    try:
        scene.servers()
        up = "kxd40_up"
        modules = ["127.0.0.2", "127.0.0.3"]
        third = ["--module", '127.0.0.3,ACCF23000003,KX"3\\']  # a label value to escape
        ids = {"127.0.0.2": "KXD40-0002", "127.0.0.3": 'KX"3\\'}
        sim = scene.simulator(["--module", "127.0.0.2"] + third)
        assert scene.ctl_run(["send", "-q", "127.0.0.2", "127.0.0.3", "AT+WSSSID=Lab"]) == 0
        assert scene.diff(modules) == 0
        until(up, {labels(ip=m): "1" for m in modules})
        until("kxd40_info", {labels(ip=m, mac="ACCF2300000" + m[-1], id=ids[m], version="V1.0.8"): "1"
                             for m in modules})
        until("kxd40_run_success", {(): "1"})

        # A setting changed on .3 shows as drift after the next run.
        assert scene.ctl_run(["send", "-q", "127.0.0.3", "AT+WSSSID=Elsewhere"]) == 0
        assert scene.diff(modules) == 1
        until("kxd40_setting_drift", {labels(ip="127.0.0.3", field="sta.ssid"): "1"})
        until("kxd40_drifted", {labels(ip="127.0.0.2"): "0", labels(ip="127.0.0.3"): "1"})

        # .3 falls silent: down after the next run, .2 still up.
        scene.stop(sim)
        scene.simulator(["--module", "127.0.0.2", "--silent"] + third)
        assert scene.diff(modules) == 2
        until(up, {labels(ip="127.0.0.2"): "1", labels(ip="127.0.0.3"): "0"})
        until("kxd40_run_success", {(): "0"})
        # The README's example: the modules down, by what they were.
        expr = "kxd40_info and on(ip) kxd40_up == 0"
        got, body = until(expr, {labels(ip="127.0.0.3", mac="ACCF23000003", id=ids["127.0.0.3"], version="V1.0.8"): "1"})
        print("scrape_test: query %s -> %s" % (expr, json.dumps(body, sort_keys=True)))
    except AssertionError as e:
        print("scrape_test: FAIL:", e)
        for log in ("exporter.log", "prometheus.log"):
            print("== " + log)
            print(open(os.path.join(tmp, log)).read()[-2000:])
        failed = True
    finally:
        for p in list(scene.children):
            scene.stop(p)
        shutil.rmtree(tmp, ignore_errors=True)
    print("scrape_test: %s in %.1f s" % ("failed" if failed else "all seen", time.monotonic() - began))
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
