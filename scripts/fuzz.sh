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
  dict=()
  [ -f "fuzz/$t.dict" ] && dict=(-dict="fuzz/$t.dict")
  echo "fuzz: $t for ${seconds}s"
  if build/fuzz/fuzz/"$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 "${dict[@]}" \
      -print_final_stats=1 -artifact_prefix="build/fuzz/$t-" "$work" "$corpus" \
      >"build/fuzz/$t.log" 2>&1; then
    passed=$((passed + 1))
    # libFuzzer's final figures: executions, seconds, coverage (edges, features), corpus.
    runs="$(sed -n 's/^Done \([0-9]*\) runs in \([0-9]*\) second.*/\1 runs in \2 s/p' "build/fuzz/$t.log")"
    cov="$(grep -E '^#[0-9]+[[:space:]]+DONE' "build/fuzz/$t.log" | sed -n 's/.*cov: \([0-9]*\) ft: \([0-9]*\) corp: \([0-9]*\).*/cov \1, ft \2, corpus \3/p')"
    echo "fuzz: $t passed: $runs, $cov"
  else
    failed=$((failed + 1))
    echo "fuzz: $t FAILED"
    tail -60 "build/fuzz/$t.log"
  fi
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
