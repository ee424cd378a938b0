#!/bin/sh
# version_test.sh - each program answers --version with "<name> <version>",
# the version being the build's (the project() line, handed in by CMake);
# the window answers before it needs a display. Answering changes nothing
# on the disk: run in an empty directory, with an empty home, each leaves
# both empty. (The installed launcher is asked in tests/package/.)
#
# usage: version_test.sh VERSION PROGRAM...
set -u
version=$1
shift
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
status=0

# ask NAME COMMAND...: runs COMMAND --version in an empty directory with an
# empty home and checks what it says and that nothing was made.
ask() {
    name=$1
    shift
    rm -rf "$tmp/cwd" "$tmp/home"
    mkdir "$tmp/cwd" "$tmp/home"
    out=$(cd "$tmp/cwd" && env -u DISPLAY -u WAYLAND_DISPLAY -u XDG_DATA_HOME HOME="$tmp/home" \
        "$@" --version 2>&1)
    rc=$?
    if [ "$rc" -ne 0 ] || [ "$out" != "$name $version" ]; then
        echo "version_test: $* --version exits $rc and prints '$out', not '$name $version'"
        status=1
    fi
    made=$(cd "$tmp" && find cwd home -mindepth 1)
    if [ -n "$made" ]; then
        echo "version_test: $* --version made:" $made
        status=1
    fi
}

for program in "$@"; do
    ask "$(basename "$program")" "$(realpath "$program")"
done
[ "$status" -eq 0 ] && echo "version_test: $* say $version and make nothing"
exit "$status"
