#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan+UBSan) and runs each for a set
# time on its seed corpus. Usage: scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]
# Fails when any target finds a crash, a sanitizer report or a leak.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
shift || true
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$(nproc)"
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  mapfile -t targets < <(cd build/fuzz/fuzz && ls fuzz_* | grep -v '\.' )
fi
passed=0
failed=0
for t in "${targets[@]}"; do
  corpus="fuzz/corpus/$t"
  work="build/fuzz/corpus/$t"
  mkdir -p "$work" "$corpus"
  echo "fuzz: $t for ${seconds}s"
  if build/fuzz/fuzz/"$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="build/fuzz/$t-" "$work" "$corpus" \
      >"build/fuzz/$t.log" 2>&1; then
    passed=$((passed + 1))
    grep -E 'stat::number_of_executed_units|cov:' "build/fuzz/$t.log" | tail -2
  else
    failed=$((failed + 1))
    echo "fuzz: $t FAILED"
    tail -60 "build/fuzz/$t.log"
  fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
