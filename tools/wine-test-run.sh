#!/usr/bin/env bash
# Runs one Windows program under Wine in its own copy of the template prefix.
#   VRO_TEMPLATE_PREFIX  the template made by make-prefix.sh
#   VRO_WINVER           win95, win98 or nt40 (default: Wine's own, NT family)
#   VRO_LANG             locale for the system language, e.g. ja_JP.UTF-8
#   VRO_XVFB=1           run under an Xvfb server of its own
#   VRO_TIMEOUT          seconds before the program is killed (default 120)
#   VRO_KEEP_PREFIX=1    keep the prefix copy for a look afterwards
# The prefix path is exported as VRO_PREFIX (and as Z: path VRO_PREFIX_WIN)
# so a test can inspect its own registry files afterwards.
set -u
exe=$1; shift
: "${VRO_TEMPLATE_PREFIX:?}"
timeout_s=${VRO_TIMEOUT:-120}

prefix=$(mktemp -d /tmp/vro-prefix.XXXXXX)
cp -a "$VRO_TEMPLATE_PREFIX/." "$prefix/"

if [ -n "${VRO_WINVER:-}" ]; then
    printf '\n[Software\\\\Wine] 1700000000\n"Version"="%s"\n' "$VRO_WINVER" >> "$prefix/user.reg"
fi

export WINEPREFIX=$prefix WINEARCH=win32 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
export VRO_PREFIX=$prefix
if [ -n "${VRO_LANG:-}" ]; then
    export LANG=$VRO_LANG LC_ALL=$VRO_LANG LC_MESSAGES=$VRO_LANG
fi

xvfb_pid=
if [ "${VRO_XVFB:-0}" = 1 ]; then
    # A virtual desktop: Wine draws the window frames and captions itself.
    printf '\n[Software\\\\Wine\\\\Explorer] 1700000000\n"Desktop"="Default"\n' >> "$prefix/user.reg"
    printf '\n[Software\\\\Wine\\\\Explorer\\\\Desktops] 1700000000\n"Default"="1024x768"\n' >> "$prefix/user.reg"
    # -displayfd lets the server choose a free display: tests run in parallel.
    fifo=$prefix/.xvfb-display
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do
        [ -s "$fifo" ] && break
        sleep 0.1
    done
    if [ -s "$fifo" ]; then
        export DISPLAY=:$(head -n1 "$fifo")
    else
        kill $xvfb_pid 2>/dev/null
        xvfb_pid=
    fi
    [ -n "$xvfb_pid" ] || { echo "no Xvfb display could be started" >&2; exit 1; }
fi

timeout -k 5 "$timeout_s" wine "$exe" "$@"
rc=$?
if [ $rc = 124 ] || [ $rc = 137 ]; then
    echo "wine-test-run: $(basename "$exe") killed after ${timeout_s}s" >&2
fi

wineserver -k 2>/dev/null
timeout 20 wineserver -w 2>/dev/null
[ -n "$xvfb_pid" ] && { kill $xvfb_pid 2>/dev/null; wait $xvfb_pid 2>/dev/null; }
if [ "${VRO_KEEP_PREFIX:-0}" = 1 ]; then
    echo "prefix kept: $prefix" >&2
else
    rm -rf "$prefix"
fi
exit $rc
