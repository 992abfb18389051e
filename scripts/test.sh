#!/usr/bin/env bash
# Install what is missing, build, and run every test (CTest prints the summary).
# The benchmarks are left out: no test runs them, and CI builds them in Release with
# the package.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh" "$root/build" -DKESTRUN_BUILD_BENCH=OFF
cd "$root/build"
ctest --output-on-failure -j2
