#!/usr/bin/env bash
# Installs the Debian packages that building and testing Quorvel need, only those missing, and
# never their recommendations: every package is named here on purpose.
# Usage: tools/install-dependencies.sh [build|guide|wine|all]
set -euo pipefail

build_packages=(binutils cmake make python3 python3-markdown clang clang-format libclang-rt-14-dev
                libgtest-dev libbenchmark-dev g++-mingw-w64-i686 g++-mingw-w64-x86-64)
# The user guide's pictures: the signal flow (graphviz, drawn in its own fonts) and the labelled
# panel (python3-pil); its page is checked in a real browser (chromium, driven by chromium-driver).
guide_packages=(graphviz fonts-dejavu-core python3-pil chromium chromium-driver)
# Wine's 64-bit loader and server, its own fonts for the panel's text, a virtual display, X
# input, screenshots (imagemagick) and the display check (x11-utils).
wine_packages=(wine64 fonts-wine xvfb xdotool imagemagick x11-utils)
# The 32-bit loader that runs the product, and the i386 X extension libraries that the 64-bit
# loader finds on the machine too, so that both draw and take input alike.
wine32_packages=(wine32:i386 libxrender1:i386 libxrandr2:i386 libxi6:i386 libxcursor1:i386
                 libxcomposite1:i386 libxinerama1:i386 libxfixes3:i386)

case "${1:-all}" in
    build) wanted=("${build_packages[@]}") ;;
    guide) wanted=("${guide_packages[@]}") ;;
    wine) wanted=("${wine_packages[@]}") ;;
    all) wanted=("${build_packages[@]}" "${guide_packages[@]}" "${wine_packages[@]}") ;;
    *) echo "usage: $0 [build|guide|wine|all]" >&2; exit 2 ;;
esac

sudo=()
if [ "$(id -u)" -ne 0 ]; then
    sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive

missing_of() {
    local package
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
            echo "$package"
    done
}

install() {
    echo "Installing missing packages: $*"
    if [ ${#sudo[@]} -gt 0 ] && ! command -v sudo >/dev/null; then
        echo "Run as root, or install: $*" >&2
        return 1
    fi
    "${sudo[@]}" apt-get update -qq &&
        "${sudo[@]}" apt-get install -y -qq --no-install-recommends "$@"
}

mapfile -t missing < <(missing_of "${wanted[@]}")
[ ${#missing[@]} -eq 0 ] || install "${missing[@]}"

case "${1:-all}" in build | guide) exit 0 ;; esac
# Where the kernel refuses 32-bit processes, they run through the i386 emulator, registered
# anew after every boot; where even that cannot be had, the i386 packages could never run
# (their own maintainer scripts fail) and the x86_64 build is what the Wine runs prove: fetch
# none of them.
if ! "$(dirname "$0")/runs-32bit-processes.sh" >/dev/null &&
   ! "$(dirname "$0")/i386-emulation.sh" install; then
    echo "Not installing the 32-bit Wine: this machine refuses 32-bit processes, and the i386" \
         "emulator could not be had (above)."
    exit 0
fi
mapfile -t missing < <(missing_of "${wine32_packages[@]}")
[ ${#missing[@]} -eq 0 ] && exit 0
# Should the install itself fail, go on with the x86_64 build, and leave no half-configured
# i386 package behind to break the next install.
if ! { dpkg --print-foreign-architectures | grep -qx i386 ||
       "${sudo[@]}" dpkg --add-architecture i386; } || ! install "${missing[@]}"; then
    echo "Could not install the 32-bit Wine (${missing[*]}); the Wine runs will use the x86_64 build."
    mapfile -t broken < <(dpkg-query -W -f='${db:Status-Abbrev} ${binary:Package}\n' |
                          awk 'substr($1, 2, 1) !~ /[inc]/ && $2 ~ /:i386$/ { print $2 }')
    [ ${#broken[@]} -eq 0 ] || "${sudo[@]}" dpkg --remove --force-depends "${broken[@]}" || true
fi
exit 0
