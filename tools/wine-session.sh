# Sourced by the scripts that run Quorvel under Wine: a Wine prefix kept in the build folder,
# and an Xvfb display when none is set. Only the 64-bit loader is used: these machines run no
# 32-bit processes.
QUORVEL_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
QUORVEL_BUILD=$QUORVEL_ROOT/build
WINE64=/usr/lib/wine/wine64
WINESERVER64=/usr/lib/wine/wineserver64
export WINEPREFIX=$QUORVEL_BUILD/wine-prefix
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

StartWinePrefix() {
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "Creating the Wine prefix in $WINEPREFIX"
        "$WINE64" wineboot -i >/dev/null 2>&1 || true
        "$WINESERVER64" -w
    fi
}

# Starts Xvfb on a free display unless a display is already set.
StartDisplayIfNeeded() {
    if [ -n "${DISPLAY:-}" ]; then
        return
    fi
    local number=90
    while [ -e "/tmp/.X11-unix/X$number" ] || [ -e "/tmp/.X$number-lock" ]; do
        number=$((number + 1))
    done
    Xvfb ":$number" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    QUORVEL_XVFB_PID=$!
    export DISPLAY=":$number"
    for _ in $(seq 50); do
        xdpyinfo >/dev/null 2>&1 && return
        sleep 0.1
    done
    echo "Xvfb did not start" >&2
    return 1
}

StopDisplay() {
    if [ -n "${QUORVEL_XVFB_PID:-}" ]; then
        "$WINESERVER64" -w 2>/dev/null || true
        kill "$QUORVEL_XVFB_PID" 2>/dev/null || true
        wait "$QUORVEL_XVFB_PID" 2>/dev/null || true
    fi
}

# Prints the id of the first window named exactly $1, waiting up to $2 seconds.
WaitForWindow() {
    local name=$1 seconds=${2:-30} window
    for _ in $(seq $((seconds * 10))); do
        window=$(xdotool search --name "^$name\$" 2>/dev/null | head -n 1)
        if [ -n "$window" ]; then
            echo "$window"
            return 0
        fi
        sleep 0.1
    done
    return 1
}
