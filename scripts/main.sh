#!/usr/bin/env bash
# The main job: install what is missing, build, and run a live capture of the
# demonstration device.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh" "$root/build"
bash "$root/scripts/demo.sh" "$root/build"
