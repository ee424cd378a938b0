#!/usr/bin/python
# -*- coding: utf-8 -*-
# Makes one KX-D40 module match the settings a playbook wants, through
# `kxd40ctl apply` on the site's PC, which reads the module first and sends
# only what differs; this module passes the wish on and reports back.

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
---
module: settings
short_description: Make a KX-D40 serial-to-WiFi module match desired settings
description:
  - Runs C(kxd40ctl apply) on the managed host, which must sit on the
    module's LAN. kxd40ctl reads the module, compares its settings with
    the desired ones and sends a setting command only for what differs,
    so a second run changes nothing.
  - The desired settings are either a dictionary in the form of
    C(kxd40ctl read --json) (sections C(management), C(communication),
    C(ap), C(sta) with their field names) or a command file of AT lines
    on the managed host. Fields left out are left as the module has them.
  - The module's own protocol is kxd40ctl's business; this module only
    runs it and reads its JSON Lines.
version_added: 1.0.0
author:
  - KX-D40 tool maintainers
extends_documentation_fragment:
  - kx.kxd40.kxd40ctl
  - ansible.builtin.action_common_attributes
attributes:
  check_mode:
    support: full
    details: kxd40ctl reads the module and reports what it would send.
  diff_mode:
    support: full
  platform:
    platforms: posix
options:
  settings:
    description:
      - "Desired settings by section, with the field names of
        C(kxd40ctl read --json), for example
        C({communication: {baud: 9600}, sta: {ssid: plant}})."
      - Written to a private temporary file on the managed host for
        kxd40ctl and removed afterwards.
      - A field kxd40ctl does not know is refused before anything runs.
        C(key) and C(web_password) are never logged nor shown, also when
        given as numbers.
      - Mutually exclusive with I(command_file); one of them is required.
    type: dict
  command_file:
    description:
      - Path on the managed host of a command file (one AT setting per
        line, up to the first empty line or line beginning with C(E)), as
        C(kxd40ctl read --commands) writes.
      - Mutually exclusive with I(settings).
    type: path
  exclude:
    description:
      - Settings to leave alone even where they differ, as kxd40ctl's
        C(--exclude) takes them - a field such as C(sta.key), a section
        such as C(ap), or a command such as C(WSKEY).
    type: list
    elements: str
    default: []
  force:
    description:
      - Send every desired setting as given, whether or not the module
        already has it (kxd40ctl's C(--force)). The task then reports a
        change whenever there is anything to send.
    type: bool
    default: false
seealso:
  - module: kx.kxd40.facts
notes:
  - Secret fields (C(key), C(web_password)) of the desired settings and
    of the module are masked in the task's output, diff and failure
    messages.
'''

EXAMPLES = r'''
- name: Serial side at 9600 baud and the plant's WiFi
  kx.kxd40.settings:
    address: 198.51.100.20
    settings:
      communication:
        baud: 9600
        tcp_timeout: 120
      sta:
        ssid: plant
        key: "{{ plant_wifi_key }}"

- name: Every module of the site from one command file, one at a time
  kx.kxd40.settings:
    address: "{{ item }}"
    command_file: /etc/kxd40/site.txt
    kxd40ctl: /usr/bin/kxd40ctl
    local_address: 198.51.100.1
  loop: "{{ kxd40_modules }}"

- name: What would change (run with --check --diff)
  kx.kxd40.settings:
    address: 198.51.100.20
    settings: "{{ kxd40_settings }}"
    exclude:
      - ap.ssid
  check_mode: true
  register: planned
'''

RETURN = r'''
sent:
  description:
    - The setting commands sent to the module; in check mode the ones
      that would be sent.
  returned: success
  type: list
  elements: str
  sample: ["AT+UART=9600,8,1,None,NFC"]
differences:
  description:
    - The desired settings the module did not have before the task.
  returned: success
  type: list
  elements: dict
  contains:
    name:
      description: Setting as C(section.field).
      type: str
    module:
      description: The module's value before the task.
      type: raw
    desired:
      description: The desired value.
      type: raw
  sample: [{"name": "communication.baud", "module": 115200, "desired": 9600}]
lines:
  description: Each line kxd40ctl sent or skipped, with the module's answer.
  returned: success
  type: list
  elements: dict
  sample: [{"line": "AT+UART=9600,8,1,None,NFC", "result": "ok"}]
ip:
  description: The module's address.
  returned: always
  type: str
  sample: 198.51.100.20
mac:
  description: The module's MAC address.
  returned: success
  type: str
  sample: ACCF23000014
id:
  description: The module's ID.
  returned: success
  type: str
  sample: KXD40-0020
'''

import json
import os
import tempfile

from ansible_collections.kx.kxd40.plugins.module_utils.kxd40ctl import (
    common_args, given_settings, is_secret, new_module, run_one, settings_spec)


def desired_file(module):
    """The settings as a JSON document in a file only this user can read
    (mkstemp creates it 0600), in the module's own temporary directory."""
    fd, path = tempfile.mkstemp(prefix='kxd40-', suffix='.json', dir=module.tmpdir)
    with os.fdopen(fd, 'w') as f:
        json.dump({'settings': given_settings(module.params['settings'])}, f)
    return path


def diff_of(differences):
    """Masked alike, an old and a new key would look unchanged in the
    diff; they get placeholders that show that one replaces the other."""
    before, after = {}, {}
    for d in differences:
        name = d['name']
        secret = is_secret(name)
        before[name] = '(hidden)' if secret else d.get('module')
        after[name] = '(hidden, new)' if secret else d.get('desired')
    return {'before': before, 'after': after}


def main():
    module = new_module(
        argument_spec=common_args(
            settings=settings_spec(),
            command_file=dict(type='path'),
            exclude=dict(type='list', elements='str', default=[]),
            force=dict(type='bool', default=False),
        ),
        mutually_exclusive=[('settings', 'command_file')],
        required_one_of=[('settings', 'command_file')],
        supports_check_mode=True,
    )

    options = []
    if module.check_mode:
        options.append('--check')
    if module.params['force']:
        options.append('--force')
    options += ['--exclude=%s' % name for name in module.params['exclude']]

    path = None
    try:
        if module.params['settings'] is not None:
            path = desired_file(module)
        else:
            path = module.params['command_file']
        record = run_one(module, 'apply', [path], options)
    finally:
        if module.params['settings'] is not None and path and os.path.exists(path):
            os.unlink(path)

    data = record.get('data') or {}
    differences = data.get('differences') or []
    result = dict(
        changed=bool(data.get('changed')),
        sent=data.get('sent') or [],
        differences=differences,
        lines=data.get('lines') or [],
        ip=record.get('ip'),
        mac=record.get('mac'),
        id=record.get('id'),
    )
    if module._diff:
        result['diff'] = diff_of(differences)
    module.exit_json(**result)


if __name__ == '__main__':
    main()
