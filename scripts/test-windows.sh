#!/usr/bin/env bash
# Builds qzgsms for Windows (MinGW-w64, cmake/mingw-w64-x86_64.cmake) and runs its tests
# under Wine, in a Wine prefix inside the build folder:
#   scripts/test-windows.sh          the short set (unit tests, one SMS scenario), as CI runs it
#   scripts/test-windows.sh --full   every Windows test, all end-to-end scenarios included
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/windows
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake "${launcher[@]}" >/dev/null
cmake --build "$build" -j "$(nproc)"

selection=(-L wine-short)
if [ "${1:-}" = --full ]; then selection=(); fi
ctest --test-dir "$build" --output-on-failure "${selection[@]}"
