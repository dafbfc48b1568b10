#!/usr/bin/env bash
# Installs a build tree to a temporary prefix, then configures, builds and runs
# the small outside project in tests/consumer against it with
# find_package(VX_CPath CONFIG).
# Usage: install_consumer.sh <build dir> [cmake options for the outside project...]
set -euo pipefail
build_dir="$1"
shift
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# The outside project is the README's example: the first cmake and cpp blocks
# of "Using the installed package", less the files' leading comment.
readme_block() {
  sed -n '/^## Using the installed package/,$p' "$here/../README.md" |
    sed -n "/^\`\`\`$1\$/,/^\`\`\`\$/p" | sed '1d;$d' | sed '/^```/,$d'
}
strip_comment() { sed '1{/^\(# \|\/\/ \)/d}' "$1"; }
if ! diff <(readme_block cmake) <(strip_comment "$here/consumer/CMakeLists.txt") ||
  ! diff <(readme_block cpp) <(strip_comment "$here/consumer/main.cpp" | sed '/./,$!d'); then
  echo "tests/consumer differs from the README's example" >&2
  exit 1
fi

cmake --install "$build_dir" --prefix "$work/prefix" >/dev/null
cmake -S "$here/consumer" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_PREFIX_PATH="$work/prefix" "$@" >/dev/null
cmake --build "$work/build" >/dev/null
out="$("$work/build/myapp")"
echo "$out"
# One guidance item for the one edge: its name and a length of about 680 m.
if ! grep -Eq '^Station Road 6[0-9]{2}\.[0-9] m$' <<<"$out"; then
  echo "unexpected output from the installed package's example" >&2
  exit 1
fi
