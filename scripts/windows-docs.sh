#!/usr/bin/env bash
# The documents of the Windows zip and installer, made from docs/:
#   scripts/windows-docs.sh FOLDER    writes FOLDER/README.txt and FOLDER/docs/*.txt
#   scripts/windows-docs.sh --check   makes them in a temporary folder and fails on any
#                                     Linux path, command or manual-page reference in them
# The Windows set is docs/windows.md (the administrator's guide) and the reference pages
# that hold for both systems. In those, what is said for Linux only stands between the
# lines "<!-- linux -->" and "<!-- /linux -->" and is left out; what is said for Windows
# only stands in a comment "<!-- windows" ... "-->", hidden where Markdown is shown and
# taken in here. Every line gets CR LF, for Notepad.
set -euo pipefail
cd "$(dirname "$0")/.."

pages=(windows job-files settings report-tables commands logs)

windows_text() {
  awk '
    /^<!-- linux -->$/ { skip = 1; next }
    /^<!-- \/linux -->$/ { skip = 0; next }
    /^<!-- windows$/ { next }
    /^-->$/ { next }
    !skip { print }
  ' "$1" | sed -E 's/\r$//; s/(windows|job-files|settings|report-tables|commands|logs)\.md/\1.txt/g; s/$/\r/'
}

make_documents() {
  local folder=$1
  mkdir -p "$folder/docs"
  for page in "${pages[@]}"; do windows_text "docs/$page.md" >"$folder/docs/$page.txt"; done
  version=$(sed -n '1s/^qzgsms (\([^)]*\)).*/\1/p' packaging/debian/changelog)
  sed 's/$/\r/' >"$folder/README.txt" <<TEXT
qzgsms $version for Windows

An alarm gateway for a GSM modem on a COM port: an alarm-management application drops job
files into a watched folder, and for each job the gateway delivers one alarm (SMS, MMS or
voice call) through the modem, retries failures, writes the outcome into the scenario's
report table and files the job away.

  qzgsmsd.exe          the gateway without a window: a Windows service, or a console program
  qzgsms.exe           the same gateway with its operator window
  qzgsms-send.exe      queues one alarm from a batch file or a monitoring system
  qzgsms-dbftool.exe   makes and lists report tables

Start with docs\\windows.txt: installing, the services, the settings, monitoring, the logs
and what to back up. The other documents in docs\\ describe the job files, the settings,
the report tables, the commands and the logs in full.
TEXT
  sed 's/$/\r/' LICENSE >"$folder/LICENSE.txt"
}

if [ "${1:-}" != --check ]; then
  make_documents "$1"
  exit 0
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
make_documents "$work"
# Paths, commands and manual pages of Linux, and the markers themselves.
linux='\bE(IO|NXIO|NODEV)\b|inode|service\.md|architecture\.md|README\.md|/var/|/dev/|/usr/|/etc/|/run/|/proc/|~/|systemctl|journalctl|systemd|chmod|chown|runuser|apt(-get)? |\.deb\b|#!/bin/|/bin/sh|[a-z][a-z.-]*\([1-8]\)|SIGTERM|SIGINT|SIGHUP|SIGQUIT|SIGKILL|inotify|flock|termios|<!--|-->'
if grep -nE "$linux" "$work"/README.txt "$work"/docs/*.txt; then
  echo "windows-docs: the lines above speak of Linux in a Windows document" >&2
  exit 1
fi
echo "windows-docs: ${#pages[@]} documents without a Linux path, command or manual page"
