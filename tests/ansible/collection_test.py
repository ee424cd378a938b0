#!/usr/bin/python3
# The kx.kxd40 collection run by ansible-playbook against localhost, with
# the real kxd40ctl and one simulator holding three modules and a silent
# one; the READMEs' command on the example playbook too. Judges each
# task's result (callback/results.py) and what the simulator's log says
# reached the modules. Runs inside a private network namespace of its own.
#
# usage: collection_test.py KXD40CTL KXD40_SIM COLLECTIONS_DIR WORK_DIR

import json
import os
import re
import shlex
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
GOOD = ['127.0.0.2', '127.0.0.3']
SILENT = '127.0.0.4'
KEYED = '127.0.0.5'  # the keys' own module, so the others keep their factory key
NEW, ON_V2 = '127.0.0.6', '127.0.0.7'  # one takes V2 from an image, one has it already
DESIRED = {'communication': {'baud': 9600}, 'sta': {'ssid': 'plant'}}
# Commands that act rather than read or set; a read-only run sends none.
ACTIONS = {b'Z', b'RELD', b'FWUPDAT', b'E'}
checks = []


def check(ok, what):
    checks.append(bool(ok))
    if not ok:
        print('FAIL: ' + what, flush=True)


def read(path):
    with open(path) as f:
        return f.read()


def write(path, text):
    with open(path, 'w') as f:
        f.write(text)


