#!/usr/bin/env bash
# The operator window qzgsms.exe under Wine on a virtual X display (run it under xvfb-run),
# driven as an operator drives it, against the simulated modem on a COM port of the prefix:
#   window_scenario.sh WINDOWS_BUILD MODEMSIM OUTPUT_FOLDER [--full]
# It answers the start-up question, drops a job whose first try fails and waits until its
# cell has shown blue and shows yellow (waiting for its retry), types a text into Send SMS
# and waits until the modem received it, then closes the window. --full also opens and
# closes every other dialog. Each step photographs the screen into OUTPUT_FOLDER and the
# figures (start to window, to gateway ready, idle CPU and memory) go to standard output.
# What the window shows is read from the window itself by window_probe.exe; every wait
# has a generous deadline on a condition, none stands in for one.
set -euo pipefail
windows_build=$(realpath "$1")
modemsim=$(realpath "$2")
out=$(realpath -m "$3")
full=${4:-}
here=$(cd "$(dirname "$0")" && pwd)
wine_run=$here/../../scripts/wine-run.sh
prefix=$windows_build/wineprefix
exe=$windows_build/apps/qzgsms.exe
probe_exe=$windows_build/tests/windows/window_probe.exe
title="Quazel GSM/SMS/MMS"
wineserver=$(dirname "${QZGSMS_WINE:-/usr/lib/wine/wine64}")/wineserver

mkdir -p "$out"
# A server of the prefix still running from an earlier test was started without this display,
# and a window opened through it never reaches the screen: begin with none.
WINEPREFIX=$prefix "$wineserver" -k 2>/dev/null || true
WINEPREFIX=$prefix "$wineserver" -w
work=$(mktemp -d "$windows_build/window-scenario.XXXXXX")
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  WINEPREFIX=$prefix "$wineserver" -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

say() { echo "window scenario: $*"; }
fail() { say "FAILED: $*"; [ -f "$work/log/gsms_"*.log ] && tail -20 "$work"/log/gsms_*.log; exit 1; }
probe() { "$wine_run" "$prefix" "$probe_exe" "$@" 2>/dev/null | tr -d '\r'; }
source "$here/wait_for.sh"
window_id() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1; }
focus() { xdotool windowfocus --sync "$1" 2>/dev/null; }
has_window() { [ -n "$(window_id "$1")" ]; }
no_window() { [ -z "$(window_id "$1")" ]; }
# A photo once the screen has settled: two pictures in a row alike.
photo() {
  local last="" now
  for _ in $(seq 1 40); do
    import -window root "$out/$1.png"
    now=$(md5sum <"$out/$1.png")
    [ "$now" = "$last" ] && break
    last=$now
    sleep 0.3
  done
  say "photographed $1"
}
probe_is() { [ "$(probe "${@:2}")" = "$1" ]; }
cell_has_shown() { local mask; mask=$(probe shown "$1") && [ -n "$mask" ] && (( (mask >> $2) & 1 )); }

# The instance: the modem on COM250 of the prefix, a long retry delay so that a failed job
# stays yellow, the daily log on.
mkdir -p "$work/log" "$work/jobs" "$work/tables"
printf 'csq = 17\nsms = error\nsms_times = 1\n' >"$work/modem.scenario"
"$modemsim" --scenario "$work/modem.scenario" --link "$work/modem" --record "$work/modem-record.txt" >/dev/null &
pids+=($!)
wait_for "simulated modem" 30 test -e "$work/modem"
# Wine draws the windows' frames itself, as there is no window manager on the display.
"$wine_run" "$prefix" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
ln -sfn "$work/modem" "$prefix/dosdevices/com250"
printf '[Config]\r\nPort=COM250\r\nWatchPath=jobs\r\nDonePath=done\r\nErrorPath=error\r\nWatchLogPath=tables\r\nIncomingEnable=0\r\nRetryDelay=600\r\nRetryCount=3\r\nQualityPollEverySecs=2\r\n[LastPhoneNums]\r\n1=+41791234567\r\n' >"$work/QZGSMS.INI"
# The question comes at every start until the flag is set.
rm -f "$prefix/drive_c/windows/qzalarm.ini"

# The command line is that of qzgsmsd.exe; a window program, it answers in the console it was
# started from.
help=$("$wine_run" "$prefix" "$exe" --help 2>&1)
grep -q '^Usage: qzgsms \[--instance DIR\]' <<<"$help" || fail "--help"
version=$("$wine_run" "$prefix" "$exe" -V 2>&1)
grep -q '^qzgsms [0-9]' <<<"$version" || fail "-V"
code=0
"$wine_run" "$prefix" "$exe" --no-such-option >/dev/null 2>&1 || code=$?
[ "$code" = 2 ] || fail "a wrong option ended with $code, not 2"

