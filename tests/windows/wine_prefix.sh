#!/usr/bin/env bash
# One Wine prefix for a whole test run, shared by every case that runs the .exe.
#   wine_prefix.sh create PREFIX   makes it afresh and keeps its server running between cases
#   wine_prefix.sh remove PREFIX   stops the server and deletes the prefix
# Headless and pinned: no display, no debug output, code page from the C locale.
set -euo pipefail
action=$1
prefix=$2
wine_dir=${BFQ_WINE_DIR:-/usr/lib/wine}
export WINEPREFIX=$prefix WINEDEBUG=-all LC_ALL=C
unset DISPLAY WAYLAND_DISPLAY

case $action in
create)
    [[ -d $prefix ]] && { "$wine_dir/wineserver" -k 2>/dev/null || true; rm -rf "$prefix"; }
    mkdir -p "$prefix"
    # Started first and persistent, so every case finds a warm server (about 0.2 s a run, not 1 s).
    "$wine_dir/wineserver" -p </dev/null >/dev/null 2>&1
    "$wine_dir/wine64" wineboot -i >/dev/null 2>&1
    [[ -d $prefix/drive_c/ProgramData ]] || { echo "wine_prefix.sh: wineboot made no prefix at $prefix" >&2; exit 1; }
    ;;
remove)
    "$wine_dir/wineserver" -k 2>/dev/null || true
    rm -rf "$prefix"
    ;;
*)
    echo "usage: wine_prefix.sh create|remove PREFIX" >&2
    exit 2
    ;;
esac
