#!/usr/bin/env bash
# Static checks with clang-tidy-14 and the root .clang-tidy over every module:
# the sources through build/release/compile_commands.json (their own headers
# with them, by the HeaderFilterRegex), and the header-only folders geometry/
# and BaseLib/ on their own. Exits non-zero on any finding.
set -euo pipefail
cd "$(dirname "$0")/.."
modules="CPath|geo|map|mapgen|network|route|drive|nav|tools"
# clang-tidy counts the warnings it suppressed in system headers; drop that noise.
exec 2> >(grep -v "warnings generated" >&2)
[ -f build/release/compile_commands.json ] || cmake --preset release >/dev/null
out="$(mktemp)"
trap 'rm -f "$out"' EXIT
status=0
run-clang-tidy-14 -quiet -p build/release -j"$(nproc)" "$(pwd)/($modules)/[^/]*\.cpp$" >"$out" 2>&1 ||
  status=$?
# run-clang-tidy prints each command; keep only what the checks found.
if [ "$status" -ne 0 ] || grep -q -E "(error|warning): " "$out"; then
  grep -v -E "^(clang-tidy-14 |[0-9]+ warnings? (and [0-9]+ errors? )?generated)" "$out" >&2
  exit 1
fi
clang-tidy-14 --quiet geometry/*.h BaseLib/*.h -- -xc++ -std=c++20 -I.
