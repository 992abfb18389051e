#!/usr/bin/env bash
# The main job: install what is missing, build the programs, and show a live
# capture of the demonstration device: in the window program when there is a
# display, otherwise with the command-line program.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh" "$root/build" --target kestrun kestrun-cli kestrun-sysinfo
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    bash "$root/scripts/demo_window.sh" "$root/build"
else
    echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set): running the headless demonstration instead."
    bash "$root/scripts/demo.sh" "$root/build"
fi
