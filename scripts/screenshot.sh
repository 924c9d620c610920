#!/usr/bin/env bash
# Pictures of the operator window for review: starts the window under Xvfb against the
# simulated modem with a job cell in each state and a mid-level signal, and writes a PNG of the
# main window and of each dialog into OUTPUT_FOLDER (build/screenshots by default).
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-build/screenshots}

cmake -S . -B build/screenshots-build -G Ninja -DQZGSMS_TESTS=OFF >/dev/null
cmake --build build/screenshots-build -j "$(nproc)" --target qzgsms-screenshots
mkdir -p "$out"
# The window's own theme, not whatever desktop settings a machine has.
QT_QPA_PLATFORM=xcb QT_STYLE_OVERRIDE=Fusion \
  xvfb-run --auto-servernum --server-args="-screen 0 1280x1024x24" \
  build/screenshots-build/tools/screenshots/qzgsms-screenshots "$out"
ls -l "$out"/*.png
