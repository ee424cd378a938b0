#!/bin/sh
# man_test.sh - the three manual pages render without a warning from man
# or groff, and each documents every option its program accepts, as the
# program itself lists them (kxd40-sim --help, kxd40ctl [SUB] --help); the
# messages kxd40ctl's page quotes are the program's own.
#
# usage: man_test.sh KXD40CTL KXD40_SIM SOURCE_DIR
set -u
ctl=$1 sim=$2 src=$3
status=0
fail() { echo "man_test: $*"; status=1; }

for page in "$src/ctl/kxd40ctl.1" "$src/sim/kxd40-sim.1" "$src/packaging/kxd40-tool.1"; do
    for warnings in --warnings --warnings=w; do
        said=$(LC_ALL=C.UTF-8 MANWIDTH=80 man "$warnings" -l "$page" 2>&1 >/dev/null)
        [ -z "$said" ] || fail "man $warnings -l $page: $said"
    done
    LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$page" | grep -q '^NAME' || fail "$page renders no NAME section"
done

# An option is documented when the page's source names it, hyphens escaped
# as roff wants them ("\-\-boot\-ms"), and no longer option begins with it.
documents() { # PAGE OPTION
    escaped=$(printf '%s' "$2" | sed 's/-/\\\\-/g')
    grep -q -- "$escaped\([^a-z\\\\]\|\\\\[^-]\|$\)" "$1"
}
long_options() { sed -n 's/^  \(-[a-z],\)\{0,1\}\(--[a-z-]*\).*/\2/p'; }

sim_options=$("$sim" --help | long_options)
[ "$(echo "$sim_options" | wc -l)" -ge 20 ] || fail "kxd40-sim --help lists too few options: $sim_options"
for o in $sim_options; do
    documents "$src/sim/kxd40-sim.1" "$o" || fail "kxd40-sim.1 does not document $o"
done

page="$src/ctl/kxd40ctl.1"
subs=$("$ctl" --help | sed -n '/^Subcommands:/,$ s/^  \([a-z][a-z-]*\) .*/\1/p')
[ "$(echo "$subs" | wc -l)" -ge 10 ] || fail "kxd40ctl --help lists too few subcommands: $subs"
for o in $("$ctl" --help | long_options); do
    documents "$page" "$o" || fail "kxd40ctl.1 does not document $o"
done
for sub in $subs; do
    grep -q "^\.B $sub\$" "$page" || fail "kxd40ctl.1 has no entry for the subcommand $sub"
    for o in $("$ctl" "$sub" --help | long_options); do
        documents "$page" "$o" || fail "kxd40ctl.1 does not document $sub $o"
    done
done
# Every message the page quotes is one the program says: each piece of it
# between placeholders (DIR, MAC, N, ...) is in the program's texts.
python3 - "$page" "$ctl" <<'EOF' || status=1
import re, subprocess, sys
page, ctl = sys.argv[1], sys.argv[2]
strings = subprocess.run(["strings", "-n", "4", ctl], capture_output=True, text=True).stdout
bad = 0
for q in re.findall(r'^\.RI \( "([^"]+)" \)', open(page).read(), re.M):
    text = q.replace("\\(dq", '"').replace("\\-", "-").replace("\\e", "\\")
    # Pieces between placeholders, and between the ": " and ", " where the
    # program joins its texts at run time.
    for piece in re.split(r"\b[A-Z][A-Z0-9_]*(?:\.json)?\b(?:=\S*)?|\.\.\.|\d+|: |, ", text):
        piece = piece.strip(" :/().,")
        if len(piece) >= 8 and piece not in strings:
            print(f"man_test: kxd40ctl.1 quotes \"{text}\" but kxd40ctl never says \"{piece}\"")
            bad = 1
sys.exit(bad)
EOF
documents "$src/packaging/kxd40-tool.1" --version || fail "kxd40-tool.1 does not document --version"

[ "$status" -eq 0 ] && echo "man_test: three pages render cleanly and document every option"
exit "$status"
