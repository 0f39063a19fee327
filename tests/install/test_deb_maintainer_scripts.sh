#!/usr/bin/env bash
# Runs the package's postinst and postrm on the unpacked package in a fixture
# tree (DPKG_ROOT, as `dpkg --root` gives it), with the system commands that
# would change this machine (groupadd, chgrp, getent) replaced by ones that
# only note their call. A first installation makes the shared register
# folder and an empty register; an upgrade from 1.2.22 moves the register
# out of /opt/quarvel/lib/quarvel and keeps a copy in the backups; a
# register already in place that holds a record is never overwritten, and
# an empty one that an earlier configuring made there while the old one
# stayed gives way to the old one; a link planted in the old folder is
# neither followed nor given to the group; a removal and a purge leave it all.
set -euo pipefail
source "$(dirname "$0")/common.sh"
dir=$1
need dpkg-deb dpkg
deb=$(built_package "$dir")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
dpkg-deb -e "$deb" "$work/control"
for script in postinst postrm; do
    [[ -x $work/control/$script ]] || fail "the package has no executable $script"
done

mkdir "$work/bin"
printf '#!/bin/sh\necho "groupadd $*" >>"%s"\n' "$work/calls" >"$work/bin/groupadd"
# chgrp notes the file by its inode: the file keeps it when it moves.
printf '#!/bin/sh\necho "chgrp $1 $(stat -c %%i "$2")" >>"%s"\n' "$work/calls" >"$work/bin/chgrp"
printf '#!/bin/sh\nexit 2\n' >"$work/bin/getent" # no group "quarvel" yet
chmod +x "$work/bin"/*

# A fresh machine of its own for each case: the package unpacked into it.
machine() {
    root=$work/$1
    dpkg-deb -x "$deb" "$root"
    mkdir -p "$root/var/lib"
    : >"$work/calls"
}
run() {
    DPKG_ROOT=$root PATH=$work/bin:$PATH sh "$work/control/$1" "${@:2}" >>"$work/said"
}
# The register carries a marker line at its end, to tell which one it is.
marked() {
    [[ $(tail -c $((${#2} + 1)) "$1") == "$2" ]]
}
given_to_group() {
    grep -qx "chgrp quarvel $(stat -c %i "$1")" "$work/calls"
}
is_register() {
    [[ $(head -c 15 "$1" 2>/dev/null) == "SQLite format 3" ]]
}
# An item saved in the register as a user saves one: with the package's
# program, which also backs the register up before its first save.
add_item() {
    printf 'Description\nDrill\n' >"$work/item.csv"
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM XDG_CONFIG_HOME="$work/config" \
        "$root/usr/lib/quarvel/quarvel" --register "$1" --import "$work/item.csv" &>"$work/import" ||
        fail "the item could not be saved: $(cat "$work/import")"
}
# The files' checksums, in order, to compare sets of files.
sums() {
    md5sum "$@" | cut -d' ' -f1 | sort
}
# The old package's program folder, as 1.2.22 left it, holding a register.
old_layout() {
    old=$root/opt/quarvel/lib/quarvel
    mkdir -p "$old"
    chmod 2775 "$old"
    cp "$root/usr/lib/quarvel/quarvel-makedb" "$old/"
    "$old/quarvel-makedb" "$old/data.mdb" >/dev/null
    echo "$1" >>"$old/data.mdb" # marks which register it is
    rm "$old/quarvel-makedb"    # dpkg removed the old package's files
}

# --- First installation.
machine fresh
registers=$root/var/lib/quarvel
run postinst configure
grep -qx "groupadd --system quarvel" "$work/calls" || fail "postinst did not create the group"
for folder in "$registers" "$registers/backups"; do
    [[ $(stat -c %a "$folder") == 2770 ]] || fail "$folder is not setgid, group-writable, closed to others"
    given_to_group "$folder" || fail "$folder is not the group's"
done
is_register "$registers/data.mdb" || fail "postinst made no register"
[[ $(stat -c %a "$registers/data.mdb") == 660 ]] || fail "the register is not group-writable"
given_to_group "$registers/data.mdb" || fail "the register is not the group's"
[[ $(readlink "$root/usr/lib/quarvel/data.mdb") == /var/lib/quarvel/data.mdb ]] ||
    fail "the program folder's data.mdb does not lead to the register"

echo "register in use" >>"$registers/data.mdb"
chmod 2750 "$registers" # the administrator's own choice stays
run postinst configure 1.2.22-1
run postrm upgrade 1.2.22-1
run postrm remove
run postrm purge
marked "$registers/data.mdb" "register in use" || fail "the register in use was replaced"
[[ $(stat -c %a "$registers") == 2750 ]] || fail "reconfiguring changed the folder's mode"
grep -q "are kept" "$work/said" || fail "a purge did not say that the register is kept"

# --- Upgrade from 1.2.22: the register moves, a copy stays in the backups.
# The journal of a save cut off goes along with both: SQLite rolls it back
# at the next opening.
machine upgrade
registers=$root/var/lib/quarvel
old_layout "old register"
echo "journal of a cut-off save" >"$old/data.mdb-journal"
run postinst configure 1.2.22
marked "$registers/data.mdb" "old register" || fail "the old register was not moved"
[[ $(stat -c %a "$registers/data.mdb") == 660 ]] || fail "the moved register is not group-writable"
copies=("$registers"/backups/data-*.mdb)
((${#copies[@]} == 1)) || fail "no single copy in the backups: ${copies[*]}"
[[ ${copies[0]##*/} =~ ^data-[0-9]{8}-[0-9]{6}\.mdb$ ]] || fail "the copy is named ${copies[0]##*/}"
cmp -s "${copies[0]}" "$registers/data.mdb" || fail "the copy differs from the register"
[[ $(stat -c %a "${copies[0]}") == 660 ]] || fail "the copy is not the group's to read"
given_to_group "${copies[0]}" || fail "the copy is not the group's"
cmp -s "$registers/data.mdb-journal" <(echo "journal of a cut-off save") ||
    fail "the journal did not go along with the register"
