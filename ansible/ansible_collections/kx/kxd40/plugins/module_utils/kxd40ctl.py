# -*- coding: utf-8 -*-
# Runs kxd40ctl on the managed host for one KX-D40 and reads back the JSON
# line it prints for that module. The protocol lives in kxd40ctl alone, so
# the modules of this collection only build command lines and read results;
# they know only the settings' field names and where a secret stands in a
# setting line, to keep keys out of everything a task shows.

from __future__ import absolute_import, division, print_function
__metaclass__ = type

import json
import re

from ansible.module_utils.basic import AnsibleModule

# The fields of the settings document, as `kxd40ctl read --json` prints
# them. Declared rather than free-form so that Ansible itself hides the
# secret ones (no_log) from the moment it reads the task's arguments,
# before anything this collection does could leak them. `mid` and
# `version` are read-only (kxd40ctl skips them) but accepted, so that
# another module's facts can be handed on as they are.
SETTING_FIELDS = (
    ('management', ('wifi_mode', 'work_mode', 'web_user', 'web_password', 'mid', 'version')),
    ('communication', ('baud', 'data_bits', 'stop_bits', 'parity', 'flow_control', 'auto_frame',
                       'auto_frame_time', 'auto_frame_length', 'protocol', 'role', 'port', 'server',
                       'max_sockets', 'tcp_timeout')),
    ('ap', ('standard', 'ssid', 'channel', 'auth', 'encryption', 'key', 'ip', 'mask', 'dhcp_gateway')),
    ('sta', ('ssid', 'auth', 'encryption', 'key', 'address', 'ip', 'mask', 'gateway')),
)
SECRET_FIELDS = ('key', 'web_password')
# The secret's place in a setting line (the rest of the line after the
# items before it) and after a field's name in a message.
SECRET_PATTERNS = (
    re.compile(r'(AT\+W[AS]KEY[ \t]*=[^,\r\n]*,[^,\r\n]*,[ \t]*)([^\r\n]*)', re.IGNORECASE),
    re.compile(r'(AT\+WEBU[ \t]*=[^,\r\n]*,[ \t]*)([^\r\n]*)', re.IGNORECASE),
    re.compile(r'(\b(?:sta\.key|ap\.key|management\.web_password)\b[ \t]*[=:][ \t]*)([^\r\n]*)', re.IGNORECASE),
)
DECIMAL = re.compile(r'[0-9]{1,3}')

# The options every module of this collection takes, in the form of an
# argument_spec, so that the modules cannot drift apart.
COMMON_ARGS = dict(
    address=dict(type='str', required=True),
    kxd40ctl=dict(type='path', default='kxd40ctl'),
    chdir=dict(type='path'),
    local_address=dict(type='str'),
    timeout=dict(type='int'),
    tries=dict(type='int'),
)


def common_args(**extra):
    args = dict((name, dict(value)) for name, value in COMMON_ARGS.items())
    args.update(extra)
    return args


def settings_spec():
    """The argument_spec of a settings document: each field raw (numbers
    may come as numbers or as text), the secret ones never logged."""
    sections = dict((section, dict(type='dict', options=dict(
        (name, dict(type='raw', no_log=name in SECRET_FIELDS)) for name in names)))
        for section, names in SETTING_FIELDS)
    return dict(type='dict', options=sections)


def given_settings(settings):
    """The document as the playbook gave it: Ansible fills every field
    left out with None, and a field left out must stay as the module has
    it."""
    if settings is None:
        return None
    return dict((section, dict((k, v) for k, v in fields.items() if v is not None))
                for section, fields in settings.items() if fields is not None)


def is_secret(name):
    return name.rsplit('.', 1)[-1] in SECRET_FIELDS


def hide(module, value):
    """Masks a secret wherever Ansible returns or logs it from now on.
    Numbers too: a key of digits may come as an integer and is masked in
    its written form."""
    if isinstance(value, bool) or value is None:
        return
    text = value if isinstance(value, str) else str(value)
    if text:
        module.no_log_values.add(text)


