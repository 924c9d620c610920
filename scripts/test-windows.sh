#!/usr/bin/env bash
# Builds qzgsms for Windows (MinGW-w64, cmake/mingw-w64-x86_64.cmake) and runs its tests
# under Wine, in a Wine prefix inside the Windows build folder:
#   scripts/test-windows.sh          the short set (unit tests, one SMS scenario, one of the window), as CI runs it
#   scripts/test-windows.sh --full   every Windows test and end-to-end scenario, every dialog of the window
# The end-to-end scenarios are the Linux build's tests (build/plain, with the simulator on
# a pseudo-terminal) driving qzgsmsd.exe through a COM port of the Wine prefix.
set -euo pipefail
cd "$(dirname "$0")/.."

launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
windows=build/windows
cmake -S . -B "$windows" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake "${launcher[@]}" >/dev/null
cmake --build "$windows" -j "$(nproc)"

linux=build/plain
cmake -S . -B "$linux" -G Ninja -DQZGSMS_WINDOWS_BUILD="$PWD/$windows" "${launcher[@]}" >/dev/null
cmake --build "$linux" -j "$(nproc)" --target wine_e2e_tests qzgsms-modemsim qzgsms-dbftool

selection=(-L wine-short)
if [ "${1:-}" = --full ]; then selection=(-L 'wine'); fi
ctest --test-dir "$windows" --output-on-failure
ctest --test-dir "$linux" --output-on-failure "${selection[@]}"
