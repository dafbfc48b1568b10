#!/usr/bin/env bash
# Every test: sets up a fresh machine, checks formatting, clang-tidy and the
# header reference (scripts/gates.sh), builds, and runs the whole suite with
# CTest twice (release, then ASan+UBSan, with LeakSanitizer), runs the test
# programs under valgrind's memcheck, then runs every libFuzzer target for
# VX_FUZZ_SECONDS each (default 60; 0 skips fuzzing). Exits non-zero when
# anything fails, leaks or is reported; the last line is a summary line.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
jobs="$(nproc)"
# Each stage says when it starts, in minutes and seconds since the start.
stage() { printf 'test: %s at %d:%02d\n' "$1" $((SECONDS / 60)) $((SECONDS % 60)); }

stage "gates"
cmake --preset release
scripts/gates.sh
stage "release build and tests"
cmake --build --preset release -j"$jobs"
ctest --preset release -j"$jobs"

stage "sanitizer build and tests"
cmake --preset asan
cmake --build --preset asan -j"$jobs"
ctest --preset asan -j"$jobs"

stage "valgrind memcheck"
scripts/memcheck.sh build/release

fuzz_seconds="${VX_FUZZ_SECONDS:-60}"
if [ "$fuzz_seconds" -gt 0 ]; then
  stage "fuzzing"
  scripts/fuzz.sh "$fuzz_seconds"
fi
