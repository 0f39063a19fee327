#!/usr/bin/env bash
# The package declares the libraries the program runs on: the ones
# dpkg-shlibdeps found in the binaries, Qt's SQLite driver plugin and libpq,
# which the program loads when it first reaches a server.
set -euo pipefail
source "$(dirname "$0")/common.sh"
dir=$1
need dpkg-deb dpkg
deb=$(built_package "$dir")

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for library in libqt6core6 libqt6gui6 libqt6widgets6 libqt6printsupport6 libqt6sql6 \
    libqt6sql6-sqlite libsqlite3-0 "libzint[0-9.]+" "libcsv[0-9]+" libpq5; do
    grep -qE "(^|, )$library( |,|$)" <<<"$depends" || fail "Depends lacks $library"
done
