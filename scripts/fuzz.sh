#!/usr/bin/env bash
# Builds the fuzz targets (tests/fuzz, clang with libFuzzer, AddressSanitizer
# and UndefinedBehaviorSanitizer) into build/fuzz and runs each for SECONDS,
# one after another, from a work copy of its corpus in build/fuzz/work/<target>
# (seeded from tests/fuzz/corpus/<target>, so the repository is not touched;
# a run under a minute, as the tests' is, starts from a fresh copy in
# build/fuzz/short).
# Prints one line a target: executions, their rate, coverage (cov: and ft:
# from libFuzzer's last status line) and the corpus size. Fails when a target
# crashes, leaks, times out, runs out of memory or reports a sanitizer error;
# the input that did it is left in build/fuzz/.
#
#   scripts/fuzz.sh SECONDS [TARGET...]
set -uo pipefail
cd "$(dirname "$0")/.."

SECONDS_EACH=${1:-5}
shift || true
TARGETS=("$@")
[ ${#TARGETS[@]} -gt 0 ] || TARGETS=(modelists lng atipci regfile startup edid profile)

BUILD=build/fuzz
cmake -S tests/fuzz -B "$BUILD" -DCMAKE_CXX_COMPILER=clang++ >/dev/null || exit 1
if ! cmake --build "$BUILD" -j2 >"$BUILD-build.log" 2>&1; then
    cat "$BUILD-build.log"
    echo "fuzz: the targets did not build"
    exit 1
fi

export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
failed=()
mkdir -p "$BUILD/work" "$BUILD/logs"
for t in "${TARGETS[@]}"; do
    work="$BUILD/work/$t"
    # A short run (the tests') starts from the repository's corpus alone,
    # so it takes the same few seconds however long earlier runs grew the
    # work corpus.
    if [ "$SECONDS_EACH" -lt 60 ]; then
        work="$BUILD/short/$t"
        rm -rf "$work"
    fi
    log="$BUILD/logs/$t.log"
    mkdir -p "$work"
    cp -n tests/fuzz/corpus/"$t"/* "$work"/ 2>/dev/null || true
    # The real files the project already keeps elsewhere seed it too.
    case $t in
        lng) cp -n lang/*.lng "$work"/ ;;
        regfile) cp -n demo/demo-machine.reg tests/data/regedit/*.reg "$work"/ ;;
        startup) cp -n demo/demo-machine.reg "$work"/ ;;
    esac
    # -timeout: one input takes milliseconds, seconds at most under the
    # sanitizers; -rss_limit_mb: libFuzzer with the sanitizers holds a few
    # hundred MB, an input that needs more is a fault; -max_len: room for a
    # language file or a machine's .reg file (the shipped ones are 2-6 KB).
    # Leaks are detected (the default): the program's only long-lived objects
    # are reachable statics, which are not leaks.
    "$BUILD/fuzz_$t" -max_total_time="$SECONDS_EACH" -print_final_stats=1 -timeout=10 -rss_limit_mb=2048 \
        -max_len=8192 -artifact_prefix="$BUILD/$t-" "$work" >"$log" 2>&1
    rc=$?
    status=$(grep -E '^#[0-9]+.*cov: ' "$log" | tail -1)
    cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$status")
    ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$status")
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
    rss=$(sed -n 's/^stat::peak_rss_mb: *//p' "$log" | tail -1)
    files=$(find "$work" -type f | wc -l)
    printf 'fuzz_%-10s %9s execs %6s exec/s  cov: %-5s ft: %-6s corpus: %s files  rss: %s MB\n' \
        "$t" "${execs:-?}" "${rate:-?}" "${cov:-?}" "${ft:-?}" "$files" "${rss:-?}"
    if [ $rc -ne 0 ] || grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error:|^fuzz: ' "$log"; then
        artifact=$(sed -n 's/.*Test unit written to \(.*\)$/\1/p' "$log" | tail -1)
        echo "fuzz_$t FAILED (exit $rc): $(grep -m1 -E 'ERROR:|runtime error:|^fuzz: |==[0-9]+== ?ERROR' "$log")"
        echo "  input: ${artifact:-none written}; log: $log"
        echo "  reproduce: $BUILD/fuzz_$t ${artifact:-<input>}"
        failed+=("$t")
    fi
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzz: ${failed[*]} failed"
    exit 1
fi
