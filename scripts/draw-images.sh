#!/usr/bin/env bash
# Draws the window's images (telephones, signal-bar shape, About logo, application icon)
# with tools/draw_images into src/ui/images/. The PNGs are committed; run this after
# changing the drawing code and look at the result before committing it.
#   scripts/draw-images.sh [BUILD_FOLDER]   (build/ui by default)
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build/ui}
cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target qzgsms-draw-images
"$build/tools/draw_images/qzgsms-draw-images" src/ui/images
