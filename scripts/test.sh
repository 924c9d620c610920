#!/usr/bin/env bash
# Builds qzgsms and runs every test three times: a plain build, one with AddressSanitizer
# and UndefinedBehaviorSanitizer, one with ThreadSanitizer. Then a short run of every
# fuzzer (scripts/fuzz.sh; QZGSMS_FUZZ_SECONDS each, 15 by default) from a fixed seed, so
# that the run is the same on every machine: finding new inputs is the long run's work
# (scripts/fuzz.sh alone). Then the Debian package is built and checked
# (scripts/package.sh): installed, verified and removed again in a throw-away root, never on
# this machine's own system. Last, the Windows build and its short
# test set under Wine (scripts/test-windows.sh; --full there runs every Windows scenario).
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc)
run_config() {
  local name=$1 sanitize=$2
  echo "=== $name build ==="
  # The window's tests do not run under ThreadSanitizer (below), so it is not built there.
  local options=()
  if [ "$sanitize" = thread ]; then options=(-DCMAKE_DISABLE_FIND_PACKAGE_Qt6=ON); fi
  cmake -S . -B "build/$name" -G Ninja -DQZGSMS_SANITIZE="$sanitize" "${options[@]}" >/dev/null
  cmake --build "build/$name" -j "$jobs"
  echo "=== $name tests ==="
  # ThreadSanitizer needs a memory layout that full address randomisation can break.
  local prefix=() exclude=()
  if [ "$sanitize" = thread ] && command -v setarch >/dev/null; then prefix=(setarch "$(uname -m)" -R); fi
  # Debian's Qt is not built with ThreadSanitizer, and its locks (QMutex waits on a futex
  # of its own) and thread pools are invisible to it: window tests that draw or convert a
  # large image report races between Qt's pooled threads, inside Qt's libraries. The window
  # tests (label "ui") run in the plain and AddressSanitizer builds; all others run here too.
  # The scenarios under Wine (labels wine, wine-short) belong to the Windows stage.
  exclude=(-LE 'wine')
  if [ "$sanitize" = thread ]; then exclude=(-LE 'ui|wine'); fi
  "${prefix[@]}" ctest --test-dir "build/$name" --output-on-failure -j "$jobs" "${exclude[@]}"
}

configs=${QZGSMS_CONFIGS:-"plain asan tsan fuzz package windows"}
for c in $configs; do
  case $c in
    plain) run_config plain "" ;;
    asan) run_config asan address ;;
    tsan) run_config tsan thread ;;
    fuzz)
      echo "=== fuzz build and short run ==="
      QZGSMS_FUZZ_SEED=${QZGSMS_FUZZ_SEED:-20261209} scripts/fuzz.sh "${QZGSMS_FUZZ_SECONDS:-15}"
      ;;
    package)
      echo "=== package build and check ==="
      scripts/package.sh
      ;;
    windows)
      echo "=== Windows build and tests under Wine ==="
      scripts/test-windows.sh
      ;;
  esac
done
