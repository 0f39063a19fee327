#!/usr/bin/env bash
# Installs what is missing, builds Quarvel and starts it. Every program is
# built: quarvel, the device library libadofiltr.so that its download window
# loads from beside it, the register tool quarvel-makedb and the picture
# tools. The build places an empty data.mdb beside the program when there is
# none; an existing one is kept.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh build
cmake --preset app
cmake --build --preset app

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" && -z "${QT_QPA_PLATFORM:-}" ]]; then
    echo "Built build-app/src/quarvel, but there is no display to show it on."
    echo "Start it from a desktop session (or set DISPLAY)."
    exit 1
fi
exec build-app/src/quarvel
