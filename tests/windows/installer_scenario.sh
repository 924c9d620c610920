#!/usr/bin/env bash
# The installer and the service under Wine, as an administrator meets them, against the
# simulated modem on a COM port of a prefix of its own:
#   installer_scenario.sh WINDOWS_BUILD MODEMSIM [--full]
# The installer is made from WINDOWS_BUILD's programs (scripts/windows-stage.sh and
# windows-msi.sh). The short run installs it quietly, names the modem's port in the default
# instance's QZGSMS.INI, starts the service, asks --status, sends one job through it, stops
# it (the daily log says so, the job went out once) and uninstalls (settings, jobs and logs
# stay). --full starts from the previous installer instead and upgrades over it, the
# administrator's QZGSMS.INI surviving both, sends one more alarm through qzgsms-send.exe,
# lets the modem fail for the fatal exit, and registers and removes a second instance's
# service by hand.
#
# Where Wine's service manager is not Windows' (said again where it matters):
#   - it keeps no failure actions (sc qfailure has nothing to show) and starts nothing
#     again after a failure, so the fatal exit is checked as the service-specific error it
#     is, not by a restart;
#   - it knows no virtual accounts (NT SERVICE\...): the rights on the folders are not set;
#   - its event log keeps nothing to read back: the message table is checked in the program;
#   - services live only while a Windows program runs, so a persistent wineserver holds
#     the prefix up, and auto-start services start whenever the wineserver does.
# The figures (MSI size, install, start to RUNNING, stop, uninstall) go to standard output.
set -euo pipefail
windows_build=$(realpath "$1")
modemsim=$(realpath "$2")
full=${3:-}
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
wine_run=$repo/scripts/wine-run.sh
wine_bin=${QZGSMS_WINE:-/usr/lib/wine/wine64}
work=$(mktemp -d "$windows_build/installer-scenario.XXXXXX")
prefix=$work/prefix
export WINEPREFIX=$prefix WINEDEBUG=-all
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  "$(dirname "$wine_bin")/wineserver" -k >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
[ -n "${QZGSMS_KEEP:-}" ] && trap - EXIT

say() { echo "installer scenario: $*"; }
instance=$prefix/drive_c/qzt/qzgsms
fail() {
  say "FAILED: $*"
  tail -25 "$instance"/log/gsms_*.log 2>/dev/null || true
  exit 1
}
win() { "$wine_run" "$prefix" "$@" 2>/dev/null | tr -d '\r'; }
source "$here/wait_for.sh"
state_of() { win sc query "$1" | awk '/STATE/ { print $4 }'; }
service_is() { [ "$(state_of "$1")" = "$2" ]; }
now() { date +%s.%N; }
since() { echo "scale=1; ($(now) - $1) / 1" | bc; }
file_there() { compgen -G "$1" >/dev/null; }
# The administrator's settings as they were written: the gateway adds only the time of a
# technical alarm ([WatchDog] LastAlarm, after an empty line).
settings_kept() {
  local extra=$'^\\[WatchDog\\]\r$|^LastAlarm=|^\r$'
  cmp -s <(grep -avE "$extra" "$instance/QZGSMS.INI") <(grep -avE "$extra" "$work/administrators.ini")
}

# The installers: this build's, and for the upgrade a "previous" one of a lower version.
version=$(sed -n '1s/^qzgsms (\([^)]*\)).*/\1/p' "$repo/packaging/debian/changelog")
"$repo/scripts/windows-stage.sh" "$windows_build" "$work/stage"
"$repo/scripts/windows-msi.sh" "$work/stage" "$work/qzgsms.msi" "$version"
say "MSI size: $(stat -c %s "$work/qzgsms.msi") bytes"
first=$work/qzgsms.msi
if [ "$full" = --full ]; then
  "$repo/scripts/windows-msi.sh" "$work/stage" "$work/previous.msi" 0.0.1
  first=$work/previous.msi
fi

# The modem on COM21 of the prefix.
mkdir -p "$work/sim"
printf 'csq = 17\n' >"$work/sim/modem.scenario"
"$modemsim" --scenario "$work/sim/modem.scenario" --link "$work/sim/modem" --record "$work/sim/record.txt" >/dev/null 2>&1 &
modem_pid=$!
pids+=($modem_pid)
wait_for "simulated modem" 30 test -e "$work/sim/modem"
win cmd /c ver >/dev/null
# Services live only while the server does: once the prefix's first server has ended, one
# that stays.
"$(dirname "$wine_bin")/wineserver" -w
"$(dirname "$wine_bin")/wineserver" -p >/dev/null 2>&1
ln -sfn "$work/sim/modem" "$prefix/dosdevices/com21"

