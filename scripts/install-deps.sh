#!/usr/bin/env bash
# Installs what qzgsms needs to build, test and run on Debian 12. Run as root.
set -euo pipefail

packages=(g++ cmake ninja-build pkg-config libgtest-dev libgmock-dev libbenchmark-dev)
packages+=(libshp-dev)  # shapelib: the tests check our report tables against an independent dBase writer
packages+=(libsystemd-dev)  # sd_notify: qzgsmsd tells systemd that it is ready and still alive
# The Windows build: Debian's MinGW-w64 cross-compiler (posix threads, for std::thread),
# and Wine, which runs the Windows programs and their tests on this machine.
packages+=(g++-mingw-w64-x86-64-posix wine64)
# The Windows installer: wixl makes the MSI, msitools' msibuild marks the administrator's
# files in it as never overwritten and permanent.
packages+=(wixl msitools)
# The fuzzers: clang 14, its runtimes (libFuzzer and the sanitizers) and the symbolizer
# that puts source lines into their reports.
packages+=(clang-14 libclang-rt-14-dev llvm-14)
# The SMS tests read the PDUs the gateway builds with a decoder that shares nothing with
# it: libgammu's, through Debian's own Python.
packages+=(python3-gammu)
# The operator window: Qt 6 Widgets, and the DejaVu faces its tests and image drawing use.
packages+=(qt6-base-dev fonts-dejavu-core)
# Pictures of the window for review (scripts/screenshot.sh) run it under a virtual display.
packages+=(xvfb xauth)
# The Windows window's scenario under Wine types into it and photographs it (xdotool,
# ImageMagick's import) and works out its figures (bc).
packages+=(xdotool imagemagick bc)
# The Debian package and its check (scripts/package.sh), one reason each:
packages+=(scdoc)       # turns the manual pages from docs/man/*.scd into roff
packages+=(dpkg-dev)    # dpkg-shlibdeps for the package's Depends, dpkg-buildflags for hardening
packages+=(lintian)     # checks the package against Debian policy
packages+=(systemd)     # systemd-analyze verifies the unit and rates its exposure
packages+=(man-db)      # man renders each installed page and reports groff warnings
packages+=(file)        # tells lintian what the files in the package are
packages+=(adduser)     # the package's maintainer scripts make and remove the user qzgsms
packages+=(mount)       # mounts the throw-away root the package is installed into for its check

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}"
fi
