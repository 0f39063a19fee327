#!/usr/bin/env bash
# Installs the Debian packages Quarvel needs. "build" for the program alone,
# "package" adds what `cpack -G DEB` uses, "test" what the test suite and
# benchmarks use (a local CUPS with a PDF queue, a PostgreSQL server that the
# tests start privately, the sqlite3 shell the CSV benchmark compares with,
# PDF and barcode readers, clang
# with its sanitizer and fuzzer runtimes, llvm-symbolizer for readable reports,
# lld, which links the many test programs several times faster,
# the package tools, the desktop file validators, lintian, and a virtual X
# display with the session and accessibility buses and Python's AT-SPI
# bindings for reading the windows as a screen reader does, and Xlib, with
# which the start-up benchmark watches the windows appear), "docs" what
# tools/make-guide-pictures.sh uses (a virtual X display, the PDF renderer).
# Only missing packages are installed.
set -euo pipefail

BUILD_PACKAGES=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libgl-dev
    libsqlite3-dev libpq-dev libzint-dev libcsv-dev fonts-wine
)
TEST_PACKAGES=(
    libbenchmark-dev poppler-utils zbar-tools postgresql sqlite3
    cups cups-client cups-filters printer-driver-cups-pdf
    clang-14 libclang-rt-14-dev llvm-14 lld
    desktop-file-utils appstream lintian
    xvfb libx11-dev dbus-daemon dbus-bin at-spi2-core python3-gi gir1.2-atspi-2.0
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
    test) packages+=("${TEST_PACKAGES[@]}" "${PACKAGE_PACKAGES[@]}") ;;
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
