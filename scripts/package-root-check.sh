#!/usr/bin/env bash
# Installs the Debian packages in a throw-away root and checks them there: dpkg -i of both
# (system user, group, /var/lib/qzgsms; the window program answers --version);
# systemd-analyze verifies the unit as an instance and rates its exposure; the installed
# gateway delivers the example SMS job on the installed modem simulator, and an alarm that
# the installed qzgsms-send queues and waits for (a user outside the group qzgsms is
# refused), and stops in order;
# systemd-tmpfiles --clean removes the old daily logs and nothing else, and an override in
# /etc turns that off; dpkg -r and dpkg -P remove them again: purge disables an enabled
# instance, keeps the user, the group and the administrator's files, and neither follows
# nor removes a /var/lib/qzgsms that is a link. Called by scripts/package.sh, as root.
#
#   scripts/package-root-check.sh DEB WINDOW_DEB
#
# The throw-away root is this machine's own root file system under an overlay whose writable
# layer lives in memory, in a mount namespace of its own: everything dpkg, the maintainer
# scripts and the gateway write lands in that layer and is gone when the check ends. The
# machine's files, its package database, its users and an installed qzgsms stay as they are.
# Its /run is empty, so the maintainer scripts find no running systemd and leave the
# machine's services alone (their systemctl calls are not exercised).
set -euo pipefail

marker=/.qzgsms-throwaway-root
exposure_limit=25  # the unit's exposure as systemd-analyze rates it, times ten

fail() {
  echo "package-root-check: $*" >&2
  exit 1
}

