#!/usr/bin/python3
# The kx.kxd40 collection run by ansible-playbook against localhost, with
# the real kxd40ctl and one simulator holding two modules and a silent
# one. Judges what the playbook registered and what the simulator's log
# says reached the modules. Runs inside a private network namespace (see
# run.sh).
#
# usage: collection_test.py KXD40CTL KXD40_SIM COLLECTIONS_DIR WORK_DIR

import importlib
import json
import os
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
GOOD = ['127.0.0.2', '127.0.0.3']
SILENT = '127.0.0.4'
KEYED = '127.0.0.5'  # the failures' own module, so the others keep their factory key
DESIRED = {'communication': {'baud': 9600}, 'sta': {'ssid': 'plant'}}
# Commands that act rather than read or set; a read-only run sends none.
ACTIONS = {b'Z', b'RELD', b'FWUPDAT', b'E'}

failures = []
passed = 0
kxd40ctl_utils = None  # the collection's module_utils, imported by main()


def check(ok, what):
    global passed
    if ok:
        passed += 1
    else:
        failures.append(what)
        print('FAIL: ' + what, flush=True)


class Bench:
    def __init__(self, ctl, sim, collections, work):
        self.ctl, self.work = ctl, work
        shutil.rmtree(work, ignore_errors=True)
        for d in ('home', 'tmp', 'remote'):
            os.makedirs(os.path.join(work, d))
        config = os.path.join(work, 'ansible.cfg')
        open(config, 'w').close()
        # Everything Ansible would keep in the user's home or read from a
        # configuration elsewhere stays in the work folder.
        self.env = dict(os.environ, HOME=os.path.join(work, 'home'), ANSIBLE_CONFIG=config,
                        ANSIBLE_COLLECTIONS_PATH=collections,
                        ANSIBLE_LOCAL_TEMP=os.path.join(work, 'tmp'),
                        ANSIBLE_REMOTE_TEMP=os.path.join(work, 'remote'),
                        ANSIBLE_NOCOLOR='1', ANSIBLE_RETRY_FILES_ENABLED='0')
        self.log = os.path.join(work, 'sim.log')
        self.sim = subprocess.Popen([sim, '--log', self.log, '--module', GOOD[0], '--module', GOOD[1],
                                     '--module', KEYED, '--silent', '--module', SILENT],
                                    stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        ready = self.sim.stdout.readline()
        if 'ready' not in ready:
            raise SystemExit('the simulator did not start: ' + ready)
        self.runs = 0

    def close(self):
        self.sim.kill()
        self.sim.wait()

    def log_lines(self):
        with open(self.log) as f:
            return f.read().splitlines()

    def play(self, playbook, extra, *flags):
        """Runs a playbook; returns what it registered and the datagrams the
        modules received meanwhile, as (module address, bytes) pairs."""
        self.runs += 1
        results = os.path.join(self.work, 'results%d.json' % self.runs)
        extra = dict(extra, results=results, ansible_python_interpreter='/usr/bin/python3')
        extra_file = os.path.join(self.work, 'vars%d.json' % self.runs)
        with open(extra_file, 'w') as f:
            json.dump(extra, f)
        seen = len(self.log_lines())
        p = subprocess.run(['ansible-playbook', '-i', 'localhost,', '-c', 'local', '-e', '@' + extra_file,
                            os.path.join(HERE, playbook)] + list(flags),
                           env=self.env, cwd=self.work, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                           text=True, timeout=300)
        with open(os.path.join(self.work, 'run%d.out' % self.runs), 'w') as f:
            f.write(p.stdout)
        self.printed = p.stdout
        if p.returncode != 0 or not os.path.exists(results):
            raise SystemExit('ansible-playbook %s exited %d:\n%s' % (playbook, p.returncode, p.stdout))
        with open(results) as f:
            registered = json.load(f)
        received = []
        for line in self.log_lines()[seen:]:
            fields = line.split()
            received.append((fields[2], b'' if fields[5] == '-' else bytes.fromhex(fields[5])))
        return registered, received

    def fleet(self, *flags):
        return self.play('fleet.yml', {'ctl': self.ctl, 'modules': GOOD + [SILENT], 'desired': DESIRED}, *flags)


def settings_sent(received):
    """The datagrams that set or do something: AT+NAME=... and the actions."""
    out = []
    for to, data in received:
        if data.startswith(b'AT+'):
            name = data[3:].rstrip(b'\r\n')
            if b'=' in name or name in ACTIONS:
                out.append((to, data))
    return out


def by_item(loop_result):
    return dict((r['item'], r) for r in loop_result['results'])


def silent_fails_alone(registered, what):
    for task in ('applied', 'read'):
        items = by_item(registered[task])
        check(items[SILENT].get('failed') and 'no answer' in items[SILENT].get('msg', ''),
              '%s: %s: the silent module fails with kxd40ctl\'s message' % (what, task))
        for ip in GOOD:
            check(not items[ip].get('failed'), '%s: %s: %s succeeds beside the silent one (%s)'
                  % (what, task, ip, items[ip].get('msg')))


def settings_read(registered, ip):
    facts = by_item(registered['read'])[ip].get('ansible_facts', {}).get('kxd40', {})
    return facts


def test_check_mode(bench):
    registered, received = bench.fleet('--check', '--diff')
    silent_fails_alone(registered, 'check')
    items = by_item(registered['applied'])
    for ip in GOOD:
        r = items[ip]
        check(r.get('changed') is True, 'check: %s reported as would change' % ip)
        check(r.get('diff') == {'before': {'communication.baud': 115200, 'sta.ssid': 'KX-AP'},
                                'after': {'communication.baud': 9600, 'sta.ssid': 'plant'}},
              'check: %s diff before/after: %s' % (ip, r.get('diff')))
        check(any(s.startswith('AT+UART=9600') for s in r.get('sent', [])),
              'check: %s reports the line it would send: %s' % (ip, r.get('sent')))
        facts = settings_read(registered, ip)
        check(facts.get('id') == 'KXD40-000' + ip[-1] and facts.get('mac') == 'ACCF2300000' + ip[-1],
              'facts: %s id and mac: %s %s' % (ip, facts.get('id'), facts.get('mac')))
        check(facts.get('settings', {}).get('communication', {}).get('baud') == 115200,
              'check: %s still at 115200 baud afterwards' % ip)
    check(settings_sent(received) == [], 'check: no setting reached a module: %s' % settings_sent(received))


def test_apply_then_again(bench):
    registered, received = bench.fleet()
    silent_fails_alone(registered, 'first run')
    items = by_item(registered['applied'])
    reached = set(to for to, _ in settings_sent(received))
    for ip in GOOD:
        check(items[ip].get('changed') is True, 'first run: %s changed' % ip)
        check(ip in reached, 'first run: a setting reached %s' % ip)
        settings = settings_read(registered, ip).get('settings', {})
        check(settings.get('communication', {}).get('baud') == 9600 and settings.get('sta', {}).get('ssid') == 'plant',
              'first run: %s reads back the desired settings' % ip)
        check('diff' not in items[ip], 'first run: no diff without --diff')

    registered, received = bench.fleet()
    silent_fails_alone(registered, 'second run')
    items = by_item(registered['applied'])
    for ip in GOOD:
        check(items[ip].get('changed') is False and items[ip].get('sent') == [],
              'second run: %s unchanged, nothing sent: %s' % (ip, items[ip].get('sent')))
    check(settings_sent(received) == [], 'second run: only queries reached the modules: %s'
          % settings_sent(received))
    check(any(to == GOOD[0] and data.startswith(b'AT+UART') for to, data in received),
          'second run: the modules were queried')


def test_options(bench):
    record = os.path.join(bench.work, 'fake.json')
    registered, _ = bench.play('options.yml', {'ctl': os.path.join(HERE, 'fake_kxd40ctl.py'), 'record': record},
                               '--check', '--diff')
    with open(record) as f:
        seen = json.load(f)
    args = seen['argv']
    check(args[0] == 'apply' and args[2] == '127.0.0.9', 'options: apply FILE ADDRESS: %s' % args)
    for option in (['--json'], ['--from', '127.0.0.1'], ['--timeout', '300'], ['--tries', '3'], ['--force'],
                   ['--exclude=ap.ssid'], ['--exclude=ap.key'], ['--check']):
        check(any(args[i:i + len(option)] == option for i in range(3, len(args))),
              'options: %s after the address in %s' % (option, args))
    check(seen['desired'] == {'settings': {'communication': {'baud': 9600},
                                           'sta': {'ssid': 'plant', 'key': 'new-secret'}}},
          'options: the desired file holds the settings: %s' % seen['desired'])
    check(seen['mode'] == 0o600, 'options: the desired file is private: %o' % seen['mode'])
    check(not os.path.exists(seen['path']), 'options: the desired file is removed')
    every = json.dumps(registered['every'])
    check(registered['every'].get('changed') is True, 'options: changed as kxd40ctl says')
    check(registered['every'].get('diff') == {'before': {'sta.key': '(hidden)'}, 'after': {'sta.key': '(hidden, new)'}},
          'options: a new key shows as such in the diff: %s' % registered['every'].get('diff'))
    check('new-secret' not in every and 'old-secret' not in every and '********' in every,
          'options: keys are masked in the result: %s' % every)
    usage = registered['usage']
    check(usage.get('failed') and usage.get('msg') == 'kxd40ctl: /nonexistent/site.txt: no such file',
          'options: no JSON from kxd40ctl fails with its error: %s' % usage.get('msg'))
    quoted = registered['quoted']
    check(quoted.get('failed') and quoted.get('msg') == 'not a value the module takes: sta.key = ********'
          and 'module-secret' not in json.dumps(quoted), 'options: kxd40ctl\'s words are masked: %s' % quoted)


def test_secrets(bench):
    registered, received = bench.play('secrets.yml', {'ctl': bench.ctl, 'keyed': KEYED, 'silent': SILENT}, '-vvv')
    check((KEYED, b'AT+WSKEY=WPA2PSK,AES,87654321\n') in received,
          'secrets: the key given as a number reached the module as its digits')
    refused, silent = registered['refused'], registered['silent']
    check(refused.get('failed') and refused.get('msg') == 'the module refused or was not sent a line',
          'secrets: the refused setting fails with kxd40ctl\'s message: %s' % refused.get('msg'))
    check(silent.get('failed') and silent.get('msg') == 'no answer to the keyword',
          'secrets: the silent module fails: %s' % silent.get('msg'))
    settings = registered['read'].get('ansible_facts', {}).get('kxd40', {}).get('settings', {})
    key = settings.get('sta', {}).get('key')
    # The collection declares the fields to hide the secret ones; it must
    # take every field kxd40ctl reads, so that facts can be handed back.
    declared = dict((section, set(names)) for section, names in kxd40ctl_utils.SETTING_FIELDS)
    check(declared == dict((section, set(fields)) for section, fields in settings.items()),
          'secrets: the collection declares the fields kxd40ctl reads: %s' % settings)
    check(key == 'VALUE_SPECIFIED_IN_NO_LOG_PARAMETER', 'secrets: the key read back is masked in the fact: %s' % key)
    # 12345678 is the module's key before the task, 87654321 the new one.
    for name, text in [(task, json.dumps(registered[task])) for task in registered] + [('printed', bench.printed)]:
        check('12345678' not in text and '87654321' not in text, 'secrets: no key in clear in %s: %s' % (name, text))


def test_one_address(bench):
    listed = os.path.join(bench.work, 'two.txt')
    with open(listed, 'w') as f:
        f.write('\n'.join(GOOD) + '\n')
    addresses = ['127.0.0.2-9', '127.0.0.2,127.0.0.3', '@' + listed, '--all', '127.0.0.02', '127.0.0.2 ']
    registered, received = bench.play('addresses.yml', {'ctl': bench.ctl, 'addresses': addresses})
    for task in ('applied', 'read'):
        items = by_item(registered[task])
        for address in addresses:
            msg = items[address].get('msg')
            check(items[address].get('failed') and msg == "address must be one module's IPv4 address (such as "
                  "198.51.100.20), not a range, a list, @FILE or --all: %r" % address,
                  'address: %s refuses %r: %s' % (task, address, msg))
    check(received == [], 'address: nothing reached a module: %s' % received)


def main():
    global kxd40ctl_utils
    ctl, sim, collections, work = sys.argv[1:5]
    sys.path.append(collections)
    kxd40ctl_utils = importlib.import_module('ansible_collections.kx.kxd40.plugins.module_utils.kxd40ctl')
    bench = Bench(ctl, sim, collections, work)
    try:
        test_check_mode(bench)
        test_apply_then_again(bench)
        test_options(bench)
        test_secrets(bench)
        test_one_address(bench)
    finally:
        bench.close()
    print('%d passed, %d failed' % (passed, len(failures)))
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
