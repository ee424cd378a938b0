#!/bin/bash
# completion_test.sh - kxd40ctl's bash completion as bash runs it on a
# TAB, and its lists against what kxd40ctl --help says, so that neither
# can change without the other. The zsh completion is held to the same
# names, and parsed by zsh where zsh is installed.
#
# usage: completion_test.sh KXD40CTL BASH_COMPLETION ZSH_COMPLETION
set -u
ctl=$1 bash_file=$2 zsh_file=$3
failures=0
fail() { echo "completion_test: $*"; failures=$((failures + 1)); }

source /usr/share/bash-completion/bash_completion || { echo "no bash-completion"; exit 1; }
source "$bash_file"

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

# The program's own lists: subcommands and the long options of a help text.
subcommands() { "$ctl" --help | sed -n '/^Subcommands:/,$ s/^  \([a-z][a-z-]*\) .*/\1/p' | sort; }
options() { "$ctl" "$@" --help | sed -n 's/^  \(-[a-z],\)\{0,1\}\(--[a-z-]*\).*/\2/p' | sort; }

# The lists, against the program's.
subs=$(subcommands)
[[ $(wc -l <<<"$subs") -ge 10 ]] || fail "kxd40ctl --help lists too few subcommands: $subs"
expect "kxd40ctl " "$subs"
expect "kxd40ctl --" "$(options)"
for sub in $subs; do
    expect "kxd40ctl $sub --" "$(options "$sub")"
    grep -q "^ *$sub)" "$zsh_file" || fail "$zsh_file has no case for $sub"
    for o in $(options "$sub"); do
        grep -q -- "'[^']*$o[]=[]" "$zsh_file" || fail "$zsh_file does not know $sub $o"
    done
done
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
    echo "completion_test: no zsh here; $zsh_file not parsed"
fi
((failures == 0)) || exit 1
echo "completion_test: bash completion as kxd40ctl --help says"
