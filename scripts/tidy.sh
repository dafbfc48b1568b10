#!/usr/bin/env bash
# Static checks of the core with clang-tidy-14 and the root .clang-tidy: the
# sources of CPath/ through build/release/compile_commands.json, and the
# headers of geometry/ and BaseLib/ on their own. Exits non-zero on a finding.
set -euo pipefail
cd "$(dirname "$0")/.."
# clang-tidy counts the warnings it suppressed in system headers; drop that noise.
exec 2> >(grep -v "warnings generated" >&2)
[ -f build/release/compile_commands.json ] || cmake --preset release >/dev/null
clang-tidy-14 --quiet -p build/release CPath/*.cpp
headers=(geometry/*.h)
if compgen -G "BaseLib/*.h" >/dev/null; then
  headers+=(BaseLib/*.h)
fi
clang-tidy-14 --quiet "${headers[@]}" -- -xc++ -std=c++20 -I.
