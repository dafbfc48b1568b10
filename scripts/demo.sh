#!/usr/bin/env bash
# The main job: sets up a fresh machine, builds vxnav and drives across the
# sample town with a missed turn and a closed road ahead. The log goes to the
# terminal; the picture and the GeoJSON go to out/. Extra arguments are
# passed on to `vxnav drive` (e.g. --verbose, --seed 5).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)" --target vxnav
mkdir -p out
build/release/tools/vxnav drive --miss-turn 2 --closure 500 \
  --svg out/drive.svg --geojson out/drive.geojson "$@"
echo
echo "demo: the picture of the drive is $(pwd)/out/drive.svg"
echo "demo: the same as GeoJSON (any map viewer opens it) is $(pwd)/out/drive.geojson"
