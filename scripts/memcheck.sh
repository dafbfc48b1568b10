#!/usr/bin/env bash
# Runs every test program of a build under valgrind memcheck; fails on any
# memory error or leak. The programs come from CTest's own list, so tests that
# run a program with arguments or data files (in their working directory) are
# covered as registered:
# - a test whose command is a program of the build runs it under valgrind;
#   a GoogleTest program, registered once per test case, runs once as a whole;
# - a test whose command is a script (shell, cmake) that is handed programs of
#   the build runs with each of those replaced by a wrapper that runs it under
#   valgrind, so the script's own checks see valgrind's exit status (99 on an
#   error) and every valgrind log must stay empty.
# Other tests are left to CTest. Tests that replace operator new to count
# allocations keep their own replacement (nouserintercepts); valgrind still
# checks the malloc beneath. Usage: scripts/memcheck.sh BUILD_DIR
set -euo pipefail
build="$(cd "${1:?usage: memcheck.sh BUILD_DIR}" && pwd)"
vg=(valgrind --quiet --error-exitcode=99 --leak-check=full
  --soname-synonyms=somalloc=nouserintercepts --errors-for-leak-kinds=definite,indirect)
wrap="$build/memcheck-wrap"
rm -rf "$wrap"
mkdir -p "$wrap"
passed=0
failed=0
declare -A seen=()

is_build_program() {
  case "$1" in "$build"/*) ;; *) return 1 ;; esac
  [ -f "$1" ] && [ "$(head -c 4 "$1" | tr -d '\0')" = $'\x7fELF' ]
}

report() {  # report STATUS NAME LOG
  if [ "$1" -eq 0 ]; then
    echo "memcheck: $2 clean"
    passed=$((passed + 1))
  else
    echo "memcheck: $2 FAILED (see $3)"
    tail -40 "$3"
    failed=$((failed + 1))
  fi
}

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
  n=$((${#seen[@]} + 1))
  log="$build/memcheck-$(basename "$prog")-$n.log"
  if is_build_program "$prog"; then
    # (A loop, not printf | grep -q: under pipefail grep's early exit can
    # fail the pipe and let a filtered entry through.)
    for a in "${args[@]}"; do
      if [[ "$a" == --gtest_filter=* ]]; then
        args=(--gtest_brief=1)
        break
      fi
    done
    key="$prog ${args[*]}"
    [ -z "${seen[$key]:-}" ] || continue
    seen[$key]=1
    status=0
    (cd "$wd" && env "${envs[@]}" "${vg[@]}" "$prog" "${args[@]}") >"$log" 2>&1 || status=$?
    report "$status" "$(basename "$prog") ${args[*]}" "$log"
    continue
  fi
  wrapped=0
  for i in "${!args[@]}"; do
    if is_build_program "${args[$i]}"; then
      w="$wrap/$n-$(basename "${args[$i]}")"
      printf '#!/bin/sh\nexec %s --log-file=%s.%%p.log %s "$@"\n' "${vg[*]}" "$w" "${args[$i]}" >"$w"
      chmod +x "$w"
      args[$i]="$w"
      wrapped=1
    fi
  done
  [ "$wrapped" -eq 1 ] || continue
  seen["$n"]=1
  status=0
  (cd "$wd" && env "${envs[@]}" "$prog" "${args[@]}") >"$log" 2>&1 || status=$?
  for l in "$wrap/$n"-*.log; do
    [ -e "$l" ] || continue
    if [ -s "$l" ]; then
      cat "$l" >>"$log"
      status=1
    fi
  done
  report "$status" "$(basename "$prog") ${args[*]}" "$log"
done <<<"$list"
echo "memcheck: $passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
