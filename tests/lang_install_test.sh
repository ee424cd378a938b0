#!/bin/sh
# lang_install_test.sh - the installed program finds its catalogue from
# its own place: installed into a temporary prefix (not the one it was
# configured for) and started in English in a private network under Xvfb,
# its search window must show its English title. No search is started.
#
# usage: lang_install_test.sh BUILD_DIR
set -u
BUILD=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "lang_install_test: $*"; exit 1; }

if [ "$(id -u)" -eq 0 ]; then NET="unshare -n"; else NET="unshare -rn"; fi
$NET true 2>/dev/null || { echo "lang_install_test: no private network can be had; skipped"; exit 77; }

cmake --install "$BUILD" --prefix "$tmp/prefix" >/dev/null || fail "cmake --install failed"
mo="$tmp/prefix/share/locale/en/LC_MESSAGES/kxd40-tool.mo"
[ -s "$mo" ] || fail "not installed: $mo"

program="$tmp/prefix/libexec/kxd40-tool/kxd40-tool"
cd "$tmp" && LC_ALL=en_US.UTF-8 LANGUAGE= $NET sh -c '
    ip link set lo up
    exec xvfb-run -a -s "-screen 0 1024x768x24" sh -c "
        \"$1\" > tool.out 2>&1 &
        timeout 20 xdotool search --sync --onlyvisible --name \"^KX-D40 Search Tool V1.0\$\" > /dev/null
        shown=\$?
        kill \$!
        exit \$shown"' - "$program" || fail "no English search window: $(cat "$tmp/tool.out" 2>/dev/null)"
echo "lang_install_test: the installed program shows its English title"
