#!/usr/bin/env bash
# One commit builds one exe: a second build of the same sources, in another folder, must give
# the same bytes as the one under test, so a published zip can be checked against its source.
# Usage: check-same-bytes.sh SOURCE_DIR TOOLCHAIN_FILE BUILD_TYPE EXE
set -euo pipefail
source_dir=$1
toolchain=$2
build_type=$3
exe=$4
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cmake -S "$source_dir" -B "$scratch" --toolchain "$toolchain" -DCMAKE_BUILD_TYPE="$build_type" \
    >/dev/null
cmake --build "$scratch" --target Quorvel -j 2 >/dev/null
if ! cmp "$scratch/Quorvel.exe" "$exe"; then
    echo "a second build of the same sources gave another exe"
    exit 1
fi
echo "a second build in another folder gave the same bytes: $(sha256sum <"$exe" | cut -d' ' -f1)"
