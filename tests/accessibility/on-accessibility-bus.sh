#!/usr/bin/env bash
# Runs a program where a screen reader meets it: on a display of its own
# (Xvfb), with a session bus and the accessibility bus of at-spi2-core
# started for it, and Qt's accessibility bridge on. Tells the program which
# Python reads the bus (QUARVEL_PYTHON). Exits 77 (skipped) when the tools
# are not installed (scripts/install-deps.sh test installs them).
# Usage: on-accessibility-bus.sh PROGRAM [ARGUMENTS...]
set -euo pipefail

python=""
for candidate in /usr/bin/python3 python3; do
    if command -v "$candidate" >/dev/null &&
        "$candidate" -c 'import gi; gi.require_version("Atspi", "2.0")' 2>/dev/null; then
        python=$(command -v "$candidate")
        break
    fi
done
for tool in Xvfb dbus-run-session dbus-send; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
[[ -n $python ]] || { echo "skipped: no Python with the AT-SPI bindings"; exit 77; }

work=$(mktemp -d)
xvfb=""
cleanup() {
    if [[ -n $xvfb ]]; then
        kill "$xvfb" 2>/dev/null || true
        wait "$xvfb" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

# The server picks a free display and writes its number once it is ready.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
for _ in $(seq 200); do
    [[ -s $work/display ]] && break
    sleep 0.05
done
if [[ ! -s $work/display ]]; then
    echo "Xvfb did not start:"
    cat "$work/xvfb.log"
    exit 1
fi

mkdir -m 700 "$work/runtime"
export DISPLAY=":$(tr -d '\n' <"$work/display")"
export XDG_RUNTIME_DIR="$work/runtime"
export QT_QPA_PLATFORM=xcb
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
export QUARVEL_PYTHON="$python"

# The accessibility bus is up before the program starts, so that Qt's
# bridge finds it at once.
status=0
dbus-run-session -- bash -c '
    dbus-send --session --print-reply=literal --dest=org.a11y.Bus /org/a11y/bus \
        org.a11y.Bus.GetAddress >/dev/null
    exec "$@"' on-accessibility-bus "$@" || status=$?
exit "$status"