# A quiet install.
started=$(now)
win msiexec /i "$(win winepath -w "$first")" /qn >/dev/null || fail "msiexec /i"
say "install: $(since "$started") s"
program_folder="$prefix/drive_c/Program Files/qzgsms"
for file in qzgsmsd.exe qzgsms.exe qzgsms-send.exe qzgsms-dbftool.exe README.txt docs/windows.txt examples/QZGSMS.INI \
            examples/send-alarm.cmd; do
  [ -f "$program_folder/$file" ] || fail "Program Files\\qzgsms\\$file not installed"
done
for entry in QZGSMS.INI QZAMSG.INI qzarun.cmd incoming_sms.bat done error log; do
  [ -e "$instance/$entry" ] || fail "C:\\qzt\\qzgsms\\$entry not made"
done
[ -d "$prefix/drive_c/qzt/log" ] || fail "C:\\qzt\\log not made"
for entry in "qzgsms on Windows" "qzgsms operator window"; do
  file_there "$prefix/drive_c/users/*/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/qzgsms/$entry.lnk" ||
    file_there "$prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/qzgsms/$entry.lnk" ||
    fail "no Start-menu entry $entry"
done
grep -q '^;Port=' "$instance/QZGSMS.INI" || fail "the example settings name a port"
# Registered, but not started: the settings name no port yet.
[ "$(state_of qzgsmsd-default)" = STOPPED ] || fail "qzgsmsd-default is not registered and stopped"
win reg query 'HKLM\System\CurrentControlSet\Services\qzgsmsd-default' | grep -q 'ObjectName.*NT SERVICE\\qzgsmsd-default' ||
  fail "the service does not run as its virtual account"
win reg query 'HKLM\System\CurrentControlSet\Services\EventLog\Application\qzgsms' | grep -q 'qzgsmsd.exe' ||
  fail "the event-log source is not registered"

# The administrator names the port, as in Notepad: the file keeps its CR LF.
sed -i 's/^;Port=COM1\r$/Port=COM21\r/; s/^QualityPollEverySecs=.*/QualityPollEverySecs=2\r/' "$instance/QZGSMS.INI"
printf '; changed by the administrator\r\n' >>"$instance/QZGSMS.INI"
cp "$instance/QZGSMS.INI" "$work/administrators.ini"
win 'C:\Program Files\qzgsms\qzgsmsd.exe' --check --instance 'C:\qzt\qzgsms' >"$work/check.txt" || true
grep -q '^Port: COM21,' "$work/check.txt" || fail "--check names the port otherwise: $(grep Port "$work/check.txt")"
grep -q 'Port COM21' "$work/check.txt" && fail "--check finds the COM port wrong: $(grep 'Port COM21' "$work/check.txt")"

# Start to RUNNING: the modem dialogue, then the worker threads.
started=$(now)
win net start qzgsmsd-default >/dev/null || true
wait_for "RUNNING" 120 service_is qzgsmsd-default RUNNING
say "start to RUNNING: $(since "$started") s"
# OK once the signal has been read (until then it is 0, a warning).
status_ok() {
  win 'C:\Program Files\qzgsms\qzgsmsd.exe' --status --instance 'C:\qzt\qzgsms' >"$work/status.txt"
}
wait_for "--status OK (last: $(head -1 "$work/status.txt" 2>/dev/null))" 60 status_ok

# One job, in the Windows code page.
printf '[Alarm]\r\nPhoneNumber=+41790000001\r\nMessage=Boiler 3 \x96 pressure low\r\nName=Ann\r\n' >"$instance/alarm.tmp"
mv "$instance/alarm.tmp" "$instance/alarm.sms"
wait_for "job filed as sent" 60 file_there "$instance/done/*-alarm.sms"
sends() { grep -c 'at+cmgs' "$work/sim/record.txt" || true; }
[ "$(sends)" = 1 ] || fail "the job went out $(sends) times"

# The orderly stop.
started=$(now)
win net stop qzgsmsd-default >/dev/null
wait_for "STOPPED" 90 service_is qzgsmsd-default STOPPED
say "stop: $(since "$started") s"
tail -1 "$instance"/log/gsms_*.log | grep -q 'Stopped' || fail "the daily log does not end in the stop"
win sc query qzgsmsd-default | grep -q 'WIN32_EXIT_CODE *: 0 ' || fail "the stop did not end with exit code 0"
grep -q $'\r$' "$instance"/log/gsms_*.log || fail "the daily log has no CR LF line ends"

