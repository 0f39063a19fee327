#!/usr/bin/env bash
# The installed menu entry passes desktop-file-validate without a remark,
# starts the installed launcher and names the installed icons.
set -euo pipefail
source "$(dirname "$0")/common.sh"
prefix=$1 id=$2
need desktop-file-validate desktop-file-utils
need file file

entry=$prefix/share/applications/$id.desktop
[[ -f $entry ]] || fail "no menu entry $entry"
remarks=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate: $remarks"
[[ -z $remarks ]] || fail "desktop-file-validate: $remarks"

[[ $(sed -n 's/^Exec=//p' "$entry") == "$prefix/bin/quarvel" ]] || fail "Exec is not the launcher"
[[ $(sed -n 's/^Icon=//p' "$entry") == "$id" ]] || fail "Icon is not $id"
icons=$prefix/share/icons/hicolor
file "$icons/scalable/apps/$id.svg" | grep -q "SVG" || fail "no scalable icon"
file "$icons/256x256/apps/$id.png" | grep -q "PNG image data, 256 x 256" || fail "no 256 px icon"
