#!/usr/bin/env bash
# The chaos test at full size: 200 jobs arriving over time while the real gateway is killed
# 20 times with SIGKILL and stopped 10 times with SIGTERM (RelWithDebInfo build in
# build/chaos). Each run prints its summary line; the output of a failed run is kept in
# build/chaos/chaos-<seed>.log.
#
#   scripts/chaos.sh                 one run with a fresh seed
#   scripts/chaos.sh --runs=5        five runs, each with a fresh seed
#   scripts/chaos.sh 1234 987654     one run per seed given (repeats a failed run's plan)
#
# QZGSMS_CHAOS_JOBS, QZGSMS_CHAOS_KILLS and QZGSMS_CHAOS_TERMS change the size.
set -euo pipefail
cd "$(dirname "$0")/.."

runs=1
seeds=()
for arg in "$@"; do
  case $arg in
    --runs=*) runs=${arg#--runs=} ;;
    -h|--help) sed -n '2,12p' "$0"; exit 0 ;;
    *) seeds+=("$arg") ;;
  esac
done
if [ ${#seeds[@]} -eq 0 ]; then
  for _ in $(seq "$runs"); do seeds+=("$(od -An -N8 -tu8 /dev/urandom | tr -d ' ')"); done
fi

cmake -S . -B build/chaos -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQZGSMS_SANITIZE= >/dev/null
cmake --build build/chaos -j "$(nproc)" --target e2e_tests fast_qzgsmsd

export QZGSMS_CHAOS_JOBS=${QZGSMS_CHAOS_JOBS:-200}
export QZGSMS_CHAOS_KILLS=${QZGSMS_CHAOS_KILLS:-20}
export QZGSMS_CHAOS_TERMS=${QZGSMS_CHAOS_TERMS:-10}
echo "=== chaos: ${#seeds[@]} run(s) of $QZGSMS_CHAOS_JOBS jobs, $QZGSMS_CHAOS_KILLS SIGKILL, $QZGSMS_CHAOS_TERMS SIGTERM ==="

failed=()
summaries=()
for seed in "${seeds[@]}"; do
  log=build/chaos/chaos-$seed.log
  start=$(date +%s)
  if QZGSMS_CHAOS_SEED=$seed build/chaos/tests/e2e_tests --gtest_filter='Chaos.*' >"$log" 2>&1; then
    result=passed
  else
    result=FAILED
    failed+=("$seed")
  fi
  line=$(grep -h '^chaos summary' "$log" || echo "chaos summary: (none printed)")
  [ "$result" = passed ] && rm -f "$log"
  summaries+=("$result in $(( $(date +%s) - start )) s: ${line#chaos summary: }")
  echo "${summaries[-1]}"
done

echo
echo "================ chaos summary ================"
printf '%s\n' "${summaries[@]}"
if [ ${#failed[@]} -gt 0 ]; then
  echo "failed seeds: ${failed[*]} (output in build/chaos/chaos-<seed>.log)"
  exit 1
fi
echo "all ${#seeds[@]} run(s) passed"
