# -*- coding: utf-8 -*-
# The options that every module of the collection passes on to kxd40ctl,
# documented once.

from __future__ import absolute_import, division, print_function
__metaclass__ = type


class ModuleDocFragment(object):

    DOCUMENTATION = r'''
options:
  address:
    description:
      - IPv4 address of the KX-D40 module on the managed host's LAN, in
        dotted form. One module per task (a loop for several); a range,
        a list, C(@FILE) or C(--all) is refused before anything runs.
    type: str
    required: true
  kxd40ctl:
    description:
      - The kxd40ctl program on the managed host, a path or a name looked
        up on the C(PATH).
    type: path
    default: kxd40ctl
  chdir:
    description:
      - Directory to run kxd40ctl in. kxd40ctl reads the search keyword
        from C(data/aswd.txt) below its working directory, else from the
        installed window's keyword file of the user the task runs as,
        C($XDG_DATA_HOME/kxd40-tool/data/aswd.txt) (normally
        C(~/.local/share/kxd40-tool/data/aswd.txt)), else uses the
        factory keyword.
    type: path
  local_address:
    description:
      - One of the managed host's own addresses to search from
        (kxd40ctl's C(--from)). Needed only when the host has several
        and the modules are not on the first.
    type: str
  timeout:
    description:
      - Milliseconds to wait for an answer before sending again
        (kxd40ctl's C(--timeout); its default is 500).
    type: int
  tries:
    description:
      - Sends of each keyword, query or setting before the module counts
        as silent (kxd40ctl's C(--tries); its default is 4).
    type: int
requirements:
  - kxd40ctl on the managed host, which must sit on the modules' LAN.
notes:
  - kxd40ctl talks to the module, not Ansible; one kxd40ctl at a time
    can use a host's UDP port 48899, so tasks against modules of one site
    must not run in parallel on that site's host (the default, since a
    host runs its tasks one after the other).
'''
