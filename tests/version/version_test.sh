#!/bin/sh
# version_test.sh - each program answers --version with "<name> <version>",
# the version being the build's (the project() line, handed in by CMake);
# the window answers before it needs a display.
#
# usage: version_test.sh VERSION PROGRAM...
set -u
version=$1
shift
status=0
for program in "$@"; do
    name=$(basename "$program")
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY "$program" --version 2>&1)
    rc=$?
    if [ "$rc" -ne 0 ] || [ "$out" != "$name $version" ]; then
        echo "version_test: $name --version exits $rc and prints '$out', not '$name $version'"
        status=1
    fi
done
[ "$status" -eq 0 ] && echo "version_test: $* say $version"
exit "$status"
