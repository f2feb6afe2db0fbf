#!/usr/bin/env bash
# The i386 user-mode emulator that runs 32-bit programs where the kernel refuses them: qemu,
# registered through binfmt_misc for i386 ELF programs, with the F flag, which opens the
# emulator at registration, so that it runs in every namespace and for every program.
#   registered  prints the emulator that binfmt_misc hands i386 programs to, or nothing
#   package     installs Debian's static emulator, where it is missing: qemu-user-static from
#               the release's backports on Debian 12, qemu-user from Debian 13 on
#   install     the package, then registers it; exits 0 once 32-bit programs run, otherwise
#               leaves nothing registered and exits 1
set -uo pipefail
tools=$(dirname "$0")
binfmt=/proc/sys/fs/binfmt_misc
entry=$binfmt/quorvel-i386
# An i386 ELF executable or shared object: class 32-bit, little-endian, version 1, type 2 or 3,
# machine 3. The kernel itself decodes the escapes.
magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'

registered() {
    [ "$(cat "$binfmt/status" 2>/dev/null)" = enabled ] || return 0
    local file
    for file in "$binfmt"/*; do
        case "${file##*/}" in register | status) continue ;; esac
        # magic 7f454c46 01 ... with the machine field (bytes 18-19) 03 00
        awk 'NR == 1 && $1 != "enabled" { exit 1 }
             $1 == "interpreter" { interpreter = $2 }
             $1 == "magic" { magic = $2 }
             END { if (interpreter != "" && substr(magic, 1, 10) == "7f454c4601" &&
                       substr(magic, 37, 4) == "0300") print interpreter }' "$file" 2>/dev/null
    done | head -n 1
}

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)

# Debian 12 has the emulator that runs Wine only in its backports (its own qemu 7.2 hangs on
# it): the backports suite is added from the mirror the machine already uses for its release.
add_backports() {
    local codename=$1 suite=$1-backports list=/etc/apt/sources.list.d/$1-backports.sources uri
    if apt-cache policy 2>/dev/null | grep -q " $suite/main "; then
        return 0
    fi
    uri=$(cat /etc/apt/sources.list.d/*.sources 2>/dev/null |
          awk -v codename="$codename" '
              /^URIs:/ { uri = $2 }
              /^Suites:/ { for (i = 2; i <= NF; i++) if ($i == codename) found = uri }
              /^$/ { uri = "" }
              END { print found }')
    [ -n "$uri" ] || uri=$(awk -v codename="$codename" \
        '$1 == "deb" && $3 == codename { print $2; exit }' /etc/apt/sources.list 2>/dev/null)
    if [ -z "$uri" ]; then
        echo "no apt source of $codename to take $suite from"
        return 1
    fi
    printf 'Types: deb\nURIs: %s\nSuites: %s\nComponents: main\n' "$uri" "$suite" |
        "${sudo[@]}" tee "$list" >/dev/null
    [ ! -e /usr/share/keyrings/debian-archive-keyring.gpg ] ||
        echo "Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg" |
        "${sudo[@]}" tee -a "$list" >/dev/null
}

install_emulator() {
    local codename version
    codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
    version=$(. /etc/os-release && echo "${VERSION_ID:-0}")
    export DEBIAN_FRONTEND=noninteractive
    if [ "${version%%.*}" -ge 13 ] 2>/dev/null; then
        command -v qemu-i386 >/dev/null && return 0
        "${sudo[@]}" apt-get update -qq &&
            "${sudo[@]}" apt-get install -y -qq --no-install-recommends qemu-user
    else
        # The backports' emulator is wanted even where the release's is installed.
        dpkg-query -W -f='${Version}' qemu-user-static 2>/dev/null | grep -q '^1:[1-9][0-9]' &&
            return 0
        add_backports "$codename" && "${sudo[@]}" apt-get update -qq &&
            "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
                -t "$codename-backports" qemu-user-static
    fi
}

register() {
    local emulator mounted=0
    emulator=$(command -v qemu-i386-static || command -v qemu-i386) || {
        echo "the emulator package installed no qemu-i386"
        return 1
    }
    if [ ! -e "$binfmt/register" ]; then
        "${sudo[@]}" mount -t binfmt_misc binfmt_misc "$binfmt" || return 1
        mounted=1
    fi
    [ ! -e "$entry" ] || echo -1 | "${sudo[@]}" tee "$entry" >/dev/null
    echo 1 | "${sudo[@]}" tee "$binfmt/status" >/dev/null
    if ! printf ':%s:M::%s:%s:%s:F' "${entry##*/}" "$magic" "$mask" "$emulator" |
         "${sudo[@]}" tee "$binfmt/register" >/dev/null ||
       ! why=$("$tools/runs-32bit-processes.sh"); then
        echo "the registered emulator does not run 32-bit programs (${why:-refused})"
        [ ! -e "$entry" ] || echo -1 | "${sudo[@]}" tee "$entry" >/dev/null
        [ "$mounted" -eq 0 ] || "${sudo[@]}" umount "$binfmt"
        return 1
    fi
}

case "${1:-}" in
    registered) registered ;;
    package) install_emulator ;;
    install)
        if [ -n "$(registered)" ] && "$tools/runs-32bit-processes.sh" >/dev/null; then
            exit 0
        fi
        echo "This machine refuses 32-bit processes: installing the i386 emulator."
        install_emulator && register
        ;;
    *) echo "usage: $0 registered|install" >&2; exit 2 ;;
esac
