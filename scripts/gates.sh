#!/usr/bin/env bash
# The checks every change passes before its tests run: formatting (the root
# .clang-format over every C++ file of the tree), clang-tidy (the root
# .clang-tidy, scripts/tidy.sh) and the reference of the installed headers
# (Doxygen, warnings fatal). Needs a configured release build.
set -euo pipefail
cd "$(dirname "$0")/.."
echo "gates: formatting"
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror
echo "gates: clang-tidy"
scripts/tidy.sh
echo "gates: reference (doc)"
cmake --build --preset release --target doc
echo "gates: passed"
