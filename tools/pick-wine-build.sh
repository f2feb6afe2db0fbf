#!/usr/bin/env bash
# Decides which build the Wine runs prove: the 32-bit product where this machine executes 32-bit
# processes, natively or through the i386 emulator (the same test the installer asks), and has
# the 32-bit Wine loader; the x86_64 build of the same sources where it does not. Prints the build's preset name (win32 or win64), and
# one line on stderr saying which and why. With --all, prints every build this machine's Wine
# runs: "win32 win64", or "win64".
set -uo pipefail
cd "$(dirname "$0")/.."
loader=/usr/lib/wine/wine
if ! how=$(tools/runs-32bit-processes.sh --how); then
    why="refuses 32-bit processes ($how)"
    [ -n "$(tools/i386-emulation.sh registered)" ] || why="$why, and no i386 emulator is \
registered (the installer registers one where it has root, binfmt_misc and Debian's package)"
elif [ ! -x "$loader" ]; then
    why="has no 32-bit Wine loader ($loader: wine32:i386 is not installed)"
elif ! answer=$("$loader" --version 2>&1 | head -n 1; exit "${PIPESTATUS[0]}"); then
    why="cannot start its 32-bit Wine loader ($loader --version: ${answer:-no answer})"
else
    echo "Wine runs build/win32/Quorvel.exe, the 32-bit product: this machine runs 32-bit" \
         "processes $how ($answer)." >&2
    [ "${1:-}" = --all ] && echo "win32 win64" || echo win32
    exit 0
fi
echo "Wine runs build/win64/Quorvel.exe, the x86_64 build of the same sources, NOT the 32-bit" \
     "product: this machine $why." >&2
echo win64
