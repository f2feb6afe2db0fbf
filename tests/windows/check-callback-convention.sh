#!/usr/bin/env bash
# The input port's callback type is checked at compile time. Prove that the check bites: the
# ports compile as they are, and fail to compile once the engine declares the callback with
# the default (cdecl) convention instead of the platform's stdcall.
# Usage: check-callback-convention.sh SOURCE_DIR COMPILER
set -euo pipefail
source_dir=$1
compiler=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
compile() {
    "$compiler" -std=c++20 -fsyntax-only -I"$1" -I"$source_dir/engine" -I"$source_dir/settings" \
        -I"$source_dir/devices" -I"$source_dir/ports" "$source_dir/ports/MidiPorts.cpp"
}
compile "$source_dir/engine" || { echo "the ports do not compile as they are"; exit 1; }
sed 's/#define MIDI_INPUT_CALLBACK __stdcall/#define MIDI_INPUT_CALLBACK/' \
    "$source_dir/engine/MidiInputCallback.h" >"$scratch/MidiInputCallback.h"
grep -q '__stdcall' "$scratch/MidiInputCallback.h" && { echo "could not make the cdecl variant"; exit 1; }
if compile "$scratch" 2>"$scratch/errors"; then
    echo "a cdecl OnMidiInput compiled: the callback type is not checked"
    exit 1
fi
grep -q "exact callback type" "$scratch/errors" || { cat "$scratch/errors"; exit 1; }
echo "a cdecl OnMidiInput is refused at compile time"
