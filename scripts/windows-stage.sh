#!/usr/bin/env bash
# Lays out what the Windows zip and installer hold, from a Windows build folder:
#   scripts/windows-stage.sh BUILD_FOLDER STAGE_FOLDER
# STAGE_FOLDER gets the programs of BUILD_FOLDER/apps, stripped (qzgsms.exe, qzgsmsd.exe,
# qzgsms-dbftool.exe and qzgsms-send.exe), README.txt, LICENSE.txt and
# docs/*.txt (scripts/windows-docs.sh), and examples/: the settings, the commands and the
# job files for Windows. Every text file has CR LF line ends, for Notepad and cmd.exe.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$1
stage=$2

rm -rf "$stage"
mkdir -p "$stage/examples/jobs" "$stage/examples/media"
for program in qzgsms qzgsmsd qzgsms-dbftool qzgsms-send; do
  x86_64-w64-mingw32-strip -o "$stage/$program.exe" "$build/apps/$program.exe"
done
scripts/windows-docs.sh "$stage"
crlf() { sed 's/\r$//; s/$/\r/' "$1" >"$2"; }
for example in examples/windows/QZGSMS.INI examples/windows/qzarun.cmd examples/windows/incoming_sms.bat \
               examples/windows/send-alarm.cmd \
               examples/QZAMSG.INI; do
  crlf "$example" "$stage/examples/$(basename "$example")"
done
for job in examples/jobs/*.sms; do crlf "$job" "$stage/examples/jobs/$(basename "$job")"; done
cp examples/media/*.jpg examples/media/*.amr "$stage/examples/media/"
