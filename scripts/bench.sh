#!/usr/bin/env bash
# Builds qzgsmsd and the benchmark program in Release and runs every measurement: job
# pick-up latency against the modem simulator (and from send to filing), the cost of a
# report-table update, the idle gateway's CPU time, memory and wake-ups (one and 32 side by
# side), how soon an alarm goes out after an unplugged modem is back, and qzgsms-send --wait
# (from its start to the modem's AT+CMGS, from the modem's acceptance to its end). Takes about ten
# minutes; the summary comes last.
# Options are handed to qzgsms-bench (e.g. --only=report, --jobs=20, --idle-secs=10);
# --only=soak runs the soak on the fast-clock gateway instead (about three minutes).
set -euo pipefail
cd "$(dirname "$0")/.."

cmake -S . -B build/bench -G Ninja -DQZGSMS_BENCH=ON -DQZGSMS_TESTS=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/bench -j "$(nproc)" --target qzgsms-bench qzgsmsd qzgsmsd-fastclock qzgsms-send
exec build/bench/bench/qzgsms-bench "$@"
