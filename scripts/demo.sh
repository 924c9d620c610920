#!/usr/bin/env bash
# Runs the gateway's main job on the modem simulator in a fresh instance folder, demo/:
# a scenario report table, the example job files of examples/jobs (an SMS, an MMS with the
# picture and sound of examples/media, a voice call, a mini-message), a bad request, one
# alarm from a script through qzgsms-send --wait, and one SMS waiting in the modem.
# Shows what the modem received, the updated table rows, the done and error folders
# with their notes, and the logs. With --window, and a display to show it on, the window
# program qzgsms runs the gateway instead of qzgsmsd; close the window to end the demo.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

window=0
case "${1:-}" in
  --window)
    if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then window=1
    else echo "no display to show the window on: the demo runs qzgsmsd"; fi ;;
  "") ;;
  *) echo "usage: scripts/demo.sh [--window]" >&2; exit 2 ;;
esac
targets=(qzgsmsd qzgsms-modemsim qzgsms-dbftool qzgsms-send)
[ $window = 1 ] && targets+=(qzgsms)

echo "=== building ==="
cmake -S . -B build/demo -G Ninja -DQZGSMS_TESTS=OFF >/dev/null
cmake --build build/demo -j "$(nproc)" --target "${targets[@]}"
bin=$root/build/demo/apps

rm -rf demo
mkdir -p demo/{log,jobs,done,error,tables,media}
cd demo

# The modem: signal 17, one SMS waiting in its store.
cat > modem.scenario <<'TXT'
csq = 17
store = 3,"+41795550001",RESET PUMP 7
TXT
"$bin/qzgsms-modemsim" --link "$PWD/modem" --scenario modem.scenario --record modem-record.txt >/dev/null &
modem_pid=$!
gateway_pid=
trap 'kill $gateway_pid $modem_pid 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -e modem ] && break; sleep 0.1; done

cat > QZGSMS.INI <<TXT
[Config]
Port=$PWD/modem
WatchPath=jobs
DonePath=done
ErrorPath=error
WatchLogPath=tables
RetryCount=2
RetryDelay=5
VoiceCallDuration=3
QualityPollEverySecs=5
Number=+41790000000
MMSURLServer=http://mms.example/mms
MMSAPN=mms.example
MMSIPAddress=10.0.0.1
MMSPortType=9201
TXT

# Commands the gateway runs: the technical alarm and the one for each received SMS.
cat > qzarun.cmd <<'TXT'
#!/bin/sh
echo "technical alarm $1" >> technical-alarm.txt
TXT
cat > incoming_sms.bat <<'TXT'
#!/bin/sh
printf 'from %s: %s\n' "$1" "$2" >> incoming.txt
TXT
chmod +x qzarun.cmd incoming_sms.bat

"$bin/qzgsms-dbftool" create tables/plant.dbf 3 >/dev/null

# The media the MMS example names, as the package ships them.
cp "$root"/examples/media/camera.jpg "$root"/examples/media/siren.amr media/

if [ $window = 1 ]; then
  # The alarm application's flag is set, so the window does not ask for it.
  printf '[qzasms]\r\nSendWithQzgsms=1\r\n' > qzalarm.ini
  echo "=== starting the window program qzgsms in $PWD ==="
  "$bin/qzgsms" > gateway.out 2>&1 &
else
  echo "=== starting qzgsmsd in $PWD ==="
  "$bin/qzgsmsd" > gateway.out &
fi
gateway_pid=$!
sleep 7

# Job files are written aside, then renamed in, as the alarm application does: the
# package's example jobs and a bad request.
examples=("$root"/examples/jobs/*.sms)
for example in "${examples[@]}"; do
  name=$(basename "$example")
  cp "$example" "jobs/$name.part" && mv "jobs/$name.part" "jobs/$name"
done
printf '[Alarm]\r\nSzenario=plant\r\nMessage=no phone number\r\n' > jobs/bad.part && mv jobs/bad.part jobs/bad.sms

# An alarm from a script, as a monitoring system sends one: qzgsms-send waits for its
# outcome and says it by its exit code.
echo "=== qzgsms-send --wait ==="
send_status=0
printf 'Disk /var 97%% full\non host db1\n' | "$bin/qzgsms-send" --wait=60 --name "On call" +41790000009 - ||
  send_status=$?
echo "qzgsms-send ended with exit code $send_status (0: sent)"

for _ in $(seq 120); do
  [ -z "$(ls jobs)" ] && [ -s incoming.txt ] && break
  sleep 0.5
done
if [ $window = 1 ]; then
  echo "=== the jobs are through: close the window to see the results ==="
else
  kill -TERM $gateway_pid
fi
wait $gateway_pid || true
gateway_pid=

# The window program showed its log in the window; the daily log below has it too.
if [ $window = 0 ]; then echo; echo "=== the gateway's window log ==="; cat gateway.out; fi
echo; echo "=== what the modem received ==="; cat modem-record.txt
echo; echo "=== report table tables/plant.dbf ==="; "$bin/qzgsms-dbftool" dump tables/plant.dbf
echo; echo "=== done/ ==="
for f in done/*; do printf '%s: ' "$f"; tail -c 40 "$f"; echo; done
echo; echo "=== error/ ==="; ls error
echo; echo "=== received SMS handed on (incoming.txt) ==="; cat incoming.txt 2>/dev/null || true
echo; echo "=== daily log ==="; cat log/*.log

# Every example job must have gone through: filed into done/ with its success note.
for example in "${examples[@]}"; do
  name=$(basename "$example")
  if ! tail -c 40 done/*-"$name" 2>/dev/null | grep -q "ALARM successfully sent$"; then
    echo "!!! the example job $name was not sent" >&2
    exit 1
  fi
done
[ "$send_status" -eq 0 ] || { echo "!!! the alarm from qzgsms-send was not sent" >&2; exit 1; }
echo; echo "=== every example job was sent, and the alarm from qzgsms-send ==="
