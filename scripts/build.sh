#!/usr/bin/env bash
# build.sh DIR [cmake options...] [--target T...]: configures and builds Kestrun
# into DIR; with --target only the named targets are built.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$1
shift
options=()
targets=()
while (($#)); do
    if [ "$1" = "--target" ]; then
        shift
        targets=("$@")
        break
    fi
    options+=("$1")
    shift
done
cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${options[@]}" >/dev/null
if ((${#targets[@]})); then
    cmake --build "$dir" -j"$(nproc)" --target "${targets[@]}"
else
    cmake --build "$dir" -j"$(nproc)"
fi