# Started elsewhere, --instance names the instance folder (as Wine shows it, drive Z:).
started=$(date +%s.%N)
(cd "$windows_build" && exec "$wine_run" "$prefix" "$exe" --instance "Z:${work//\//\\}") >"$work/window-output.txt" 2>&1 &
window_pid=$!
pids+=($window_pid)

wait_for "start-up question" 180 has_window "Please confirm.."
photo question
question=$(window_id "Please confirm..")
shown=$(date +%s.%N)  # the window stands before the question is asked
has_window "$title" || fail "the question came before the main window"
wait_for "focus on the question" 30 focus "$question"
xdotool key Return
wait_for "the question answered" 60 no_window "Please confirm.."
flag_set() { grep -qi 'SendWithQzgsms=1' "$prefix/drive_c/windows/qzalarm.ini" 2>/dev/null; }
wait_for "SendWithQzgsms=1 after yes" 30 flag_set
wait_for "gateway ready (Send SMS enabled)" 120 probe_is 1 enabled 1102
ready=$(date +%s.%N)
say "figure: start to window shown $(echo "$shown - $started" | bc) s, to gateway ready $(echo "$ready - $started" | bc) s"

# A job whose first try fails: the cell goes blue while it is sent, then yellow until the
# retry 600 s later.
printf '[Alarm]\r\nSzenario=plant\r\nName=Ann Meier\r\nPhoneNumber=+41795551000\r\nMessage=Boiler 1: pressure low\r\nAlarmKey=101\r\ndbentry=0\r\n' >"$work/jobs/a0.part"
mv "$work/jobs/a0.part" "$work/jobs/a0.sms"
wait_for "cell 0 shown blue" 120 cell_has_shown 0 2
wait_for "cell 0 yellow" 120 probe_is 3 cell 0
label=$(probe label 0)
say "cell 0 reads: $label"
photo main-window

# Send SMS: the text typed into the dialog reaches the modem.
probe click "$title" 1102
wait_for "Send SMS dialog" 60 has_window "Send SMS"
sms=$(window_id "Send SMS")
wait_for "focus on Send SMS" 30 focus "$sms"
xdotool type --delay 20 "+41790001111"
xdotool key Tab
xdotool type --delay 20 "Hello from the window test"
photo send-sms
probe click "Send SMS" 1
wait_for "Send SMS closed" 60 no_window "Send SMS"
wait_for "the typed text at the modem" 120 grep -q "Hello from the window test" "$work/modem-record.txt"

if [ "$full" = --full ]; then
  # Every other dialog opens and closes.
  for dialog in "1100:About Quazel GSM/SMS/MMS v2.0:about" "1073:Send MMS:send-mms" "1104:Change SMSC:change-smsc" \
                "1103:Settings:settings-global"; do
    IFS=: read -r button name picture <<<"$dialog"
    wait_for "buttons enabled again" 60 probe_is 1 enabled "$button"
    probe click "$title" "$button"
    wait_for "$name" 60 has_window "$name"
    photo "$picture"
    if [ "$name" = Settings ]; then
      probe page Settings 1 >/dev/null
      photo settings-mms
    fi
    probe click "$name" 2
    wait_for "$name closed" 60 no_window "$name"
  done
  # The window idle: CPU over 30 s and memory, of the Windows process under Wine.
  wine_process=$(pgrep -f 'qzgsms\.exe' | head -1 || true)
  if [ -n "$wine_process" ]; then
    ticks_before=$(awk '{print $14 + $15}' "/proc/$wine_process/stat")
    sleep 30
    ticks_after=$(awk '{print $14 + $15}' "/proc/$wine_process/stat")
    rss=$(awk '/VmRSS/ {print $2}' "/proc/$wine_process/status")
    say "figure: idle CPU $(echo "scale=2; ($ticks_after - $ticks_before) * 100 / $(getconf CLK_TCK) / 30" | bc) % over 30 s, memory (RSS) $((rss / 1024)) MiB"
  fi
fi

# Closing the window stops the gateway in order and ends the program; the job waiting for
# its retry stays in the watch folder, to be sent at the next start.
probe close "$title"
wait_for "the program to end" 120 bash -c "! kill -0 $window_pid 2>/dev/null"
[ -f "$work/jobs/a0.sms" ] || fail "the waiting job left the watch folder"
grep -q "Stopping" "$work"/log/gsms_*.log || fail "no orderly stop in the daily log"
say "passed"
