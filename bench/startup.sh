#!/bin/sh
# startup.sh - start-up of the real tool to its mapped search window, ten
# times, in a private network under Xvfb; prints the median.
#
# usage: startup.sh TOOL (run inside a private network, with DISPLAY set)
set -u
TOOL=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
times=""
i=0 refused=0
while [ $i -lt 10 ]; do
    t0=$(date +%s%N)
    (cd "$work" && exec "$TOOL" > "$work/out" 2>&1) &
    pid=$!
    # Polled without pause: xdotool's own --sync waits half a second a try.
    n=0
    until xdotool search --onlyvisible --name "KX-D40 搜索工具V1.0" > /dev/null 2>&1; do
        n=$((n + 1)); [ $n -lt 5000 ] || break
        # Now and then Xvfb refuses a connection ("cannot open display")
        # while the polls hammer it: that start is taken again, not timed.
        kill -0 "$pid" 2>/dev/null || break
    done
    t1=$(date +%s%N)
    if ! kill "$pid" 2>/dev/null; then
        refused=$((refused + 1))
        [ $refused -lt 5 ] || { echo "startup: the tool did not start: $(cat "$work/out")" >&2; exit 1; }
        continue
    fi
    wait "$pid" 2>/dev/null
    times="$times $(( (t1 - t0) / 1000000 ))"
    i=$((i + 1))
done
median=$(echo $times | tr ' ' '\n' | sort -n | sed -n 5p)
ok=ok; [ "$median" -le 300 ] || ok=FAIL
echo "summary: start-up to the mapped search window $median ms, median of 10 (target <= 300 ms) $ok"
[ "$ok" = ok ]
