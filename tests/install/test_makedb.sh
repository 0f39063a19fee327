#!/usr/bin/env bash
# quarvel-makedb in a folder a group shares (setgid): the register gets the
# folder's group and group write, so every member can save. It never
# overwrites a register: it stops, keeps it (--keep-existing), or moves it
# into the backups folder first (--replace). A link is followed.
set -euo pipefail
source "$(dirname "$0")/common.sh"
makedb=$1

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
is_register() {
    [[ $(head -c 15 "$1" 2>/dev/null) == "SQLite format 3" ]]
}
umask 022 # as most users have it: no group write of its own

# A group other than the maker's own, so that taking the folder's group
# shows: any for root, else one of the user's other groups.
group=$({ ((EUID == 0)) && getent group | cut -d: -f3 || id -G | tr ' ' '\n'; } |
    grep -vx "$(id -g)" | head -1 || true)

shared=$work/shared
mkdir "$shared"
[[ -n $group ]] && chgrp "$group" "$shared"
chmod 2770 "$shared"
"$makedb" "$shared/data.mdb" >/dev/null || fail "quarvel-makedb failed in a shared folder"
is_register "$shared/data.mdb" || fail "no register made"
[[ $(stat -c %A "$shared/data.mdb") == -rw-rw-r-- ]] ||
    fail "the register is not group-writable: $(stat -c %A "$shared/data.mdb")"
[[ $(stat -c %g "$shared/data.mdb") == $(stat -c %g "$shared") ]] ||
    fail "the register does not have the folder's group"
[[ -n $group ]] || echo "(no second group for this user: the group itself was not checked)"

# A folder no group shares: the maker's umask holds.
mkdir "$work/own"
"$makedb" "$work/own/data.mdb" >/dev/null
[[ $(stat -c %A "$work/own/data.mdb") == -rw-r--r-- ]] || fail "a private register became group-writable"

# An existing register is never overwritten.
echo "register in use" >>"$shared/data.mdb"
before=$(md5sum <"$shared/data.mdb")
status=0
"$makedb" "$shared/data.mdb" 2>"$work/err" || status=$?
((status == 1)) || fail "quarvel-makedb over a register ended with $status"
grep -q "already exists" "$work/err" || fail "no reason given: $(cat "$work/err")"
"$makedb" --keep-existing "$shared/data.mdb" || fail "--keep-existing did not succeed"
[[ $(md5sum <"$shared/data.mdb") == "$before" ]] || fail "the register was changed"

# Not while a journal lies beside it, even a link: the file alone may not be whole.
for journal in file link; do
    if [[ $journal == file ]]; then touch "$shared/data.mdb-journal"; else ln -s nowhere "$shared/data.mdb-journal"; fi
    "$makedb" --replace "$shared/data.mdb" 2>"$work/err" && fail "--replace went on beside a journal $journal"
    grep -q "journal" "$work/err" || fail "no reason given: $(cat "$work/err")"
    [[ $(md5sum <"$shared/data.mdb") == "$before" ]] || fail "the register was changed"
    rm "$shared/data.mdb-journal"
done

# --replace, through a link as the package's program folder has it: the old
# register goes into the backups folder beside the real file, which the
# group shares too, and a new empty one takes its place.
mkdir "$work/program"
ln -s "$shared/data.mdb" "$work/program/data.mdb"
"$makedb" --replace "$work/program/data.mdb" >/dev/null || fail "--replace failed"
[[ -L $work/program/data.mdb ]] || fail "the link was replaced by a file"
is_register "$shared/data.mdb" || fail "no new register made"
[[ $(md5sum <"$shared/data.mdb") != "$before" ]] || fail "the old register is still in place"
backups=("$shared"/backups/data-*.mdb)
((${#backups[@]} == 1)) || fail "not one backup: ${backups[*]}"
[[ ${backups[0]##*/} =~ ^data-[0-9]{8}-[0-9]{6}\.mdb$ ]] || fail "the backup is named ${backups[0]##*/}"
[[ $(md5sum <"${backups[0]}") == "$before" ]] || fail "the backup is not the old register"
[[ $(stat -c %A "$shared/backups") == drwxrwsr-x ]] ||
    fail "the backups folder is not shared: $(stat -c %A "$shared/backups")"
[[ $(stat -c %g "$shared/backups") == $(stat -c %g "$shared") ]] ||
    fail "the backups folder does not have the folder's group"
[[ $(stat -c %A "$shared/data.mdb") == -rw-rw-r-- ]] || fail "the new register is not group-writable"

# A link that another user planted as the register, to a file of this
# user's: not followed, the file neither moved, written nor shared.
if ((EUID == 0)) && id nobody >/dev/null 2>&1; then
    mv "$shared/data.mdb" "$work/kept.mdb"
    echo "mine" >"$work/mine"
    chmod 600 "$work/mine"
    ln -s "$work/mine" "$shared/data.mdb"
    chown -h nobody "$shared/data.mdb"
    "$makedb" --replace "$shared/data.mdb" 2>"$work/err" && fail "--replace followed another user's link"
    grep -q "another user" "$work/err" || fail "no reason given: $(cat "$work/err")"
    [[ $(cat "$work/mine") == mine && $(stat -c %a "$work/mine") == 600 ]] ||
        fail "the linked file was changed"
    [[ -L $shared/data.mdb ]] || fail "the planted link was moved"
    "$makedb" --copy "$work/kept.mdb" "$shared/data.mdb" 2>"$work/err" &&
        fail "--copy wrote through another user's link"
    grep -q "another user" "$work/err" || fail "no reason given: $(cat "$work/err")"
    [[ $(cat "$work/mine") == mine && -L $shared/data.mdb ]] || fail "--copy replaced the link or its file"
fi
