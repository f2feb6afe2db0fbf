#!/usr/bin/env bash
# The virtual MIDI driver stands in for winmm.dll: every function the program imports from
# winmm must be exported by it, or Wine fails the program's start.
# Usage: check-driver-exports.sh PROGRAM DRIVER
set -euo pipefail
imports=$(x86_64-w64-mingw32-objdump -p "$1" |
    awk '/DLL Name:/ { inside = toupper($3) == "WINMM.DLL"; next }
         NF == 0 { inside = 0 }
         inside && NF == 3 && $1 ~ /^[0-9a-f]+$/ { print $3 }' | sort)
exports=$(x86_64-w64-mingw32-objdump -p "$2" |
    awk '/\[Ordinal\/Name Pointer\] Table/ { inside = 1; next }
         NF == 0 { inside = 0 }
         inside && /^[ \t]*\[/ { print $NF }' | sort)
echo "program imports from winmm:" $imports
missing=$(comm -23 <(echo "$imports") <(echo "$exports"))
if [ -n "$missing" ] || [ -z "$imports" ]; then
    echo "the driver does not export:" $missing
    exit 1
fi
