#!/usr/bin/env bash
# Builds the Windows programs in Release and puts them in qzgsms-VERSION-win64.zip (in the
# repository folder) with the documentation as text and the examples:
#   qzgsms-VERSION-win64/qzgsmsd.exe, qzgsms-dbftool.exe   (static: no DLL beside them)
#   qzgsms-VERSION-win64/docs/*.txt, README.txt, LICENSE.txt
#   qzgsms-VERSION-win64/examples/...
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/windows-release
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DQZGSMS_TESTS=OFF "${launcher[@]}" >/dev/null
cmake --build "$build" -j "$(nproc)" --target qzgsmsd qzgsms-dbftool

version=$(sed -n '1s/^qzgsms (\([^)]*\)).*/\1/p' packaging/debian/changelog)
name=qzgsms-$version-win64
stage=$build/$name
rm -rf "$stage" "$name.zip"
mkdir -p "$stage/docs"
for program in qzgsmsd qzgsms-dbftool; do
  x86_64-w64-mingw32-strip -o "$stage/$program.exe" "$build/apps/$program.exe"
done
# Markdown reads well as plain text; Windows' Notepad wants CR LF line ends.
to_text() { sed 's/$/\r/' "$1" >"$2"; }
for doc in docs/*.md; do to_text "$doc" "$stage/docs/$(basename "$doc" .md).txt"; done
to_text README.md "$stage/README.txt"
to_text LICENSE "$stage/LICENSE.txt"
cp -r examples "$stage/examples"
# The udev rule is for Linux only.
rm -f "$stage/examples/"*.rules
(cd "$build" && cmake -E tar cf "$OLDPWD/$name.zip" --format=zip "$name")
echo "$name.zip"
