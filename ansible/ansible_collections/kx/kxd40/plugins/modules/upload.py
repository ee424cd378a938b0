#!/usr/bin/python
# -*- coding: utf-8 -*-
# Brings one KX-D40 module to a firmware image through `kxd40ctl upload`
# on the site's PC: a module already on the image's version is left alone,
# so a play rerun after a failure sends the image only where it is missing.

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
---
module: upload
short_description: Upload a firmware image to a KX-D40 serial-to-WiFi module
description:
  - Runs C(kxd40ctl upload) on the managed host, which must sit on the
    module's LAN, with the image on that host.
  - With I(version_after), a module that already reports that version is
    left alone (not changed, not failed), so a rerun uploads only where
    the image is missing.
  - With I(wait), the task waits for the module to restart and succeeds
    only when it comes back on a new version (on I(version_after) when
    given); without it, the image sent is all the task can tell.
version_added: 1.1.0
author:
  - KX-D40 tool maintainers
extends_documentation_fragment:
  - kx.kxd40.kxd40ctl
  - ansible.builtin.action_common_attributes
attributes:
  check_mode:
    support: full
    details: kxd40ctl links the module and reads its version (C(--check));
      no image is sent. The task reports a change where one would be sent.
  diff_mode:
    support: none
  platform:
    platforms: posix
options:
  image:
    description:
      - Path on the managed host of the firmware image, a regular file.
    type: path
    required: true
  version_after:
    description:
      - The version the image brings, as the module's C(AT+VER) gives it
        (kxd40ctl's C(--version-after)). A module already on it is not
        sent the image.
    type: str
  wait:
    description:
      - Seconds (1 to 3600) to wait for the module to come back after the
        image (kxd40ctl's C(--wait)). The task fails when it does not come
        back, or comes back on its old version or on another than
        I(version_after).
    type: int
seealso:
  - module: kx.kxd40.facts
  - module: kx.kxd40.backup
notes:
  - To roll an image out over a site with canaries, loop over the modules
    with C(serial) or C(throttle) on the site's hosts, or run
    C(kxd40ctl upload --canary N --max-fail N) on the site's PC.
'''

EXAMPLES = r'''
- name: V1.1.0 on every module of the site, one at a time, skipping those on it
  kx.kxd40.upload:
    address: "{{ item }}"
    image: /srv/firmware/fw-1.1.bin
    version_after: V1.1.0
    wait: 60
  loop: "{{ kxd40_modules }}"

- name: Which modules would take the image (run with --check)
  kx.kxd40.upload:
    address: 198.51.100.20
    image: /srv/firmware/fw-1.1.bin
    version_after: V1.1.0
  check_mode: true
  register: plan
'''

RETURN = r'''
version_before:
  description:
    - The module's version before the task; null when not asked (neither
      I(version_after), I(wait) nor check mode).
  returned: success
  type: str
  sample: V1.0.8
version_after:
  description:
    - The module's version after the task - read back with I(wait), the
      same as I(version_before) when the module was left alone, else null.
  returned: success
  type: str
  sample: V1.1.0
result:
  description:
    - kxd40ctl's result - C(done) (the image was sent, or in check mode
      would be) or C(skipped) (the module already was on I(version_after)).
  returned: success
  type: str
  sample: done
bytes:
  description: Bytes of the image sent; 0 when none was.
  returned: success
  type: int
  sample: 102400
# The module as kxd40ctl names it, as the other modules of the collection return it.
ip: {description: The module's address., returned: always, type: str, sample: 198.51.100.20}
mac: {description: The module's MAC address., returned: success, type: str, sample: ACCF23000014}
id: {description: The module's ID., returned: success, type: str, sample: KXD40-0020}
'''

from ansible_collections.kx.kxd40.plugins.module_utils.kxd40ctl import common_args, new_module, run_one


def main():
    module = new_module(
        argument_spec=common_args(
            image=dict(type='path', required=True),
            version_after=dict(type='str'),
            wait=dict(type='int'),
        ),
        supports_check_mode=True,
    )
    p = module.params
    options = []
    if p['version_after']:
        options += ['--version-after', p['version_after']]
    if p['wait'] is not None:
        options += ['--wait', str(p['wait'])]
    if module.check_mode:
        options.append('--check')
    record = run_one(module, 'upload', [p['image']], options, succeeded=('done', 'skipped'))
    data = record.get('data') or {}
    taken = record.get('result') == 'done'
    before = data.get('version_before')
    module.exit_json(
        changed=taken,
        result=record.get('result'),
        version_before=before,
        version_after=data.get('version_after', None if taken else before),
        bytes=data.get('bytes', 0),
        ip=record.get('ip'),
        mac=record.get('mac'),
        id=record.get('id'),
    )


if __name__ == '__main__':
    main()
