#!/usr/bin/env bash
# Runs the package's postinst and postrm on the unpacked package in a
# temporary folder, with the system commands that would change this machine
# (groupadd, chgrp, getent) replaced by ones that only note their call.
# Installation makes the register once; an upgrade, a removal and a purge
# leave the one in use alone.
set -euo pipefail
source "$(dirname "$0")/common.sh"
dir=$1
need dpkg-deb dpkg
deb=$(built_package "$dir")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
dpkg-deb -x "$deb" "$work/root"
dpkg-deb -e "$deb" "$work/control"
folder=$work/root/opt/quarvel/lib/quarvel
for script in postinst postrm; do
    [[ -x $work/control/$script ]] || fail "the package has no executable $script"
    sed "s|^folder=.*|folder=$folder|" "$work/control/$script" >"$work/$script"
done

mkdir "$work/bin"
for command in groupadd chgrp; do
    printf '#!/bin/sh\necho "%s $*" >>"%s"\n' "$command" "$work/calls" >"$work/bin/$command"
done
printf '#!/bin/sh\nexit 2\n' >"$work/bin/getent"  # no group "quarvel" yet
chmod +x "$work/bin"/*
run() {
    PATH=$work/bin:$PATH sh "$work/$1" "${@:2}" >/dev/null
}

run postinst configure
[[ $(head -c 15 "$folder/data.mdb") == "SQLite format 3" ]] || fail "postinst made no register"
[[ $(stat -c %a "$folder") == 2775 ]] || fail "the program folder is not group-writable setgid"
[[ $(stat -c %a "$folder/data.mdb") == 664 ]] || fail "the register is not group-writable"
grep -qx "groupadd --system quarvel" "$work/calls" || fail "postinst did not create the group"
grep -qx "chgrp quarvel $folder/data.mdb" "$work/calls" || fail "the register is not the group's"

echo "register in use" >"$folder/data.mdb"
run postinst configure 1.2.22  # an upgrade
run postrm upgrade 1.2.22
run postrm remove
run postrm purge
[[ $(cat "$folder/data.mdb") == "register in use" ]] || fail "the register in use was replaced"
