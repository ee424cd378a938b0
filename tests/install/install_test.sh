#!/bin/sh
# install_test.sh - installs into a temporary prefix and starts the
# installed launcher as the desktop menu would, in a private network under
# Xvfb: the search window must appear, in English too where the locale asks
# for it, and the launcher must have made the per-user working directory
# with data/ and the logo.
#
# usage: install_test.sh BUILD_DIR
set -u
BUILD=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "install_test: $*"; exit 1; }

if [ "$(id -u)" -eq 0 ]; then UNSHARE="unshare -n"; else UNSHARE="unshare -rn"; fi
$UNSHARE true 2>/dev/null || { echo "install_test: no private network can be had; skipped"; exit 77; }

cmake --install "$BUILD" --prefix "$tmp/prefix" >/dev/null || fail "cmake --install failed"
for f in bin/kxd40-tool bin/kxd40-sim bin/kxd40ctl share/kxd40-tool/pic share/applications/kxd40-tool.desktop \
         share/icons/hicolor/48x48/apps/kxd40-tool.png share/icons/hicolor/scalable/apps/kxd40-tool.svg \
         share/man/man1/kxd40-tool.1 share/man/man1/kxd40ctl.1 share/man/man1/kxd40-sim.1 \
         share/bash-completion/completions/kxd40ctl share/zsh/vendor-completions/_kxd40ctl \
         share/locale/en/LC_MESSAGES/kxd40-tool.mo; do
    [ -e "$tmp/prefix/$f" ] || fail "not installed: $f"
done
version=$(sed -n 's/^#define KXD40_VERSION "\(.*\)"$/\1/p' "$BUILD/generated/version.h")
said=$("$tmp/prefix/bin/kxd40ctl" --version)
[ "$said" = "kxd40ctl $version" ] || fail "the installed kxd40ctl --version says '$said', not 'kxd40ctl $version'"
# bash-completion loads the file by the command's name: it must define
# the completion of kxd40ctl.
bash -c '. "$1" && complete -p kxd40ctl' sh "$tmp/prefix/share/bash-completion/completions/kxd40ctl" >/dev/null ||
    fail "the installed completion does not complete kxd40ctl"
desktop-file-validate "$tmp/prefix/share/applications/kxd40-tool.desktop" || fail "desktop entry not valid"

# The window is looked for by its title: as the source writes it in the C
# locale, and in English where the locale asks for it, which it can only be
# when the program finds its catalogue from where it was installed (not the
# prefix it was configured for).
show="$(dirname "$0")/../window/show_window.sh"
mkdir -p "$tmp/home"
HOME="$tmp/home" XDG_DATA_HOME= LC_ALL=C.UTF-8 LANGUAGE= \
    "$show" "$tmp/prefix/bin/kxd40-tool" "^KX-D40 搜索工具V1.0$" "$tmp/tool.out" ||
    fail "the search window did not appear: $(cat "$tmp/tool.out" 2>/dev/null)"
HOME="$tmp/home" XDG_DATA_HOME= LC_ALL=en_US.UTF-8 LANGUAGE= \
    "$show" "$tmp/prefix/bin/kxd40-tool" "^KX-D40 Search Tool V1.0$" "$tmp/tool.out" ||
    fail "no English search window: $(cat "$tmp/tool.out" 2>/dev/null)"

work="$tmp/home/.local/share/kxd40-tool"
[ -d "$work/data" ] || fail "no $work/data"
cmp -s "$work/pic" "$tmp/prefix/share/kxd40-tool/pic" || fail "no logo in $work"
[ -e "$work/data/aswd.txt" ] || fail "no keyword file in $work/data"
echo "install_test: installed, started from $work, search window shown"
