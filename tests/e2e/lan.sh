#!/bin/sh
# lan.sh - runs an end-to-end scenario on a simulated LAN: two network
# namespaces joined by a veth pair (198.51.100.0/24), the simulator with
# three modules in one, and an X server, a session bus and the scenario in
# the other. Needs root for the namespaces; exits 77 (skipped) without it.
#
# usage: lan.sh TOOL SIM SCENARIO.py WORKDIR
set -u
TOOL=$1 SIM=$2 SCENARIO=$3 WORK=$4

if [ "$(id -u)" -ne 0 ] || ! ip netns list >/dev/null 2>&1; then
    echo "lan.sh: network namespaces need root; skipped"
    exit 77
fi

rm -rf "$WORK"
mkdir -p "$WORK/data"
# The tool runs where a user runs it: beside data/ and the logo.
cp "$(dirname "$0")/../../pic" "$WORK/pic"
pc="kxe2e_pc_$$" mod="kxe2e_mod_$$"
SIM_PID=""
cleanup() {
    [ -n "$SIM_PID" ] && kill "$SIM_PID" 2>/dev/null && kill -CONT "$SIM_PID" 2>/dev/null && wait "$SIM_PID"
    ip netns del "$pc" 2>/dev/null; ip netns del "$mod" 2>/dev/null
}
trap cleanup EXIT

ip netns add "$pc" && ip netns add "$mod" || exit 1
ip -n "$pc" link add va type veth peer name vb netns "$mod" || exit 1
ip -n "$pc" addr add 198.51.100.1/24 broadcast 198.51.100.255 dev va
for a in 10 11 12; do ip -n "$mod" addr add "198.51.100.$a/24" broadcast 198.51.100.255 dev vb; done
for l in "$pc lo" "$mod lo" "$pc va" "$mod vb"; do ip -n ${l% *} link set ${l#* } up; done

# SIM_ARGS: run-wide simulator options a scenario needs (e.g. --firmware).
ip netns exec "$mod" "$SIM" ${SIM_ARGS:-} --broadcast 198.51.100.255 --modules 3 --first 198.51.100.10 \
    --log "$WORK/sim.log" > "$WORK/sim.out" 2>&1 &
SIM_PID=$!
# A busy machine may take seconds to start it: poll, bounded at a minute.
i=0
until grep -q "kxd40-sim: ready" "$WORK/sim.out" 2>/dev/null; do
    i=$((i + 1))
    [ $i -gt 1200 ] && { echo "lan.sh: the simulator did not start"; cat "$WORK/sim.out"; exit 1; }
    kill -0 "$SIM_PID" 2>/dev/null || { echo "lan.sh: the simulator ended"; cat "$WORK/sim.out"; exit 1; }
    sleep 0.05
done

# The scenario may stop and continue the simulator (a module falling silent).
export SIM_PID
ip netns exec "$pc" xvfb-run -a -s "-screen 0 1024x768x24" \
    dbus-run-session -- /usr/bin/python3 "$SCENARIO" "$TOOL" "$WORK" 2>&1 |
    grep -v -e "Failed to set fd limit" -e "SpiRegistry daemon is running"
exit "$(cat "$WORK/result" 2>/dev/null || echo 1)"
