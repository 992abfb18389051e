#!/usr/bin/env bash
# fuzz.sh [SECONDS]: builds the libFuzzer targets into build-fuzz (clang, ASan+UBSan)
# and runs each for SECONDS (default 60), growing its corpus in build-fuzz/corpus/.
# fuzz.sh --regress: runs each target once over its seed corpus in fuzz/corpus only.
# A crash leaves its input as build-fuzz/crash-* and ends the script with status 1.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-fuzz"
mode=run
seconds=60
case "${1:-}" in
    --regress) mode=regress ;;
    "") ;;
    *) seconds=$1 ;;
esac

targets=(fuzz_settings_file fuzz_port_config_text fuzz_frame_filter fuzz_log_format fuzz_report_text fuzz_fields)
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14 \
    -DKESTRUN_FUZZ=ON -DKESTRUN_BUILD_GUI=OFF -DKESTRUN_BUILD_TESTS=OFF -DKESTRUN_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# The settings target writes its input as a file for every run: memory, not disk.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ]; then export TMPDIR=/dev/shm; fi
status=0
for t in "${targets[@]}"; do
    seeds="$root/fuzz/corpus/$t"
    echo "== $t =="
    if [ "$mode" = regress ]; then
        "$build/fuzz/$t" -runs=0 "$seeds" 2>&1 | tail -n 2 || status=1
    else
        mkdir -p "$build/corpus/$t"
        (cd "$build" && "$build/fuzz/$t" -max_total_time="$seconds" -max_len=65536 -timeout=20 \
            -rss_limit_mb=2048 -print_final_stats=1 "$build/corpus/$t" "$seeds" 2>&1 | tail -n 20) || status=1
    fi
done
exit $status
