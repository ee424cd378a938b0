#!/usr/bin/python
# -*- coding: utf-8 -*-
# Saves one KX-D40 module's settings on the site's PC through
# `kxd40ctl backup`, as DIR/<MAC>.json, and says whether the file is new
# or its content changed, so that a play reports only real changes.

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
---
module: backup
short_description: Back up a KX-D40 serial-to-WiFi module's settings
description:
  - Runs C(kxd40ctl backup) on the managed host, which must sit on the
    module's LAN, and saves the module's settings as C(DIR/<MAC>.json),
    the document C(kxd40ctl restore) and the C(settings) module take.
  - Reports a change only when the file is new or its content differs
    from what it held before.
version_added: 1.1.0
author:
  - KX-D40 tool maintainers
extends_documentation_fragment:
  - kx.kxd40.kxd40ctl
  - ansible.builtin.action_common_attributes
attributes:
  check_mode:
    support: none
  diff_mode:
    support: none
  platform:
    platforms: posix
options:
  dir:
    description:
      - Directory on the managed host for the backups; it must exist.
    type: path
    required: true
seealso:
  - module: kx.kxd40.facts
  - module: kx.kxd40.settings
notes:
  - The backup holds the module's keys and web password in clear, as a
    restore needs them; keep the directory private. The task returns no
    setting.
'''

EXAMPLES = r'''
- name: Back up every module of the site
  kx.kxd40.backup:
    address: "{{ item }}"
    dir: /var/backups/kxd40
  loop: "{{ kxd40_modules }}"
  register: saved

- name: The modules whose settings changed since the last backup
  ansible.builtin.debug:
    msg: "{{ saved.results | selectattr('changed') | map(attribute='ip') | list }}"
'''

RETURN = r'''
path:
  description: The backup file written.
  returned: success
  type: str
  sample: /var/backups/kxd40/ACCF23000014.json
# The module as kxd40ctl names it, as the other modules of the collection return it.
ip: {description: The module's address., returned: always, type: str, sample: 198.51.100.20}
mac: {description: The module's MAC address., returned: success, type: str, sample: ACCF23000014}
id: {description: The module's ID., returned: success, type: str, sample: KXD40-0020}
'''

import os

from ansible_collections.kx.kxd40.plugins.module_utils.kxd40ctl import common_args, new_module, run_one


def contents(directory):
    """Each backup file's bytes by its name: the module's file is named by
    its MAC, which only kxd40ctl learns, so every candidate is kept."""
    held = {}
    for name in os.listdir(directory):
        path = os.path.join(directory, name)
        if name.endswith('.json') and os.path.isfile(path):
            with open(path, 'rb') as f:
                held[name] = f.read()
    return held


def main():
    module = new_module(argument_spec=common_args(dir=dict(type='path', required=True)))
    directory = module.params['dir']
    if not os.path.isdir(directory):
        module.fail_json(msg='dir is no directory: %s' % directory)
    before = contents(directory)
    record = run_one(module, 'backup', [directory])
    path = (record.get('data') or {}).get('file') or ''
    with open(path, 'rb') as f:
        after = f.read()
    module.exit_json(
        changed=before.get(os.path.basename(path)) != after,
        path=path,
        ip=record.get('ip'),
        mac=record.get('mac'),
        id=record.get('id'),
    )


if __name__ == '__main__':
    main()
