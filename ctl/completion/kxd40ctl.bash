# kxd40ctl.bash - bash completion for kxd40ctl: its subcommands, each
# one's options, and file names where a file is expected (the desired
# settings, a backup, an image, --failed-to, --keyword-file, @FILE).
#
# Addresses are not offered: the only way to know them would be a search,
# which sends datagrams, and a TAB must never touch the network.
# tests/completion/ compares these lists with kxd40ctl --help, so a new
# option shows up here or fails the test.

_kxd40ctl_subcommands="search read apply diff backup restore send restart reset upload"

# The options of every subcommand that takes targets.
_kxd40ctl_fleet_options="--help --all --id --jobs --stagger --failed-to --json --quiet --from --broadcast
  --keyword-file --tries --timeout"

_kxd40ctl_options()
{
    local state="--exclude --show-secrets"
    case $1 in
    search) echo "--help --from --broadcast --keyword-file --json --csv --sweep --rate --prometheus" ;;
    read) echo "$_kxd40ctl_fleet_options --show-secrets --commands --csv --prometheus" ;;
    apply | restore) echo "$_kxd40ctl_fleet_options $state --check --force --verify" ;;
    diff) echo "$_kxd40ctl_fleet_options $state --prometheus" ;;
    backup | send) echo "$_kxd40ctl_fleet_options" ;;
    restart) echo "$_kxd40ctl_fleet_options --wait --yes" ;;
    reset) echo "$_kxd40ctl_fleet_options --yes" ;;
    upload) echo "$_kxd40ctl_fleet_options --wait --version-after --canary --max-fail --check" ;;
    esac
}

# The options followed by a value, so that the value is not counted as a
# positional word.
_kxd40ctl_takes_value()
{
    case $1 in
    --id | --jobs | --stagger | --failed-to | --from | --broadcast | --keyword-file | --tries | --timeout | \
        --exclude | --wait | --sweep | --rate | --prometheus | --version-after | --canary | --max-fail)
        return 0 ;;
    esac
    return 1
}

_kxd40ctl()
{
    local cur prev words cword split
    _init_completion -s || return

    # Options may come before the subcommand, their values with them.
    local i sub="" first=0
    for ((i = 1; i < cword; i++)); do
        if [[ ${words[i]} != -* ]]; then
            sub=${words[i]}
            first=$((i + 1))
            break
        fi
        [[ ${words[i]} != *=* ]] && _kxd40ctl_takes_value "${words[i]}" && ((i++))
    done
    if [[ -z $sub ]]; then
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W "--help --version" -- "$cur"))
        else
            COMPREPLY=($(compgen -W "$_kxd40ctl_subcommands" -- "$cur"))
        fi
        return
    fi

    case $prev in
    --failed-to | --keyword-file | --prometheus)
        _filedir
        return ;;
    esac
    if _kxd40ctl_takes_value "$prev"; then
        return # a number, an address, a pattern or a setting's name
    fi
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$(_kxd40ctl_options "$sub")" -- "$cur"))
        return
    fi
    if [[ $cur == @* ]]; then
        local IFS=$'\n'
        COMPREPLY=($(compgen -f -P @ -- "${cur#@}"))
        return
    fi

    # Which positional word this is: the first is a file for some.
    local n=0
    for ((i = first; i < cword; i++)); do
        if [[ ${words[i]} == -* ]]; then
            [[ ${words[i]} != *=* ]] && _kxd40ctl_takes_value "${words[i]}" && ((i++))
        else
            ((n++))
        fi
    done
    ((n == 0)) || return # targets: addresses, ranges, @FILE
    case $sub in
    apply | diff | upload | restore) _filedir ;;
    backup) _filedir -d ;;
    esac
} &&
    complete -F _kxd40ctl kxd40ctl
