#!/usr/bin/env bash
# Copy benchmark: builds bench_copy (i686) into build/bench-i686 when needed and runs it under
# Wine in a prefix of its own, printing MB/s and the ratio to CopyFileW.
# Usage: tools/bench-copy.sh [--chunks]   (--chunks also compares CopyFileStream chunk sizes)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bdir="$root/build/bench-i686"
if [ ! -f "$bdir/CMakeCache.txt" ]; then
    cmake --preset i686 -B "$bdir" -DBUILD_TESTING=OFF >/dev/null
fi
cmake --build "$bdir" -j2 --target bench_copy >/dev/null
export WINEPREFIX="$root/build/wine-bench/prefix"
exec xvfb-run -a bash -c '
    . "$0/tools/wine-env.sh"
    make_prefix "$WINEPREFIX"
    status=0
    wine "$1" "${@:2}" || status=$?
    wineserver -k 2>/dev/null || true
    exit $status' "$root" "$bdir/bench/copy/bench_copy.exe" "$@"
