#!/bin/sh
# package_test.sh - builds the Debian packages as a user of the repository
# would (dpkg-buildpackage from the committed tree, in a temporary copy),
# lets lintian judge them, checks what each package holds and depends on,
# then unpacks them into a temporary root and starts kxd40ctl, the
# simulator and the window from there (the window in English, in a private
# network, under Xvfb). Only committed files count, as on a fresh clone.
#
# usage: tests/package/package_test.sh
# Exit 0: all good; 77: this machine cannot make a private network; else 1.
set -u
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
start=$(date +%s)
fail() { echo "package_test: FAIL: $*"; exit 1; }
say() { echo "package_test: $*"; }

if [ "$(id -u)" -eq 0 ]; then UNSHARE="unshare -n"; else UNSHARE="unshare -rn"; fi
$UNSHARE true 2>/dev/null || { say "no private network can be had; skipped"; exit 77; }
for t in git dpkg-buildpackage dpkg-parsechangelog lintian xvfb-run xdotool ansible-doc \
         desktop-file-validate; do
    command -v "$t" >/dev/null || fail "$t is missing (script/bootstrap installs it)"
done

# The package's upstream version is the project's version: one place.
version=$(sed -n 's/^project([^ ]* VERSION \([0-9.]*\).*/\1/p' "$ROOT/CMakeLists.txt")
debversion=$(dpkg-parsechangelog -l "$ROOT/debian/changelog" -S Version)
[ -n "$version" ] || fail "no VERSION in the project() line of CMakeLists.txt"
[ "${debversion%-*}" = "$version" ] ||
    fail "debian/changelog says $debversion, CMakeLists.txt says $version"
galaxy=$(sed -n 's/^version: *//p' "$ROOT/ansible/ansible_collections/kx/kxd40/galaxy.yml")
[ "$galaxy" = "$version" ] || fail "the collection's galaxy.yml says $galaxy, CMakeLists.txt says $version"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
git -C "$ROOT" status --porcelain --untracked-files=no | grep -q . &&
    say "note: uncommitted changes are not in the package; HEAD is built"
src="$tmp/kxd40-$version"
git -C "$ROOT" archive --prefix="kxd40-$version/" HEAD | tar -x -C "$tmp" || fail "git archive failed"
# A repository of its own, all of it tracked, to see what the build leaves.
git -C "$src" init -q && git -C "$src" add -A || fail "git init in the copy failed"

say "building the packages (dpkg-buildpackage -us -uc -b) ..."
b0=$(date +%s)
(cd "$src" && DEB_BUILD_OPTIONS="parallel=$(nproc)" dpkg-buildpackage -us -uc -b) > "$tmp/build.log" 2>&1 ||
    { tail -40 "$tmp/build.log"; fail "dpkg-buildpackage failed"; }
say "package build took $(( $(date +%s) - b0 )) s"
left=$(git -C "$src" status --porcelain | grep -v '^A ') && fail "the build leaves untracked files: $left"
# The README's install command works where it is written, in the tree built.
# shellcheck disable=SC2013,SC2086 # the README's glob, expanded as the shell there would
for glob in $(sed -n 's/.*apt install \([^ `]*\.deb\).*/\1/p' "$ROOT/README.md"); do
    (cd "$src" && ls $glob) > /dev/null 2>&1 || fail "README: apt install $glob: no such package from $src"
done

changes="$tmp/kxd40_${debversion}_$(dpkg-architecture -qDEB_HOST_ARCH).changes"
[ -f "$changes" ] || fail "no $changes"
say "lintian --info --display-info --pedantic --show-overrides:"
lintian --info --display-info --pedantic --show-overrides "$changes" > "$tmp/lintian.txt" 2>&1
lrc=$?
grep -v '^running with root privileges' "$tmp/lintian.txt"
[ $lrc -le 1 ] || fail "lintian did not run (status $lrc)"
grep -q '^[EW]: ' "$tmp/lintian.txt" && fail "lintian reports errors or warnings (above)"

