#!/usr/bin/env bash
# Makes the user guide's pictures of the real windows: builds the picture
# program, runs it on a sample register under a virtual X display (Xvfb) and
# renders the large label and the first page of the test worksheet that it
# printed from their PDF files. Writes docs/pictures/; commit the pictures
# with the change to the windows that they show.
#
#   bash tools/make-guide-pictures.sh              builds in build-docs
#   bash tools/make-guide-pictures.sh BUILD-DIR    builds in a build folder that exists
#   bash tools/make-guide-pictures.sh --render PROGRAM FOLDER
#       only takes the pictures with a built quarvel-guide-pictures, into
#       FOLDER (the test that compares them with docs/pictures does this)
set -euo pipefail
cd "$(dirname "$0")/.."

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

render() {
    local program=$1 out=$2
    mkdir -p "$out"
    # A display of its own, at the usual 96 dpi and scale, and no user settings.
    XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work \
        xvfb-run --auto-servernum --server-args="-screen 0 1280x1024x24 -dpi 96" \
        env -u QT_SCALE_FACTOR -u QT_SCREEN_SCALE_FACTORS QT_QPA_PLATFORM=xcb \
        "$program" "$out" "$work"
    pdftoppm -png -r 254 -singlefile "$work/label.pdf" "$out/large-label"
    echo "wrote large-label.png"
    pdftoppm -png -r 96 -f 1 -l 1 -singlefile "$work/worksheet.pdf" "$out/worksheet"
    echo "wrote worksheet.png"
}

if [[ ${1:-} == --render ]]; then
    render "$(realpath "$2")" "$3"
    exit
fi

build=${1:-build-docs}
if [[ ! -f $build/CMakeCache.txt ]]; then
    bash scripts/install-deps.sh docs
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DQUARVEL_BUILD_TESTS=OFF -DQUARVEL_BUILD_BENCH=OFF >/dev/null
fi
cmake --build "$build" --target quarvel-guide-pictures
render "$build/tools/quarvel-guide-pictures" docs/pictures
