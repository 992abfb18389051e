#!/usr/bin/env bash
# check_extcap.sh [SECONDS]: with the package installed (its extcap entry in Wireshark's
# system folder), "tshark -i kestrun-com99" captures the demonstration device live for
# a few seconds, and the capture holds its frames. Skipped when the entry is missing.
set -euo pipefail
entry=/usr/lib/x86_64-linux-gnu/wireshark/extcap/kestrun
if [ ! -x "$entry" ] || ! command -v tshark >/dev/null; then
    echo "skipped: the Kestrun extcap entry or tshark is not installed"
    exit 0
fi
seconds=${1:-5}
demo=$(mktemp -d)
export KESTRUN_HOME="$demo/home"
cli=/usr/bin/kestrun-cli
# shellcheck source=scripts/simulator.sh
source "$(dirname "$0")/simulator.sh"
start_simulator
# Without a settings file every read is one packet.
tshark -i kestrun-com99 -a "duration:$seconds" -w "$demo/live.pcapng" 2>"$demo/tshark.txt" ||
    { cat "$demo/tshark.txt" >&2; exit 1; }
packets=$(tshark -r "$demo/live.pcapng" 2>/dev/null | wc -l)
echo "tshark -i kestrun-com99 captured $packets packets in $seconds s"
[ "$packets" -gt 0 ]
