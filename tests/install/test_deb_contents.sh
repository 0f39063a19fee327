#!/usr/bin/env bash
# The package holds the program in /usr/lib/quarvel, owned by root and
# writable by no one else, the launcher, the desktop files, the manual page
# and the Debian documents; the register only as the link that leads to
# /var/lib/quarvel, which postinst fills. Nothing under /opt.
set -euo pipefail
source "$(dirname "$0")/common.sh"
dir=$1 id=$2 version=$3
need dpkg-deb dpkg
deb=$(built_package "$dir")

listing=$(dpkg-deb -c "$deb")
has() {
    grep -qE "$1" <<<"$listing" || fail "the package lacks $1"
}
program=./usr/lib/quarvel
has "^-rwxr-xr-x root/root .* $program/quarvel\$"
has "^-rwxr-xr-x root/root .* $program/quarvel-makedb\$"
has "^-rw-r--r-- root/root .* $program/libadofiltr.so\$"
has "^l.* $program/data.mdb -> /var/lib/quarvel/data.mdb\$"
has "^-rwxr-xr-x root/root .* ./usr/bin/quarvel\$"
for path in share/applications/$id.desktop share/icons/hicolor/scalable/apps/$id.svg \
    share/icons/hicolor/256x256/apps/$id.png share/metainfo/$id.metainfo.xml \
    share/man/man1/quarvel.1.gz share/doc/quarvel/copyright \
    share/doc/quarvel/changelog.Debian.gz share/doc/quarvel/user-guide.md; do
    has "^-rw-r--r-- root/root .* ./usr/$path\$"
done

# Owners and modes: every entry root's; no one but root may change a file or
# a folder (links carry no mode of their own); nothing setuid or setgid.
while read -r mode owner _ _ _ path _; do
    [[ $owner == root/root ]] || fail "$path belongs to $owner"
    [[ $mode == l* ]] && continue
    [[ ${mode:5:1} == - && ${mode:8:1} == - ]] || fail "$path is writable by others than root: $mode"
    [[ $mode != *[sStT]* ]] || fail "$path has a set-id or sticky bit: $mode"
    [[ $path == ./usr/* || $path == ./ ]] || fail "$path lies outside /usr"
done <<<"$listing"
if grep -qE "^[^l].*\.mdb\$" <<<"$listing"; then
    fail "the package carries a register, which an upgrade would replace"
fi

# The changelog's newest entry is this package's version.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
dpkg-deb --fsys-tarfile "$deb" | tar -x -C "$work" ./usr/share/doc/quarvel/changelog.Debian.gz
head=$(gzip -dc "$work/usr/share/doc/quarvel/changelog.Debian.gz" | head -1)
[[ $head == "quarvel ($version) "* ]] || fail "the changelog starts with '$head', not $version"
