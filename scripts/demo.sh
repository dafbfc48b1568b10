#!/usr/bin/env bash
# The main job: sets up a fresh machine, builds, and runs vxnav.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)" --target vxnav
build/release/tools/vxnav "$@"
