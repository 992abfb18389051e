#!/usr/bin/env bash
# package.sh [OUTDIR [cmake options...]]: builds Kestrun in Release with Debian's
# hardening flags and makes the Debian package kestrun_<version>_amd64.deb in OUTDIR
# (default build-package/). Options given after OUTDIR come after the package's own,
# so they win (CI adds -DKESTRUN_BUILD_BENCH=ON; the benchmarks are never installed).
# The package's path is the last line printed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(mkdir -p "${1:-$root/build-package}" && cd "${1:-$root/build-package}" && pwd)
extra=("${@:2}")
build="$out/build"

# dpkg-buildflags gives the flags Debian builds its packages with; all hardening:
# fortified functions, stack protection, read-only relocations, immediate binding.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
export CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
export LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
# CMake reads the flags above only when it first configures the folder.
rm -f "$build/CMakeCache.txt"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DKESTRUN_BUILD_TESTS=OFF -DKESTRUN_BUILD_BENCH=OFF "${extra[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)"
(cd "$build" && cpack -G DEB -B "$out" >&2)
rm -rf "$out/_CPack_Packages"
deb=$(cd "$build" && ls "$out"/kestrun_"$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' CMakeCache.txt)"_*.deb)
echo "$deb"
