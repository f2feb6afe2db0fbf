#!/usr/bin/env bash
# Tells whether this machine executes 32-bit (i386) processes, before anything 32-bit is
# installed: assembles and links a static i386 program that only calls exit(7), with the host's
# binutils, and runs it. Exits 0 if it ran and returned 7; otherwise prints why on stdout and
# exits 1. The installer and the Wine build picker both ask this, so they never disagree.
# With --how, also prints how they run: "natively", or through the i386 emulator that
# binfmt_misc hands them to (which the kernel tries before its own loader).
# QUORVEL_32BIT_RUNNER names a command to run the program with (`false` simulates a machine
# on which nothing runs 32-bit code). QUORVEL_KERNEL_REFUSES_32BIT=1 simulates a kernel that
# refuses 32-bit processes itself: then only an emulator registered through binfmt_misc counts
# (tools/as-if-kernel-refuses-32bit.sh runs a command so, in a namespace of its own).
set -uo pipefail
tools=$(dirname "$0")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat >"$work/exit7.s" <<'ASM'
    .globl _start
_start:
    movl $1, %eax
    movl $7, %ebx
    int $0x80
ASM
if ! built=$(as --32 -o "$work/exit7.o" "$work/exit7.s" 2>&1 &&
             ld -m elf_i386 -o "$work/exit7" "$work/exit7.o" 2>&1); then
    echo "could not build the i386 test program with the host's binutils: ${built:-no answer}"
    exit 1
fi
emulator=$("$tools/i386-emulation.sh" registered)
if [ "${QUORVEL_KERNEL_REFUSES_32BIT:-}" = 1 ] && [ -z "$emulator" ]; then
    echo "the kernel refuses 32-bit processes (simulated: QUORVEL_KERNEL_REFUSES_32BIT=1)" \
         "and no i386 emulator is registered"
    exit 1
fi
answer=$(${QUORVEL_32BIT_RUNNER:-} "$work/exit7" 2>&1)
status=$?
if [ "$status" -ne 7 ]; then
    echo "a static i386 program that calls exit(7) returned $status${answer:+: $answer}"
    exit 1
fi
if [ "${1:-}" = --how ]; then
    if [ -n "$emulator" ]; then
        echo "through emulation ($("$emulator" --version 2>/dev/null | head -n 1 |
                                   sed "s/ (.*//"), registered through binfmt_misc)"
    else
        echo natively
    fi
fi
exit 0
