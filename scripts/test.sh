#!/usr/bin/env bash
# Every test: sets up a fresh machine, builds, and runs the whole suite with
# CTest. Exits non-zero when anything fails.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
jobs="$(nproc)"

cmake --preset release
cmake --build --preset release -j"$jobs"
ctest --preset release -j"$jobs"
