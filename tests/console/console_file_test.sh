#!/bin/sh
# console_file_test.sh - the window's console lines reach a file as they are
# written, as on a terminal. The real program runs in a private network under
# Xvfb with its standard output to a file; a press of Search while another
# program holds port 48899 prints a console line, which must be in the file
# while the program still runs, and still there once it is killed (SIGKILL,
# by its PID), as a crash would end it.
#
# usage: console_file_test.sh PROGRAM WORKDIR
# Exit 0 passed; 77 no private network or no X tools; else 1.
set -u
if [ "${1:-}" != "--inside" ]; then
    if [ "$(id -u)" -eq 0 ]; then NET="unshare -n"; else NET="unshare -rn"; fi
    $NET true 2>/dev/null || { echo "no private network namespace"; exit 77; }
    for t in xvfb-run xdotool; do
        command -v $t >/dev/null 2>&1 || { echo "$t is not installed"; exit 77; }
    done
    rm -rf "$2" && mkdir -p "$2" || exit 1
    tool=$(realpath "$1") work=$(realpath "$2")
    # shellcheck disable=SC2016 # expanded by the inner shell
    exec $NET sh -c 'ip link set lo up && exec xvfb-run -a -s "-screen 0 1024x768x24" sh "$0" --inside "$@"' \
        "$0" "$tool" "$work"
fi
TOOL=$2 WORK=$3
cd "$WORK" || exit 1

# The holder of the port's claim (port_claim.cpp): an abstract socket of
# that name, listening, until it is ended.
/usr/bin/python3 -c '
import socket, sys, time
s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
s.bind("\0kxd40-udp-48899")
s.listen(1)
print("held", flush=True)
time.sleep(600)' > holder.out &
holder=$!
"$TOOL" > console.log 2> stderr.log &
tool=$!
finish() {
    kill -KILL "$tool" 2>/dev/null; wait "$tool" 2>/dev/null
    kill "$holder" 2>/dev/null; wait "$holder" 2>/dev/null
}
fail() { echo "FAIL: $*"; finish; exit 1; }

# A bounded poll (10 s) until the command given succeeds.
appears() {
    i=0
    until "$@"; do
        i=$((i + 1))
        [ $i -gt 200 ] && return 1
        sleep 0.05
    done
}
appears grep -qx held holder.out || fail "the port's holder did not start"
window=$(timeout 20 xdotool search --sync --onlyvisible --name "KX-D40" | head -1)
[ -n "$window" ] || fail "the window did not appear: $(cat stderr.log)"

line="Port 48899 is held by another program: .* (pid $holder)"
# The Search button's middle (set_list_frame: 190,220 in the list's frame).
# A press that comes before the window takes the pointer is lost: press
# until the line comes, a few times at most.
presses=0
until grep -qx "$line" console.log; do
    presses=$((presses + 1))
    [ $presses -gt 5 ] && fail "no console line in the file while the window runs: '$(cat console.log)'"
    xdotool mousemove --window "$window" 226 244 click 1
    appears grep -qx "$line" console.log
done
kill -0 "$tool" 2>/dev/null || fail "the window ended before its line was read"
kill -KILL "$tool"
wait "$tool" 2>/dev/null
grep -qx "$line" console.log || fail "the line is gone after the kill"
finish
echo "the console line was in the file while the window ran, and after SIGKILL"