def hide_record_secrets(module, record):
    """Every key and password kxd40ctl's JSON holds, the module's current
    ones included: in the differences an apply found or still finds after
    it, and in the settings a read returns."""
    data = record.get('data') if isinstance(record, dict) else None
    if not isinstance(data, dict):
        return
    for listing in ('differences', 'differs'):
        for d in data.get(listing) or []:
            if isinstance(d, dict) and is_secret(str(d.get('name', ''))):
                hide(module, d.get('module'))
                hide(module, d.get('desired'))
    settings = data.get('settings')
    for fields in (settings.values() if isinstance(settings, dict) else ()):
        for name, value in (fields.items() if isinstance(fields, dict) else ()):
            if name in SECRET_FIELDS:
                hide(module, value)


def one_address(text):
    """Text of the message refusing TEXT, or '' when it is one module's
    dotted IPv4 address. kxd40ctl also takes ranges, lists, @FILE and
    --all, but a task reports one module's result, so it must name one
    module. Leading zeros are refused, since some read them as octal."""
    parts = text.split('.')
    if len(parts) == 4 and all(DECIMAL.fullmatch(p) and int(p) <= 255 and str(int(p)) == p for p in parts):
        return ''
    return ('address must be one module\'s IPv4 address (such as 198.51.100.20), '
            'not a range, a list, @FILE or --all: %r' % text)


def scrubbed(text):
    """TEXT with the secret of each setting line and each named secret
    field masked, whatever the case or spacing: kxd40ctl's own messages
    may quote what the collection was never told."""
    for pattern in SECRET_PATTERNS:
        text = pattern.sub(lambda m: m.group(1) + '********' if m.group(2) else m.group(0), text)
    return text


def new_module(**kwargs):
    """The AnsibleModule of a task, its address checked before anything
    runs."""
    module = AnsibleModule(**kwargs)
    why = one_address(module.params['address'])
    if why:
        module.fail_json(msg=why)
    return module


def executable(module):
    """The program to run: a bare name is looked up on the PATH so that a
    missing kxd40ctl is reported as such rather than as an odd failure."""
    name = module.params['kxd40ctl']
    if '/' in name:
        return name
    return module.get_bin_path(name, required=True)


def fleet_options(module):
    p = module.params
    args = ['--json']
    if p['local_address']:
        args += ['--from', p['local_address']]
    if p['timeout'] is not None:
        args += ['--timeout', str(p['timeout'])]
    if p['tries'] is not None:
        args += ['--tries', str(p['tries'])]
    return args


def parse_lines(stdout):
    """Every JSON object kxd40ctl printed; anything else on stdout is a
    sign of a kxd40ctl that does not speak JSON Lines and is skipped."""
    records = []
    for line in stdout.splitlines():
        line = line.strip()
        if not line.startswith('{'):
            continue
        try:
            records.append(json.loads(line))
        except ValueError:
            continue
    return records


def run_one(module, action, positional=(), options=(), succeeded=('done',)):
    """Runs `kxd40ctl ACTION POSITIONAL... ADDRESS --json OPTIONS...`
    (options after the address, so that none that takes several values
    can swallow it) and returns the record of the module at ADDRESS.
    Fails the task, with kxd40ctl's own words, when the program could not
    run, the module's result is not one of SUCCEEDED, or no record came
    back at all (a usage error prints none). Every secret in what came back is masked first,
    since kxd40ctl's JSON holds keys in clear."""
    address = module.params['address']
    cmd = [executable(module), action] + list(positional) + [address] + fleet_options(module) + list(options)
    rc, out, err = module.run_command(cmd, cwd=module.params['chdir'])
    records = [r for r in parse_lines(out) if r.get('action') == action]
    for r in records:
        hide_record_secrets(module, r)
    mine = [r for r in records if r.get('ip') == address]
    err = scrubbed(err or '')
    if not mine:
        module.fail_json(msg=last_line(err) or 'kxd40ctl printed no result (exit %d)' % rc,
                         rc=rc, cmd=cmd, stderr=err)
    record = mine[0]
    if record.get('result') not in succeeded:
        module.fail_json(msg=scrubbed(record.get('error') or 'the module was %s' % record.get('result')),
                         result=record.get('result'), ip=record.get('ip'), rc=rc, cmd=cmd,
                         stderr=err, data=record.get('data'))
    return record


def last_line(text):
    lines = [line for line in (text or '').splitlines() if line.strip()]
    return lines[-1] if lines else ''
