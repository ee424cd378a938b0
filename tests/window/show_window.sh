#!/bin/sh
# show_window.sh - starts PROGRAM as a user would, but in a private network
# of its own under Xvfb, and waits up to 20 s for a visible window whose
# title matches TITLE (an xdotool regular expression); then ends the
# program by its PID. What the program prints goes to LOG. The caller's
# environment (HOME, LC_ALL, ...) is the program's.
#
# usage: show_window.sh PROGRAM TITLE LOG
# Exit 0: the window was shown; 77: no private network can be had; else 1.
set -u
if [ "$(id -u)" -eq 0 ]; then NET="unshare -n"; else NET="unshare -rn"; fi
$NET true 2>/dev/null || exit 77
# shellcheck disable=SC2016
exec $NET sh -c '
    ip link set lo up
    exec xvfb-run -a -s "-screen 0 1024x768x24" sh -c "
        \"\$0\" > \"\$2\" 2>&1 &
        pid=\$!
        timeout 20 xdotool search --sync --onlyvisible --name \"\$1\" > /dev/null
        shown=\$?
        kill \$pid; wait \$pid 2>/dev/null
        [ \$shown -eq 0 ] || exit 1" "$0" "$1" "$2"' "$1" "$2" "$3"
