#!/usr/bin/env bash
# Decides which build the Wine runs prove, by trying whether this machine executes 32-bit
# processes: the 32-bit product where it does, the x86_64 build of the same sources where it
# does not. Prints the build's preset name (win32 or win64) and one line saying which and why.
# QUORVEL_WINE32_LOADER names another 32-bit loader to try (a failing one simulates a machine
# that refuses 32-bit processes).
set -uo pipefail
loader=${QUORVEL_WINE32_LOADER:-/usr/lib/wine/wine}
if [ ! -x "$loader" ]; then
    why="has no 32-bit Wine loader ($loader: wine32:i386 is not installed)"
elif ! answer=$("$loader" --version 2>&1 | head -n 1; exit "${PIPESTATUS[0]}"); then
    why="refuses 32-bit processes ($loader --version: ${answer:-no answer})"
else
    echo "Wine runs build/win32/Quorvel.exe, the 32-bit product: this machine runs 32-bit processes ($answer)." >&2
    echo win32
    exit 0
fi
echo "Wine runs build/win64/Quorvel.exe, the x86_64 build of the same sources, NOT the 32-bit product: this machine $why." >&2
echo win64
