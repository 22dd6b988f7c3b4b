#!/usr/bin/env bash
# Cross-compiles the Windows registry tree and its test with mingw-w64 and runs
# the test under Wine in a throwaway prefix. Exit 77 = skipped (tools missing).
#
# Needs (Debian 12): g++-mingw-w64-x86-64 wine wine64
set -u

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
cxx="${MINGW_CXX:-x86_64-w64-mingw32-g++}"

if ! command -v "$cxx" >/dev/null 2>&1; then
    echo "skip: $cxx not found (apt-get install g++-mingw-w64-x86-64)"
    exit 77
fi
wine_cmd=""
for w in wine wine64; do
    if command -v "$w" >/dev/null 2>&1; then wine_cmd="$w"; break; fi
done
if [ -z "$wine_cmd" ]; then
    echo "skip: wine not found (apt-get install wine wine64)"
    exit 77
fi

work="$(mktemp -d "${TMPDIR:-/tmp}/qyr-winreg.XXXXXX")"
export WINEPREFIX="$work/prefix"
export WINEDEBUG=-all
export WINEARCH=win64
# No Mono/Gecko install prompts: the test needs neither, and they would stall a headless run.
export WINEDLLOVERRIDES="mscoree,mshtml="
# Wine must not try to open windows when there is no display.
unset DISPLAY WAYLAND_DISPLAY

cleanup() {
    # Stop only the wineserver of our own prefix, then drop the prefix.
    if [ -d "$WINEPREFIX" ]; then
        WINEPREFIX="$WINEPREFIX" wineserver -k >/dev/null 2>&1 || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

exe="$work/winreg_tree_test.exe"
if ! "$cxx" -std=c++17 -O1 -static -Wall -Wextra \
        "$here/winreg_tree_test.cpp" "$root/src/platform/store/winreg/winreg_tree.cpp" \
        -o "$exe"; then
    echo "FAIL: cross-compilation failed"
    exit 1
fi

if ! "$wine_cmd" wineboot -i >"$work/wineboot.log" 2>&1; then
    echo "FAIL: wineboot -i failed:"
    cat "$work/wineboot.log"
    exit 1
fi
# Registry writes of the boot must settle before the test starts.
wineserver -w

"$wine_cmd" "$exe"
rc=$?
exit "$rc"
