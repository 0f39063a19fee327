#!/usr/bin/env bash
# The installed AppStream metainfo passes the validator (offline) and
# launches the installed menu entry.
set -euo pipefail
source "$(dirname "$0")/common.sh"
prefix=$1 id=$2
need appstreamcli appstream

metainfo=$prefix/share/metainfo/$id.metainfo.xml
[[ -f $metainfo ]] || fail "no metainfo $metainfo"
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli found problems"
launchable=$(sed -n 's:.*<launchable type="desktop-id">\(.*\)</launchable>.*:\1:p' "$metainfo")
[[ -f $prefix/share/applications/$launchable ]] || fail "launchable '$launchable' is not installed"
