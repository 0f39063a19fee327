#!/usr/bin/env bash
# Installs the Debian packages Quarvel needs:
#   build    the program alone (the default)
#   package  adds what `cpack -G DEB` uses
#   test     adds what the test suite uses: a local CUPS with a PDF queue, a
#            PostgreSQL server that the tests start privately, PDF and barcode
#            readers, clang with its sanitizer and fuzzer runtimes,
#            llvm-symbolizer for readable reports, lld, which links the many
#            test programs several times faster, the package tools, the
#            desktop file validators, lintian, and a virtual X display with
#            the session and accessibility buses and Python's AT-SPI bindings
#            for reading the windows as a screen reader does; and what the
#            benchmarks need, since the test build compiles them too
#   bench    adds what the benchmarks use: Xlib, with which the start-up
#            benchmark watches the windows appear on a virtual X display, the
#            sqlite3 shell the CSV benchmark compares with, a PostgreSQL
#            server for the --server modes
#   docs     adds what tools/make-guide-pictures.sh uses (a virtual X
#            display, the PDF renderer)
# Only missing packages are installed.
set -euo pipefail

BUILD_PACKAGES=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libgl-dev
    libsqlite3-dev libpq-dev libzint-dev libcsv-dev fonts-wine
)
TEST_PACKAGES=(
    poppler-utils zbar-tools postgresql
    cups cups-client cups-filters printer-driver-cups-pdf
    clang-14 libclang-rt-14-dev llvm-14 lld
    desktop-file-utils appstream lintian
    xvfb dbus-daemon dbus-bin at-spi2-core python3-gi gir1.2-atspi-2.0
)
BENCH_PACKAGES=(
    libx11-dev xvfb sqlite3 postgresql
)
PACKAGE_PACKAGES=(
    dpkg-dev file
)
DOCS_PACKAGES=(
    xvfb xauth poppler-utils
)

packages=("${BUILD_PACKAGES[@]}")
case "${1:-build}" in
    package) packages+=("${PACKAGE_PACKAGES[@]}") ;;
    test) packages+=("${TEST_PACKAGES[@]}" "${BENCH_PACKAGES[@]}" "${PACKAGE_PACKAGES[@]}") ;;
    bench) packages+=("${BENCH_PACKAGES[@]}") ;;
    docs) packages+=("${DOCS_PACKAGES[@]}") ;;
esac

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    SUDO=""
    if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get update -qq
    $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
