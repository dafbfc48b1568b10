#!/usr/bin/env bash
# Every test: sets up a fresh machine, builds, and runs the whole suite with
# CTest twice (release, then ASan+UBSan), then runs the test programs under
# valgrind's memcheck. Exits non-zero when anything fails or leaks.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
jobs="$(nproc)"

cmake --preset release
cmake --build --preset release -j"$jobs"
ctest --preset release -j"$jobs"

cmake --preset asan
cmake --build --preset asan -j"$jobs"
ctest --preset asan -j"$jobs"

scripts/memcheck.sh build/release
