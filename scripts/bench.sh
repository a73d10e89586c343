#!/usr/bin/env bash
# Measurements, not tests (`make bench`; nothing here fails on a slow
# machine):
#   1. the resolution table the main window builds at start-up, natively
#      (build/bench, optimised), as its inputs double up to 65,536 modes and
#      five full restricted lists: the median time at each size and the
#      ratio to the size before;
#   2. start-up under Wine on the demo machine, from the process's start to
#      its window standing painted, Kelvane beside an empty window with the
#      same manifest, runs taking turns: the medians and their ratio.
#
# BENCH_RUNS sets the start-ups of each program (default 10); BENCH_WIN the
# Windows build to use (default build/win32, which `make win` brings up to
# date; another folder is configured and built like it).
set -uo pipefail
source "$(dirname "$0")/wine-env.sh"
cd "$ROOT" || exit 1

RUNS=${BENCH_RUNS:-10}
WIN_DIR=${BENCH_WIN:-build/win32}
BENCH=$ROOT/build/bench
WORK=$BENCH/wine

# Inside the display: one start of each to warm up (and to get past what
# only a first start on a machine does), then the runs, taking turns. One
# line per start: the program and its milliseconds, or "failed".
if [ "${1:-}" = --inside ]; then
    export LC_ALL=C.UTF-8 WINEPREFIX=$WORK/prefix
    start() {  # NAME CLASS EXE
        local out
        out=$(timeout -k 5 120 "$WINE" "$WORK/startprobe.exe" "$2" "$(winpath "$3")" 2>>"$WORK/probe.err")
        out=${out//$'\r'/}
        if [[ $out =~ ^[0-9.]+$ ]]; then echo "$1 $out"; else echo "$1 failed"; fi
    }
    for ((i = 0; i <= RUNS; i++)); do
        e=$(start empty EmptyWindow "$WORK/empty/emptywindow.exe")
        k=$(start kelvane TForm1 "$WORK/kelvane/Kelvane.exe")
        [ "$i" = 0 ] || printf '%s\n%s\n' "$e" "$k"
    done
    "$WINESERVER" -k 2>/dev/null
    exit 0
fi

# ---- The table, natively ----------------------------------------------------

cmake -S tests/bench -B "$BENCH" -DCMAKE_BUILD_TYPE=Release >/dev/null &&
    cmake --build "$BENCH" -j 2 >/dev/null || { echo "bench: the native build failed" >&2; exit 1; }
"$BENCH/table_bench" || exit 1
echo

# ---- Start-up under Wine ----------------------------------------------------

if [ "$WIN_DIR" = build/win32 ]; then
    make --no-print-directory -s win >/dev/null || { echo "bench: make win failed" >&2; exit 1; }
else
    cmake -S . -B "$WIN_DIR" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw32.cmake -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null 2>&1 &&
        cmake --build "$WIN_DIR" -j 2 >/dev/null || { echo "bench: the Windows build in $WIN_DIR failed" >&2; exit 1; }
fi
[ -f build/ati.pci ] || python3 tools/make_ati_pci.py /usr/share/misc/pci.ids build/ati.pci || exit 1
bash scripts/wine-prefix.sh || exit 1

# A copy of the demo machine on which Kelvane has never run, each program
# in a folder of its own.
rm -rf "$WORK"
mkdir -p "$WORK/kelvane" "$WORK/empty"
cp -a "$WINE_DEMO" "$WORK/prefix"
awk '/^\[/ { skip = index(tolower($0), "[software\\\\tessaly") == 1 } !skip' \
    "$WORK/prefix/system.reg" >"$WORK/prefix/system.reg.new" && mv "$WORK/prefix/system.reg.new" "$WORK/prefix/system.reg"
cp "$WIN_DIR/KelvaneDemo.exe" "$WORK/kelvane/Kelvane.exe"
cp build/ati.pci "$WORK/kelvane/"
cp "$WIN_DIR/emptywindow.exe" "$WORK/empty/"
cp "$WIN_DIR/startprobe.exe" "$WORK/"

bash scripts/headless.sh bash "$ROOT/scripts/bench.sh" --inside >"$WORK/starts.txt"
awk -v runs="$RUNS" '
    $2 == "failed" { failed[$1]++; next }
    { t[$1, ++n[$1]] = $2 }
    function median(name,   i, j, v, k, c) {
        c = n[name]
        for (i = 1; i <= c; i++) v[i] = t[name, i]
        for (i = 2; i <= c; i++) for (j = i; j > 1 && v[j - 1] > v[j]; j--) { k = v[j]; v[j] = v[j - 1]; v[j - 1] = k }
        return c % 2 ? v[(c + 1) / 2] : (v[c / 2] + v[c / 2 + 1]) / 2
    }
    END {
        printf "start-up under Wine to a painted window, median of %d runs each, taking turns:\n", runs
        if (!n["empty"] || !n["kelvane"]) { print "  no measurement (see build/bench/wine/probe.err)"; exit 1 }
        e = median("empty"); k = median("kelvane")
        printf "  empty window %8.1f ms\n", e
        printf "  Kelvane      %8.1f ms   x%.2f the empty window\n", k, k / e
        for (name in failed) printf "  %s: %d runs failed (see build/bench/wine/probe.err)\n", name, failed[name]
    }' "$WORK/starts.txt"
