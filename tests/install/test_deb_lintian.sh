#!/usr/bin/env bash
# lintian finds no error and no warning in the package. An override would
# be in packaging/deb/lintian-overrides, each with its reason written above it.
set -euo pipefail
source "$(dirname "$0")/common.sh"
dir=$1
need lintian lintian
deb=$(built_package "$dir")

status=0
report=$(lintian --fail-on error,warning --display-level ">=warning" "$deb" 2>&1) || status=$?
report=$(grep -v "running with root privileges is not recommended" <<<"$report" || true)
echo "$report"
((status == 0)) || fail "lintian found errors or warnings (exit $status)"
[[ -z $report ]] || fail "lintian reported: $report"
