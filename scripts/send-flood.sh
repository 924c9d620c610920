#!/usr/bin/env bash
# qzgsms-send run from many shells at once against the real gateway (fast clock) and the
# modem simulator, at full size: RUNS runs (2000 by default; ctest runs 200). It fails on
# any run that does not end with 0, any job lost, read half written (a bad request or a
# text cut short) or sent twice, and any temporary file left behind.
#
#   scripts/send-flood.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${1:-2000}
cmake -S . -B build/plain -G Ninja >/dev/null
cmake --build build/plain -j "$(nproc)" --target e2e_tests fast_qzgsmsd qzgsms-send
start=$(date +%s)
QZGSMS_SEND_RUNS=$runs build/plain/tests/e2e_tests \
  --gtest_filter='SendCommandTest.ManyRunsAtOnceGiveAsManyJobsNoneLostNoneReadHalfWritten'
echo "$runs runs of qzgsms-send at once: sent, filed and checked in $(( $(date +%s) - start )) s"
