#!/bin/bash
# help_copies_test.sh - the copies of what kxd40ctl --help and kxd40-sim
# --help list, held to the programs so that neither can change without the
# other. The three manual pages render without a warning from man or groff
# and document every long option, and the messages kxd40ctl's page quotes
# are the program's own. kxd40ctl's bash completion, run as bash runs it on
# a TAB, offers exactly the subcommands and options of --help (files where
# a file goes, nothing where an address goes); the zsh completion knows the
# same names, and is parsed by zsh where zsh is installed.
#
# usage: help_copies_test.sh KXD40CTL KXD40_SIM SOURCE_DIR
set -u
ctl=$1 sim=$2 src=$3
page=$src/ctl/kxd40ctl.1 zsh_file=$src/ctl/completion/_kxd40ctl
failures=0
fail() { echo "help_copies_test: $*"; failures=$((failures + 1)); }

source /usr/share/bash-completion/bash_completion || { echo "no bash-completion"; exit 1; }
source "$src/ctl/completion/kxd40ctl.bash"

# What a TAB at the end of the line offers, one per line, sorted.
offered()
{
    COMP_LINE=$1
    COMP_POINT=${#1}
    read -ra COMP_WORDS <<<"$1"
    [[ $1 == *' ' ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _kxd40ctl kxd40ctl "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    ((${#COMPREPLY[@]})) && printf '%s\n' "${COMPREPLY[@]}" | sort
}

expect()
{
    local got
    got=$(offered "$1")
    [[ $got == "$2" ]] || fail "'$1<TAB>' offers [${got//$'\n'/ }], not [${2//$'\n'/ }]"
}

# An option is documented when the page's source names it, hyphens escaped
# as roff wants them ("\-\-boot\-ms"), and no longer option begins with it.
documents() { # PAGE OPTION
    escaped=$(printf '%s' "$2" | sed 's/-/\\\\-/g')
    grep -q -- "$escaped\([^a-z\\\\]\|\\\\[^-]\|$\)" "$1"
}
# The long options of a help text, sorted.
long_options() { sed -n 's/^  \(-[a-z],\)\{0,1\}\(--[a-z-]*\).*/\2/p' | sort; }

for man_page in "$page" "$src/sim/kxd40-sim.1" "$src/packaging/kxd40-tool.1"; do
    for warnings in --warnings --warnings=w; do
        said=$(LC_ALL=C.UTF-8 MANWIDTH=80 man "$warnings" -l "$man_page" 2>&1 >/dev/null)
        [[ -z $said ]] || fail "man $warnings -l $man_page: $said"
    done
    LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$man_page" | grep -q '^NAME' || fail "$man_page renders no NAME section"
done
documents "$src/packaging/kxd40-tool.1" --version || fail "kxd40-tool.1 does not document --version"
sim_options=$("$sim" --help | long_options)
[[ $(wc -l <<<"$sim_options") -ge 20 ]] || fail "kxd40-sim --help lists too few options: $sim_options"
for o in $sim_options; do
    documents "$src/sim/kxd40-sim.1" "$o" || fail "kxd40-sim.1 does not document $o"
done

subs=$("$ctl" --help | sed -n '/^Subcommands:/,$ s/^  \([a-z][a-z-]*\) .*/\1/p' | sort)
[[ $(wc -l <<<"$subs") -ge 10 ]] || fail "kxd40ctl --help lists too few subcommands: $subs"
expect "kxd40ctl " "$subs"
for sub in "" $subs; do
    options=$("$ctl" $sub --help | long_options)
    expect "kxd40ctl ${sub:+$sub }--" "$options"
    [[ -z $sub ]] || grep -q "^\.B $sub\$" "$page" || fail "kxd40ctl.1 has no entry for the subcommand $sub"
    [[ -z $sub ]] || grep -q "^ *$sub)" "$zsh_file" || fail "$zsh_file has no case for $sub"
    for o in $options; do
        documents "$page" "$o" || fail "kxd40ctl.1 does not document $sub $o"
        [[ -z $sub ]] || grep -q -- "'[^']*$o[]=[]" "$zsh_file" || fail "$zsh_file does not know $sub $o"
    done
done
# Every message the page quotes is one the program says: each piece of it
# between placeholders (DIR, MAC, N, ...) is in the program's texts.
python3 - "$page" "$ctl" <<'PY' || fail "kxd40ctl.1 quotes what kxd40ctl never says (above)"
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
            print(f"kxd40ctl.1 quotes \"{text}\" but kxd40ctl never says \"{piece}\"")
            bad = 1
sys.exit(bad)
PY

expect "kxd40ctl ap" "apply"
expect "kxd40ctl apply --ch" "--check"
# Files where a file goes, directories where a directory goes, nothing
# where an address goes.
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cd "$tmp" && mkdir backups && touch desired.txt fw.bin
all=$'backups\ndesired.txt\nfw.bin'
expect "kxd40ctl apply " "$all"
expect "kxd40ctl apply --tries 3 de" "desired.txt"
expect "kxd40ctl apply desired.txt " ""
expect "kxd40ctl diff --exclude " ""
expect "kxd40ctl upload --wait 60 " "$all"
expect "kxd40ctl upload fw.bin " ""
expect "kxd40ctl restore " "$all"
expect "kxd40ctl backup " "backups"
expect "kxd40ctl read --failed-to " "$all"
expect "kxd40ctl search --keyword-file d" "desired.txt"
expect "kxd40ctl read @d" "@desired.txt"
expect "kxd40ctl send 198.51.100.10 " ""
expect "kxd40ctl read --from " ""

if command -v zsh >/dev/null; then
    zsh -n "$zsh_file" || fail "zsh cannot parse $zsh_file"
else
    echo "help_copies_test: no zsh here; $zsh_file not parsed"
fi
((failures == 0)) || exit 1
echo "help_copies_test: three pages render cleanly, and they and the completions hold every name --help lists"
