#!/usr/bin/env bash
# demo.sh BUILD_DIR: a live capture without hardware. Starts the demonstration
# device as COM99, captures it for five seconds with the settings that fit its
# frames, and shows where the log files are.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?usage: demo.sh BUILD_DIR}" && pwd)
cli="$build/app/kestrun-cli"
settings="$root/samples/demo_dynamic.scs"

demo="$build/demo"
rm -rf "$demo"
mkdir -p "$demo"
export KESTRUN_HOME="$demo"
source "$root/scripts/simulator.sh"
start_simulator
cat "$demo/simulate.txt"

echo
echo "Capturing COM99 for 5 seconds..."
"$cli" capture --settings "$settings" --port 99 --duration 5 --out "$demo/logs"
stop_simulator

echo
echo "Log files in $demo/logs:"
ls -l "$demo/logs"
first=$(ls -tr "$demo/logs" | head -n 1)
echo
echo "The first lines of $first:"
head -n 12 "$demo/logs/$first" | tr -d '\r'
