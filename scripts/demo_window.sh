#!/usr/bin/env bash
# demo_window.sh BUILD_DIR: the window program on the demonstration device.
# Starts the device as COM99 and opens Kestrun with the settings that fit its
# frames; press "Start capture" to see frames arrive. Log files go to
# std_log_out in BUILD_DIR/demo-window.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?usage: demo_window.sh BUILD_DIR}" && pwd)
cli="$build/app/kestrun-cli"

demo="$build/demo-window"
mkdir -p "$demo"
rm -f "$demo/ports/com99"
export KESTRUN_HOME="$demo"
source "$root/scripts/simulator.sh"
start_simulator
cat "$demo/simulate.txt"
echo
echo "Opening Kestrun with samples/demo_dynamic.scs: press \"Start capture\", then \"Show capture window\"."
"$build/app/kestrun" "$root/samples/demo_dynamic.scs"
