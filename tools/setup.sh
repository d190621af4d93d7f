#!/usr/bin/env bash
# Installs everything the build and the tests need, from Debian's packages.
# Idempotent: when every package is present it only checks and returns.
set -euo pipefail

packages=(
    cmake ninja-build g++ clang libclang-rt-14-dev
    libgtest-dev googletest zlib1g-dev
    mingw-w64 g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
    wine wine32:i386
    xvfb xauth xdotool imagemagick x11-utils
    locales gcab cabextract python3 time fonts-wine fonts-wqy-microhei
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        dpkg --add-architecture i386
    fi
    apt-get update -q
    apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# Locales used by the language tests.
wanted_locales=(en_US.UTF-8 ja_JP.UTF-8 de_DE.UTF-8 fr_FR.UTF-8 zh_CN.UTF-8 zh_TW.UTF-8 zh_HK.UTF-8 es_ES.UTF-8 it_IT.UTF-8 nl_NL.UTF-8 pt_PT.UTF-8 es_MX.UTF-8 el_GR.UTF-8 pt_BR.UTF-8 sv_SE.UTF-8 da_DK.UTF-8 fi_FI.UTF-8 nb_NO.UTF-8 ko_KR.UTF-8)
have=$(locale -a 2>/dev/null | tr 'A-Z' 'a-z' | sed 's/utf-8/utf8/')
regen=0
for l in "${wanted_locales[@]}"; do
    norm=$(echo "$l" | tr 'A-Z' 'a-z' | sed 's/utf-8/utf8/')
    if ! grep -qx "$norm" <<<"$have"; then
        sed -i "s/^# *\($l UTF-8\)/\1/" /etc/locale.gen
        grep -q "^$l UTF-8" /etc/locale.gen || echo "$l UTF-8" >> /etc/locale.gen
        regen=1
    fi
done
if [ $regen = 1 ]; then
    locale-gen >/dev/null
fi
