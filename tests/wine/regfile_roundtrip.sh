#!/usr/bin/env bash
# Checks that Wine's regedit reads the .reg files Kelvane's registry image
# writes: for each fixture, regfile_tool loads it and exports the branch with
# our writer, Wine's regedit /s imports that file into a clean key, regedit /e
# exports it again, and the two files must be the same byte for byte.
#
#   regfile_roundtrip.sh <path to regfile_tool> [wine prefix]
#
# Without a prefix a throwaway 32-bit one is made in a temporary folder (about
# 20 s). A given prefix is used as it is; the fixture keys in it are replaced.
# Exits 0 when every file came back unchanged, 1 on a mismatch, 2 on misuse.
set -euo pipefail

if [ $# -lt 1 ] || [ $# -gt 2 ] || [ ! -x "$1" ]; then
    echo "usage: $0 <path to regfile_tool> [wine prefix]" >&2
    exit 2
fi
tool=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
fixtures=$(cd "$(dirname "$0")/../data/regedit" && pwd)
work=$(mktemp -d)
export WINEARCH=win32 WINEDEBUG=-all

if [ $# -eq 2 ]; then
    export WINEPREFIX=$(cd "$2" && pwd)
else
    export WINEPREFIX=$work/prefix
    wine-stable wineboot -i >/dev/null 2>&1
fi
cleanup() {
    wineserver-stable -k 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

failed=0
check() {
    local fixture=$1 key=$2 name
    name=$(basename "$fixture" .reg)
    "$tool" export "$fixtures/$fixture" "$key" "$work/$name.ours.reg"
    # regedit /s leaves alone what the file does not name, so start clean.
    printf 'REGEDIT4\r\n\r\n[-HKEY_LOCAL_MACHINE\\%s]\r\n' "$key" >"$work/$name.delete.reg"
    wine-stable regedit /s "$work/$name.delete.reg"
    wine-stable regedit /s "$work/$name.ours.reg"
    rm -f "$work/$name.wine.reg"
    wine-stable regedit /e "$work/$name.wine.reg" "HKEY_LOCAL_MACHINE\\$key" || true
    if [ -f "$work/$name.wine.reg" ] && cmp -s "$work/$name.ours.reg" "$work/$name.wine.reg"; then
        echo "ok: $fixture"
    else
        echo "MISMATCH: $fixture (HKEY_LOCAL_MACHINE\\$key)"
        if [ -f "$work/$name.wine.reg" ]; then
            diff <(iconv -f utf-16 -t utf-8 "$work/$name.ours.reg") \
                 <(iconv -f utf-16 -t utf-8 "$work/$name.wine.reg") | head -40 || true
        else
            echo "  regedit /e wrote no file"
        fi
        failed=1
    fi
}

check values.reg 'Software\KvFixture'
check syntax.expected.reg 'Software\KvSyntax'
check regedit4.expected.reg 'Software\KvAnsi'
check values.reg 'Software\KvFixture\b'

if [ $failed -ne 0 ]; then
    echo "regfile round trip through Wine: FAILED"
    exit 1
fi
echo "regfile round trip through Wine: all files came back unchanged"