# --- On the machine: a mount namespace of our own -------------------------------------
if [ "${1-}" != --setup ] && [ "${1-}" != --inside ]; then
  [ $# -eq 2 ] && [ -f "$1" ] && [ -f "$2" ] || fail "usage: scripts/package-root-check.sh DEB WINDOW_DEB"
  exec unshare --mount --propagation private -- "$(realpath "$0")" --setup "$(realpath "$1")" "$(realpath "$2")"
fi

# --- In the namespace: the overlay root, then the check inside it ----------------------
if [ "$1" = --setup ]; then
  deb=$2
  window_deb=$3
  base=$(mktemp -d)
  trap 'umount -R "$base" 2>/dev/null; rmdir "$base"' EXIT
  mount -t tmpfs -o mode=0755 qzgsms-check "$base"
  mkdir "$base/upper" "$base/work" "$base/root"
  root=$base/root
  mount -t overlay qzgsms-check -o "lowerdir=/,upperdir=$base/upper,workdir=$base/work" "$root"
  mount --rbind /proc "$root/proc"
  mount --rbind /sys "$root/sys"
  mount --rbind /dev "$root/dev"
  # An empty /run: no systemd, no nscd and no locks of the machine's reach the root.
  mount -t tmpfs -o mode=0755 qzgsms-run "$root/run"
  mount -t tmpfs -o mode=1777 qzgsms-tmp "$root/tmp"
  touch "$root$marker"
  mkdir "$root/tmp/check"
  cp "$deb" "$window_deb" "$(realpath "$0")" "$root/tmp/check/"
  status=0
  chroot "$root" /bin/bash "/tmp/check/$(basename "$0")" --inside \
    "/tmp/check/$(basename "$deb")" "/tmp/check/$(basename "$window_deb")" || status=$?
  exit "$status"
fi

# --- Inside the throw-away root -------------------------------------------------------
deb=$2
window_deb=$3
# Never run the steps below on a real system.
[ -e "$marker" ] || fail "not inside the throw-away root"
cd /

if version=$(dpkg-query -W -f='${Status} ${Version}' qzgsms 2>/dev/null) &&
   [[ $version == *"ok installed"* ]]; then
  echo "qzgsms ${version##* } is installed on this machine: the throw-away root purges its" \
       "view of it first; the machine's copy stays as it is"
  dpkg -P qzgsms-window >/dev/null 2>&1 || true
  dpkg -P qzgsms >/dev/null 2>&1 || fail "could not purge the machine's copy in the throw-away root"
fi
# The machine's instance folders, links and user would make this no first installation.
rm -rf /var/lib/qzgsms /etc/systemd/system/*.wants/qzgsmsd@*.service /etc/tmpfiles.d/qzgsms.conf
if getent passwd qzgsms >/dev/null; then deluser --system --quiet qzgsms >/dev/null 2>&1 || true; fi
if getent group qzgsms >/dev/null; then delgroup --system --quiet qzgsms >/dev/null 2>&1 || true; fi

sim_pid=
gateway_pid=
cleanup() {
  [ -z "$sim_pid" ] || kill "$sim_pid" 2>/dev/null || true
  [ -z "$gateway_pid" ] || kill -KILL "$gateway_pid" 2>/dev/null || true
}
trap cleanup EXIT

echo "=== dpkg -i (throw-away root) ==="
dpkg -i "$deb" "$window_deb"
# The window program loads (its libraries are there) and answers without a display.
window_version=$(env -u DISPLAY -u WAYLAND_DISPLAY qzgsms --version) ||
  fail "qzgsms --version failed"
echo "qzgsms --version: $window_version"
grep -q "$(dpkg-deb -f "$deb" Version)" <<<"$window_version" ||
  fail "qzgsms --version does not name the package's version"
getent passwd qzgsms >/dev/null || fail "the user qzgsms was not created"
getent group qzgsms >/dev/null || fail "the group qzgsms was not created"
id -nG qzgsms | tr ' ' '\n' | grep -qx dialout || fail "qzgsms is not in the group dialout"
[ "$(stat -c '%U:%G %a' /var/lib/qzgsms)" = "qzgsms:qzgsms 750" ] ||
  fail "/var/lib/qzgsms is $(stat -c '%U:%G %a' /var/lib/qzgsms), not qzgsms:qzgsms 750"

echo "=== systemd-analyze (throw-away root) ==="
systemd-analyze verify qzgsmsd@ttyUSB0.service || fail "systemd-analyze verify qzgsmsd@ttyUSB0.service"
systemd-analyze security --offline=true --threshold="$exposure_limit" \
  /usr/lib/systemd/system/qzgsmsd@.service | tail -n 1 ||
  fail "the unit's exposure is above $exposure_limit (systemd-analyze security)"

echo "=== the installed gateway on the installed simulator (throw-away root) ==="
# A machine whose dpkg leaves out documentation (path-exclude) gets the package's copies.
unpacked=$(mktemp -d)
dpkg-deb -x "$deb" "$unpacked"
docs=/usr/share/doc/qzgsms/examples
[ -e "$docs/QZGSMS.INI" ] || docs=$unpacked$docs
# An instance folder made from the examples, run as the user qzgsms as the unit would
# (setpriv runs the program itself, so a signal reaches it and its status comes back).
as_qzgsms=(setpriv --reuid=qzgsms --regid=qzgsms --init-groups --)
smoke=$(mktemp -d /var/lib/qzgsms/package-check.XXXXXX)
install -d "$smoke/log" "$smoke/tables" "$smoke/jobs" "$smoke/done" "$smoke/error"
cp "$docs/QZGSMS.INI" "$docs/QZAMSG.INI" "$docs/qzarun.cmd" "$docs/incoming_sms.bat" "$smoke/"
chmod +x "$smoke/qzarun.cmd" "$smoke/incoming_sms.bat"
sed -i "s|^Port=.*|Port=$smoke/modem|" "$smoke/QZGSMS.INI"
qzgsms-dbftool create "$smoke/tables/plant.dbf" 3 >/dev/null
chown -R qzgsms:qzgsms "$smoke"
cd "$smoke"
"${as_qzgsms[@]}" qzgsms-modemsim --link "$smoke/modem" --record modem.txt >/dev/null &
sim_pid=$!
for _ in $(seq 50); do [ -e modem ] && break; sleep 0.1; done
[ -e modem ] || fail "the modem simulator did not start"
"${as_qzgsms[@]}" qzgsmsd >gateway.out 2>&1 &
gateway_pid=$!
# Dropped as the alarm application does: written aside, then renamed in.
"${as_qzgsms[@]}" cp "$docs/jobs/sms-alarm.sms" jobs/sms-alarm.tmp
"${as_qzgsms[@]}" mv jobs/sms-alarm.tmp jobs/sms-alarm.sms
for _ in $(seq 120); do
  compgen -G "done/*-sms-alarm.sms" >/dev/null && break
  sleep 0.5
done
# An alarm from a script: queued by the installed qzgsms-send, which waits until it is sent.
# A user outside the group qzgsms is told that the group may, and nothing is queued.
chmod 0750 "$smoke"
chmod 2770 jobs
send_status=0
"${as_qzgsms[@]}" qzgsms-send --wait=60 +41790000009 "Package check" || send_status=$?
[ "$send_status" -eq 0 ] || fail "qzgsms-send --wait ended with status $send_status"
nobody_status=0
nobody_says=$(setpriv --reuid=nobody --regid=nogroup --clear-groups -- qzgsms-send --instance "$smoke" 1 x 2>&1) ||
  nobody_status=$?
[ "$nobody_status" -eq 2 ] && grep -q "members of the group qzgsms may" <<<"$nobody_says" ||
  fail "qzgsms-send run by nobody: status $nobody_status, $nobody_says"
kill -TERM "$gateway_pid"
status=0
wait "$gateway_pid" || status=$?
gateway_pid=
kill "$sim_pid" 2>/dev/null || true
wait "$sim_pid" 2>/dev/null || true
sim_pid=
cat gateway.out
compgen -G "done/*-sms-alarm.sms" >/dev/null || fail "the example job was not filed into done/"
tail -c 40 done/*-sms-alarm.sms | grep -q "ALARM successfully sent$" || fail "the filed job has no success note"
[ "$status" -eq 0 ] || fail "qzgsmsd ended with status $status after SIGTERM"
cd /
rm -rf "$smoke"

echo "=== the daily logs' age rule (throw-away root) ==="
# An instance folder in use for long: everything in it is 100 days old but one daily log.
# Only the old daily log may go; the trace file grows as one file and is no daily log.
instance=/var/lib/qzgsms/ttyUSB0
install -d -o qzgsms -g qzgsms "$instance/log" "$instance/jobs" "$instance/done" "$instance/tables"
kept=(QZGSMS.INI qzgsms-jobs.journal qzgsms.log jobs/a.sms done/b.sms tables/plant.dbf
      log/gsms_20261128.log)
for f in "${kept[@]}" log/gsms_20260801.log; do
  echo "$f" >"$instance/$f"
  touch -d '100 days ago' "$instance/$f"
done
touch -d '10 days ago' "$instance/log/gsms_20261128.log"
chown -R qzgsms:qzgsms "$instance"
# Never: the administrator's override of the same name, with no age.
echo "e /var/lib/qzgsms/*/log - - - -" >/etc/tmpfiles.d/qzgsms.conf
systemd-tmpfiles --clean qzgsms.conf || fail "systemd-tmpfiles --clean with the override"
[ -e "$instance/log/gsms_20260801.log" ] || fail "the override with no age removed an old daily log"
rm /etc/tmpfiles.d/qzgsms.conf
# The package's rule: 90 days.
systemd-tmpfiles --clean qzgsms.conf || fail "systemd-tmpfiles --clean"
[ ! -e "$instance/log/gsms_20260801.log" ] || fail "a daily log 100 days old was not removed"
for f in "${kept[@]}"; do
  [ -e "$instance/$f" ] || fail "systemd-tmpfiles --clean removed $f from the instance folder"
done
echo "only the daily log older than 90 days was removed"

echo "=== dpkg -r (throw-away root) ==="
# What an administrator leaves: an instance enabled as systemctl enable does it, the instance
# folder above and a file of their own beside it.
wants=/etc/systemd/system/multi-user.target.wants
mkdir -p "$wants"
ln -s /usr/lib/systemd/system/qzgsmsd@.service "$wants/qzgsmsd@ttyUSB0.service"
echo "notes" >/var/lib/qzgsms/admin-notes.txt
dpkg -r qzgsms-window
[ ! -e /usr/bin/qzgsms ] || fail "/usr/bin/qzgsms is still there after dpkg -r qzgsms-window"
[ -e /usr/sbin/qzgsmsd ] || fail "dpkg -r qzgsms-window removed qzgsmsd"
dpkg -r qzgsms
[ ! -e /usr/sbin/qzgsmsd ] || fail "/usr/sbin/qzgsmsd is still there after dpkg -r"
[ ! -e /usr/lib/systemd/system/qzgsmsd@.service ] || fail "the unit is still there after dpkg -r"
getent passwd qzgsms >/dev/null || fail "dpkg -r removed the user qzgsms"
[ -L "$wants/qzgsmsd@ttyUSB0.service" ] || fail "dpkg -r disabled the instance (that is for purge)"

echo "=== dpkg -P (throw-away root) ==="
dpkg -P qzgsms
[ ! -L "$wants/qzgsmsd@ttyUSB0.service" ] || fail "the enabled instance's link is still there after dpkg -P"
getent passwd qzgsms >/dev/null || fail "dpkg -P removed the user qzgsms (files left keep its name)"
getent group qzgsms >/dev/null || fail "dpkg -P removed the group qzgsms"
for f in admin-notes.txt ttyUSB0/QZGSMS.INI ttyUSB0/tables/plant.dbf ttyUSB0/qzgsms-jobs.journal; do
  [ -e "/var/lib/qzgsms/$f" ] || fail "dpkg -P removed the administrator's /var/lib/qzgsms/$f"
done

echo "=== dpkg -i and -P again, /var/lib/qzgsms empty (throw-away root) ==="
rm -rf /var/lib/qzgsms
dpkg -i "$deb" >/dev/null
[ "$(stat -c '%U:%G %a' /var/lib/qzgsms)" = "qzgsms:qzgsms 750" ] ||
  fail "/var/lib/qzgsms is $(stat -c '%U:%G %a' /var/lib/qzgsms) on a new installation"
dpkg -P qzgsms
[ ! -e /var/lib/qzgsms ] || fail "the empty /var/lib/qzgsms is still there after dpkg -P"

echo "=== dpkg -i and -P again, /var/lib/qzgsms a link to another folder (throw-away root) ==="
install -d /srv/qzgsms-elsewhere/ttyUSB0
echo "table" >/srv/qzgsms-elsewhere/ttyUSB0/plant.dbf
ln -s /srv/qzgsms-elsewhere /var/lib/qzgsms
dpkg -i "$deb" >/dev/null
dpkg -P qzgsms
[ -L /var/lib/qzgsms ] || fail "install and purge replaced the link /var/lib/qzgsms"
[ -e /srv/qzgsms-elsewhere/ttyUSB0/plant.dbf ] || fail "purge removed files through the link /var/lib/qzgsms"
echo "install, run, log clean-up and removal checked in the throw-away root; the machine is unchanged"