deb() { ls "$tmp/$1"_"$debversion"_*.deb 2>/dev/null | head -1; }
# expect PACKAGE PATH...: each path is in the package.
expect() {
    p=$1; shift
    for f in "$@"; do
        grep -qxF "./$f" "$tmp/$p.list" || fail "$p lacks /$f"
    done
}
metrics_units="lib/systemd/system/kxd40ctl-metrics.service lib/systemd/system/kxd40ctl-metrics.timer"
printf './%s\n' etc etc/default etc/default/kxd40ctl-metrics lib lib/systemd lib/systemd/system \
    $metrics_units > "$tmp/outside"
for p in kxd40-tool kxd40ctl kxd40-sim kxd40-ansible; do
    d=$(deb $p)
    [ -n "$d" ] || fail "no package $p was built"
    dpkg-deb -c "$d" | awk '{ print $NF }' | sed 's,/$,,' > "$tmp/$p.list"
    echo "== $p: Depends: $(dpkg-deb -f "$d" Depends)"
    cat "$tmp/$p.list"
    grep -Eqx "\./usr/share/doc/$p/README\.md(\.gz)?" "$tmp/$p.list" || fail "$p has no README in /usr/share/doc"
    # Installed under /usr only (but kxd40ctl's metrics timer: its units
    # where this debhelper puts them, its settings in /etc/default), and
    # no path of the build's own.
    grep -v -e '^\.$' -e '^\./usr$' -e '^\./usr/' "$tmp/$p.list" | grep -vxF -f "$tmp/outside" &&
        fail "$p installs outside /usr"
    grep -e '^\./usr/local' -e 'obj-' "$tmp/$p.list" && fail "$p holds build or /usr/local paths"
done

expect kxd40-tool usr/bin/kxd40-tool usr/libexec/kxd40-tool/kxd40-tool \
    usr/share/kxd40-tool/pic usr/share/kxd40-tool/aswd.txt \
    usr/share/applications/kxd40-tool.desktop \
    usr/share/icons/hicolor/48x48/apps/kxd40-tool.png usr/share/icons/hicolor/scalable/apps/kxd40-tool.svg \
    usr/share/man/man1/kxd40-tool.1.gz usr/share/locale/en/LC_MESSAGES/kxd40-tool.mo
# The example inventory names kxd40ctl where the package puts it.
ctl=$(sed -n 's/^ *kxd40ctl_path: *//p' "$ROOT/ansible/ansible_collections/kx/kxd40/examples/inventory.yml")
expect kxd40ctl "${ctl#/}" usr/share/man/man1/kxd40ctl.1.gz \
    usr/share/bash-completion/completions/kxd40ctl usr/share/zsh/vendor-completions/_kxd40ctl \
    $metrics_units etc/default/kxd40ctl-metrics usr/lib/sysusers.d/kxd40ctl.conf usr/lib/tmpfiles.d/kxd40ctl.conf
expect kxd40-sim usr/bin/kxd40-sim usr/share/man/man1/kxd40-sim.1.gz
coll=usr/share/ansible/collections/ansible_collections/kx/kxd40
expect kxd40-ansible $coll/galaxy.yml $coll/meta/runtime.yml \
    $coll/plugins/modules/settings.py $coll/plugins/modules/facts.py $coll/plugins/module_utils/kxd40ctl.py

depends() { dpkg-deb -f "$(deb "$1")" Depends; }
depends kxd40-tool | grep -q 'libgtk2\.0-0' || fail "kxd40-tool does not depend on libgtk2.0-0"
depends kxd40ctl | grep -q 'libc6' || fail "kxd40ctl has no shared-library dependencies"
for p in kxd40ctl kxd40-sim; do
    depends $p | grep -Eq 'gtk|gdk|pango|cairo' && fail "$p depends on GTK: $(depends $p)"
done
depends kxd40-ansible | grep -Eq '(^|, )kxd40ctl($|[ ,])' || fail "kxd40-ansible does not depend on kxd40ctl"
depends kxd40-ansible | grep -q 'ansible-core' || fail "kxd40-ansible does not depend on ansible-core"

# Installed: every package unpacked into one root, started from there.
inst="$tmp/root"
for p in kxd40-tool kxd40ctl kxd40-sim kxd40-ansible; do dpkg -x "$(deb $p)" "$inst" || fail "dpkg -x $p"; done
leak=$(grep -rlF "$src" "$inst") && fail "installed files name the build directory: $leak"
desktop-file-validate "$inst/usr/share/applications/kxd40-tool.desktop" || fail "desktop entry not valid"
# bash-completion loads the file by the command's name: it must complete kxd40ctl.
bash -c '. "$1" && complete -p kxd40ctl' sh "$inst/usr/share/bash-completion/completions/kxd40ctl" >/dev/null ||
    fail "the packaged completion does not complete kxd40ctl"
