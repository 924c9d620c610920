#!/usr/bin/env bash
# Builds the Windows programs in Release and makes, in the repository folder:
#   qzgsms-VERSION-win64.zip   the programs, the Windows documents and the examples
#   qzgsms-VERSION-win64.msi   the installer (scripts/windows-msi.sh)
# The zip holds qzgsms-VERSION-win64/ as scripts/windows-stage.sh lays it out: the static
# programs (no DLL beside them), README.txt, LICENSE.txt, docs/*.txt and examples/, every
# text file with CR LF line ends.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/windows-release
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DQZGSMS_TESTS=OFF "${launcher[@]}" >/dev/null
cmake --build "$build" -j "$(nproc)" --target qzgsms qzgsmsd qzgsms-dbftool qzgsms-send

version=$(sed -n '1s/^qzgsms (\([^)]*\)).*/\1/p' packaging/debian/changelog)
name=qzgsms-$version-win64
rm -f "$name.zip" "$name.msi"
scripts/windows-stage.sh "$build" "$build/$name"
(cd "$build" && cmake -E tar cf "$OLDPWD/$name.zip" --format=zip "$name")
echo "$name.zip"
scripts/windows-msi.sh "$build/$name" "$name.msi" "$version"
echo "$name.msi"
