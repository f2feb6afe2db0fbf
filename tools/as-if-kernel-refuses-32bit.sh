#!/usr/bin/env bash
# Runs a command as on a machine whose kernel refuses 32-bit processes, on one that runs them:
# in a user namespace of its own, with a binfmt_misc of its own (Linux 6.7 or later), where the
# installer's emulator registration stays, and with QUORVEL_KERNEL_REFUSES_32BIT=1, so that
# only that registration runs 32-bit code. Packages cannot be installed from inside, so the
# emulator's package is installed first, as the installer would. For example:
#   tools/as-if-kernel-refuses-32bit.sh make test
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-dependencies.sh all
tools/i386-emulation.sh package
exec unshare --user --map-root-user --mount bash -c '
    mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc &&
    QUORVEL_KERNEL_REFUSES_32BIT=1 exec "$@"' as-if-kernel-refuses-32bit "$@"
