# -*- coding: utf-8 -*-
# Runs kxd40ctl on the managed host for one KX-D40 and reads back the JSON
# line it prints for that module. The protocol lives in kxd40ctl alone, so
# the modules of this collection only build command lines and read results.

from __future__ import absolute_import, division, print_function
__metaclass__ = type

import json

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


def run_one(module, action, positional=(), options=()):
    """Runs `kxd40ctl ACTION POSITIONAL... ADDRESS --json OPTIONS...`
    (options after the address, so that none that takes several values
    can swallow it) and returns the record of the module at ADDRESS.
    Fails the task, with kxd40ctl's own words, when the program could not
    run, the module was not done, or no record came back at all (a usage
    error prints none)."""
    address = module.params['address']
    cmd = [executable(module), action] + list(positional) + [address] + fleet_options(module) + list(options)
    rc, out, err = module.run_command(cmd, cwd=module.params['chdir'])
    records = [r for r in parse_lines(out) if r.get('action') == action]
    mine = [r for r in records if r.get('ip') == address] or records
    if not mine:
        module.fail_json(msg=last_line(err) or 'kxd40ctl printed no result (exit %d)' % rc,
                         rc=rc, cmd=cmd, stderr=err)
    record = mine[0]
    if record.get('result') != 'done':
        module.fail_json(msg=record.get('error') or 'the module was %s' % record.get('result'),
                         result=record.get('result'), ip=record.get('ip'), rc=rc, cmd=cmd,
                         stderr=err, data=record.get('data'))
    return record


def last_line(text):
    lines = [line for line in (text or '').splitlines() if line.strip()]
    return lines[-1] if lines else ''
