#!/usr/bin/env bash
# The native suite built with AddressSanitizer and UndefinedBehaviorSanitizer
# in build/asan. Any report fails the run: undefined behaviour aborts instead
# of going on, and a leak at the end of a test program fails it.
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD=build/asan
SAN="-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined"

cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=g++ \
      -DCMAKE_CXX_FLAGS="-O1 $SAN" -DCMAKE_EXE_LINKER_FLAGS="$SAN" >/dev/null
cmake --build "$BUILD" -j"$(nproc)"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
cd "$BUILD"
ctest --output-on-failure -j"$(nproc)"
