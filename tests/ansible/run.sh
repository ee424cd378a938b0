#!/bin/sh
# Runs the collection's test in a private network namespace with only
# loopback up, so that nothing kxd40ctl sends can leave this machine.
# Exits 77 (skipped) where ansible-playbook or the namespace is missing.
# usage: run.sh KXD40CTL KXD40_SIM COLLECTIONS_DIR WORK_DIR
set -eu
here=$(cd "$(dirname "$0")" && pwd)
if ! command -v ansible-playbook >/dev/null 2>&1; then
    echo "ansible-playbook is not installed (script/bootstrap installs ansible-core)"
    exit 77
fi
if ! unshare -n true 2>/dev/null; then
    echo "cannot make a private network namespace (needs root)"
    exit 77
fi
# shellcheck disable=SC2016 # expanded by the inner shell
exec unshare -n sh -c 'ip link set lo up && exec /usr/bin/python3 "$0" "$@"' \
    "$here/collection_test.py" "$@"
