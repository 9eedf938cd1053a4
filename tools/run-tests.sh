#!/usr/bin/env bash
# Inner half of test.sh: runs on the virtual display, prepares the Wine prefix and runs ctest
# in each build folder given (default: both presets). Extra ctest arguments follow "--".
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$root/tools/wine-env.sh"

dirs=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do dirs+=("$1"); shift; done
[ $# -gt 0 ] && shift
[ ${#dirs[@]} -eq 0 ] && dirs=("$root/build/i686" "$root/build/x86_64")

export WINEPREFIX="${WINEPREFIX:-$root/build/wine/prefix}"
echo "tests: preparing the Wine prefix $WINEPREFIX"
make_prefix "$WINEPREFIX"
small=$(make_small_disk "$WINEPREFIX" "$WINEPREFIX.smalldisk")
if [ -n "$small" ]; then export VELMORA_TEST_SMALL_DISK="$small"; else
    echo "tests: no tmpfs could be mounted; the full-disk cases will be skipped"; fi

status=0
for d in "${dirs[@]}"; do
    echo "tests: $d"
    ctest --test-dir "$d" --output-on-failure "$@" || status=1
done
wineserver -k 2>/dev/null || true
if [ $status -ne 0 ]; then echo "tests: FAILED"; else echo "tests: all passed"; fi
exit $status
