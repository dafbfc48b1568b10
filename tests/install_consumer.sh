#!/usr/bin/env bash
# Installs a build tree to a temporary prefix, then configures, builds and runs
# the small outside projects in tests/consumer (the path library) and
# tests/consumer_nav (the navigator on the sample town) against it with
# find_package(VX_CPath CONFIG), and again through pkg-config.
# Usage: install_consumer.sh <build dir> [cmake options for the outside project...]
set -euo pipefail
build_dir="$1"
shift
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# The outside projects are the README's examples: the first cmake and cpp
# blocks of a section ("Using the installed package", "Using the navigator"),
# less the files' leading comment.
readme_block() {
  sed -n "/^## $1\$/,\$p" "$here/../README.md" | sed '1d' | sed '/^## /,$d' |
    sed -n "/^\`\`\`$2\$/,/^\`\`\`\$/p" | sed '1d;$d' | sed '/^```/,$d'
}
strip_comment() { sed '1{/^\(# \|\/\/ \)/d}' "$1"; }
same_as_readme() {
  if ! diff <(readme_block "$1" cmake) <(strip_comment "$here/$2/CMakeLists.txt") ||
    ! diff <(readme_block "$1" cpp) <(strip_comment "$here/$2/main.cpp" | sed '/./,$!d'); then
    echo "tests/$2 differs from the README's example" >&2
    exit 1
  fi
}
same_as_readme "Using the installed package" consumer
same_as_readme "Using the navigator" consumer_nav

cmake --install "$build_dir" --prefix "$work/prefix" >/dev/null
cmake -S "$here/consumer" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_PREFIX_PATH="$work/prefix" "$@" >/dev/null
cmake --build "$work/build" >/dev/null
out="$("$work/build/myapp")"
echo "$out"
# One guidance item for the one edge: its name and a length of about 680 m.
expect_example_output() {
  if ! grep -Eq '^Station Road 6[0-9]{2}\.[0-9] m$' <<<"$1"; then
    echo "unexpected output from the installed package's example ($2)" >&2
    exit 1
  fi
}
expect_example_output "$out" "CMake package"

# The navigator's example drives the sample town: every manoeuvre is
# announced and the drive arrives.
town="$here/../data/sample-town.osm"
cmake -S "$here/consumer_nav" -B "$work/build_nav" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_PREFIX_PATH="$work/prefix" "$@" >/dev/null
cmake --build "$work/build_nav" >/dev/null
expect_nav_output() {
  if ! grep -q 'turn left onto Brückenstraße$' <<<"$1" ||
    [ "$(tail -n 1 <<<"$1")" != "You have arrived at your destination" ]; then
    echo "unexpected output from the installed navigator's example ($2):" >&2
    echo "$1" >&2
    exit 1
  fi
}
nav_out="$("$work/build_nav/mynav" "$town")"
echo "$nav_out"
expect_nav_output "$nav_out" "CMake package"

# The same example built through pkg-config, with the compiler and flags the
# CMake options name. The prefix is not the one the build was configured
# with, so this holds only when the .pc file is relocatable.
cxx=c++ cxxflags="" ldflags=""
for a in "$@"; do
  case "$a" in
    -DCMAKE_CXX_COMPILER=*) cxx="${a#*=}" ;;
    -DCMAKE_CXX_FLAGS=*) cxxflags="${a#*=}" ;;
    -DCMAKE_EXE_LINKER_FLAGS=*) ldflags="${a#*=}" ;;
  esac
done
pc_dir="$(dirname "$(find "$work/prefix" -name VX_CPath.pc)")"
mv "$work/prefix" "$work/moved"  # and not where it was installed either
pc_dir="${pc_dir/$work\/prefix/$work/moved}"
read -r -a pc_flags <<<"$(PKG_CONFIG_PATH="$pc_dir" pkg-config --cflags --libs VX_CPath)"
read -r -a extra <<<"$cxxflags $ldflags"
"$cxx" -std=c++17 "${extra[@]}" "$here/consumer/main.cpp" "${pc_flags[@]}" -o "$work/myapp-pc"
expect_example_output "$("$work/myapp-pc")" "pkg-config"
"$cxx" -std=c++17 "${extra[@]}" "$here/consumer_nav/main.cpp" "${pc_flags[@]}" -o "$work/mynav-pc"
expect_nav_output "$("$work/mynav-pc" "$town")" "pkg-config"
