#!/usr/bin/env bash
# The release archive unpacks to a runnable panel part, and its desktop-entries script writes menu
# and autostart entries that desktop-file-validate accepts and GLib's launcher can start, for a
# bundle folder whose name needs quoting; --remove takes out only what points at its own bundle.
# Usage: test_panel_package.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d /tmp/larkspan-package-test.XXXXXX)
trap 'rm -rf -- "$work"' EXIT
# Never the real user's menu.
export HOME=$work/home XDG_DATA_HOME=$work/home/data XDG_CONFIG_HOME=$work/home/config
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
failures=0
check() { if "$@"; then :; else echo "FAILED: $*" >&2; failures=$((failures + 1)); fi; }

cpack --config "$build/CPackConfig.cmake" -B "$work/out" > "$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; exit 1; }
version=$("$build/src/LarkspanAdmin" --version | cut -d' ' -f2)
archives=("$work"/out/LarkspanAdmin-"$version"-*.tar.gz)
[ -f "${archives[0]}" ] || { echo "no archive named with version $version in $work/out"; ls "$work/out"; exit 1; }

# A bundle folder whose name holds a blank, quotes, a dollar, a backquote, a backslash and a percent
# sign, which GLib cannot find a program by.
bundle="$work/my \"bundle\" \$HOME \`x\` back\\slash's 100%"
mkdir -p "$work/unpacked" "$bundle"
tar -xzf "${archives[0]}" -C "$work/unpacked"
top=("$work"/unpacked/*)
check test ${#top[@]} -eq 1
cp -a "${top[0]}"/. "$bundle"/
check test "$("$bundle/LarkspanAdmin" --version)" = "LarkspanAdmin $version"
for program in bin/net bin/cmd bin/explorer.exe bin/notepad.exe MySQL/bin/mysql.exe MySQL/bin/mysqladmin desktop-entries; do
    check test -x "$bundle/$program"
done

"$bundle/desktop-entries" --autostart > /dev/null
menu=$XDG_DATA_HOME/applications/larkspan-admin.desktop
autostart=$XDG_CONFIG_HOME/autostart/larkspan-admin.desktop
check desktop-file-validate "$menu"
check desktop-file-validate "$autostart"
icon=$(sed -n 's/^Icon=//p' "$menu")
for size in 16x16 22x22 24x24 32x32 48x48 64x64 128x128 256x256; do
    check test -s "$XDG_DATA_HOME/icons/hicolor/$size/apps/$icon.png"
done
check test -s "$XDG_DATA_HOME/icons/hicolor/scalable/apps/$icon.svg"

# The entry's Exec line, as a desktop parses it, starts the bundle's panel: a stand-in records it.
mv -- "$bundle/LarkspanAdmin" "$bundle/LarkspanAdmin.real"
# shellcheck disable=SC2016 # $0 is for the stand-in to expand
printf '#!/bin/sh\nprintf "%%s" "$0" > "%s/started"\n' "$work" > "$bundle/LarkspanAdmin"
chmod +x "$bundle/LarkspanAdmin"
check gio launch "$menu"
for _ in $(seq 100); do [ -e "$work/started" ] && break; sleep 0.1; done
check test "$(cat "$work/started" 2>/dev/null)" = "$bundle/LarkspanAdmin"
mv -f -- "$bundle/LarkspanAdmin.real" "$bundle/LarkspanAdmin"

# Another bundle takes the menu entry over; removing the first leaves that entry and the icons.
other="$work/other bundle"
cp -a "$bundle" "$other"
"$other/desktop-entries" > /dev/null
"$bundle/desktop-entries" --remove > /dev/null
check test -f "$menu"
check test ! -e "$autostart"
check test -f "$XDG_DATA_HOME/icons/hicolor/48x48/apps/$icon.png"
"$other/desktop-entries" --remove > /dev/null
check test ! -e "$menu"
check test -z "$(find "$XDG_DATA_HOME/icons" -type f)"

[ "$failures" -eq 0 ] && echo "panel package: all checks passed"
exit "$failures"
