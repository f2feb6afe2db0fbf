#!/usr/bin/env bash
# Installs the Debian packages that building and testing Quorvel need, only those missing.
# Usage: tools/install-dependencies.sh [build|wine|all]
set -euo pipefail

build_packages=(cmake make file python3 clang clang-format libclang-rt-14-dev libgtest-dev
                libbenchmark-dev g++-mingw-w64-i686 g++-mingw-w64-x86-64)
wine_packages=(wine64 xvfb xdotool imagemagick x11-utils)

case "${1:-all}" in
    build) wanted=("${build_packages[@]}") ;;
    wine) wanted=("${wine_packages[@]}") ;;
    all) wanted=("${build_packages[@]}" "${wine_packages[@]}") ;;
    *) echo "usage: $0 [build|wine|all]" >&2; exit 2 ;;
esac

missing=()
for package in "${wanted[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "Run as root, or install: ${missing[*]}" >&2; exit 1; }
    sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
