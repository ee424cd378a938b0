#!/bin/sh
# readme_test.sh - runs the README's kxd40ctl walk-through as it stands,
# in the private network the README has the reader make, with the
# build's programs; every line the README shows as its output must
# be printed. So the walk-through cannot go stale.
#
# usage: readme_test.sh README CTL_DIR SIM_DIR
set -u
readme=$1 ctl_dir=$2 sim_dir=$3
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "readme_test: $*"; exit 1; }

# The fenced block after the marker comment whose text begins with $1.
block() {
    awk -v mark="<!-- $1" '
        index($0, mark) == 1 { found = 1; next }
        found && /^```/ { if (inside) exit; inside = 1; next }
        inside { print }' "$readme"
}
# Should a command fail before the block's own kill, the simulator it
# started is ended by its PID all the same (and only then: after a whole
# run the PID is no longer the simulator's).
echo 'trap '\''s=$?; [ "$s" -eq 0 ] || [ -z "${sim:-}" ] || kill "$sim" 2>/dev/null || :'\'' EXIT; trap "exit 143" TERM' > "$tmp/walk.sh"
block "walk-through:" >> "$tmp/walk.sh"
block "walk-through output:" > "$tmp/expected"
[ "$(wc -l < "$tmp/walk.sh")" -gt 1 ] && [ -s "$tmp/expected" ] || fail "no walk-through or no output in $readme"

if [ "$(id -u)" -eq 0 ]; then UNSHARE="unshare -n"; else UNSHARE="unshare -rn"; fi
$UNSHARE true 2>/dev/null || { echo "readme_test: no private network can be had; skipped"; exit 77; }
# The shell runs the block as the README starts it, just before the block
# (as root; else with -r, as it says), so that command cannot go stale.
# shellcheck disable=SC2046 # split into words on purpose
set -- $(awk 'index($0, "<!-- walk-through:") == 1 { print cmd; exit } /^    [a-z]/ { cmd = $0 }' "$readme")
[ "$#" -gt 0 ] || fail "no command before the walk-through in $readme"
[ "$(id -u)" -eq 0 ] || [ "$1 $2" != "unshare -n" ] || { shift 2; set -- unshare -rn "$@"; }

# The block's own scratch directory goes inside ours (TMPDIR), and the
# reader's keyword file and defaults stay out of it.
mkdir "$tmp/work"
(cd "$tmp/work" && env -u KXD40CTL_FROM -u KXD40CTL_TRIES -u KXD40CTL_TIMEOUT -u KXD40CTL_KEYWORD_FILE \
    TMPDIR="$tmp/work" XDG_DATA_HOME="$tmp/nothing" PATH="$ctl_dir:$sim_dir:$PATH" \
    timeout 100 "$@" -e "$tmp/walk.sh") > "$tmp/out" 2> "$tmp/err" ||
    fail "the walk-through failed under '$*' (exit $?): $(tail -5 "$tmp/err")"

while IFS= read -r line; do
    [ "$line" = "..." ] && continue
    grep -qxF -- "$line" "$tmp/out" || fail "the README shows '$line', the walk-through did not print it; it printed:
$(cat "$tmp/out")"
done < "$tmp/expected"
echo "readme_test: the walk-through ran as written, printing the $(grep -vcxF ... "$tmp/expected") lines shown"
