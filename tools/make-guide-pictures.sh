#!/usr/bin/env bash
# Makes the user guide's pictures of the real windows: builds the picture
# program, runs it on a sample register under a virtual X display (Xvfb) and
# renders the large label it printed from its PDF. Writes docs/pictures/;
# commit the pictures with the change to the windows that they show.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh docs
build=build-docs
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUARVEL_BUILD_TESTS=OFF -DQUARVEL_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target quarvel-guide-pictures

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p docs/pictures
# A display of its own, at the usual 96 dpi and scale, and no user settings.
XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work \
    xvfb-run --auto-servernum --server-args="-screen 0 1280x1024x24 -dpi 96" \
    env -u QT_SCALE_FACTOR -u QT_SCREEN_SCALE_FACTORS QT_QPA_PLATFORM=xcb \
    "$build/tools/quarvel-guide-pictures" docs/pictures "$work/label.pdf"
pdftoppm -png -r 254 -singlefile "$work/label.pdf" docs/pictures/large-label
echo "wrote large-label.png"
