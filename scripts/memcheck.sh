#!/usr/bin/env bash
# Runs every unit test program of a build under valgrind memcheck; fails on
# any memory error or leak. Usage: scripts/memcheck.sh BUILD_DIR
# Tests that replace operator new to count allocations keep their own
# replacement (nouserintercepts); valgrind still checks the malloc beneath.
set -euo pipefail
build="${1:?usage: memcheck.sh BUILD_DIR}"
status=0
passed=0
failed=0
for t in "$build"/tests/test_*; do
  [ -x "$t" ] && [ -f "$t" ] || continue
  if ! valgrind --quiet --error-exitcode=99 --leak-check=full --soname-synonyms=somalloc=nouserintercepts --errors-for-leak-kinds=definite,indirect \
      "$t" --gtest_brief=1 >"$t.memcheck.log" 2>&1; then
    echo "memcheck: $(basename "$t") FAILED (see $t.memcheck.log)"
    tail -40 "$t.memcheck.log"
    status=1
    failed=$((failed + 1))
  else
    echo "memcheck: $(basename "$t") clean"
    passed=$((passed + 1))
  fi
done
echo "memcheck: $passed passed, $failed failed"
exit $status
