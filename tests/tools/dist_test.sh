#!/usr/bin/env bash
# The distribution's zip: one folder holding exactly what a user unpacks on
# Windows, each file what it claims to be.
#
#   dist_test.sh ZIP
#
# One line per check, "PASS name" or "FAIL name: why"; non-zero when any
# failed.
set -u
zip=${1:?usage: dist_test.sh ZIP}
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0
failed=0

check() {
    local name=$1 why=$2
    if [ -z "$why" ]; then
        echo "PASS $name"
        passed=$((passed + 1))
    else
        echo "FAIL $name: $why"
        failed=$((failed + 1))
    fi
}

folder=Kelvane-0.9.9.6
# Every language file in lang/ ships.
languages=()
for lng in "$root"/lang/*.lng; do
    [ -f "$lng" ] && languages+=("$(basename "$lng")")
done
names=$(unzip -Z1 "$zip" 2>&1 | grep -v '/$' | sort | paste -sd' ' -)
want=$(printf "$folder/%s\n" Kelvane.exe KelvaneEn.chm LICENSE.txt ReadMe.txt ati.pci "${languages[@]}" |
    sort | paste -sd' ' -)
check dist_files "$([ "$names" = "$want" ] || echo "the zip holds \"$names\", expected \"$want\"")"
unzip -q "$zip" -d "$work" || { check dist_unpacks "unzip failed"; exit 1; }
d=$work/$folder

# A 32-bit Windows program for the GUI subsystem.
why=""
if [ "$(head -c 2 "$d/Kelvane.exe")" != MZ ]; then
    why="no MZ header"
else
    pe=$(od -An -t u4 -j 60 -N 4 "$d/Kelvane.exe" | tr -d ' ')
    machine=$(od -An -t x2 -j $((pe + 4)) -N 2 "$d/Kelvane.exe" | tr -d ' ')
    subsystem=$(od -An -t u2 -j $((pe + 24 + 68)) -N 2 "$d/Kelvane.exe" | tr -d ' ')
    [ "$machine" = 014c ] || why="machine $machine, not i386"
    [ "$subsystem" = 2 ] || why="${why:+$why; }subsystem $subsystem, not the GUI's"
fi
check dist_exe "$why"

check dist_help "$([ "$(head -c 4 "$d/KelvaneEn.chm" 2>/dev/null)" = ITSF ] || echo "KelvaneEn.chm is no compiled help file")"

why=""
[ ${#languages[@]} -gt 0 ] || why="lang/ holds no language file"
for lng in "${languages[@]}"; do
    cmp -s "$d/$lng" "$root/lang/$lng" || why="${why:+$why; }$lng differs from lang/$lng"
    # The readme's list of what is in the folder.
    grep -q "^  $lng " "$d/ReadMe.txt" || why="${why:+$why; }ReadMe.txt does not name $lng"
done
check dist_languages "$why"

# The texts a user opens in Notepad: every line ends in CR LF, as Notepad
# needs, and each is its source in the repository line for line.
# check name, file in the zip, its source
while read -r name file source; do
    [ -f "$d/$file" ] || { check "$name" "$file is missing"; continue; }
    lines=$(grep -c '' "$d/$file")
    crlf=$(grep -c $'\r$' "$d/$file")
    why=""
    [ "$lines" -gt 20 ] || why="only $lines lines"
    [ "$crlf" = "$lines" ] || why="${why:+$why; }$((lines - crlf)) of $lines lines do not end in CR LF"
    [ "$(tail -c 2 "$d/$file" | od -An -t x1 | tr -d ' ')" = 0d0a ] || why="${why:+$why; }the last line has no CR LF"
    grep -q $'\r\r' "$d/$file" && why="${why:+$why; }doubled carriage returns"
    tr -d '\r' <"$d/$file" | cmp -s - <(tr -d '\r' <"$root/$source") || why="${why:+$why; }it differs from $source"
    check "$name" "$why"
done <<'TEXTS'
dist_readme ReadMe.txt res/ReadMe.txt
dist_licence LICENSE.txt LICENSE
TEXTS

check dist_pci "$(grep -q '^D ' "$d/ati.pci" || echo "ati.pci lists no device")"

echo "dist: $passed passed, $failed failed"
[ "$failed" = 0 ]
