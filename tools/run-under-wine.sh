#!/usr/bin/env bash
# Starts the x86_64 build of Quorvel under Wine in build/run, saves a screenshot of the panel
# to build/quorvel-panel.png, and, on a display of its own (Xvfb), closes the panel again.
set -euo pipefail
source "$(dirname "$0")/wine-session.sh"

exe=$QUORVEL_BUILD/win64/Quorvel.exe
screenshot=$QUORVEL_BUILD/quorvel-panel.png
headless=0
[ -z "${DISPLAY:-}" ] && headless=1

StartWinePrefix
StartDisplayIfNeeded
trap StopDisplay EXIT

mkdir -p "$QUORVEL_BUILD/run"
cd "$QUORVEL_BUILD/run"
"$WINE64" "$exe" &
quorvel=$!

if [ $headless -eq 1 ]; then
    # Nobody can answer the first run's "No settings to load" on an invisible display.
    if box=$(WaitForWindow warning 5); then
        xdotool windowfocus "$box" key Return
    fi
fi
panel=$(WaitForWindow Quorvel 30) || { echo "the panel did not appear" >&2; exit 1; }
sleep 1
import -window "$panel" "$screenshot"
echo "Quorvel is running under Wine in $QUORVEL_BUILD/run; panel screenshot: $screenshot"

if [ $headless -eq 1 ]; then
    xdotool windowfocus "$panel" key alt+F4
fi
status=0
wait "$quorvel" || status=$?
echo "Quorvel ended with exit code $status"
exit $status
