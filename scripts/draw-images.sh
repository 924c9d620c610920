#!/usr/bin/env bash
# Draws the window's images (telephones, signal-bar shape, About logo, application icon)
# with tools/draw_images into src/ui/images/: PNGs for the Qt window, BMPs and the icon file
# for the Windows window's resource script. They are committed; run this after
# changing the drawing code and look at the result before committing it.
#   scripts/draw-images.sh [BUILD_FOLDER]   (build/ui by default)
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build/ui}
cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target qzgsms-draw-images
"$build/tools/draw_images/qzgsms-draw-images" src/ui/images
