#!/usr/bin/env bash
# Checks shipped PE files: 32-bit Intel 80386, and imports from system DLLs only.
#   check-pe.sh FILE[:gui|:console|:dll] ...
set -u
allowed='^(KERNEL32|USER32|GDI32|ADVAPI32|SHELL32|COMCTL32|COMDLG32|VERSION|SETUPAPI|MSVCRT)\.DLL$'
status=0
for entry in "$@"; do
    file=${entry%%:*}
    kind=${entry#*:}
    [ "$kind" = "$entry" ] && kind=
    dump=$(i686-w64-mingw32-objdump -p "$file" 2>&1) || { echo "FAIL $file: not readable as PE"; status=1; continue; }
    if ! grep -q 'file format pei-i386' <<<"$dump"; then
        echo "FAIL $file: not a PE32 file for the Intel 80386"
        status=1
    fi
    case "$kind" in
        gui) grep -Eq '^Subsystem\s+00000002' <<<"$dump" || { echo "FAIL $file: not a GUI program"; status=1; } ;;
        console) grep -Eq '^Subsystem\s+00000003' <<<"$dump" || { echo "FAIL $file: not a console program"; status=1; } ;;
        dll) grep -Eq '^Characteristics .*' <<<"$dump" && grep -q 'DLL' <<<"$dump" || { echo "FAIL $file: not a DLL"; status=1; } ;;
    esac
    while read -r dll; do
        upper=$(tr 'a-z' 'A-Z' <<<"$dll")
        if ! grep -Eq "$allowed" <<<"$upper"; then
            echo "FAIL $file imports $dll"
            status=1
        fi
    done < <(sed -n 's/^\s*DLL Name: //p' <<<"$dump")
    [ $status = 0 ] && echo "ok   $file: $(sed -n 's/^\s*DLL Name: //p' <<<"$dump" | tr '\n' ' ')"
done
exit $status
