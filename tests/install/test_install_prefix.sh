#!/usr/bin/env bash
# Installs the build into a fresh prefix as users do, and checks the program
# folder, the launcher, --help and --version without a display, that the
# installed program starts on the empty register the install made, and that
# a second install keeps it.
set -euo pipefail
source "$(dirname "$0")/common.sh"
cmake=$1 build=$2 prefix=$3 version=$4
folder=$prefix/lib/quarvel

rm -rf "$prefix"
"$cmake" --install "$build" --prefix "$prefix" >/dev/null

for file in quarvel libadofiltr.so quarvel-makedb; do
    [[ -f $folder/$file ]] || fail "$folder/$file was not installed"
done
[[ -x $prefix/bin/quarvel ]] || fail "no launcher $prefix/bin/quarvel"
[[ $(head -c 15 "$folder/data.mdb" 2>/dev/null) == "SQLite format 3" ]] ||
    fail "the install made no empty register $folder/data.mdb"

# No display at all: a program that made a window would fail to start.
nodisplay=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 10)
said=$("${nodisplay[@]}" "$prefix/bin/quarvel" --version) || fail "--version did not exit 0"
[[ $said == "Quarvel $version" ]] || fail "--version printed '$said'"
said=$("${nodisplay[@]}" "$prefix/bin/quarvel" --help) || fail "--help did not exit 0"
for text in "Usage: quarvel" --help --version data.mdb; do
    grep -qF -- "$text" <<<"$said" || fail "--help does not mention $text: $said"
done

headless=(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen)
# Still running after two seconds (waiting in its first-run printer
# chooser): the installed program found its libraries and started.
config=$(mktemp -d)
trap 'rm -rf "$config"' EXIT
status=0
XDG_CONFIG_HOME=$config timeout 2 "${headless[@]}" "$prefix/bin/quarvel" || status=$?
((status == 124)) || fail "the installed program ended at start with status $status"

echo "register in use" >"$folder/data.mdb"
"$cmake" --install "$build" --prefix "$prefix" >/dev/null
[[ $(cat "$folder/data.mdb") == "register in use" ]] || fail "a second install replaced data.mdb"
echo "installed into $prefix"