mkdir -p "$tmp/vhome" "$tmp/home"
# Asking the installed launcher its version makes no working directory.
for prog in kxd40ctl kxd40-sim kxd40-tool; do
    out=$($UNSHARE env HOME="$tmp/vhome" XDG_DATA_HOME= "$inst/usr/bin/$prog" --version 2>&1)
    [ "$out" = "$prog $version" ] || fail "$prog --version printed '$out', not '$prog $version'"
    [ -z "$(ls -A "$tmp/vhome")" ] || fail "$prog --version made $(ls -A "$tmp/vhome") in the home directory"
done

# The metrics service's command line, with the settings the package ships
# (the desired file and the metrics file moved into ours, the broadcast
# kept on loopback), diffs a simulated module into the metrics file.
cmdline=$(sed -n 's/^ExecStart=//p' "$inst/lib/systemd/system/kxd40ctl-metrics.service" |
          sed -e 's/\${\([A-Z0-9_]*\)}/"$\1"/g' -e 's,^/usr/bin/,"$1"/usr/bin/,')
printf 'AT+WSSSID=Lab\n' > "$tmp/desired.txt"
# shellcheck disable=SC2016 # expanded by the inner shell
$UNSHARE sh -c '
    ip link set lo up
    . "$1/etc/default/kxd40ctl-metrics"
    KXD40_DESIRED=$2/desired.txt KXD40_METRICS=$2/kxd40.prom KXD40_OPTIONS="$KXD40_OPTIONS --broadcast 127.255.255.255"
    "$1/usr/bin/kxd40-sim" --broadcast 127.255.255.255 --module 127.0.0.2 > "$2/sim.out" & sim=$!
    for _ in $(seq 100); do grep -q ready "$2/sim.out" && break; sleep 0.1; done
    eval "$3"; status=$?
    kill "$sim"
    exit "$status"' sh "$inst" "$tmp" "$cmdline" > "$tmp/metrics.out" 2>&1
[ $? -eq 1 ] || fail "the metrics service's diff did not find the one difference: $(cat "$tmp/metrics.out")"
grep -qxF 'kxd40_setting_drift{ip="127.0.0.2",field="sta.ssid"} 1' "$tmp/kxd40.prom" ||
    fail "the metrics service wrote no drift of 127.0.0.2: $(cat "$tmp/kxd40.prom" "$tmp/metrics.out")"

# ansible-core finds the collection where the package put it.
HOME="$tmp" ANSIBLE_COLLECTIONS_PATH="$inst/usr/share/ansible/collections" \
    ansible-doc -t module kx.kxd40.settings > "$tmp/doc.txt" 2>&1 ||
    fail "ansible-doc does not find kx.kxd40.settings: $(cat "$tmp/doc.txt")"

# The window is looked for by its English title, which it has only when it
# finds the packaged catalogue from where the package put it; the tool is
# ended by its PID.
locale -a 2>/dev/null | grep -qx 'en_US.utf8' || fail "no en_US.UTF-8 locale (script/bootstrap makes it)"
HOME="$tmp/home" XDG_DATA_HOME= LC_ALL=en_US.UTF-8 LANGUAGE= "$ROOT/tests/window/show_window.sh" \
    "$inst/usr/bin/kxd40-tool" "^KX-D40 Search Tool V1.0$" "$tmp/tool.out" ||
    fail "the installed window did not appear in English: $(cat "$tmp/tool.out" 2>/dev/null)"
work="$tmp/home/.local/share/kxd40-tool"
cmp -s "$work/pic" "$inst/usr/share/kxd40-tool/pic" || fail "the launcher did not copy the logo to $work"
[ -e "$work/data/aswd.txt" ] || fail "the launcher did not copy the keyword file to $work/data"

say "built, lintian-clean, contents and dependencies as expected, kxd40ctl $version and the window start from the packages ($(( $(date +%s) - start )) s)"
