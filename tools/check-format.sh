#!/usr/bin/env bash
# Fails when any C++ source of ours differs from what .clang-format asks for.
set -euo pipefail
cd "$(dirname "$0")/.."
folders=()
for folder in engine settings ports panel app tests doubles bench fuzz; do
    [ -d "$folder" ] && folders+=("$folder")
done
find "${folders[@]}" \( -name '*.cpp' -o -name '*.h' \) -print0 | xargs -0 clang-format --dry-run -Werror
