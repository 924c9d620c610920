#!/usr/bin/env bash
# Builds the Debian packages qzgsms (headless, without Qt) and qzgsms-window (the operator
# window) in Release (build/package) and checks them without touching this machine's
# installed system: each holds its own files, qzgsms does not depend on Qt, qzgsms-window
# depends on qzgsms of its version; lintian reports no error; every manual page renders
# without a warning; then, in a throw-away root (scripts/package-root-check.sh: an overlay of
# this machine's own files in memory), the packages are installed, run, cleaned by the log
# age rule, removed and purged (see there). A qzgsms installed on the machine stays as it is. Where no throw-away root can be made (not root, no mount namespaces or no
# overlay file system), those steps are skipped, and the output says so and why.
# Run on Debian 12 after scripts/install-deps.sh. Exits non-zero on any failure.
#
#   scripts/package.sh                the packages and the whole check
#   scripts/package.sh --build-only   the packages and lintian only
set -euo pipefail
cd "$(dirname "$0")/.."

build_only=0
case "${1-}" in
  "") ;;
  --build-only) build_only=1 ;;
  *) echo "usage: scripts/package.sh [--build-only]" >&2; exit 2 ;;
esac

build=build/package

fail() {
  echo "package.sh: $*" >&2
  exit 1
}

echo "=== package build ==="
# Debian's hardening flags (PIE, stack protector, fortified functions, full RELRO, bindnow).
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cppflags=$(dpkg-buildflags --get CPPFLAGS)
cxxflags=$(dpkg-buildflags --get CXXFLAGS)
ldflags=$(dpkg-buildflags --get LDFLAGS)
# Tests, benchmarks and fuzzers are left out of this build; the window needs Qt 6.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DQZGSMS_TESTS=OFF -DQZGSMS_BENCH=OFF -DQZGSMS_FUZZ=OFF -UCMAKE_DISABLE_FIND_PACKAGE_Qt6 \
  "-DCMAKE_CXX_FLAGS=$cppflags $cxxflags" "-DCMAKE_EXE_LINKER_FLAGS=$ldflags" >/dev/null
cmake --build "$build" -j "$(nproc)"
rm -f "$build"/qzgsms_*.deb "$build"/qzgsms-window_*.deb
(cd "$build" && cpack -G DEB)
debs=("$build"/qzgsms_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "no single package qzgsms in $build"
deb=${debs[0]}
window_debs=("$build"/qzgsms-window_*.deb)
[ ${#window_debs[@]} -eq 1 ] && [ -f "${window_debs[0]}" ] ||
  fail "no single package qzgsms-window in $build (is qt6-base-dev installed?)"
window_deb=${window_debs[0]}
echo "packages: $deb $window_deb"

pages=(usr/share/man/man8/qzgsmsd.8.gz usr/share/man/man5/qzgsms.ini.5.gz
       usr/share/man/man5/qzgsms-job.5.gz usr/share/man/man1/qzgsms-modemsim.1.gz
       usr/share/man/man1/qzgsms-dbftool.1.gz usr/share/man/man1/qzgsms-send.1.gz)
window_pages=(usr/share/man/man1/qzgsms.1.gz)
# Each package holds its own files and not the other's: a server's qzgsms has no window.
contents=$(dpkg-deb -c "$deb")
window_contents=$(dpkg-deb -c "$window_deb")
for f in usr/sbin/qzgsmsd usr/bin/qzgsms-modemsim usr/bin/qzgsms-dbftool usr/bin/qzgsms-send \
         usr/lib/systemd/system/qzgsmsd@.service usr/lib/tmpfiles.d/qzgsms.conf \
         usr/share/doc/qzgsms/copyright usr/share/doc/qzgsms/changelog.gz \
         usr/share/doc/qzgsms/examples/QZGSMS.INI usr/share/doc/qzgsms/integrations.md \
         usr/share/doc/qzgsms/examples/integrations/zabbix-qzgsms.sh "${pages[@]}"; do
  grep -q " \./$f\$" <<<"$contents" || fail "$f is missing from qzgsms (is scdoc installed?)"
  ! grep -q " \./$f\$" <<<"$window_contents" || fail "$f is in qzgsms-window too"
done
for f in usr/bin/qzgsms usr/share/applications/qzgsms.desktop \
         usr/share/icons/hicolor/48x48/apps/qzgsms.png usr/share/doc/qzgsms-window/copyright \
         usr/share/doc/qzgsms-window/changelog.gz "${window_pages[@]}"; do
  grep -q " \./$f\$" <<<"$window_contents" || fail "$f is missing from qzgsms-window"
  ! grep -q " \./$f\$" <<<"$contents" || fail "$f is in qzgsms too"
done
# Servers install qzgsms without Qt; the window takes the headless package of its version.
depends=$(dpkg-deb -f "$deb" Depends)
window_depends=$(dpkg-deb -f "$window_deb" Depends)
echo "qzgsms Depends: $depends"
echo "qzgsms-window Depends: $window_depends"
! grep -qi 'qt' <<<"$depends" || fail "qzgsms depends on Qt: $depends"
version=$(dpkg-deb -f "$deb" Version)
grep -q "qzgsms (= $version)" <<<"$window_depends" || fail "qzgsms-window does not depend on qzgsms (= $version)"
grep -q "libqt6widgets6" <<<"$window_depends" || fail "qzgsms-window does not depend on Qt's widgets"

echo "=== lintian ==="
for package in "$deb" "$window_deb"; do
  lintian_status=0
  lintian_output=$(lintian --fail-on error --display-info "$package" 2>&1) || lintian_status=$?
  grep -v "running with root privileges" <<<"$lintian_output" || true
  [ "$lintian_status" -eq 0 ] || fail "lintian reports errors in $package (status $lintian_status)"
done
if [ "$build_only" = 1 ]; then
  echo "packages built: $deb $window_deb"
  exit 0
fi

echo "=== manual pages ==="
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
dpkg-deb -x "$window_deb" "$unpacked"
for page in "${pages[@]}" "${window_pages[@]}"; do
  file=$unpacked/$page
  warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
    man --warnings -E UTF-8 -l -Tutf8 -Z "$file" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "$page renders with warnings: $warnings"
  LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$file" >/dev/null || fail "man -l $page"
  echo "$page: fine"
done

# The maintainer scripts at least parse, whatever follows.
for script in postinst prerm postrm; do
  sh -n "packaging/debian/$script" || fail "packaging/debian/$script does not parse"
done

# Whether a throw-away root can be made here; empty when it can, else why not.
throwaway_root_missing() {
  if [ "$(id -u)" -ne 0 ]; then
    echo "not run as root"
  elif ! unshare --mount --propagation private true 2>/dev/null; then
    echo "no mount namespace may be made here (a container without CAP_SYS_ADMIN?)"
  elif ! grep -qw overlay /proc/filesystems && ! modprobe overlay 2>/dev/null; then
    echo "the kernel has no overlay file system"
  fi
}
why_not=$(throwaway_root_missing)
if [ -n "$why_not" ]; then
  echo "=== SKIPPED: installation, systemd-analyze, the installed gateway's run, removal ==="
  echo "They need a throw-away root, and none can be made here: $why_not."
  echo "This machine's own system is never used for them. Checked: the package, lintian, the"
  echo "manual pages and that the maintainer scripts parse."
  echo "package check passed with the steps above skipped: $deb $window_deb"
  exit 0
fi
scripts/package-root-check.sh "$deb" "$window_deb" || fail "the check in the throw-away root failed"
echo "package check passed: $deb $window_deb"
