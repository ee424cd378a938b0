#!/usr/bin/python
# -*- coding: utf-8 -*-
# Reads one KX-D40 module's settings through `kxd40ctl read` on the site's
# PC and hands them to the play as facts, for reports and for conditions
# in later tasks.

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
---
module: facts
short_description: Read a KX-D40 serial-to-WiFi module's settings as facts
description:
  - Runs C(kxd40ctl read) on the managed host, which must sit on the
    module's LAN, and returns the module's address, MAC, ID and its four
    settings pages as the fact C(kxd40).
  - Reads only; nothing is sent to the module but queries.
version_added: 1.0.0
author:
  - KX-D40 tool maintainers
extends_documentation_fragment:
  - kx.kxd40.kxd40ctl
  - ansible.builtin.action_common_attributes
  - ansible.builtin.action_common_attributes.facts
attributes:
  check_mode:
    support: full
  diff_mode:
    support: none
  facts:
    support: full
  platform:
    platforms: posix
notes:
  - The module's keys and web password are masked in the fact, as in
    everything the task returns.
  - In a loop over several modules each iteration replaces the fact
    C(kxd40); register the loop's results to keep every module's
    (C(results[].ansible_facts.kxd40)).
seealso:
  - module: kx.kxd40.settings
'''

EXAMPLES = r'''
- name: Read a module
  kx.kxd40.facts:
    address: 198.51.100.20

- name: Which WiFi does it join?
  ansible.builtin.debug:
    msg: "{{ kxd40.id }} joins {{ kxd40.settings.sta.ssid }}"

- name: Read every module of the site
  kx.kxd40.facts:
    address: "{{ item }}"
  loop: "{{ kxd40_modules }}"
  register: read

- name: Modules not yet on 9600 baud
  ansible.builtin.debug:
    msg: "{{ read.results | map(attribute='ansible_facts.kxd40')
             | rejectattr('settings.communication.baud', 'equalto', 9600)
             | map(attribute='ip') | list }}"
'''

RETURN = r'''
ansible_facts:
  description: Facts about the module.
  returned: always
  type: complex
  contains:
    kxd40:
      description: The module read.
      returned: always
      type: complex
      contains:
        ip:
          description: The module's address.
          type: str
          sample: 198.51.100.20
        mac:
          description: The module's MAC address.
          type: str
          sample: ACCF23000014
        id:
          description: The module's ID.
          type: str
          sample: KXD40-0020
        settings:
          description:
            - The sections C(management), C(communication), C(ap) and
              C(sta) as C(kxd40ctl read --json) prints them.
          type: dict
          sample:
            communication: {baud: 115200, data_bits: 8, parity: None}
            sta: {ssid: KX-AP, auth: WPA2PSK}
'''

from ansible_collections.kx.kxd40.plugins.module_utils.kxd40ctl import common_args, new_module, run_one


def main():
    module = new_module(argument_spec=common_args(), supports_check_mode=True)
    record = run_one(module, 'read')
    data = record.get('data') or {}
    module.exit_json(changed=False, ansible_facts=dict(kxd40=dict(
        ip=record.get('ip'),
        mac=record.get('mac'),
        id=record.get('id'),
        settings=data.get('settings') or {},
    )))


if __name__ == '__main__':
    main()
