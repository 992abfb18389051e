#!/usr/bin/env bash
# Install what is missing, build, and run every test (CTest prints the summary).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh" "$root/build"
cd "$root/build"
ctest --output-on-failure -j2
