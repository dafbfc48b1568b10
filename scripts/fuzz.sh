#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan+UBSan) and runs each for a set
# time on its seed corpus, as many at a time as there are cores.
# Usage: scripts/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]
# Fails when any target finds a crash, a sanitizer report or a leak.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
shift || true
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$(nproc)"
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  mapfile -t targets < <(cd build/fuzz/fuzz && ls fuzz_* | grep -v '\.')
fi

# Runs one target; its log is build/fuzz/<target>.log.
run_target() {
  local t="$1" corpus="fuzz/corpus/$1" work="build/fuzz/corpus/$1" dict=()
  mkdir -p "$work" "$corpus"
  [ -f "fuzz/$t.dict" ] && dict=(-dict="fuzz/$t.dict")
  build/fuzz/fuzz/"$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 "${dict[@]}" \
    -print_final_stats=1 -artifact_prefix="build/fuzz/$t-" "$work" "$corpus" \
    >"build/fuzz/$t.log" 2>&1
}

# Prints a finished target's figures, or its log's end when it failed.
report() {
  local t="$1" status="$2"
  if [ "$status" -eq 0 ]; then
    passed=$((passed + 1))
    # libFuzzer's final figures: executions, seconds, coverage (edges, features), corpus.
    local runs cov
    runs="$(sed -n 's/^Done \([0-9]*\) runs in \([0-9]*\) second.*/\1 runs in \2 s/p' "build/fuzz/$t.log")"
    cov="$(grep -E '^#[0-9]+[[:space:]]+DONE' "build/fuzz/$t.log" | sed -n 's/.*cov: \([0-9]*\) ft: \([0-9]*\) corp: \([0-9]*\).*/cov \1, ft \2, corpus \3/p')"
    echo "fuzz: $t passed: $runs, $cov"
  else
    failed=$((failed + 1))
    echo "fuzz: $t FAILED"
    tail -60 "build/fuzz/$t.log"
  fi
}

passed=0
failed=0
declare -A running=()  # pid -> target
# Waits for one running target to finish and reports it.
reap_one() {
  local status=0 done_pid
  wait -n -p done_pid "${!running[@]}" || status=$?
  report "${running[$done_pid]}" "$status"
  unset "running[$done_pid]"
}
for t in "${targets[@]}"; do
  while [ ${#running[@]} -ge "$(nproc)" ]; do reap_one; done
  echo "fuzz: $t for ${seconds}s"
  run_target "$t" &
  running[$!]="$t"
done
while [ ${#running[@]} -gt 0 ]; do reap_one; done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
