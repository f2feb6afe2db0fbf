#!/usr/bin/env bash
# The shipped exe must be a GUI program of the expected machine type that imports only DLLs
# every Windows has, so it runs with nothing beside it.
# Usage: check-imports.sh EXE "PE32 executable (GUI) Intel 80386"
set -euo pipefail
exe=$1
expected_type=$2
type=$(file -b "$exe")
case "$type" in
    "$expected_type"*) ;;
    *) echo "unexpected file type: $type (wanted: $expected_type)"; exit 1 ;;
esac
imports=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'a-z' 'A-Z' | sort -u)
echo "imports:" $imports
status=0
for dll in $imports; do
    case "$dll" in
        KERNEL32.DLL | USER32.DLL | WINMM.DLL | MSVCRT.DLL) ;;
        *) echo "not a system DLL: $dll"; status=1 ;;
    esac
done
for needed in KERNEL32.DLL USER32.DLL WINMM.DLL; do
    grep -qx "$needed" <<<"$imports" || { echo "missing import: $needed"; status=1; }
done
exit $status
