#!/usr/bin/env bash
# Builds the Debian package qzgsms in Release (build/package) and checks it on this machine:
# lintian reports no error; dpkg -i installs it (system user, group, /var/lib/qzgsms);
# systemd-analyze verifies the unit as an instance and rates its exposure; every installed
# manual page renders without a warning; the installed gateway delivers the example SMS job on
# the installed modem simulator and stops in order; dpkg -r and dpkg -P remove it again.
# Run as root on Debian 12, after scripts/install-deps.sh. Exits non-zero on any failure.
#
#   scripts/package.sh                the package and the whole check
#   scripts/package.sh --build-only   the package and lintian only (the machine is left
#                                     alone, so qzgsms may be installed), e.g. to upgrade
set -euo pipefail
cd "$(dirname "$0")/.."

build_only=0
case "${1-}" in
  "") ;;
  --build-only) build_only=1 ;;
  *) echo "usage: scripts/package.sh [--build-only]" >&2; exit 2 ;;
esac

build=build/package
# The unit's exposure as systemd-analyze rates it, times ten; more fails the check.
exposure_limit=25

fail() {
  echo "package.sh: $*" >&2
  exit 1
}

if [ "$build_only" = 0 ]; then
  [ "$(id -u)" -eq 0 ] || fail "run as root: the check installs and removes the package"
  if dpkg-query -W -f='${Status}' qzgsms 2>/dev/null | grep -q "ok installed"; then
    fail "qzgsms is installed on this machine and the check would purge it: remove it first" \
         "(dpkg -P qzgsms), or build the package alone with --build-only"
  fi
fi

echo "=== package build ==="
# Debian's hardening flags (PIE, stack protector, fortified functions, full RELRO, bindnow).
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cppflags=$(dpkg-buildflags --get CPPFLAGS)
cxxflags=$(dpkg-buildflags --get CXXFLAGS)
ldflags=$(dpkg-buildflags --get LDFLAGS)
# The package holds the headless programs only: tests, benchmarks, fuzzers and the Qt
# window are left out of this build.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DQZGSMS_TESTS=OFF -DQZGSMS_BENCH=OFF -DQZGSMS_FUZZ=OFF -DCMAKE_DISABLE_FIND_PACKAGE_Qt6=ON \
  "-DCMAKE_CXX_FLAGS=$cppflags $cxxflags" "-DCMAKE_EXE_LINKER_FLAGS=$ldflags" >/dev/null
cmake --build "$build" -j "$(nproc)"
rm -f "$build"/qzgsms_*.deb
(cd "$build" && cpack -G DEB)
debs=("$build"/qzgsms_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "no single package in $build"
deb=${debs[0]}
echo "package: $deb"

pages=(usr/share/man/man8/qzgsmsd.8.gz usr/share/man/man5/qzgsms.ini.5.gz
       usr/share/man/man5/qzgsms-job.5.gz usr/share/man/man1/qzgsms-modemsim.1.gz
       usr/share/man/man1/qzgsms-dbftool.1.gz)
contents=$(dpkg-deb -c "$deb")
for f in usr/sbin/qzgsmsd usr/bin/qzgsms-modemsim usr/bin/qzgsms-dbftool \
         usr/lib/systemd/system/qzgsmsd@.service usr/share/doc/qzgsms/copyright \
         usr/share/doc/qzgsms/changelog.gz usr/share/doc/qzgsms/examples/QZGSMS.INI "${pages[@]}"; do
  grep -q " \./$f\$" <<<"$contents" || fail "$f is missing from the package (is scdoc installed?)"
done

echo "=== lintian ==="
lintian_status=0
lintian_output=$(lintian --fail-on error --display-info "$deb" 2>&1) || lintian_status=$?
grep -v "running with root privileges" <<<"$lintian_output" || true
[ "$lintian_status" -eq 0 ] || fail "lintian reports errors (status $lintian_status)"
if [ "$build_only" = 1 ]; then
  echo "package built: $deb"
  exit 0
fi

echo "=== dpkg -i ==="
installed=0
cleanup() {
  if [ "$installed" = 1 ]; then
    kill "${sim_pid:-}" "${gateway_pid:-}" 2>/dev/null || true
    dpkg -P qzgsms >/dev/null 2>&1 || true
  fi
  [ -z "${smoke:-}" ] || rm -rf "$smoke"
  [ -z "${unpacked:-}" ] || rm -rf "$unpacked"
}
trap cleanup EXIT
installed=1
dpkg -i "$deb"
getent passwd qzgsms >/dev/null || fail "the user qzgsms was not created"
getent group qzgsms >/dev/null || fail "the group qzgsms was not created"
id -nG qzgsms | tr ' ' '\n' | grep -qx dialout || fail "qzgsms is not in the group dialout"
[ "$(stat -c '%U:%G %a' /var/lib/qzgsms)" = "qzgsms:qzgsms 750" ] ||
  fail "/var/lib/qzgsms is $(stat -c '%U:%G %a' /var/lib/qzgsms), not qzgsms:qzgsms 750"

echo "=== systemd-analyze ==="
systemd-analyze verify qzgsmsd@ttyUSB0.service || fail "systemd-analyze verify qzgsmsd@ttyUSB0.service"
systemd-analyze security --offline=true --threshold="$exposure_limit" \
  /usr/lib/systemd/system/qzgsmsd@.service | tail -n 1 ||
  fail "the unit's exposure is above $exposure_limit (systemd-analyze security)"

# A machine whose dpkg leaves out documentation (path-exclude) gets the package's copies.
unpacked=$(mktemp -d)
dpkg-deb -x "$deb" "$unpacked"
chmod 0755 "$unpacked"
installed_file() {
  if [ -e "/$1" ]; then echo "/$1"; else echo "$unpacked/$1"; fi
}

echo "=== manual pages ==="
for page in "${pages[@]}"; do
  file=$(installed_file "$page")
  warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
    man --warnings -E UTF-8 -l -Tutf8 -Z "$file" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "$file renders with warnings: $warnings"
  LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$file" >/dev/null || fail "man -l $file"
  echo "$file: fine"
done

echo "=== the installed gateway on the installed simulator ==="
# An instance folder made from the examples, run as the user qzgsms as the unit would
# (setpriv runs the program itself, so a signal reaches it and its status comes back).
as_qzgsms=(setpriv --reuid=qzgsms --regid=qzgsms --init-groups --)
smoke=$(mktemp -d /var/lib/qzgsms/package-check.XXXXXX)
docs=$(dirname "$(installed_file usr/share/doc/qzgsms/examples/QZGSMS.INI)")
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
smoke=

echo "=== dpkg -r ==="
dpkg -r qzgsms
[ ! -e /usr/sbin/qzgsmsd ] || fail "/usr/sbin/qzgsmsd is still there after dpkg -r"
[ ! -e /usr/lib/systemd/system/qzgsmsd@.service ] || fail "the unit is still there after dpkg -r"
getent passwd qzgsms >/dev/null || fail "dpkg -r removed the user qzgsms"

echo "=== dpkg -P ==="
dpkg -P qzgsms
installed=0
! getent passwd qzgsms >/dev/null || fail "the user qzgsms is still there after dpkg -P"
! getent group qzgsms >/dev/null || fail "the group qzgsms is still there after dpkg -P"
[ ! -e /var/lib/qzgsms ] || fail "the empty /var/lib/qzgsms is still there after dpkg -P"

echo "package check passed: $deb"
