#!/usr/bin/env bash
# Runs the Wine checks of every build this machine's Wine runs, the builds at the same time: each
# build has its own Wine prefix, wineserver and display, so they never meet, and two cores halve
# the wait. Every build runs its every-build checks; the build the Wine runs prove (see
# pick-wine-build.sh) runs the e2e groups after them. Each build's output is printed whole once
# all are done; exits non-zero if any failed.
set -uo pipefail
cd "$(dirname "$0")/.."
primary=$(tools/pick-wine-build.sh)
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
pids=()
builds=($(tools/pick-wine-build.sh --all 2>/dev/null))
for build in "${builds[@]}"; do
    (
        ctest --preset "$build" -L every-build || exit 1
        [ "$build" != "$primary" ] || ctest --preset "$build" -L e2e
    ) >"$logs/$build.log" 2>&1 &
    pids+=($!)
done
status=0
for index in "${!builds[@]}"; do
    wait "${pids[$index]}" || status=1
done
for build in "${builds[@]}"; do
    echo "==== Wine runs of build/$build ===="
    cat "$logs/$build.log"
done
exit $status
