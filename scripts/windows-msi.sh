#!/usr/bin/env bash
# Makes the Windows installer from a folder laid out by scripts/windows-stage.sh:
#   scripts/windows-msi.sh STAGE_FOLDER OUTPUT.msi VERSION
# with msitools' wixl from packaging/windows/qzgsms.wxs. wixl-heat lists the documents and
# examples; the components of the default instance are then marked permanent (16) and
# never overwritten (128) on top of 64-bit (256), which wixl's Component element cannot
# say: an upgrade or a reinstall leaves an administrator's files alone, and an uninstall
# keeps them.
set -euo pipefail
cd "$(dirname "$0")/.."
stage=$(realpath "$1")
output=$(realpath -m "$2")
version=$3

wxs=$(mktemp -d)
trap 'rm -rf "$wxs"' EXIT
heat() { (cd "$stage" && find "./$1" -type f | sort) | wixl-heat -p ./ --var var.Stage --directory-ref INSTALLDIR --component-group "$2"; }
heat docs Documents >"$wxs/docs.wxs"
heat examples Examples >"$wxs/examples.wxs"
# wixl finds the files relative to the folder it runs in.
(cd "$stage" && wixl -a x64 -D Version="$version" -D Stage=. -D Win64=yes \
  -o "$output" "$OLDPWD/packaging/windows/qzgsms.wxs" "$wxs/docs.wxs" "$wxs/examples.wxs")
for component in InstanceSettings InstanceTexts InstanceAlarmCommand InstanceIncomingCommand \
                 InstanceDone InstanceError InstanceDailyLog InstanceTables; do
  msibuild "$output" -q "UPDATE \`Component\` SET \`Attributes\` = 400 WHERE \`Component\` = '$component'"
done
