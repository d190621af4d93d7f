#!/usr/bin/env bash
# Makes a fresh 32-bit Wine prefix at $1, the template that every test copies.
set -euo pipefail
prefix=$1
if [ -n "$(ls -A "$prefix" 2>/dev/null)" ]; then
    WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
    rm -rf "$prefix"
fi
mkdir -p "$(dirname "$prefix")"
export WINEARCH=win32 WINEPREFIX=$prefix WINEDEBUG=-all
# No Mono or Gecko prompts, no debugger.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
timeout 150 wineboot -i >/dev/null 2>&1
timeout 60 wineserver -w
test -f "$prefix/system.reg"
echo "template prefix ready: $prefix"
