#!/usr/bin/env bash
# Benchmarks (never run by the tests): builds one (Release; i686, or x86_64 where the machine
# runs 64-bit code only) into build/bench-PRESET when
# needed and runs it under Wine in a prefix of its own.
#   tools/bench.sh copy [--chunks]  CopyFileStream, CopyFileW and CopyFolderTree: MB/s and the
#                                   ratio to CopyFileW (--chunks also compares chunk sizes)
#   tools/bench.sh backdrop         one composition of the backdrop at 954 x 579 and 3840 x 2160
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
case "${1:-}" in
copy) target=bench_copy; exe=bench/copy/bench_copy.exe ;;
backdrop) target=backdrop_bench; exe=bench/backdrop/backdrop_bench.exe ;;
*) echo "usage: tools/bench.sh copy [--chunks] | backdrop" >&2; exit 2 ;;
esac
shift
"$root/tools/setup.sh"
. "$root/tools/wine-env.sh"
preset=$(velmora_runnable_preset)
bdir="$root/build/bench-$preset"
[ "$preset" = i686 ] || echo "bench: using the x86_64 build: $VELMORA_WINE32_WHY"
if [ ! -f "$bdir/CMakeCache.txt" ]; then
    cmake --preset "$preset" -B "$bdir" -DBUILD_TESTING=OFF >/dev/null
fi
cmake --build "$bdir" -j2 --target "$target" >/dev/null
export WINEPREFIX="$root/build/wine-bench/prefix"
exec xvfb-run -a bash -c '
    . "$0/tools/wine-env.sh"
    make_prefix "$WINEPREFIX"
    status=0
    wine "$1" "${@:2}" || status=$?
    wineserver -k 2>/dev/null || true
    exit $status' "$root" "$bdir/$exe" "$@"
