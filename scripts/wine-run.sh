#!/usr/bin/env bash
# Runs a Windows program under Wine in a prefix of its own:
#   scripts/wine-run.sh PREFIX program.exe [arguments...]
# The prefix is made on first use (a Windows folder tree, about 6 s). Wine's own messages
# are silenced, and the .NET and HTML runtimes it would offer to download are declined.
set -euo pipefail
prefix=$(realpath -m "$1")  # Wine takes only an absolute prefix
shift
export WINEPREFIX=$prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=;mshtml="
wine=${QZGSMS_WINE:-/usr/lib/wine/wine64}
if [ ! -f "$prefix/system.reg" ]; then
  mkdir -p "$prefix"
  # Two tests may start together on a fresh prefix: one makes it, the other waits.
  exec 9>"$prefix.lock"
  flock 9
  if [ ! -f "$prefix/system.reg" ]; then
    "$wine" wineboot --init >/dev/null 2>&1
    "$(dirname "$wine")/wineserver" -w
  fi
  flock -u 9
fi
exec "$wine" "$@"
