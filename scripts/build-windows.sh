#!/usr/bin/env bash
# Builds the Windows programs in Release and puts them in qzgsms-VERSION-win64.zip (in the
# repository folder) with the documentation as text and the examples:
#   qzgsms-VERSION-win64/qzgsms.exe, qzgsmsd.exe, qzgsms-dbftool.exe, qzgsms-send.exe   (static: no DLL beside them)
#   qzgsms-VERSION-win64/docs/*.txt, README.txt, LICENSE.txt
#   qzgsms-VERSION-win64/examples/...  (the command files, send-alarm.cmd and QZGSMS.INI as on Windows)
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
stage=$build/$name
rm -rf "$stage" "$name.zip"
mkdir -p "$stage/docs"
for program in qzgsms qzgsmsd qzgsms-dbftool qzgsms-send; do
  x86_64-w64-mingw32-strip -o "$stage/$program.exe" "$build/apps/$program.exe"
done
# Markdown reads well as plain text; Windows' Notepad wants CR LF line ends.
to_text() { sed 's/$/\r/' "$1" >"$2"; }
for doc in docs/*.md; do to_text "$doc" "$stage/docs/$(basename "$doc" .md).txt"; done
to_text README.md "$stage/README.txt"
to_text LICENSE "$stage/LICENSE.txt"
# The examples, with the command files and the port of Windows in place of the Linux ones.
mkdir -p "$stage/examples"
cp -r examples/jobs examples/QZAMSG.INI examples/windows/qzarun.cmd examples/windows/incoming_sms.bat \
  examples/windows/send-alarm.cmd "$stage/examples/"
mkdir -p "$stage/examples/media"
cp examples/media/*.jpg examples/media/*.amr "$stage/examples/media/"
sed -e 's|^Port=/dev/ttyUSB0|Port=COM1|' \
    -e 's|^; The modem.s serial device: COM1 .*|; The modem'"'"'s serial port: COM1 ... COM256.|' \
    -e '/^; else is a device path. Prefer/d' \
    -e 's|(/var/lib/qzgsms/<instance>)|(for example D:\\qzt\\gsm1)|' \
    -e 's|Folders are written the Windows way (.*|Folders are Windows paths, with or without a drive;|' \
    -e 's|^; prefix such as C: is dropped); a relative|; a relative|' \
    -e 's/$/\r/' examples/QZGSMS.INI >"$stage/examples/QZGSMS.INI"
(cd "$build" && cmake -E tar cf "$OLDPWD/$name.zip" --format=zip "$name")
echo "$name.zip"
