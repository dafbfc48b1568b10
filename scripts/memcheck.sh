#!/usr/bin/env bash
# Runs every test program of a build under valgrind memcheck; fails on any
# memory error or leak. The programs come from CTest's own list, so tests that
# run a program with arguments or data files (in their working directory) are
# covered as registered. A GoogleTest program, registered once per test case,
# runs once as a whole. Commands that are not programs of the build (cmake
# scripts, shell scripts) are left to CTest. Tests that replace operator new
# to count allocations keep their own replacement (nouserintercepts); valgrind
# still checks the malloc beneath. Usage: scripts/memcheck.sh BUILD_DIR
set -euo pipefail
build="$(cd "${1:?usage: memcheck.sh BUILD_DIR}" && pwd)"
passed=0
failed=0
declare -A seen=()
# One line per test: the working directory, the environment settings joined
# by ';', then the command and its arguments, separated by the unit separator
# (not white space, so empty fields stay fields).
list="$(ctest --test-dir "$build" --show-only=json-v1 | jq -r '.tests[] |
  [([.properties[]? | select(.name == "WORKING_DIRECTORY") | .value][0] // "."),
   ([.properties[]? | select(.name == "ENVIRONMENT") | .value[]] | join(";"))] + .command | join("\u001f")')"
while IFS=$'\x1f' read -r -a cmd; do
  [ ${#cmd[@]} -ge 3 ] || continue
  wd="${cmd[0]}"
  IFS=';' read -r -a envs <<<"${cmd[1]}"
  prog="${cmd[2]}"
  args=("${cmd[@]:3}")
  case "$prog" in "$build"/*) ;; *) continue ;; esac
  [ -f "$prog" ] && [ "$(head -c 4 "$prog" | tr -d '\0')" = $'\x7fELF' ] || continue
  if printf '%s\n' "${args[@]}" | grep -q '^--gtest_filter='; then
    args=(--gtest_brief=1)
  fi
  key="$prog ${args[*]}"
  [ -z "${seen[$key]:-}" ] || continue
  seen[$key]=1
  log="$build/memcheck-$(basename "$prog")-${#seen[@]}.log"
  if ! (cd "$wd" && env "${envs[@]}" valgrind --quiet --error-exitcode=99 --leak-check=full \
      --soname-synonyms=somalloc=nouserintercepts --errors-for-leak-kinds=definite,indirect "$prog" "${args[@]}") >"$log" 2>&1; then
    echo "memcheck: $(basename "$prog") ${args[*]} FAILED (see $log)"
    tail -40 "$log"
    failed=$((failed + 1))
  else
    echo "memcheck: $(basename "$prog") ${args[*]} clean"
    passed=$((passed + 1))
  fi
done <<<"$list"
echo "memcheck: $passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
