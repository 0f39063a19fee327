#!/usr/bin/env bash
# Builds the Debian package once for the package checks, as the README says:
# cpack -G DEB from the build.
set -euo pipefail
source "$(dirname "$0")/common.sh"
cpack=$1 build=$2 out=$3 version=$4
need dpkg-shlibdeps dpkg-dev
need file file

rm -rf "$out"
"$cpack" --config "$build/CPackConfig.cmake" -G DEB -B "$out" >"$out.log" 2>&1 ||
    fail "cpack failed: $(cat "$out.log")"
deb=$out/quarvel_${version}_$(dpkg --print-architecture).deb
[[ -f $deb ]] || fail "no $deb; cpack made: $(ls "$out")"
echo "built $deb"