if [ "$full" = --full ]; then
  # The upgrade: this build over the previous one. The administrator's settings stay, the
  # service is registered again and, as they name a port, started.
  started=$(now)
  win msiexec /i "$(win winepath -w "$work/qzgsms.msi")" /qn >/dev/null || fail "msiexec upgrade"
  say "upgrade: $(since "$started") s"
  settings_kept || fail "the upgrade changed QZGSMS.INI: $(diff -a "$instance/QZGSMS.INI" "$work/administrators.ini" | head -6 | tr -d "\r")"
  [ "$(win reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s | grep -c 'DisplayName.*qzgsms')" = 1 ] ||
    fail "after the upgrade not exactly one qzgsms is installed"
  wait_for "RUNNING after the upgrade" 120 service_is qzgsmsd-default RUNNING
  [ "$(sends)" = 1 ] || fail "the upgrade sent the job again"
  # The upgraded gateway sends, and qzgsms-send.exe waits for it as a batch file would.
  win 'C:\Program Files\qzgsms\qzgsms-send.exe' --instance 'C:\qzt\qzgsms' --wait=90 +41790000002 "After the upgrade" \
    >"$work/send.txt" || fail "qzgsms-send.exe after the upgrade: $(cat "$work/send.txt")"
  grep -q ': sent' "$work/send.txt" || fail "qzgsms-send.exe says: $(cat "$work/send.txt")"
  [ "$(sends)" = 2 ] || fail "after the upgrade the gateway sent $(( $(sends) - 1 )) times, not once"

  # The fatal exit: the modem goes away; the gateway raises its technical alarm, waits 20 s
  # for the modem and ends with exit code 1, which the manager is told as a
  # service-specific error. (Windows' failure actions would start it again 5 s later; Wine
  # keeps none.)
  kill "$modem_pid"
  started=$(now)
  wait_for "the fatal exit" 120 service_is qzgsmsd-default STOPPED
  say "modem gone to the fatal exit: $(since "$started") s"
  win sc query qzgsmsd-default >"$work/fatal.txt"
  grep -q 'WIN32_EXIT_CODE *: 1066 ' "$work/fatal.txt" && grep -q 'SERVICE_EXIT_CODE *: 1 ' "$work/fatal.txt" ||
    fail "the fatal exit is not the service-specific error 1: $(cat "$work/fatal.txt")"
  sleep_until=$((SECONDS + 8))
  while [ $SECONDS -lt $sleep_until ] && ! service_is qzgsmsd-default RUNNING; do sleep 0.5; done
  if service_is qzgsmsd-default START_PENDING || service_is qzgsmsd-default RUNNING; then
    say "restarted after the fatal exit"
  else
    say "not restarted after the fatal exit: Wine applies no failure actions"
  fi

  # A second instance's service, by hand.
  mkdir -p "$prefix/drive_c/qzt/gsm2"
  printf '[Config]\r\nPort=COM22\r\nWatchPath=jobs\r\nDonePath=done\r\nErrorPath=error\r\nWatchLogPath=tables\r\n' \
    >"$prefix/drive_c/qzt/gsm2/QZGSMS.INI"
  win 'C:\Program Files\qzgsms\qzgsmsd.exe' --install-service gsm2 --instance 'C:\qzt\gsm2' >"$work/gsm2.txt" ||
    fail "--install-service gsm2: $(cat "$work/gsm2.txt")"
  for folder in jobs done error tables log; do
    [ -d "$prefix/drive_c/qzt/gsm2/$folder" ] || fail "--install-service did not make gsm2\\$folder"
  done
  win 'C:\Program Files\qzgsms\qzgsmsd.exe' --remove-service gsm2 >"$work/gsm2.txt" || fail "--remove-service gsm2"
  win sc query qzgsmsd-gsm2 | grep -q STATE && fail "qzgsmsd-gsm2 is still there"
fi

# The uninstall: programs and service go; settings, jobs, tables and logs stay.
started=$(now)
win msiexec /x "$(win winepath -w "$work/qzgsms.msi")" /qn >/dev/null || fail "msiexec /x"
say "uninstall: $(since "$started") s"
[ -e "$program_folder/qzgsmsd.exe" ] && fail "qzgsmsd.exe is still installed"
win sc query qzgsmsd-default | grep -q STATE && fail "the service is still registered"
settings_kept || fail "the uninstall changed QZGSMS.INI: $(diff -a "$instance/QZGSMS.INI" "$work/administrators.ini" | head -6 | tr -d "\r")"
for entry in QZAMSG.INI qzarun.cmd incoming_sms.bat log done error; do
  [ -e "$instance/$entry" ] || fail "the uninstall took C:\\qzt\\qzgsms\\$entry"
done
file_there "$instance/done/*-alarm.sms" || fail "the uninstall took the filed job"
file_there "$instance/log/gsms_*.log" || fail "the uninstall took the daily log"
say "passed"