class Bench:
    def __init__(self, ctl, sim, collections, work):
        self.ctl, self.collections, self.work, self.runs = ctl, collections, work, 0
        shutil.rmtree(work, ignore_errors=True)
        os.makedirs(work)
        write(os.path.join(work, 'ansible.cfg'), '')
        # Everything Ansible would keep in the user's home stays in the work
        # folder, and it reads no configuration but an empty one.
        self.env = dict(os.environ, HOME=os.path.join(work, 'home'), ANSIBLE_CONFIG=os.path.join(work, 'ansible.cfg'),
                        ANSIBLE_COLLECTIONS_PATH=collections, ANSIBLE_CALLBACKS_ENABLED='results',
                        ANSIBLE_CALLBACK_PLUGINS=os.path.join(HERE, 'callback'),
                        ANSIBLE_LOCAL_TEMP=os.path.join(work, 'tmp'), ANSIBLE_REMOTE_TEMP=os.path.join(work, 'remote'),
                        ANSIBLE_NOCOLOR='1', ANSIBLE_RETRY_FILES_ENABLED='0')
        self.log = os.path.join(work, 'sim.log')
        self.sim = subprocess.Popen([sim, '--log', self.log, '--module', GOOD[0], '--module', GOOD[1],
                                     '--module', KEYED, '--silent', '--module', SILENT, '--reset-behaviour',
                                     '--boot-ms', '100', '--next-version', 'V2', '--module', NEW,
                                     '--current-version', 'V2', '--module', ON_V2],
                                    stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        if 'ready' not in self.sim.stdout.readline():
            raise SystemExit('the simulator did not start')

    def play(self, args, extra, cwd=None):
        """Runs ansible-playbook ARGS; returns its exit status, each task's result by its
        name, and the datagrams the modules received meanwhile, as (address, bytes) pairs."""
        self.runs += 1
        extra_file, results = [os.path.join(self.work, '%s%d.json' % (n, self.runs)) for n in ('vars', 'results')]
        write(extra_file, json.dumps(dict(extra, ansible_python_interpreter='/usr/bin/python3')))
        seen = len(read(self.log).splitlines())
        p = subprocess.run(['ansible-playbook', '-e', '@' + extra_file] + args, cwd=cwd or self.work, text=True,
                           env=dict(self.env, KXD40_RESULTS=results), stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        self.printed = p.stdout
        write(os.path.join(self.work, 'run%d.out' % self.runs), p.stdout)
        if not os.path.exists(results):
            raise SystemExit('ansible-playbook %s exited %d:\n%s' % (args, p.returncode, p.stdout))
        received = [(f[2], b'' if f[5] == '-' else bytes.fromhex(f[5]))
                    for f in (line.split() for line in read(self.log).splitlines()[seen:])]
        return p.returncode, json.loads(read(results)), received

    def local(self, playbook, extra, *flags):
        return self.play(['-i', 'localhost,', '-c', 'local', os.path.join(HERE, playbook)] + list(flags), extra)

    def fleet(self, *flags, modules=GOOD + [SILENT]):
        return self.local('fleet.yml', {'ctl': self.ctl, 'modules': modules, 'desired': DESIRED}, *flags)


def settings_sent(received):
    """The datagrams that set or do something: AT+NAME=... and the actions."""
    return [(to, data) for to, data in received if data.startswith(b'AT+')
            and (b'=' in data or data[3:].rstrip(b'\r\n') in ACTIONS)]


def by_item(task):
    return dict((r['item'], r) for r in task['results'])


def fleet_text(tasks, received):
    """The fleet playbook's run as one text: each module's result in each
    loop (the diff's lines below it) and what reached the modules."""
    out = []
    for r in tasks['Desired settings']['results']:
        out.append('set %s %s' % (r['item'], 'failed: ' + r['msg'] if r['failed'] else
                                  ' '.join(['changed:' if r['changed'] else 'same:'] + r['sent'])))
        diff = r.get('diff', {'before': {}})
        out += ['  %s: %s -> %s' % (name, old, diff['after'][name]) for name, old in diff['before'].items()]
    for r in tasks['Read back']['results']:
        f = r.get('ansible_facts', {}).get('kxd40', {})
        out.append('read %s ' % r['item'] + ('failed: ' + r['msg'] if r['failed'] else '%s %s %s %s' % (
            f['id'], f['mac'], f['settings']['communication']['baud'], f['settings']['sta']['ssid'])))
    return '\n'.join(out + ['%s < %r' % sent for sent in settings_sent(received)])


FLEET_RUNS = [  # (what, flags, the run's text)
    ('check', ['--check', '--diff'], """\
set 127.0.0.2 changed: AT+UART=9600,8,1,None,NFC AT+WSSSID=plant
  communication.baud: 115200 -> 9600
  sta.ssid: KX-AP -> plant
set 127.0.0.3 changed: AT+UART=9600,8,1,None,NFC AT+WSSSID=plant
  communication.baud: 115200 -> 9600
  sta.ssid: KX-AP -> plant
set 127.0.0.4 failed: no answer to the keyword
read 127.0.0.2 KXD40-0002 ACCF23000002 115200 KX-AP
read 127.0.0.3 KXD40-0003 ACCF23000003 115200 KX-AP
read 127.0.0.4 failed: no answer to the keyword"""),
    ('first run', [], """\
set 127.0.0.2 changed: AT+UART=9600,8,1,None,NFC AT+WSSSID=plant
set 127.0.0.3 changed: AT+UART=9600,8,1,None,NFC AT+WSSSID=plant
set 127.0.0.4 failed: no answer to the keyword
read 127.0.0.2 KXD40-0002 ACCF23000002 9600 plant
read 127.0.0.3 KXD40-0003 ACCF23000003 9600 plant
read 127.0.0.4 failed: no answer to the keyword
127.0.0.2 < b'AT+UART=9600,8,1,None,NFC\\n'
127.0.0.2 < b'AT+WSSSID=plant\\n'
127.0.0.3 < b'AT+UART=9600,8,1,None,NFC\\n'
127.0.0.3 < b'AT+WSSSID=plant\\n'"""),
    ('second run', [], """\
set 127.0.0.2 same:
set 127.0.0.3 same:
set 127.0.0.4 failed: no answer to the keyword
read 127.0.0.2 KXD40-0002 ACCF23000002 9600 plant
read 127.0.0.3 KXD40-0003 ACCF23000003 9600 plant
read 127.0.0.4 failed: no answer to the keyword"""),
]


def test_fleet(bench):
    """Check mode with a diff, then a real run and the same run again: the
    silent module fails alone in both loops, the others go on past it."""
    for what, flags, expected in FLEET_RUNS:
        _, tasks, received = bench.fleet(*flags)
        text = fleet_text(tasks, received)
        check(text == expected, '%s: the run says\n%s\nnot\n%s' % (what, text, expected))


def test_example(bench):
    """The example playbook by each README's command (as written, in check mode) and
    for real, on a site of the good modules and the silent one. The silent one fails
    the site; the good ones are still set, to the example vault's key."""
    inventory = os.path.join(bench.work, 'inventory.json')
    write(inventory, json.dumps({'kxd40_sites': {'hosts': {'site-pc': {
        'ansible_connection': 'local', 'kxd40ctl_path': bench.ctl, 'kxd40_from': '127.0.0.1',
        'kxd40_modules': GOOD + [SILENT], 'kxd40_wifi_ssid': 'harbour'}}}}))
    root = os.path.join(bench.collections, 'ansible_collections', 'kx', 'kxd40')
    commands = [shlex.split(c) for readme in (os.path.join(bench.collections, '..'), root)
                for c in re.findall(r'^ +(ansible-playbook .*site\.yml.*)$', read(readme + '/README.md'), re.M)]
    check(len(commands) == 2, 'the two READMEs show one command each for the example: %s' % commands)
    for args in commands + [[a for a in commands[0] if a not in ('--check', '--diff')]]:
        args[args.index('-i') + 1] = inventory
        rc, tasks, received = bench.play(args[1:], {}, root if 'examples/site.yml' in args else root + '/examples')
        done = tasks.get('The site fails when any of its modules did', {})
        check(rc == 2 and done.get('msg') == 'modules that failed: ' + SILENT,
              'example %s: the silent module fails the site (exit %d): %s' % (args, rc, done.get('msg')))
        sent = by_item(tasks.get('Make each module match the fleet\'s settings', {'results': []}))
        check(sorted(sent) == GOOD and all(r.get('changed') for r in sent.values()),
              'example %s: the good modules are set: %s' % (args, sent))
        key = [to for to, data in settings_sent(received) if data == b'AT+WSKEY=WPA2PSK,AES,example-wifi-key\n']
        check(key == ([] if '--check' in args else GOOD), 'example %s: the vault\'s key reached %s' % (args, key))


def test_options(tasks, record):
    """What the stand-in kxd40ctl was given (its desired file private, and
    gone afterwards) and what the task made of its answers."""
    seen = json.loads(read(record))
    path = seen['path']
    check(seen == {'argv': ['apply', path, '127.0.0.9', '--json', '--from', '127.0.0.1', '--timeout', '300',
                            '--tries', '3', '--check', '--force', '--exclude=ap.ssid', '--exclude=ap.key'],
                   'path': path, 'mode': 0o600, 'desired': {'settings': {
                       'communication': {'baud': 9600}, 'sta': {'ssid': 'plant', 'key': 'new-secret'}}}}
          and not os.path.exists(path), 'options: kxd40ctl was given %s' % seen)
    got = dict((name, dict((k, tasks[name].get(k)) for k in ('changed', 'failed', 'msg', 'diff', 'sent')))
               for name in ('Every option', 'No result from kxd40ctl', 'A key in kxd40ctl\'s own words'))
    check(got == {
        'Every option': {'changed': True, 'failed': False, 'msg': None, 'sent': ['AT+WSKEY=WPA2PSK,AES,********'],
                         'diff': {'before': {'sta.key': '(hidden)'}, 'after': {'sta.key': '(hidden, new)'}}},
        'No result from kxd40ctl': {'changed': False, 'failed': True, 'diff': None, 'sent': None,
                                    'msg': 'kxd40ctl: /nonexistent/site.txt: no such file'},
        'A key in kxd40ctl\'s own words': {'changed': False, 'failed': True, 'diff': None, 'sent': None,
                                           'msg': 'not a value the module takes: sta.key = ********'}},
          'options: the tasks say %s' % got)
    text = json.dumps([tasks[name] for name in got])
    check(not re.search('new-secret|old-secret|module-secret', text), 'options: keys in clear: %s' % text)


KEY_TASKS = """\
The key the module already has: same
A new key beside a value the module refuses: failed: the module refused or was not sent a line
A new key for a module that does not answer: failed: no answer to the keyword
The module's key read back: same
A command file: changed
127.0.0.5 < b'AT+TCPTO=700\\n'
127.0.0.5 < b'AT+WSKEY=WPA2PSK,AES,87654321\\n'
127.0.0.5 < b'AT+WSSSID=plant\\n'"""


def test_secrets(bench, tasks, received, command_file, fields):
    """Tasks that know keys, their results and what reached the keyed module
    as one text; 12345678 is its key before them, 87654321 (given as a
    number) the new one: every result, and with -vvv the arguments, hide both."""
    text = '\n'.join('%s: %s' % (name, 'failed: ' + r['msg'] if r['failed'] else 'changed' if r['changed'] else 'same')
                     for name, r in tasks.items() if name in KEY_TASKS)
    text = '\n'.join([text] + ['%s < %r' % sent for sent in settings_sent(received) if sent[0] == KEYED])
    check(text == KEY_TASKS, 'secrets: the tasks say\n%s\nnot\n%s' % (text, KEY_TASKS))
    check(os.path.exists(command_file), 'secrets: the user\'s command file outlives its task')
    settings = tasks['The module\'s key read back']['ansible_facts']['kxd40']['settings']
    # The collection declares the fields to hide the secret ones; it must
    # take every field kxd40ctl reads, so that facts can be handed back.
    check(dict((section, set(names)) for section, names in fields) == dict((s, set(f)) for s, f in settings.items()),
          'secrets: the collection declares the fields kxd40ctl reads: %s' % settings)
    check(settings['sta']['key'] == 'VALUE_SPECIFIED_IN_NO_LOG_PARAMETER', 'secrets: the key read back is masked in '
          'the fact: %s' % settings['sta'])
    for name, text in [(task, json.dumps(tasks[task])) for task in tasks] + [('printed', bench.printed)]:
        check('12345678' not in text and '87654321' not in text, 'secrets: no key in clear in %s: %s' % (name, text))


def test_one_address(bench):
    listed = os.path.join(bench.work, 'two.txt')
    write(listed, '\n'.join(GOOD) + '\n')
    addresses = ['127.0.0.2-9', '127.0.0.2,127.0.0.3', '@' + listed, '--all', '127.0.0.02', '127.0.0.2 ']
    _, tasks, received = bench.fleet(modules=addresses)
    for task in ('Desired settings', 'Read back'):
        for address, r in by_item(tasks[task]).items():
            check(r.get('failed') and r.get('msg') == "address must be one module's IPv4 address (such as "
                  "198.51.100.20), not a range, a list, @FILE or --all: %r" % address,
                  'address: %s refuses %r: %s' % (task, address, r.get('msg')))
    check(received == [], 'address: nothing reached a module: %s' % received)


def firmware_text(tasks, received):
    """The firmware playbook's run as one text: each module's upload and
    backup, and the modules an image was sent to."""
    said = {'Upload': lambda r: '%s -> %s' % (r['result'] + ' ' + r['version_before'], r['version_after']),
            'Backup': lambda r: os.path.basename(r['path'])}
    out = ['%s %s %s' % (task.lower(), r['item'], 'failed: ' + r['msg'] if r['failed'] else
                         ('changed ' if r['changed'] else 'same ') + say(r))
           for task, say in said.items() for r in tasks.get(task, {'results': []})['results']]
    return '\n'.join(out + ['image to %s' % to for to, data in received if data == b'AT+FWUPDAT\n'])


FIRMWARE_RUNS = [  # (what, flags, the run's text); check mode skips backups; ON_V2's is altered before the third
    ('check', ['--check'], """\
upload 127.0.0.6 changed done V1.0.8 -> None
upload 127.0.0.7 same skipped V2 -> V2
upload 127.0.0.2 changed done V1.0.8 -> None
upload 127.0.0.4 failed: no answer to the keyword"""),
    ('first run', [], """\
upload 127.0.0.6 changed done V1.0.8 -> V2
upload 127.0.0.7 same skipped V2 -> V2
upload 127.0.0.2 failed: back on version V1.0.8, not V2
upload 127.0.0.4 failed: no answer to the keyword
backup 127.0.0.6 changed ACCF23000006.json
backup 127.0.0.7 changed ACCF23000007.json
backup 127.0.0.2 changed ACCF23000002.json
backup 127.0.0.4 failed: no answer to the keyword
image to 127.0.0.6
image to 127.0.0.2"""),
    ('second run', [], """\
upload 127.0.0.6 same skipped V2 -> V2
upload 127.0.0.7 same skipped V2 -> V2
upload 127.0.0.2 failed: back on version V1.0.8, not V2
upload 127.0.0.4 failed: no answer to the keyword
backup 127.0.0.6 same ACCF23000006.json
backup 127.0.0.7 changed ACCF23000007.json
backup 127.0.0.2 same ACCF23000002.json
backup 127.0.0.4 failed: no answer to the keyword
image to 127.0.0.2"""),
]


def test_firmware(bench):
    """Upload in check mode, for real and again, and backups beside: a
    module on V2 is left alone, one that took it is changed once, one back
    on its old version fails; a backup is changed only when new or altered."""
    image, backups = os.path.join(bench.work, 'fw.bin'), os.path.join(bench.work, 'backups')
    write(image, 'i' * 5000)
    os.makedirs(backups)
    for what, flags, expected in FIRMWARE_RUNS:
        if what == 'second run':
            write(os.path.join(backups, 'ACCF23000007.json'), '{}\n')
        _, tasks, received = bench.local('firmware.yml', {'ctl': bench.ctl, 'image': image, 'backups': backups,
                                                          'modules': [NEW, ON_V2, GOOD[0], SILENT]}, *flags)
        text = firmware_text(tasks, received)
        check(text == expected, 'firmware %s: the run says\n%s\nnot\n%s' % (what, text, expected))
        if flags:
            sent = set(data for _, data in received if data not in (b'+ok', b'KX-D40LOCATORPING'))
            check(sent <= {b'AT+VER\n'}, 'firmware check: sent besides the keyword and AT+VER: %s'
                  % sorted(data[:16] for data in sent))


def main():
    # Moves into a private network namespace with only loopback up, so that
    # nothing kxd40ctl sends can leave this machine; skipped (77) where
    # ansible-playbook or the namespace is missing.
    if os.environ.get('KXD40_PRIVATE_NET') != '1':
        if not shutil.which('ansible-playbook') or subprocess.call(['unshare', '-n', 'true']) != 0:
            print('ansible-playbook (script/bootstrap installs it) or a private network namespace is missing')
            return 77
        os.execvp('unshare', ['unshare', '-n', 'sh', '-c', 'ip link set lo up && KXD40_PRIVATE_NET=1 exec '
                              '/usr/bin/python3 "$0" "$@"'] + sys.argv)
    ctl, sim, collections, work = sys.argv[1:5]
    sys.path.append(collections)
    from ansible_collections.kx.kxd40.plugins.module_utils.kxd40ctl import SETTING_FIELDS
    bench = Bench(ctl, sim, collections, work)
    try:
        test_fleet(bench)
        test_example(bench)
        record, command_file = os.path.join(work, 'fake.json'), os.path.join(work, 'site.txt')
        write(command_file, 'AT+WSSSID=plant\n')
        _, tasks, received = bench.local('tasks.yml', {'ctl': ctl, 'keyed': KEYED, 'silent': SILENT, 'record': record,
                                                       'fake': os.path.join(HERE, 'fake_kxd40ctl.py'),
                                                       'command_file': command_file}, '-vvv')
        test_options(tasks, record)
        test_secrets(bench, tasks, received, command_file, SETTING_FIELDS)
        test_one_address(bench)
        test_firmware(bench)
    finally:
        bench.sim.kill()
        bench.sim.wait()
    print('%d passed, %d failed' % (checks.count(True), checks.count(False)))
    return 0 if all(checks) else 1


if __name__ == '__main__':
    sys.exit(main())
