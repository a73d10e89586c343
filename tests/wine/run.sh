#!/usr/bin/env bash
# The Wine suite, run by `make test` from the repository root once
# `make win build/ati.pci` is done. It checks what the exes import, makes the
# prefixes, then runs every scenario of scenarios.sh (and the .reg round
# trip) inside one Xvfb session, since starting Xvfb is the slow part.
#
# One line per check, "PASS name" or "FAIL name: why", then "N passed,
# M failed"; the exit status is non-zero when any failed. Each scenario's
# folder under build/wine-tests/ keeps its log (every driver command and
# answer), and a failed one its prefix too. The main window's picture goes
# to build/wine-shots/main.png.
#
# Most scenarios run on Windows XP; those scenarios.sh lists with the suffix
# _2000 run after them once more on Windows 2000, with prefixes of their own.
#
# KV_BIN names another folder with Kelvane.exe, KelvaneDemo.exe and
# kvdriver.exe (default build/win32); KV_ONLY="name ..." runs only those
# scenarios (NAME_2000 runs NAME on Windows 2000).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../scripts/wine-env.sh"

# Wine takes its language from the locale: the same everywhere, so that a
# message box's button reads "OK" wherever the suite runs.
export LC_ALL=C.UTF-8
export KV_BIN=${KV_BIN:-$ROOT/build/win32}
export KV_PCI=$ROOT/build/ati.pci
export KV_WORK=$ROOT/build/wine-tests
export KV_SHOTS=$ROOT/build/wine-shots
SCENARIO_TIMEOUT=120
# Scenarios that take four times as long: every window in every language at
# two sizes, six starts and six checks after a restart, three of them
# counted down to their last second.
LONG_SCENARIOS="every_window_fits"

took() {
    awk -v name="$1" -v t0="$2" -v t1="$EPOCHREALTIME" 'BEGIN { printf "%-28s %5.1f s\n", name, t1 - t0 }' \
        >>"$KV_WORK/timings.txt"
}

# The scenarios to run, in order.
planned() {
    if [ -n "${KV_ONLY:-}" ]; then
        echo $KV_ONLY
        return
    fi
    bash "$here/scenarios.sh" --list
    bash "$here/standins.sh" --list
    [ ! -f "$here/regfile_roundtrip.sh" ] || echo regfile_roundtrip
}

# Runs inside the display: each scenario in a process of its own, with a
# time limit, so that one that hangs costs only its own verdict.
inside() {
    local name out rc t0 script limit
    for name in $(planned); do
        if [ "$name" = regfile_roundtrip ]; then
            t0=$EPOCHREALTIME
            roundtrip
            took "$name" "$t0"
            continue
        fi
        t0=$EPOCHREALTIME
        script=$here/scenarios.sh
        [[ $name != standin_* ]] || script=$here/standins.sh
        limit=$SCENARIO_TIMEOUT
        [[ " $LONG_SCENARIOS " != *" $name "* ]] || limit=$((4 * SCENARIO_TIMEOUT))
        out=$(timeout -k 5 "$limit" bash "$script" "$name")
        rc=$?
        took "$name" "$t0"
        WINEPREFIX=$KV_WORK/$name/prefix "$WINESERVER" -k 2>/dev/null
        if grep -qE "^(PASS|FAIL) $name" <<<"$out"; then
            grep -E "^(PASS|FAIL) $name" <<<"$out"
        elif [ $rc = 124 ]; then
            echo "FAIL $name: no verdict within $limit s"
        else
            echo "FAIL $name: no verdict (exit $rc)"
        fi
    done
}

# The .reg files the program writes must read back through Wine's regedit.
roundtrip() {
    local script=$here/regfile_roundtrip.sh tool=$ROOT/build/native/tests/regfile_tool dir=$KV_WORK/regfile_roundtrip
    if [ ! -x "$tool" ]; then
        echo "FAIL regfile_roundtrip: $tool is missing (make native builds it)"
        return
    fi
    rm -rf "$dir"
    mkdir -p "$dir"
    cp -a "$WINE_DEMO" "$dir/prefix"
    if timeout -k 5 "$SCENARIO_TIMEOUT" bash "$script" "$tool" "$dir/prefix" >"$dir/log" 2>&1; then
        echo "PASS regfile_roundtrip"
        rm -rf "$dir/prefix"
    else
        echo "FAIL regfile_roundtrip: $(grep -m1 -E 'MISMATCH|usage|rror' "$dir/log" || tail -n 1 "$dir/log") (see $dir/log)"
    fi
    WINEPREFIX=$dir/prefix "$WINESERVER" -k 2>/dev/null
}

if [ "${1:-}" = --inside ]; then
    inside
    exit 0
fi

cd "$ROOT" || exit 1
start=$(date +%s)
results=$(mktemp)
trap 'rm -f "$results"' EXIT

missing=""
for f in "$KV_BIN/Kelvane.exe" "$KV_BIN/KelvaneDemo.exe" "$KV_BIN/kvdriver.exe" "$KV_PCI"; do
    [ -f "$f" ] || missing+=" $f"
done
if [ -n "$missing" ]; then
    echo "FAIL setup: missing$missing (make win build/ati.pci)" | tee -a "$results"
else
    # Windows 2000 refuses an exe that imports what it lacks; no emulator
    # tells, so the import tables are read instead.
    if [ -f tools/check_imports.py ]; then
        for exe in Kelvane KelvaneDemo; do
            if why=$(python3 tools/check_imports.py "$KV_BIN/$exe.exe" 2>&1); then
                echo "PASS imports_$exe"
            else
                echo "FAIL imports_$exe: $(printf '%s' "$why" | paste -sd' ' - | cut -c1-300)"
            fi
        done | tee -a "$results"
    fi

    rm -rf "$KV_WORK" "$KV_SHOTS"
    mkdir -p "$KV_WORK"
    if bash scripts/wine-prefix.sh; then
        bash scripts/headless.sh bash "$here/run.sh" --inside 2>>"$KV_WORK/stderr.log" | tee -a "$results"
    fi
    # A scenario without a verdict failed too: the display or a prefix could
    # not be had, or the run broke off.
    for name in $(planned); do
        grep -qE "^(PASS|FAIL) $name(:|$)" "$results" ||
            echo "FAIL $name: did not run (see build/wine-tests/stderr.log)" | tee -a "$results"
    done
fi

passed=$(grep -c '^PASS ' "$results")
failed=$(grep -c '^FAIL ' "$results")
echo "wine: $((passed + failed)) checks in $(($(date +%s) - start)) s; logs in build/wine-tests/"
echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