[[ -e ${copies[0]}-journal ]] || fail "the copy lacks its journal"
[[ ! -e $root/opt/quarvel ]] || fail "the emptied old folders are left: $(find "$root/opt")"

# --- Upgrade where a register with a record is in place already: neither is
# overwritten, and the administrator is told of both.
machine both
registers=$root/var/lib/quarvel
run postinst configure # the register in place
add_item "$registers/data.mdb"
rm "$registers"/backups/*
echo "new register" >>"$registers/data.mdb"
old_layout "old register"
echo "journal of a cut-off save" >"$old/data.mdb-journal"
run postinst configure 1.2.22
marked "$registers/data.mdb" "new register" || fail "the register in place was overwritten"
marked "$old/data.mdb" "old register" || fail "the old register was not left in place"
[[ -e $old/data.mdb-journal ]] || fail "the old register's journal was not left in place"
grep -q "left where it is" "$work/said" || fail "postinst did not say that the old register stays"
grep -q "$registers/data.mdb, the one in use.*$old/data.mdb.*yours to decide" "$work/said" ||
    fail "postinst did not name both registers and leave the choice to the administrator"
[[ -z $(ls "$registers/backups") ]] || fail "copies were made although nothing moved"

# --- Upgrade where a link to a file of root's is planted as the old register
# or its journal: nothing is read through it or given to the group, the link
# stays where it is, and the warning names it. No empty register takes the
# old one's place; once the link is gone, configuring again (what
# `dpkg-reconfigure quarvel` does) finishes the move with the same checks.
for planted in data.mdb data.mdb-journal; do
    machine "link-$planted"
    registers=$root/var/lib/quarvel
    old_layout "old register"
    secret=$root/root-only
    echo "root's own" >"$secret"
    chmod 600 "$secret"
    ln -sfT "$secret" "$old/$planted"
    run postinst configure 1.2.22
    [[ -L $old/$planted ]] || fail "the planted $planted was not left where it was"
    if grep -rq "root's own" "$registers"; then fail "$planted: the linked file was copied"; fi
    [[ $(stat -c %a "$secret") == 600 ]] && ! given_to_group "$secret" ||
        fail "$planted: the linked file was given to the group"
    grep -q "$old/$planted is a link" "$work/said" || fail "$planted: no warning names the link"
    run postinst configure 1.2.22-1 # reconfigured while the link is there
    [[ ! -e $registers/data.mdb && ! -L $registers/data.mdb ]] ||
        fail "$planted: a register was made in place of the earlier one"
    grep -q "finish the move with: dpkg-reconfigure quarvel" "$work/said" ||
        fail "$planted: nothing says how to finish the move"

    rm "$old/$planted"
    run postinst configure 1.2.22-1
    if [[ $planted == data.mdb ]]; then
        is_register "$registers/data.mdb" || fail "no register made once nothing was left to move"
        continue
    fi
    marked "$registers/data.mdb" "old register" || fail "reconfiguring did not move the old register"
    copies=("$registers"/backups/data-*.mdb)
    ((${#copies[@]} == 1)) || fail "reconfiguring kept no single copy: ${copies[*]}"
    [[ ! -e $root/opt/quarvel ]] || fail "the emptied old folders are left: $(find "$root/opt")"
done

# --- The package before this one made an empty register here when it left
# the old one where it was (a link in the old folder). Nobody saved in it, so
# it goes into the backups, and the old register takes its place at once,
# or, while the link is there, no one works on the empty one any more and
# the move is finished once the link is gone.
for planted in nothing data.mdb-journal; do
    machine "stranded-$planted"
    registers=$root/var/lib/quarvel
    run postinst configure # as the earlier package made it
    cp "$registers/data.mdb" "$work/empty.mdb"
    old_layout "old register"
    if [[ $planted != nothing ]]; then
        ln -s "$root/root-only" "$old/$planted"
        run postinst configure 1.2.22-1
        [[ ! -e $registers/data.mdb && -L $old/$planted ]] ||
            fail "$planted: the empty register stayed in use"
        grep -q "finish the move with: dpkg-reconfigure quarvel" "$work/said" ||
            fail "$planted: nothing says how to finish the move"
        rm "$old/$planted"
    fi
    run postinst configure 1.2.22-1
    marked "$registers/data.mdb" "old register" || fail "$planted: the old register did not move"
    [[ $(sums "$registers"/backups/*) == $(sums "$work/empty.mdb" "$registers/data.mdb") ]] ||
        fail "$planted: the backups are not the empty register and a copy of the old one"
    grep -q "held no record" "$work/said" || fail "$planted: nothing says where the empty one went"
done
