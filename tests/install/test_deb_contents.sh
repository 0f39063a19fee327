#!/usr/bin/env bash
# The package holds the program folder under /opt/quarvel and the links the
# desktop finds in /usr, and no register: that is made on the machine.
set -euo pipefail
source "$(dirname "$0")/common.sh"
dir=$1 id=$2
need dpkg-deb dpkg
deb=$(built_package "$dir")

listing=$(dpkg-deb -c "$deb")
has() {
    grep -qE "$1" <<<"$listing" || fail "the package lacks $1"
}
opt=./opt/quarvel
has " $opt/lib/quarvel/quarvel\$"
has " $opt/lib/quarvel/libadofiltr.so\$"
has " $opt/lib/quarvel/quarvel-makedb\$"
has "^-rwxr-xr-x .* $opt/bin/quarvel\$"
has " $opt/share/doc/quarvel/user-guide.md\$"
for path in bin/quarvel share/applications/$id.desktop share/icons/hicolor/scalable/apps/$id.svg \
    share/icons/hicolor/256x256/apps/$id.png share/metainfo/$id.metainfo.xml; do
    has " $opt/$path\$"
    has "^l.* \./usr/$path -> /opt/quarvel/$path\$"
done
if grep -q "data.mdb" <<<"$listing"; then
    fail "the package carries a register, which an upgrade would replace"
fi
