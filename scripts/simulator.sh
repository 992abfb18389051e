# Sourced by the demonstration scripts: starts the demonstration device as COM99
# in the application directory $KESTRUN_HOME and stops it when the script exits.
# Needs $cli (kestrun-cli) and $demo (a scratch folder for its output).

start_simulator() {
    "$cli" simulate --port 99 --mode dynamic >"$demo/simulate.txt" 2>&1 &
    simulator=$!
    trap stop_simulator EXIT
    # A capture scans the ports once when it starts: the simulator's link must be there.
    for _ in $(seq 100); do
        [ -L "$KESTRUN_HOME/ports/com99" ] && return 0
        kill -0 "$simulator" 2>/dev/null || { cat "$demo/simulate.txt" >&2; exit 1; }
        sleep 0.05
    done
    echo "The demonstration device did not start:" >&2
    cat "$demo/simulate.txt" >&2
    exit 1
}

stop_simulator() {
    if kill -0 "$simulator" 2>/dev/null; then
        kill -TERM "$simulator"
        wait "$simulator" || true
    fi
}
