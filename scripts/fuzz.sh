#!/usr/bin/env bash
# Builds the libFuzzer targets under fuzz/ with clang in build/fuzz and runs each for
# SECONDS (default 600), starting from its seeds in fuzz/corpus/NAME/. New inputs go to
# build/fuzz/corpus/NAME/ (the seeds stay as they are), the input of any crash, hang, leak,
# sanitizer report or broken invariant to build/fuzz/findings/, each run's output to
# build/fuzz/logs/NAME.log. Prints the executions per target; exits non-zero on a finding.
# Replay a finding with: build/fuzz/fuzz/NAME_fuzzer build/fuzz/findings/FILE
# QZGSMS_FUZZ_SEED fixes the fuzzers' random seed, so that a short run repeats the same
# inputs on every machine; unset, each run explores anew.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-600}
seed=${QZGSMS_FUZZ_SEED:-}
build=build/fuzz

cmake -S . -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++-14 -DQZGSMS_FUZZ=ON \
  -DQZGSMS_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target fuzzers

# The targets' scratch files live in memory where there is some: the profile writer syncs.
scratch_base=/dev/shm
[ -d "$scratch_base" ] && [ -w "$scratch_base" ] || scratch_base=${TMPDIR:-/tmp}
scratch=$(mktemp -d "$scratch_base/qzgsms-fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
export TMPDIR=$scratch
symbolizer=/usr/lib/llvm-14/bin/llvm-symbolizer
if [ -x "$symbolizer" ]; then export ASAN_SYMBOLIZER_PATH=$symbolizer; fi
export UBSAN_OPTIONS=print_stacktrace=1

mkdir -p "$build/findings" "$build/logs"
passed=0
failed=0
for fuzzer in "$build"/fuzz/*_fuzzer; do
  name=$(basename "$fuzzer" _fuzzer)
  log=$build/logs/$name.log
  mkdir -p "$build/corpus/$name"
  result=clean
  if ! "$fuzzer" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 ${seed:+-seed="$seed"} \
      -artifact_prefix="$build/findings/$name-" "$build/corpus/$name" "fuzz/corpus/$name" \
      >"$log" 2>&1; then
    result="FINDING, see $log"
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  printf '%-16s %12s executions  %s\n' "$name" "${runs:-?}" "$result"
  if [ "$result" = clean ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    grep -A 30 -m 1 -E '^==[0-9]+==|invariant broken|runtime error|ALARM: working on' "$log" || true
  fi
done

echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
