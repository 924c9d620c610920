#!/usr/bin/env bash
# Builds qzgsmsd and the benchmark program in Release and runs every measurement: job
# pick-up latency against the modem simulator, the cost of a report-table update and the
# idle gateway's CPU time and memory. Takes about five minutes; the summary comes last.
# Options are handed to qzgsms-bench (e.g. --only=report, --jobs=20, --idle-secs=10);
# --only=soak runs the soak on the fast-clock gateway instead (about three minutes).
set -euo pipefail
cd "$(dirname "$0")/.."

cmake -S . -B build/bench -G Ninja -DQZGSMS_BENCH=ON -DQZGSMS_TESTS=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/bench -j "$(nproc)" --target qzgsms-bench qzgsmsd qzgsmsd-fastclock
exec build/bench/bench/qzgsms-bench "$@"
